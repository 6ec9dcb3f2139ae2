#pragma once

#include <cstddef>
#include <cstdint>

// The file checksum pair over a run of bytes: the sum of the bytes and the
// sum of (byte XOR index), both modulo 65536, the index counting from 0.
struct FileChecksum {
    uint16_t uiChecksum1 = 0;
    uint16_t uiChecksum2 = 0;

    static FileChecksum Compute(const unsigned char* data, size_t length);
};
