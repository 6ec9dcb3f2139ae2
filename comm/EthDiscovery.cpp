#include "comm/EthDiscovery.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "comm/ComPortEth.h"

namespace {

const char QUERY[] = "<VN><STSMOQ><NAME>";
const char ANSWER_TAG[] = "<VN><STSMOA><NAME>";
constexpr size_t QUERY_LENGTH = sizeof(QUERY) - 1;
constexpr size_t TAG_LENGTH = sizeof(ANSWER_TAG) - 1;
constexpr long long PASS_WINDOW_NS = 500999999LL;
constexpr int COLLECT_WAIT_MS = 10;
// The whole collection ends this long after the last pass may start, however
// much traffic still arrives on the answer port.
constexpr long long COLLECT_MARGIN_NS = 100000000LL;

long long MonotonicNs() {
    struct timespec now {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

void SendQuery(int fd, in_addr_t address) {
    struct sockaddr_in to {};
    to.sin_family = AF_INET;
    to.sin_port = htons(EthDiscovery::QUERY_PORT);
    to.sin_addr.s_addr = address;
    // A network without a route for the address simply gets no query.
    sendto(fd, QUERY, QUERY_LENGTH, 0, reinterpret_cast<sockaddr*>(&to), sizeof(to));
}

void BroadcastPass(int fd, const struct ifaddrs* interfaces) {
    SendQuery(fd, htonl(INADDR_BROADCAST));
    for (const struct ifaddrs* i = interfaces; i != nullptr; i = i->ifa_next) {
        if (i->ifa_addr == nullptr || i->ifa_addr->sa_family != AF_INET) continue;
        if ((i->ifa_flags & IFF_LOOPBACK) != 0 || (i->ifa_flags & IFF_BROADCAST) == 0) continue;
        if (i->ifa_broadaddr == nullptr) continue;
        SendQuery(fd, reinterpret_cast<const sockaddr_in*>(i->ifa_broadaddr)->sin_addr.s_addr);
    }
}

// Takes the answers that arrive until none comes for a short while, or until
// the deadline (monotonic ns) has passed.
void Collect(int fd, std::vector<ETHDeviceStruct>& devices, long long deadline) {
    for (;;) {
        long long left = deadline - MonotonicNs();
        if (left <= 0) return;
        int waitMs = left < COLLECT_WAIT_MS * 1000000LL
                         ? static_cast<int>((left + 999999) / 1000000)
                         : COLLECT_WAIT_MS;
        struct pollfd p {};
        p.fd = fd;
        p.events = POLLIN;
        if (poll(&p, 1, waitMs) <= 0) return;
        unsigned char datagram[EthDiscovery::MAX_DATAGRAM + 1] = {};
        struct sockaddr_in from {};
        socklen_t fromLength = sizeof(from);
        ssize_t n = recvfrom(fd, datagram, EthDiscovery::MAX_DATAGRAM, 0,
                             reinterpret_cast<sockaddr*>(&from), &fromLength);
        if (n < 0) return;
        if (n == 0) continue;
        char address[INET_ADDRSTRLEN] = {};
        inet_ntop(AF_INET, &from.sin_addr, address, sizeof(address));
        char name[sizeof(ETHDeviceStruct::szName)];
        if (!EthDiscovery::ParseAnswer(datagram, static_cast<size_t>(n), name, sizeof(name))) {
            continue;
        }
        EthDiscovery::AddDevice(devices, address, name);
    }
}

}  // namespace

bool EthDiscovery::ParseAnswer(const unsigned char* datagram, size_t length, char* name,
                               size_t nameSize) {
    if (nameSize == 0) return false;
    name[0] = '\0';
    const unsigned char* zero = static_cast<const unsigned char*>(memchr(datagram, 0, length));
    size_t textLength = zero != nullptr ? static_cast<size_t>(zero - datagram) : length;
    const unsigned char* tag = nullptr;
    for (size_t i = 0; i + TAG_LENGTH <= textLength; ++i) {
        if (memcmp(datagram + i, ANSWER_TAG, TAG_LENGTH) == 0) {
            tag = datagram + i;
            break;
        }
    }
    if (tag == nullptr) return false;
    size_t after = textLength - static_cast<size_t>(tag - datagram) - TAG_LENGTH;
    if (after < 2) return true;  // no name
    const unsigned char* start = tag + TAG_LENGTH + 1;
    size_t count = after - 2;
    if (count > nameSize - 1) count = nameSize - 1;
    for (size_t i = 0; i < count; ++i) {
        unsigned char c = start[i];
        name[i] = (c < 0x20 || c == 0x7F) ? '?' : static_cast<char>(c);
    }
    name[count] = '\0';
    return true;
}

bool EthDiscovery::AddDevice(std::vector<ETHDeviceStruct>& devices, const char* address,
                             const char* name) {
    for (const ETHDeviceStruct& d : devices) {
        if (strcmp(d.szIpAddress, address) == 0) return false;
    }
    if (devices.size() >= MAX_DEVICES) return false;
    devices.emplace_back();
    ETHDeviceStruct& d = devices.back();
    snprintf(d.szIpAddress, sizeof(d.szIpAddress), "%s", address);
    d.iPort = CComPortEth::DEFAULT_PORT;
    snprintf(d.szName, sizeof(d.szName), "%s", name);
    return true;
}

void EthDiscovery::FormatList(const std::vector<ETHDeviceStruct>& devices, char* out,
                              size_t outSize) {
    if (outSize == 0) return;
    size_t used = strnlen(out, outSize);
    if (used == outSize) return;  // no terminator: leave it alone
    for (const ETHDeviceStruct& d : devices) {
        int n =
            snprintf(out + used, outSize - used, "%s:%d(%s)\n", d.szIpAddress, d.iPort, d.szName);
        if (n < 0 || static_cast<size_t>(n) >= outSize - used) {
            out[used] = '\0';  // no half lines
            return;
        }
        used += static_cast<size_t>(n);
    }
}

bool EthDiscovery::Run(char* out, size_t outSize) {
    std::vector<ETHDeviceStruct> devices;
    devices.reserve(MAX_DEVICES);

    int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof(on));
    struct sockaddr_in local {};
    local.sin_family = AF_INET;
    local.sin_port = htons(ANSWER_PORT);
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    if (bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof(local)) != 0) {
        close(fd);
        return false;
    }

    struct ifaddrs* interfaces = nullptr;
    if (getifaddrs(&interfaces) != 0) interfaces = nullptr;
    long long start = MonotonicNs();
    long long deadline = start + PASS_WINDOW_NS + COLLECT_MARGIN_NS;
    do {
        BroadcastPass(fd, interfaces);
        Collect(fd, devices, deadline);
    } while (MonotonicNs() - start <= PASS_WINDOW_NS);
    if (interfaces != nullptr) freeifaddrs(interfaces);
    close(fd);

    if (devices.empty()) return false;
    FormatList(devices, out, outSize);
    return true;
}
