#pragma once

#include <poll.h>

#include <vector>

// One way for the host to reach the simulated printer. The program's loop
// waits on the descriptors of every transport at once.
class Transport {
  public:
    virtual ~Transport() = default;
    // Adds the descriptors to wait on.
    virtual void Prepare(std::vector<pollfd>& fds) = 0;
    // Handles what the wait reported for them and sends the answers that are ready.
    virtual void Service(const std::vector<pollfd>& fds) = 0;
    // Whether the host has let go of the link (closed its end); asked once a
    // replay has played everything, to end it.
    virtual bool HostLetGo() { return true; }
};
