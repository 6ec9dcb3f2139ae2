#pragma once

#include <cstdint>
#include <vector>

// Identifiers of the stored logos ("<C49>"), kept in ascending order.
class LogosIDList {
  public:
    // Inserts the identifier at its sorted place; duplicates stay.
    void AddID(uint64_t id);

    std::vector<uint64_t> vIDs;
};
