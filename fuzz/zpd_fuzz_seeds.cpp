// Seeds for zpd_fuzz: scripts with every kind of line.
#include <string>

#include "fuzz/FuzzSeeds.h"

static bool WriteSeeds(const char* folder) {
    mkfile::ZpdLayout layout;
    layout.body = {"# set up",
                   "[1B][40][0a]",
                   "",
                   "#>[OP_WAITPSANSWER]",
                   "#>[OP_RESETDEV]",
                   "#>[OP_SLEEPMSEC] 10",
                   "text [0A][0b]x[FF]"};
    bool ok = fuzzseeds::Write(folder, "zpd_0", mkfile::BuildZpd(layout));
    layout.crlf = true;
    ok = fuzzseeds::Write(folder, "zpd_1", mkfile::BuildZpd(layout)) && ok;
    layout.end = false;
    layout.crlf = false;
    ok = fuzzseeds::Write(folder, "zpd_2", mkfile::BuildZpd(layout)) && ok;
    layout.deviceLine = false;
    ok = fuzzseeds::Write(folder, "zpd_3", mkfile::BuildZpd(layout)) && ok;
    return ok;
}

int main(int argc, char** argv) { return fuzzseeds::Main(argc, argv, WriteSeeds); }
