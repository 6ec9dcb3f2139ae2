#include "files/EncryptionPSW.h"

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <utility>

namespace {

inline unsigned char RotL(unsigned char v, unsigned r) {
    return static_cast<unsigned char>((v << r) | (v >> ((8 - r) & 7)));
}
inline unsigned char RotR(unsigned char v, unsigned r) {
    return static_cast<unsigned char>((v >> r) | (v << ((8 - r) & 7)));
}

// The same rotations on every byte of a word at once: decryption is on the
// path of every package load, so it works a word at a time.
inline uint32_t RotRBytes(uint32_t v, unsigned r) {
    if (r == 0) return v;
    const uint32_t low = 0x01010101u * (0xFFu >> r);
    return ((v >> r) & low) | ((v << (8 - r)) & ~low);
}
// Odd scheme, one 32-byte run from a multiple of 32: word k of it is rotated
// by k. Written out with constant counts, which the compiler turns into
// plain shifts (several times faster than counts known only at run time).
template <unsigned R>
inline void DecryptOddWord(unsigned char* p, uint32_t keys) {
    uint32_t v;
    memcpy(&v, p + 4 * R, sizeof(v));
    if (R != 0) {
        const uint32_t low = 0x01010101u * (0xFFu >> R);
        v = ((v >> R) & low) | ((v << ((8 - R) & 7)) & ~low);
    }
    v = ~(keys ^ v);
    memcpy(p + 4 * R, &v, sizeof(v));
}
template <unsigned... R>
inline void DecryptOddRun(unsigned char* p, uint32_t keys, std::integer_sequence<unsigned, R...>) {
    (DecryptOddWord<R>(p, keys), ...);
}

inline uint64_t RotLBytes(uint64_t v, unsigned r) {
    if (r == 0) return v;
    const uint64_t high = 0x0101010101010101ull * ((0xFFu << r) & 0xFFu);
    return ((v << r) & high) | ((v >> (8 - r)) & ~high);
}

}  // namespace

int EncryptionPSW::GetScramblebyte() {
    srand(static_cast<unsigned>(time(nullptr)));
    return rand() % 254 + 1;
}

unsigned char EncryptionPSW::EncryptionGSIByte(unsigned char gsi, unsigned char key) {
    if (key == 0) return gsi;
    return static_cast<unsigned char>(~(gsi ^ key));
}

unsigned char EncryptionPSW::DecryptionGSIByte(unsigned char value, unsigned char key) {
    return EncryptionGSIByte(value, key);
}

unsigned char EncryptionPSW::ByteRotateSx(unsigned char value, int n) {
    return n < 1 ? value : RotL(value, static_cast<unsigned>(n) & 7);
}

unsigned char EncryptionPSW::ByteRotateDx(unsigned char value, int n) {
    return n < 1 ? value : RotR(value, static_cast<unsigned>(n) & 7);
}

int EncryptionPSW::EncryptionBuffer(unsigned char key, unsigned char* buffer, int64_t start,
                                    int64_t length) {
    if (key == 0) return 1;
    return (key & 1) ? EncryptionBufferFromBufferDispari(key, buffer, start, length)
                     : EncryptionBufferFromBufferPari(key, buffer, start, length);
}

int EncryptionPSW::DecryptionBuffer(unsigned char key, unsigned char* buffer, int64_t start,
                                    int64_t length) {
    if (key == 0) return 1;
    return (key & 1) ? DecryptionBufferFromBufferDispari(key, buffer, start, length)
                     : DecryptionBufferFromBufferPari(key, buffer, start, length);
}

// Odd scheme: the rotation count rises every 4 bytes and wraps every 32.
int EncryptionPSW::EncryptionBufferFromBufferDispari(unsigned char key, unsigned char* buffer,
                                                     int64_t start, int64_t length) {
    if (buffer == nullptr || length < 1) return 1;
    unsigned char* p = buffer + start;
    for (int64_t i = 0; i < length; ++i) {
        p[i] = RotL(static_cast<unsigned char>(~(key ^ p[i])), (i >> 2) & 7);
    }
    return 1;
}

int EncryptionPSW::DecryptionBufferFromBufferDispari(unsigned char key, unsigned char* buffer,
                                                     int64_t start, int64_t length) {
    if (buffer == nullptr || length < 1) return 1;
    unsigned char* p = buffer + start;
    const uint32_t keys = 0x01010101u * key;
    int64_t i = 0;
    for (; i + 32 <= length; i += 32) {
        DecryptOddRun(p + i, keys, std::make_integer_sequence<unsigned, 8>{});
    }
    for (; i + 4 <= length; i += 4) {  // four bytes share one rotation count
        uint32_t v;
        memcpy(&v, p + i, sizeof(v));
        v = ~(keys ^ RotRBytes(v, static_cast<unsigned>(i >> 2) & 7));
        memcpy(p + i, &v, sizeof(v));
    }
    for (; i < length; ++i) {
        p[i] = static_cast<unsigned char>(~(key ^ RotR(p[i], (i >> 2) & 7)));
    }
    return 1;
}

// Even scheme: the rotation count rises every 32 bytes and wraps every 256.
int EncryptionPSW::EncryptionBufferFromBufferPari(unsigned char key, unsigned char* buffer,
                                                  int64_t start, int64_t length) {
    if (buffer == nullptr || length < 1) return 1;
    unsigned char* p = buffer + start;
    for (int64_t i = 0; i < length; ++i) {
        p[i] = RotR(static_cast<unsigned char>(key ^ p[i]), (i >> 5) & 7);
    }
    return 1;
}

int EncryptionPSW::DecryptionBufferFromBufferPari(unsigned char key, unsigned char* buffer,
                                                  int64_t start, int64_t length) {
    if (buffer == nullptr || length < 1) return 1;
    unsigned char* p = buffer + start;
    const uint64_t keys = 0x0101010101010101ull * key;
    int64_t i = 0;
    for (; i + 8 <= length; i += 8) {  // 32 bytes share one rotation count
        uint64_t v;
        memcpy(&v, p + i, sizeof(v));
        v = keys ^ RotLBytes(v, static_cast<unsigned>(i >> 5) & 7);
        memcpy(p + i, &v, sizeof(v));
    }
    for (; i < length; ++i) {
        p[i] = static_cast<unsigned char>(key ^ RotL(p[i], (i >> 5) & 7));
    }
    return 1;
}
