#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "files/PSWFile.h"
#include "sim/mkfile/MkFile.h"
#include "tests/comm/ScriptedLink.h"
#include "upgrade/EngineClock.h"

namespace enginetest {

// A clock that only counts: sleeps advance it and are recorded.
class FakeClock : public EngineClock {
  public:
    uint64_t NowMs() override { return now; }
    void SleepMs(uint64_t ms) override {
        sleeps.push_back(ms);
        now += ms;
    }
    // Sleeps of the given length.
    int Count(uint64_t ms) const {
        int n = 0;
        for (uint64_t s : sleeps) n += s == ms ? 1 : 0;
        return n;
    }

    uint64_t now = 1000000;
    std::vector<uint64_t> sleeps;
};

// A scripted link with the slots the engines use: reopening and the
// handshake succeed as told, closings and reopenings are counted, and each
// read takes readCostMs of the clock.
class EngineLink : public ScriptedLink {
  public:
    explicit EngineLink(FakeClock& clock, int portType = COMMPORT_SERIAL) : clock_(clock) {
        iPortType = portType;
        iTimeoutTX = 1000;
        iTimeoutRX = 1000;
        uiPacketSize = 1000;
    }

    bool ReOpen() override {
        ++reopens;
        return reopenDefault;
    }
    bool Close() override {
        ++closes;
        return true;
    }
    bool HandshakeCommunication(unsigned long*) override {
        ++handshakes;
        return handshakeResult;
    }
    unsigned Read(unsigned char* buf, unsigned len, unsigned* err) override {
        clock_.now += readCostMs;
        return ScriptedLink::Read(buf, len, err);
    }
    unsigned Write(unsigned char* buf, unsigned len, unsigned* err) override {
        writeTimeouts.push_back(iTimeoutTX);
        return ScriptedLink::Write(buf, len, err);
    }
    void SetTimeoutTX(int ms) override { iTimeoutTX = ms; }
    void SetTimeoutRX(int ms) override { iTimeoutRX = ms; }
    int GetTimeoutRX() override { return iTimeoutRX; }

    // Bytes of all writes joined.
    std::vector<unsigned char> Written() const {
        std::vector<unsigned char> all;
        for (const auto& w : writes) all.insert(all.end(), w.bytes.begin(), w.bytes.end());
        return all;
    }

    std::vector<int> writeTimeouts;  // the transmit time-out of each write
    bool reopenDefault = true;
    bool handshakeResult = true;
    int reopens = 0;
    int closes = 0;
    int handshakes = 0;
    uint64_t readCostMs = 0;

  private:
    FakeClock& clock_;
};

inline std::vector<unsigned char> Bytes(std::initializer_list<int> values) {
    std::vector<unsigned char> out;
    for (int v : values) out.push_back(static_cast<unsigned char>(v));
    return out;
}

// A loaded package built from the layout.
inline bool LoadPackage(const mkfile::PackageLayout& layout, PSWFile& psw) {
    mkfile::Bytes bytes = mkfile::BuildPackage(layout);
    return psw.LoadPSWFromMemory(bytes.data(), static_cast<int64_t>(bytes.size()), true);
}

}  // namespace enginetest
