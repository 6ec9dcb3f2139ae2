#pragma once

#include "operations/DryRunFacts.h"

class CComPort;
class CommPortSettings;
class PSWFile;
class PrinterComm;

// A package upgrade run up to its first request that would change the
// printer: the link opened, the protocol version, the data available, the
// upgrade information, the identity check against the package, the engine's
// own checks of the package and the firmware release read. Nothing that
// writes to the printer's memory is sent; the link is closed on every way out.
class PackageDryRun {
  public:
    // True when the real run would go on; else the PrinterComm error code is
    // the one the real run would store, and so is facts.errorCode.
    static bool Run(PrinterComm& comm, CComPort& link, PSWFile& package, CommPortSettings& settings,
                    DryRunFacts& facts);
};
