#pragma once

#include "comm/CommPortType.h"

// Settings of one run, filled from the command line.
struct ProgramSettings {
    static constexpr int TEXT_SIZE = 1024;  // 1023 characters and a terminator
    static constexpr int TOOL_PART_SIZE = 128;

    char filename[TEXT_SIZE] = {};
    char device[TEXT_SIZE] = {};
    char type[TEXT_SIZE] = {};
    char toolfilename[TEXT_SIZE] = {};
    int timem = 1;
    int tampermode = 0;
    int usbdevlist = 0;
    int ethdevlist = 0;
    int printerversion = 0;
    int enable_log = 0;  // 1 log on standard output, 2 log appended to "data.log"
    int executetool = 0;
    int toolnumber = 0;
    int toolid = 0;
    int isMod = 0;
    int isPswPfw = 0;
    int isBin = 0;
    int isZpd = 0;
    int isSpt = 0;
    int upg_components = 255;  // 1 firmware, 2 main modules, 4 other modules
    COMMPORTTYPE commPortType = COMMPORT_NONE;

    // Opt-in options of this program beyond the classic set; without them
    // every byte written and every exit code stay as they were.
    int verify = 0;  // "--verify": a success must be confirmed by the printer
    int dryrun = 0;  // "--dry-run": talk to the printer, write nothing, tell the plan
    int json = 0;    // "--json" (with "--dry-run"): the plan as one JSON document
};
