// Package loader on arbitrary bytes: it must refuse or load, never read
// outside the input, and describe what it loaded within the text it is given.
// Most inputs get their integrity fields repaired first (the stored pair of
// a second-generation package recomputed, a first-generation one switched
// off), so that mutations reach the record and data area handling.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "files/FileChecksum.h"
#include "files/PSWFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> input(data, data + size);
    if (size >= 32 && input[0] == 'P' && (input[1] & 1) == 0) {
        FileChecksum sums;
        if (input[24] == '2') sums = FileChecksum::Compute(input.data() + 32, size - 32);
        input[26] = sums.uiChecksum1 >> 8;
        input[27] = sums.uiChecksum1 & 0xFF;
        input[28] = sums.uiChecksum2 >> 8;
        input[29] = sums.uiChecksum2 & 0xFF;
    }
    PSWFile package;
    if (package.LoadPSWFromMemory(input.data(), static_cast<int64_t>(size), false)) {
        std::vector<char> text(8192, '\0');
        package.GetFileInfo(text.data(), text.size());
    }
    return 0;
}
