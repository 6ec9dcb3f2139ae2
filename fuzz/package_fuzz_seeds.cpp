// Seeds for package_fuzz: small packages of both generations.
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
    for (int generation : {1, 2}) {
        for (uint8_t key : {0x00, 0x01, 0x02}) {
            for (int variant = 0; variant < 3; ++variant) {
                mkfile::PackageSpec spec;
                spec.generation = generation;
                spec.key = key;
                spec.firmware = mkfile::Pattern(64, 1);
                spec.checksum = variant != 2;
                if (variant >= 1) {
                    spec.logos = {{12, 2, {}}};
                    mkfile::PackageFont font;
                    font.sizeX = 8;
                    font.sizeY = 2;
                    font.asciiStart = 65;
                    font.asciiEnd = 66;
                    font.marginRight = -1;
                    spec.fonts = {font};
                    mkfile::ModuleSpec module;
                    module.typeLetter = variant == 1 ? "F" : "D";
                    module.key = 0x21;
                    module.payload.clear();
                    mkfile::AddFontEntry(module.payload, "SEED", 3);
                    module.payload.resize(module.payload.size() + 12, 0);
                    spec.modules = {{'d', mkfile::BuildModule(module), 0, 0}};
                    mkfile::Bytes loader(32, 0);
                    loader[0] = 'u';
                    spec.extraRecords = {loader};
                }
                ok = fuzzseeds::Write(argv[1], "package_" + std::to_string(n++),
                                      mkfile::BuildPackage(spec)) &&
                     ok;
            }
        }
    }
    return ok ? 0 : 1;
}
