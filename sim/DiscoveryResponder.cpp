#include "sim/DiscoveryResponder.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

const char QUERY[] = "<VN><STSMOQ><NAME>";
const char ANSWER_TAG[] = "<VN><STSMOA><NAME>";
constexpr size_t MAX_DATAGRAM = 2048;

}  // namespace

DiscoveryResponder::DiscoveryResponder(std::string name, int repeat)
    : name_(std::move(name)), repeat_(repeat < 1 ? 1 : repeat) {}

DiscoveryResponder::~DiscoveryResponder() {
    if (fd_ >= 0) close(fd_);
}

std::string DiscoveryResponder::Answer(const std::string& name) {
    return std::string(ANSWER_TAG) + "=" + name + ";";
}

bool DiscoveryResponder::Open(std::string& error) {
    fd_ = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd_ < 0) {
        error = std::string("socket: ") + strerror(errno);
        return false;
    }
    int on = 1;
    setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on));
    struct sockaddr_in addr {};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(QUERY_PORT);
    addr.sin_addr.s_addr = htonl(INADDR_ANY);
    if (bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0) {
        error = std::string("bind UDP 15000: ") + strerror(errno);
        return false;
    }
    return true;
}

void DiscoveryResponder::Prepare(std::vector<pollfd>& fds) {
    if (fd_ >= 0) fds.push_back(pollfd{fd_, POLLIN, 0});
}

void DiscoveryResponder::Service(const std::vector<pollfd>& /*fds*/) {
    if (fd_ < 0) return;
    char buffer[MAX_DATAGRAM];
    for (;;) {
        struct sockaddr_in from {};
        socklen_t fromLength = sizeof(from);
        ssize_t n = recvfrom(fd_, buffer, sizeof(buffer), 0, reinterpret_cast<sockaddr*>(&from),
                             &fromLength);
        if (n < 0) return;  // nothing more waiting
        std::string query(buffer, static_cast<size_t>(n));
        if (query.find(QUERY) == std::string::npos) continue;
        std::string answer = Answer(name_);
        for (int i = 0; i < repeat_; ++i) {
            sendto(fd_, answer.data(), answer.size(), 0, reinterpret_cast<sockaddr*>(&from),
                   fromLength);
        }
        ++answered_;
    }
}
