// Seeds for zpd_fuzz: scripts with every kind of line.
#include <string>

#include "fuzz/FuzzSeeds.h"

int main(int argc, char** argv) {
    fuzzseeds::Seeds seeds(argc, argv);
    mkfile::ZpdLayout layout;
    layout.body = {"# set up",
                   "[1B][40][0a]",
                   "",
                   "#>[OP_WAITPSANSWER]",
                   "#>[OP_RESETDEV]",
                   "#>[OP_SLEEPMSEC] 10",
                   "text [0A][0b]x[FF]"};
    seeds.Write("zpd_0", mkfile::BuildZpd(layout));
    layout.crlf = true;
    seeds.Write("zpd_1", mkfile::BuildZpd(layout));
    layout.end = false;
    layout.crlf = false;
    seeds.Write("zpd_2", mkfile::BuildZpd(layout));
    layout.deviceLine = false;
    seeds.Write("zpd_3", mkfile::BuildZpd(layout));
    return seeds.Done();
}
