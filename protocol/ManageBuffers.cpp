#include "protocol/ManageBuffers.h"

uint64_t ManageBuffers::CalcChecksum(const unsigned char* buf, unsigned long first,
                                     unsigned long last) {
    uint64_t sum = 0;
    if (buf == nullptr || first > last) return 0;
    for (unsigned long i = first; i <= last; ++i) {
        sum += buf[i];
        if (i == last) break;  // last may be the largest index a long can hold
    }
    return sum;
}

int ManageBuffers::GetBufferPosition(const unsigned char* buf, int len, int start,
                                     const unsigned char* pattern, int patternLen) {
    if (buf == nullptr || pattern == nullptr || patternLen < 1 || start < 0 || start >= len) {
        return -1;
    }
    // After a partial match fails, the search restarts one byte after the
    // position where that partial match began.
    for (int begin = start; len - begin >= patternLen; ++begin) {
        int matched = 0;
        while (matched < patternLen && buf[begin + matched] == pattern[matched]) ++matched;
        if (matched == patternLen) return begin;
    }
    return -1;
}
