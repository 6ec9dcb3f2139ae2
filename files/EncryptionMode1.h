#pragma once

#include <cstdint>

// Module scrambling mode 1: a position-dependent XOR that is its own
// inverse. In place, single pass; the routines return 1.
class EncryptionMode1 {
  public:
    static int GetScramblebyte();
    static int EncryptionBuffer(unsigned char key, unsigned char* buffer, int64_t start,
                                int64_t length);
    static int DecryptionBuffer(unsigned char key, unsigned char* buffer, int64_t start,
                                int64_t length);
};
