#pragma once

#include <string>

#include "sim/ByteLink.h"
#include "sim/Transport.h"

// The printer's raw TCP port: one host connection at a time; a new
// connection replaces the old one, and the printer keeps its state across
// connections. The core's close-after-bytes switch drops the connection.
// While the printer restarts it neither keeps the connection nor listens:
// the host's connection attempts are refused until it is back.
class TcpTransport : public Transport {
  public:
    explicit TcpTransport(PrinterCore& core);
    ~TcpTransport() override;
    TcpTransport(const TcpTransport&) = delete;
    TcpTransport& operator=(const TcpTransport&) = delete;

    // Listens on address:port (port 0: a free one); false with a reason.
    bool Listen(const std::string& address, int port, std::string& error);
    int Port() const { return port_; }
    int Connections() const { return connections_; }

    void Prepare(std::vector<pollfd>& fds) override;
    void Service(const std::vector<pollfd>& fds) override;
    bool HostLetGo() override { return clientFd_ < 0; }

  private:
    void Drop();
    bool OpenListener(std::string& error);
    void FollowRestart();

    PrinterCore& core_;
    ByteLink link_;
    std::string address_;
    int listenFd_ = -1;
    int clientFd_ = -1;
    int port_ = 0;
    int connections_ = 0;
};
