#include "tests/support/SimProcess.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "tests/support/RunProgram.h"

namespace testsupport {

SimProcess::~SimProcess() { Stop(); }

bool SimProcess::Start(const std::vector<std::string>& argv, int timeoutMs) {
    int outPipe[2];
    if (pipe2(outPipe, O_CLOEXEC) != 0) return false;
    std::vector<std::string> copy(argv);
    std::vector<char*> args;
    for (std::string& a : copy) args.push_back(&a[0]);
    args.push_back(nullptr);
    pid_ = fork();
    if (pid_ < 0) return false;
    if (pid_ == 0) {
        dup2(outPipe[1], 1);
        execv(args[0], args.data());
        _exit(127);
    }
    close(outPipe[1]);
    outFd_ = outPipe[0];
    long long deadline = NowMs() + timeoutMs;
    while (output_.find("prnsim: ready\n") == std::string::npos && outFd_ >= 0) {
        long long left = deadline - NowMs();
        if (left <= 0) return false;
        ReadAvailable(static_cast<int>(left));
    }
    return output_.find("prnsim: ready\n") != std::string::npos;
}

void SimProcess::ReadAvailable(int timeoutMs) {
    pollfd p{outFd_, POLLIN, 0};
    if (poll(&p, 1, timeoutMs) <= 0) return;  // nothing yet, or a signal
    char buffer[4096];
    ssize_t got = read(outFd_, buffer, sizeof(buffer));
    if (got > 0) {
        output_.append(buffer, static_cast<size_t>(got));
    } else {
        close(outFd_);
        outFd_ = -1;
    }
}

std::string SimProcess::Announced(const std::string& key) const {
    std::string marker = "prnsim: " + key + " ";
    size_t at = output_.find(marker);
    if (at == std::string::npos) return "";
    size_t end = output_.find('\n', at);
    return output_.substr(at + marker.size(), end - at - marker.size());
}

int SimProcess::TcpPort() const {
    std::string where = Announced("tcp");
    return std::stoi(where.substr(where.find(':') + 1));
}

std::string SimProcess::Stop() {
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        long long deadline = NowMs() + 5000;
        while (outFd_ >= 0 && NowMs() < deadline) ReadAvailable(100);
        if (outFd_ >= 0) kill(pid_, SIGKILL);
        int status = 0;
        while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
        pid_ = -1;
    }
    if (outFd_ >= 0) {
        close(outFd_);
        outFd_ = -1;
    }
    return output_;
}

int ConnectLoopback(int port) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

}  // namespace testsupport
