// Seeds for zpd_fuzz: scripts with every kind of line.
#include <cstdio>
#include <string>

#include "fuzz/FuzzSeeds.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    mkfile::ZpdSpec spec;
    spec.body = {"# set up",
                 "[1B][40][0a]",
                 "",
                 "#>[OP_WAITPSANSWER]",
                 "#>[OP_RESETDEV]",
                 "#>[OP_SLEEPMSEC] 10",
                 "text [0A][0b]x[FF]"};
    bool ok = fuzzseeds::Write(argv[1], "zpd_0", mkfile::BuildZpd(spec));
    spec.crlf = true;
    ok = fuzzseeds::Write(argv[1], "zpd_1", mkfile::BuildZpd(spec)) && ok;
    spec.end = false;
    spec.crlf = false;
    ok = fuzzseeds::Write(argv[1], "zpd_2", mkfile::BuildZpd(spec)) && ok;
    spec.deviceLine = false;
    ok = fuzzseeds::Write(argv[1], "zpd_3", mkfile::BuildZpd(spec)) && ok;
    return ok ? 0 : 1;
}
