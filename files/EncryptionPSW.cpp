#include "files/EncryptionPSW.h"

#include <cstdlib>
#include <ctime>

namespace {

inline unsigned char RotL(unsigned char v, unsigned r) {
    return static_cast<unsigned char>((v << r) | (v >> ((8 - r) & 7)));
}
inline unsigned char RotR(unsigned char v, unsigned r) {
    return static_cast<unsigned char>((v >> r) | (v << ((8 - r) & 7)));
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
    for (int64_t i = 0; i < length; ++i) {
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
    for (int64_t i = 0; i < length; ++i) {
        p[i] = static_cast<unsigned char>(key ^ RotL(p[i], (i >> 5) & 7));
    }
    return 1;
}
