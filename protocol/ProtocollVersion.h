#pragma once

#include <cstdint>

// Protocol version of a printer, 100 for "1.00".
class ProtocollVersion {
  public:
    ProtocollVersion() = default;
    explicit ProtocollVersion(uint64_t version) : ulVersion(version) {}

    uint64_t ulVersion = 0;
};
