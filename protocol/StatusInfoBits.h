#pragma once

#include <algorithm>
#include <vector>

#include "comm/StatusWayPorts.h"
#include "protocol/StatusBitInfo.h"

// Described status bits of one status kind, shared by the general and the
// extended status descriptions. Owns its bits.
class StatusInfoBits {
  public:
    explicit StatusInfoBits(int numBytes) : iNumBytes(numBytes) {}
    virtual ~StatusInfoBits();
    StatusInfoBits(const StatusInfoBits&) = delete;
    StatusInfoBits& operator=(const StatusInfoBits&) = delete;

    // Takes ownership of bit. A bit outside bytes 1..iNumBytes or bits 0..7 is
    // refused (deleted, false); one at the place of a held bit replaces it.
    bool AddStatusBitInfo(StatusBitInfo* bit);
    // Adds each element in order; the vector is left empty.
    void AddStatusBitInfoList(std::vector<StatusBitInfo*>* bits);
    void SetStatusPorts(int value) { ports = StatusWayPorts(value); }

    int iNumBytes;
    std::vector<StatusBitInfo*> vBits;
    StatusWayPorts ports{1};

  protected:
    // Held bits of bytes 1..iNumBytes that pass the filter, in byte-then-bit order.
    template <typename Filter>
    std::vector<StatusBitInfo*> BitsInOrder(Filter keep) const {
        std::vector<StatusBitInfo*> out;
        for (StatusBitInfo* held : vBits) {
            if (held->iByte >= 1 && held->iByte <= iNumBytes && keep(held->iByte, held->iBit)) {
                out.push_back(held);
            }
        }
        std::sort(out.begin(), out.end(), [](const StatusBitInfo* a, const StatusBitInfo* b) {
            return a->iByte != b->iByte ? a->iByte < b->iByte : a->iBit < b->iBit;
        });
        return out;
    }
};
