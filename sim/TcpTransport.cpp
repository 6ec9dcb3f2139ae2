#include "sim/TcpTransport.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

#include "sim/core/PrinterCore.h"

namespace {

bool HasEvent(const std::vector<pollfd>& fds, int fd, short events) {
    for (const pollfd& p : fds) {
        if (p.fd == fd) return (p.revents & events) != 0;
    }
    return false;
}

}  // namespace

TcpTransport::TcpTransport(PrinterCore& core) : core_(core), link_(core) {}

TcpTransport::~TcpTransport() {
    Drop();
    if (listenFd_ >= 0) close(listenFd_);
}

bool TcpTransport::Listen(const std::string& address, int port, std::string& error) {
    if (port < 0 || port > 65535) {
        error = "port out of range";
        return false;
    }
    address_ = address;
    port_ = port;
    return OpenListener(error);
}

bool TcpTransport::OpenListener(std::string& error) {
    struct sockaddr_in addr {};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port_));
    if (inet_pton(AF_INET, address_.c_str(), &addr.sin_addr) != 1) {
        error = "not an IPv4 address: " + address_;
        return false;
    }
    listenFd_ = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (listenFd_ < 0) {
        error = std::string("socket: ") + strerror(errno);
        return false;
    }
    int on = 1;
    setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on));
    if (bind(listenFd_, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0 ||
        listen(listenFd_, 4) != 0) {
        error = std::string("bind/listen: ") + strerror(errno);
        close(listenFd_);
        listenFd_ = -1;
        return false;
    }
    socklen_t length = sizeof(addr);
    getsockname(listenFd_, reinterpret_cast<sockaddr*>(&addr), &length);
    port_ = ntohs(addr.sin_port);
    return true;
}

void TcpTransport::Drop() {
    if (clientFd_ >= 0) {
        close(clientFd_);
        core_.DiscardOutput();  // answers meant for that connection go with it
    }
    clientFd_ = -1;
    link_.Reset();
}

void TcpTransport::FollowRestart() {
    if (core_.TakeRestartBegin()) {
        // Stop listening first: a host that sees its connection end may
        // try again at once.
        if (listenFd_ >= 0) close(listenFd_);
        listenFd_ = -1;
        Drop();
    }
    if (listenFd_ < 0 && port_ != 0 && !core_.Restarting()) {
        std::string error;
        OpenListener(error);  // the port stays ours; tried again on the next turn
    }
}

void TcpTransport::Prepare(std::vector<pollfd>& fds) {
    FollowRestart();
    if (listenFd_ >= 0) fds.push_back(pollfd{listenFd_, POLLIN, 0});
    if (clientFd_ >= 0) {
        short events = POLLIN;
        if (link_.WantsToWrite()) events |= POLLOUT;
        fds.push_back(pollfd{clientFd_, events, 0});
    }
}

void TcpTransport::Service(const std::vector<pollfd>& fds) {
    FollowRestart();
    if (listenFd_ >= 0 && HasEvent(fds, listenFd_, POLLIN)) {
        int fd = accept4(listenFd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd >= 0 && connections_ > 0 && refusals_ > 0) {
            --refusals_;
            linger reset{1, 0};  // closed with a reset, not an orderly end
            setsockopt(fd, SOL_SOCKET, SO_LINGER, &reset, sizeof(reset));
            close(fd);
            fd = -1;
        }
        if (fd >= 0) {
            Drop();  // the host reconnected: the old connection is stale
            clientFd_ = fd;
            ++connections_;
        }
    }
    if (clientFd_ < 0) return;
    if (HasEvent(fds, clientFd_, POLLIN | POLLHUP | POLLERR)) {
        if (link_.Pump(clientFd_) == ByteLink::State::Closed) {
            Drop();
            return;
        }
    }
    if (core_.TakeCloseRequest()) {
        Drop();
        return;
    }
    if (link_.Flush(clientFd_) == ByteLink::State::Closed) Drop();
}
