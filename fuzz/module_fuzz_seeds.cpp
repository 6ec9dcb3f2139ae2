// Seeds for module_fuzz: module files of several types and scrambling modes.
#include <string>

#include "fuzz/FuzzSeeds.h"

int main(int argc, char** argv) {
    fuzzseeds::Seeds seeds(argc, argv);
    int n = 0;
    for (const char* letter : {"F", "D", "N", "X"}) {
        for (int mode : {-1, 0, 1}) {
            mkfile::ModuleLayout layout;
            layout.typeLetter = letter;
            layout.enmode = mode;
            layout.key = mode == -1 ? 0 : 0x5D;
            layout.crlf = n % 5 == 4;
            layout.payload.clear();
            mkfile::AddFontEntry(layout.payload, "FONT", n);
            mkfile::Bytes tail = mkfile::Pattern(20, static_cast<uint8_t>(n));
            layout.payload.insert(layout.payload.end(), tail.begin(), tail.end());
            seeds.Write("module_" + std::to_string(n++), mkfile::BuildModule(layout));
        }
    }
    return seeds.Done();
}
