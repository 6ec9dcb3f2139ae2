#pragma once

#include <cstdint>

// The package scrambling scheme: a one-byte key, an odd ("Dispari") and an
// even ("Pari") variant. Every buffer routine works in place on length bytes
// from buffer[start], in a single pass, and returns 1.
class EncryptionPSW {
  public:
    static int GetScramblebyte();

    static unsigned char EncryptionGSIByte(unsigned char gsi, unsigned char key);
    static unsigned char DecryptionGSIByte(unsigned char value, unsigned char key);

    static unsigned char ByteRotateSx(unsigned char value, int n);
    static unsigned char ByteRotateDx(unsigned char value, int n);

    static int EncryptionBuffer(unsigned char key, unsigned char* buffer, int64_t start,
                                int64_t length);
    static int DecryptionBuffer(unsigned char key, unsigned char* buffer, int64_t start,
                                int64_t length);

    static int EncryptionBufferFromBufferDispari(unsigned char key, unsigned char* buffer,
                                                 int64_t start, int64_t length);
    static int EncryptionBufferFromBufferPari(unsigned char key, unsigned char* buffer,
                                              int64_t start, int64_t length);
    static int DecryptionBufferFromBufferDispari(unsigned char key, unsigned char* buffer,
                                                 int64_t start, int64_t length);
    static int DecryptionBufferFromBufferPari(unsigned char key, unsigned char* buffer,
                                              int64_t start, int64_t length);
};
