#pragma once

#include <string>

#include "sim/Transport.h"

// Answers the network discovery query on UDP port 15000 with the printer's
// name: "<VN><STSMOA><NAME>", a separator, the name, a final character.
class DiscoveryResponder : public Transport {
  public:
    static constexpr int QUERY_PORT = 15000;

    DiscoveryResponder(std::string name, int repeat);
    ~DiscoveryResponder() override;
    DiscoveryResponder(const DiscoveryResponder&) = delete;
    DiscoveryResponder& operator=(const DiscoveryResponder&) = delete;

    // Binds the query port on every local address; false with a reason.
    bool Open(std::string& error);
    int Answered() const { return answered_; }

    void Prepare(std::vector<pollfd>& fds) override;
    void Service(const std::vector<pollfd>& fds) override;

    // The answer datagram for a printer name.
    static std::string Answer(const std::string& name);

  private:
    std::string name_;
    int repeat_;
    int fd_ = -1;
    int answered_ = 0;
};
