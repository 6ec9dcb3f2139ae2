#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "comm/CommPortSettings.h"
#include "tests/comm/ScriptedLink.h"

// A network-kind link for the printer operations: opens without a socket,
// answers the identification handshake as told, and reads its script.
class OperationLink : public ScriptedLink {
  public:
    bool handshakeResult = true;
    unsigned long gsiWord = 0x12;
    bool flagEveryWrite = false;  // writes succeed but set the error flag
    int handshakes = 0;
    int closes = 0;

    using CComPort::Init;
    bool Init(char*, int) override { return true; }
    bool Open() override { return true; }
    bool Close() override {
        ++closes;
        return true;
    }
    bool HandshakeCommunication(unsigned long* gsi) override {
        ++handshakes;
        if (gsi != nullptr) *gsi = gsiWord;
        return handshakeResult;
    }
    unsigned Write(unsigned char* buf, unsigned len, unsigned* err) override {
        unsigned written = ScriptedLink::Write(buf, len, err);
        if (flagEveryWrite) *err = 1;
        return written;
    }

    std::vector<unsigned char> Written(size_t index) const { return writes.at(index).bytes; }
};

// Link parameters that make OpenCommunicationPort use the network form of Init.
inline CommPortSettings NetworkSettings() {
    CommPortSettings settings;
    settings.iType = COMMPORT_ETH;
    snprintf(settings.szEthAddress, sizeof(settings.szEthAddress), "%s", "printer");
    settings.iEthPort = 9100;
    return settings;
}
