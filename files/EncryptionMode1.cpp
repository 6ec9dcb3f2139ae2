#include "files/EncryptionMode1.h"

#include "files/EncryptionPSW.h"

int EncryptionMode1::GetScramblebyte() { return EncryptionPSW::GetScramblebyte(); }

int EncryptionMode1::EncryptionBuffer(unsigned char key, unsigned char* buffer, int64_t start,
                                      int64_t length) {
    if (key == 0 || buffer == nullptr || length < 1) return 1;
    unsigned char* p = buffer + start;
    for (int64_t i = 0; i < length; ++i) {
        unsigned char m = static_cast<unsigned char>(key + i);
        unsigned char x = static_cast<unsigned char>(m ^ p[i]);
        p[i] = (i & 1) ? x : static_cast<unsigned char>(~x);
    }
    return 1;
}

int EncryptionMode1::DecryptionBuffer(unsigned char key, unsigned char* buffer, int64_t start,
                                      int64_t length) {
    return EncryptionBuffer(key, buffer, start, length);
}
