#include "sim/ByteLink.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "sim/core/PrinterCore.h"

namespace {

constexpr size_t CHUNK = 4096;

bool WouldBlock() { return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR; }

ssize_t WriteSome(int fd, const uint8_t* data, size_t length) {
    // Sockets must not raise SIGPIPE when the host has gone.
    ssize_t n = send(fd, data, length, MSG_NOSIGNAL);
    if (n < 0 && errno == ENOTSOCK) n = write(fd, data, length);
    return n;
}

}  // namespace

ByteLink::State ByteLink::Pump(int fd) {
    uint8_t buffer[CHUNK];
    for (;;) {
        ssize_t n = read(fd, buffer, sizeof(buffer));
        if (n > 0) {
            core_.Receive(buffer, static_cast<size_t>(n));
            continue;
        }
        if (n < 0 && WouldBlock()) return State::Open;
        return State::Closed;
    }
}

ByteLink::State ByteLink::Flush(int fd) {
    uint8_t buffer[CHUNK];
    for (;;) {
        if (unsent_.empty()) {
            size_t got = core_.TakeOutput(buffer, sizeof(buffer));
            if (got == 0) return State::Open;
            unsent_.assign(buffer, buffer + got);
        }
        ssize_t n = WriteSome(fd, unsent_.data(), unsent_.size());
        if (n > 0) {
            unsent_.erase(unsent_.begin(), unsent_.begin() + n);
            continue;
        }
        if (n < 0 && WouldBlock()) return State::Open;
        return State::Closed;
    }
}
