#pragma once

#include <string>

#include "sim/ByteLink.h"
#include "sim/Transport.h"

// The printer behind a pseudo-terminal: the host opens the slave side as its
// serial device. The slave stays open here too, so that a host closing and
// reopening it does not hang the line up.
class SerialTransport : public Transport {
  public:
    explicit SerialTransport(PrinterCore& core);
    ~SerialTransport() override;
    SerialTransport(const SerialTransport&) = delete;
    SerialTransport& operator=(const SerialTransport&) = delete;

    // Creates the pseudo-terminal; false with a reason.
    bool Open(std::string& error);
    const std::string& SlavePath() const { return slavePath_; }

    void Prepare(std::vector<pollfd>& fds) override;
    void Service(const std::vector<pollfd>& fds) override;
    // Gives up the slave end held here, so that the host's close hangs the
    // line up, and tells whether it has.
    bool HostLetGo() override;

  private:
    ByteLink link_;
    int masterFd_ = -1;
    int slaveFd_ = -1;
    std::string slavePath_;
};
