#pragma once

#include <cstdint>
#include <vector>

// Identifiers of the printer's setup items, in answer order ("<C3>").
class SetupItemIDList {
  public:
    void AddID(uint64_t id) { vIDs.push_back(id); }

    std::vector<uint64_t> vIDs;
};
