#pragma once

#include <string>

#include "operations/DryRunFacts.h"

class CComPort;
class CommPortSettings;
class PSWFile;
class UpgradeDataInfo;
class UpgradePrinter;

// The part of a package upgrade that the engine of the printer's mode would
// carry out, told without carrying it out: what it sends in which order,
// whether it would refuse the package before sending anything, how long it
// would pause. It asks the engine itself wherever the engine decides.
class UpgradePlan {
  public:
    // The steps, banks and sizes. False when the engine would give up before
    // its first write: facts.errorCode and facts.stage say why, the engine's
    // own log lines are written and the link is closed, as in the real run.
    static bool Make(UpgradePrinter& engine, const UpgradeDataInfo& info, CComPort& port,
                     PSWFile& package, DryRunFacts& facts);
    // The package's release as a printer reports it ("1.23" for "123").
    static std::string PackageRelease(const PSWFile& package);
    // The printer's firmware release as the engines read it (the link's
    // handshake, cancel, release request, one answer), on the open link.
    static bool ReadRelease(CComPort& port, std::string& release);
    // The waits of the real run and its estimated time on this link (after
    // Make): the fixed waits, the module packets' pauses and the bytes at the
    // link's rate; waits that last "at most" are not counted.
    static void Estimate(const UpgradePrinter& engine, const UpgradeDataInfo& info,
                         const CommPortSettings& link, DryRunFacts& facts);
};
