#include "files/FileChecksum.h"

FileChecksum FileChecksum::Compute(const unsigned char* data, size_t length) {
    FileChecksum result;
    if (data == nullptr) return result;
    // 32-bit partial sums cannot overflow within a block of 65536 bytes,
    // and the index pattern repeats with that period.
    uint32_t sum1 = 0;
    uint32_t sum2 = 0;
    size_t done = 0;
    while (done < length) {
        size_t block = length - done < 65536 ? length - done : 65536;
        const unsigned char* p = data + done;
        uint32_t s1 = 0;
        uint32_t s2 = 0;
        for (uint32_t i = 0; i < block; ++i) {
            s1 += p[i];
            s2 += p[i] ^ (i & 0xFFFFu);
        }
        sum1 += s1;
        sum2 += s2;
        done += block;
    }
    result.uiChecksum1 = static_cast<uint16_t>(sum1);
    result.uiChecksum2 = static_cast<uint16_t>(sum2);
    return result;
}
