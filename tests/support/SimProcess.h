#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace testsupport {

// A simulated printer (or any long-running helper program) started for a
// test: its announcement lines are read up to "prnsim: ready", and Stop()
// ends it with SIGTERM and returns the rest of its output.
class SimProcess {
  public:
    SimProcess() = default;
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    // Starts argv and waits at most timeoutMs for the ready line; false with
    // what was printed in Output() when it did not come.
    bool Start(const std::vector<std::string>& argv, int timeoutMs = 5000);
    // The value after "prnsim: <key> " in the announcement, or "".
    std::string Announced(const std::string& key) const;
    // The port announced by a prnsim started with "--tcp 0".
    int TcpPort() const;
    // Everything on standard output so far (after Stop: all of it).
    const std::string& Output() const { return output_; }
    std::string Stop();
    bool Running() const { return pid_ > 0; }

  private:
    void ReadAvailable(int timeoutMs);

    pid_t pid_ = -1;
    int outFd_ = -1;
    std::string output_;
};

// A TCP connection to the loopback port, or -1.
int ConnectLoopback(int port);

}  // namespace testsupport
