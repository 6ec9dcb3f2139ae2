// Seeds for package_fuzz: small packages of both generations.
#include <string>

#include "fuzz/FuzzSeeds.h"

int main(int argc, char** argv) {
    fuzzseeds::Seeds seeds(argc, argv);
    int n = 0;
    for (int generation : {1, 2}) {
        for (uint8_t key : {0x00, 0x01, 0x02}) {
            for (int variant = 0; variant < 3; ++variant) {
                mkfile::PackageLayout layout;
                layout.generation = generation;
                layout.key = key;
                layout.firmware = mkfile::Pattern(64, 1);
                layout.checksum = variant != 2;
                if (variant >= 1) {
                    layout.logos = {{12, 2, {}}};
                    mkfile::PackageFont font;
                    font.sizeX = 8;
                    font.sizeY = 2;
                    font.asciiStart = 65;
                    font.asciiEnd = 66;
                    font.marginRight = -1;
                    layout.fonts = {font};
                    mkfile::ModuleLayout module;
                    module.typeLetter = variant == 1 ? "F" : "D";
                    module.key = 0x21;
                    module.payload.clear();
                    mkfile::AddFontEntry(module.payload, "SEED", 3);
                    module.payload.resize(module.payload.size() + 12, 0);
                    layout.modules = {{'d', mkfile::BuildModule(module), 0, 0}};
                    mkfile::Bytes loader(32, 0);
                    loader[0] = 'u';
                    layout.extraRecords = {loader};
                }
                seeds.Write("package_" + std::to_string(n++), mkfile::BuildPackage(layout));
            }
        }
    }
    return seeds.Done();
}
