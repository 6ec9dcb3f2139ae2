#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sim/OpsOptions.h"
#include "sim/UpgradeOptions.h"
#include "sim/core/PrinterCore.h"
#include "sim/replay/ReplayOptions.h"

// What a run of prnsim should be, from its command line.
struct SimOptions {
    bool help = false;
    bool tcp = false;
    int tcpPort = 0;
    std::string bindAddress = "127.0.0.1";
    bool discovery = false;
    int discoveryRepeat = 1;
    std::string name = "prnsim";
    bool pty = false;
    bool usb = false;
    std::vector<std::string> usbArgs;  // every word after "--usb"

    bool extendedGsi = false;
    uint16_t gsi = 0x12;  // the one-byte word, or the extended word
    std::string release = "1.00";
    PrinterCore::Faults faults;
    int refuseReopens = 0;
    std::shared_ptr<LineFaults> lineFaults = std::make_shared<LineFaults>();
    OpsOptions ops;
    UpgradeOptions upgrade;
    ReplayOptions replay;
};

// False with a reason for a word it does not know or a bad value.
bool ParseSimOptions(int argc, char** argv, SimOptions& options, std::string& error);

const char* SimUsage();
