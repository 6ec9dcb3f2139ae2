#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "sim/core/PackageImage.h"
#include "sim/core/ReceivedImage.h"
#include "sim/core/UpgradeProfile.h"
#include "sim/core/UpgradeVerdict.h"

class PrinterCore;

// The printer's side of a package upgrade and of a module write: the
// upgrade information and module list answers, module files with their verdict byte, and the flash
// bank transfers of modes U1, U3 and U5 with their answers and restarts. One handler per request,
// installed into a printer core.
class UpgradeHandlers {
  public:
    // package may be null (nothing to compare with); it must outlive this.
    UpgradeHandlers(PrinterCore& core, const UpgradeProfile& profile, const PackageImage* package);
    void Install();

    // Report lines (no prefix) and the received files, see ReceivedImage.
    std::vector<std::string> Report() const;
    bool Save(const std::string& dir, std::string& error) const;
    // What the printer holds now; bootImage is what its USB boot program
    // holds when it programmed a whole image (else empty).
    HeldState Held(const std::vector<uint8_t>& bootImage) const;

  private:
    using Bytes = std::vector<uint8_t>;

    // The normal answer of a protocol step, or what its fault makes of it.
    void StepAnswer(UpgradeProfile::Step step, int commandId, Bytes normal, Bytes& answer);
    // A one-byte answer (module verdict, programming answer) and its fault.
    void ByteAnswer(UpgradeProfile::Step step, uint8_t byte, Bytes& answer);

    size_t OnFlash(const uint8_t* data, size_t length, Bytes& answer);
    size_t OnModule(const std::string& lastRequest, const uint8_t* data, size_t length,
                    Bytes& answer);
    // The bank-progress faults while a transfer comes in.
    void WatchBanks(size_t banksArrived);
    uint8_t ProgramAnswer(bool checksumsMatch);
    void Restart();

    PrinterCore& core_;
    UpgradeProfile profile_;
    const PackageImage* package_;
    std::string newRelease_;

    mutable std::mutex mutex_;  // taken inside the core's lock
    ReceivedImage received_;
    std::vector<std::string> notes_;
    size_t banksSeen_ = 0;  // banks of all transfers, for the progress faults
    bool progressFaultDone_ = false;
};
