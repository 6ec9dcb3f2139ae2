// Seeds for module_fuzz: module files of several types and scrambling modes.
#include <cstdio>
#include <string>

#include "fuzz/FuzzSeeds.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    bool ok = true;
    int n = 0;
    for (const char* letter : {"F", "D", "N", "X"}) {
        for (int mode : {-1, 0, 1}) {
            mkfile::ModuleSpec spec;
            spec.typeLetter = letter;
            spec.enmode = mode;
            spec.key = mode == -1 ? 0 : 0x5D;
            spec.crlf = n % 5 == 4;
            spec.payload.clear();
            mkfile::AddFontEntry(spec.payload, "FONT", n);
            mkfile::Bytes tail = mkfile::Pattern(20, static_cast<uint8_t>(n));
            spec.payload.insert(spec.payload.end(), tail.begin(), tail.end());
            ok = fuzzseeds::Write(argv[1], "module_" + std::to_string(n++),
                                  mkfile::BuildModule(spec)) &&
                 ok;
        }
    }
    return ok ? 0 : 1;
}
