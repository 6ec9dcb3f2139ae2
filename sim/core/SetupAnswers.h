#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sim/core/PrinterCore.h"
#include "sim/core/StepFaults.h"

// The printer's answers about itself: protocol version ("<C1>"), the data
// groups it offers ("<C40>") and its setup header lines ("<C2>").
struct SetupAnswers {
    // Request names, as recorded by the core and used by the step faults.
    static constexpr const char* PROTOCOL_VERSION = "PROTVER";
    static constexpr const char* DATA_AVAILABLE = "DATAAVAIL";
    static constexpr const char* HEADER = "HEADER";

    // Data groups: setup 1, logos 2, upgrade modules 4, fonts 8, tools 16,
    // printer upgrade 32, status 128.
    static constexpr uint64_t ALL_GROUPS = 1 | 2 | 4 | 8 | 16 | 32 | 128;

    std::string protocolVersion = "1.00";
    uint64_t dataAvailable = ALL_GROUPS;
    std::vector<std::string> headerLines{"PRNSIM RECEIPT PRINTER", "FIRMWARE RELEASE 1.00",
                                         "INTERFACE USB/ETH/RS232", "PAPER WIDTH 80 MM"};

    void Install(PrinterCore& core, const StepFaults& faults) const;
};
