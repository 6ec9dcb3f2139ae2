#pragma once

#include <cstddef>

// The anti-tamper module's upgrade file: a plain image of IMAGE_SIZE bytes
// that names itself "anti-tamper" and carries its release after "rel.".
class CTamper {
  public:
    static constexpr long IMAGE_SIZE = 32768;
    // Four release characters and room to spare, as the caller provides it.
    static constexpr size_t RELEASE_SIZE = 6;

    // True when data is such an image; release (RELEASE_SIZE bytes) then
    // receives the up to four bytes after the first "rel." as text.
    static bool GetUpgradeFileForTamperVersion(const unsigned char* data, long size, char* release);
};
