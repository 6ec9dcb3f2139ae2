#pragma once

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <string>

// A pseudo-terminal for serial link tests: the link opens the slave path,
// the test plays the printer on the master side.
struct PtyPair {
    int master = -1;
    int slaveHold = -1;  // keeps the line up while the link closes and reopens
    std::string slave;

    PtyPair() {
        master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) return;
        char name[128];
        if (ptsname_r(master, name, sizeof(name)) != 0) return;
        slave = name;
        slaveHold = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
        struct termios raw {};
        tcgetattr(slaveHold, &raw);
        cfmakeraw(&raw);
        tcsetattr(slaveHold, TCSANOW, &raw);
        fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    }
    ~PtyPair() {
        if (slaveHold >= 0) close(slaveHold);
        if (master >= 0) close(master);
    }
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool ok() const { return master >= 0 && slaveHold >= 0; }
    void Send(const std::string& bytes) const {
        ssize_t n = write(master, bytes.data(), bytes.size());
        (void)n;
    }
    // Everything the link wrote so far.
    std::string Drain() const {
        std::string got;
        char buf[4096];
        for (;;) {
            ssize_t n = read(master, buf, sizeof(buf));
            if (n <= 0) break;
            got.append(buf, static_cast<size_t>(n));
        }
        return got;
    }
};
