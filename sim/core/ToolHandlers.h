#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "sim/core/PrinterCore.h"
#include "sim/core/StepFaults.h"

// The printer's maintenance tools: the masks it supports ("<C80>") and the
// execution request, answered by "<C81>" lines once the tool is done. Keeps
// what the tools were given: the SPT file and the date and time.
class ToolHandlers {
  public:
    static constexpr const char* TOOLS_SUPPORTED = "TOOLS";
    static constexpr const char* TOOL_EXEC = "TOOLEXEC";

    // Answer codes of a refused execution ("<ERRn>").
    static constexpr int ERR_NOT_SUPPORTED = 1;
    static constexpr int ERR_BAD_REQUEST = 2;

    // The largest SPT file taken; a longer announced length is refused.
    static constexpr size_t MAX_SPT_SIZE = 16u << 20;

    struct Settings {
        uint32_t mask1 = 0x7F;  // the seven tools of table 1
        uint32_t mask2 = 0;
        int delayMs = 0;                 // the tool's own run time
        std::vector<std::string> lines;  // answer lines of every tool; empty: per tool
        std::string sptPath;             // where a received SPT file is written
    };

    struct Run {
        uint32_t toolNum;
        uint32_t mask;
    };

    explicit ToolHandlers(const Settings& settings);

    void Install(PrinterCore& core, const StepFaults& faults);

    // What the tools received so far (for tests and the final report).
    std::vector<Run> Runs() const;
    std::vector<uint8_t> SptFile() const;
    bool HasSptFile() const;
    std::string DateTime() const;  // the twelve digits last set, or empty

  private:
    size_t Execute(const uint8_t* data, size_t length, std::vector<uint8_t>& answer);
    std::vector<std::string> LinesFor(uint32_t mask) const;
    void KeepSptFile(const uint8_t* data, size_t size);

    Settings settings_;
    mutable std::mutex mutex_;
    std::vector<Run> runs_;
    bool hasSpt_ = false;
    std::vector<uint8_t> spt_;
    std::string dateTime_;
};
