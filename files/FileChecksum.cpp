#include "files/FileChecksum.h"

#include <cstring>

namespace {

constexpr uint64_t LOW_BYTES = 0x00FF00FF00FF00FFull;

// Adds the four 16-bit lanes of v.
uint32_t LaneSum(uint64_t v) {
    v = (v & 0x0000FFFF0000FFFFull) + ((v >> 16) & 0x0000FFFF0000FFFFull);
    return static_cast<uint32_t>(v + (v >> 32));
}

// The low byte of the index of each byte of a 256-byte run, 8 to a word:
// XORed onto the data, it gives (b[i] XOR i) but for the index's high byte,
// which only adds (i & 0xFF00) to each term.
struct IndexPattern {
    uint64_t words[32];
    IndexPattern() {
        unsigned char bytes[256];
        for (int i = 0; i < 256; ++i) bytes[i] = static_cast<unsigned char>(i);
        memcpy(words, bytes, sizeof(words));
    }
};

}  // namespace

FileChecksum FileChecksum::Compute(const unsigned char* data, size_t length) {
    FileChecksum result;
    if (data == nullptr) return result;
    static const IndexPattern pattern;
    // Sums are taken modulo 65536 and the index wraps at 65536, so a 32-bit
    // total of each can wrap freely. The bulk goes 256 bytes at a time, a
    // word of 8 bytes split into two sets of four 16-bit lanes: 256 bytes put
    // at most 32 x 255 into a lane, far below its limit.
    uint32_t sum1 = 0;
    uint32_t sum2 = 0;
    size_t i = 0;
    for (; i + 256 <= length; i += 256) {
        uint64_t a1 = 0, b1 = 0, a2 = 0, b2 = 0;
        for (int k = 0; k < 32; ++k) {
            uint64_t w;
            memcpy(&w, data + i + 8 * k, sizeof(w));
            const uint64_t x = w ^ pattern.words[k];
            a1 += w & LOW_BYTES;
            b1 += (w >> 8) & LOW_BYTES;
            a2 += x & LOW_BYTES;
            b2 += (x >> 8) & LOW_BYTES;
        }
        sum1 += LaneSum(a1) + LaneSum(b1);
        // The run starts at a multiple of 256: its index high byte is fixed.
        sum2 += LaneSum(a2) + LaneSum(b2) + 256u * static_cast<uint32_t>(i & 0xFF00u);
    }
    for (; i < length; ++i) {
        sum1 += data[i];
        sum2 += data[i] ^ static_cast<uint32_t>(i & 0xFFFFu);
    }
    result.uiChecksum1 = static_cast<uint16_t>(sum1);
    result.uiChecksum2 = static_cast<uint16_t>(sum2);
    return result;
}
