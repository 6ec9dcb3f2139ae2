#include "sim/SerialTransport.h"

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

SerialTransport::SerialTransport(PrinterCore& core) : link_(core) {}

SerialTransport::~SerialTransport() {
    if (slaveFd_ >= 0) close(slaveFd_);
    if (masterFd_ >= 0) close(masterFd_);
}

bool SerialTransport::Open(std::string& error) {
    masterFd_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (masterFd_ < 0 || grantpt(masterFd_) != 0 || unlockpt(masterFd_) != 0) {
        error = std::string("pseudo-terminal: ") + strerror(errno);
        return false;
    }
    char name[128];
    if (ptsname_r(masterFd_, name, sizeof(name)) != 0) {
        error = std::string("ptsname: ") + strerror(errno);
        return false;
    }
    slavePath_ = name;
    slaveFd_ = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slaveFd_ < 0) {
        error = std::string("open ") + name + ": " + strerror(errno);
        return false;
    }
    // Raw until the host sets its own mode: no echo of the printer's answers
    // back to it, no line editing.
    struct termios raw {};
    tcgetattr(slaveFd_, &raw);
    cfmakeraw(&raw);
    tcsetattr(slaveFd_, TCSANOW, &raw);
    fcntl(masterFd_, F_SETFL, fcntl(masterFd_, F_GETFL) | O_NONBLOCK);
    return true;
}

bool SerialTransport::HostLetGo() {
    if (slaveFd_ >= 0) close(slaveFd_);
    slaveFd_ = -1;
    pollfd p{masterFd_, POLLIN, 0};
    return masterFd_ < 0 || (poll(&p, 1, 0) == 1 && (p.revents & POLLHUP) != 0);
}

void SerialTransport::Prepare(std::vector<pollfd>& fds) {
    if (masterFd_ < 0) return;
    short events = POLLIN;
    if (link_.WantsToWrite()) events |= POLLOUT;
    fds.push_back(pollfd{masterFd_, events, 0});
}

void SerialTransport::Service(const std::vector<pollfd>& fds) {
    if (masterFd_ < 0) return;
    for (const pollfd& p : fds) {
        if (p.fd == masterFd_ && (p.revents & POLLIN) != 0) link_.Pump(masterFd_);
    }
    // The slave is held open here, so the line never hangs up: a failed
    // write only means the host has not read yet.
    link_.Flush(masterFd_);
}
