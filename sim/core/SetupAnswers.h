#pragma once

#include <string>
#include <vector>

#include "sim/core/PrinterCore.h"
#include "sim/core/StepFaults.h"

// The printer's setup header lines ("<C2>"), which a setup read prints.
struct SetupAnswers {
    // Request name, as recorded by the core and used by the step faults.
    static constexpr const char* HEADER = "HEADER";

    std::vector<std::string> headerLines{"PRNSIM RECEIPT PRINTER", "FIRMWARE RELEASE 1.00",
                                         "INTERFACE USB/ETH/RS232", "PAPER WIDTH 80 MM"};

    void Install(PrinterCore& core, const StepFaults& faults) const;
};
