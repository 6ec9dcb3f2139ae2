#pragma once

#include <cstdio>
#include <memory>
#include <string>

#include "sim/core/PrinterCore.h"
#include "sim/core/SetupAnswers.h"
#include "sim/core/StepFaults.h"
#include "sim/core/TamperModule.h"
#include "sim/core/ToolHandlers.h"
#include "sim/core/ZpdResponder.h"

// The printer's options for the protocol requests, the tools, the
// anti-tamper download and recorded scripts.
struct OpsOptions {
    SetupAnswers setup;
    ToolHandlers::Settings tools;
    TamperModule::Settings tamper;
    ZpdResponder::Settings zpd;
    StepFaults faults;
    std::string recordPath;  // where everything received is written at the end

    bool headerGiven = false;
    bool toolLinesGiven = false;
};

// Takes the option at argv[i] when it is one of these: returns the number of
// words it took, 0 when the word is not one of them, -1 with a reason in error
// for a bad value.
int ParseOpsOption(int argc, char** argv, int i, OpsOptions& options, std::string& error);

const char* OpsUsage();

// The parts of the printer these options describe, installed into a core.
class OpsPrinter {
  public:
    explicit OpsPrinter(const OpsOptions& options);
    void Install(PrinterCore& core);
    // What the operations left behind, printed at the end of a run; writes
    // the record file when one was asked for.
    void Finish(const PrinterCore& core, FILE* out) const;

  private:
    OpsOptions options_;
    ToolHandlers tools_;
    TamperModule tamper_;
    ZpdResponder zpd_;
};
