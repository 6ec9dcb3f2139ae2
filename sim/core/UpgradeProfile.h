#pragma once

#include <cstdint>
#include <string>
#include <vector>

// How the simulated printer takes a firmware package or a module: its
// identity as the upgrade information tells it, its flash layout, its
// restart, and the faults to show. (The protocol version and the data
// groups offered are the setup answers' own.)
struct UpgradeProfile {
    // The steps of the dialogue at which a fault can be placed.
    enum Step {
        STEP_UPGRADE_INFO,  // "<C112>"
        STEP_MODULES_LIST,  // "<C64>"
        STEP_MODULE,        // the verdict byte after a module file
        STEP_PROGRAM,       // the answer byte after a bank program command
        STEP_COUNT
    };
    enum class Fault { None, Silent, Error, WrongRecord, Garbage, Drop };
    struct StepFault {
        Fault fault = Fault::None;
        int errorCode = 5;  // the printer's own number in "<ERRn>"
    };

    std::string mode = "U1";  // "U1".."U5", or anything else
    std::string settings;     // configuration text ("0;": no programming answer)
    uint32_t family = 0;      // 0: this printer takes any package
    uint32_t model = 0;
    uint32_t customization = 0;
    std::vector<std::string> moduleCodes;  // the "<C64>" list

    uint32_t bankSize = 4096;  // flash bank size
    int banks = 0;  // banks of the flash (mode U5: the last one is not answered); 0 unknown
    std::string newRelease;    // release after a firmware download; empty: unchanged
    int restartMs = 300;       // time away during a restart
    int restartGraceMs = 100;  // time between the last answer and the restart

    StepFault steps[STEP_COUNT];
    int moduleVerdict = -1;  // forced verdict byte of every module file (-1: the printer's own)
    int programAnswer = -1;  // forced programming answer byte (-1: the printer's own)
    bool programAnswerOnce = false;
    bool restartNeverEnds = false;  // the printer does not come back
    bool keepRelease = false;       // comes back with the old release
    int silentAfterBank = 0;        // hangs once this many banks have arrived (0: never)
    int dropAfterBank = 0;          // drops the connection then (0: never)
};

// "upginfo", "modlist", "module", "program".
bool ParseUpgradeStep(const std::string& name, UpgradeProfile::Step& step);
