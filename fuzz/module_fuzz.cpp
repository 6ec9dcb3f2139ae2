// Module loader on arbitrary bytes. Most inputs get their checksum pair
// recomputed first, so that mutations reach the header and payload handling.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "files/FileChecksum.h"
#include "files/ModuleData.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> input(data, data + size);
    if (size >= 12 && (input[0] & 1) == 0) {
        FileChecksum sums = FileChecksum::Compute(input.data() + 6, size - 12);
        input[size - 4] = sums.uiChecksum1 >> 8;
        input[size - 3] = sums.uiChecksum1 & 0xFF;
        input[size - 2] = sums.uiChecksum2 >> 8;
        input[size - 1] = sums.uiChecksum2 & 0xFF;
    }
    ModuleData module;
    if (module.LoadModuleFromMemory(input.data(), static_cast<int64_t>(size))) {
        std::vector<char> text(8192, '\0');
        module.GetFileInfo(text.data(), text.size());
    }
    return 0;
}
