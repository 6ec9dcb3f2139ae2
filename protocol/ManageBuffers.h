#pragma once

#include <cstdint>

// Byte-buffer routines that the answer framing rests on.
class ManageBuffers {
  public:
    // Sum of buf[first..last], both included; 0 when first > last.
    static uint64_t CalcChecksum(const unsigned char* buf, unsigned long first, unsigned long last);
    // Index of the first occurrence of pattern that begins at or after start and
    // ends before len; -1 when there is none or start is not below len.
    static int GetBufferPosition(const unsigned char* buf, int len, int start,
                                 const unsigned char* pattern, int patternLen);
};
