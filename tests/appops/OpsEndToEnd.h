#pragma once

// prnupgrade, unmodified, against a prnsim on a TCP port, a pseudo-terminal
// or the emulated USB bus.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/RunProgram.h"
#include "tests/support/SimProcess.h"
#include "tests/support/TempDir.h"

namespace opstest {

using testsupport::ProgramResult;

// What the handshake of every operation writes before its own requests:
// ESC/POS-for-SV switch, cancel, identification, cancel, firmware release.
const std::string HANDSHAKE = std::string("\x1C<EPOS>\x18\x1D\x49\x01\x18\x1D\x49\x03", 15);

inline bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// One run of prnupgrade against a printer, with what the printer saw.
struct OpsRun {
    ProgramResult program;
    std::string printer;  // prnsim's closing report
    long long ms = 0;     // wall time of prnupgrade
};

// A prnsim reached over "tcp" or "pty" (the link word), started with the
// printer options given.
class SimPrinter {
  public:
    SimPrinter(const std::string& link, const std::vector<std::string>& options);
    // Runs prnupgrade with args and the link's -t and -d, then stops the printer.
    OpsRun Run(const std::vector<std::string>& args);
    bool Started() const { return started_; }
    std::string Failure() const { return sim_.Output(); }

  private:
    testsupport::SimProcess sim_;
    std::string link_;
    bool started_ = false;
};

// prnsim with the printer options, --usb with the bus words ("--device
// DESC", "--empty"), running prnupgrade on its bus; the printer's report is
// part of program.out.
OpsRun RunOnUsb(const std::vector<std::string>& printerOptions, const std::vector<std::string>& bus,
                const std::vector<std::string>& args);

}  // namespace opstest
