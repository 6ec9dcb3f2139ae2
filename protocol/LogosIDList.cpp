#include "protocol/LogosIDList.h"

#include <algorithm>

void LogosIDList::AddID(uint64_t id) {
    vIDs.insert(std::upper_bound(vIDs.begin(), vIDs.end(), id), id);
}
