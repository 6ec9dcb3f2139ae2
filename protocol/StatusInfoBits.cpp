#include "protocol/StatusInfoBits.h"

StatusInfoBits::~StatusInfoBits() {
    for (StatusBitInfo* bit : vBits) delete bit;
}

bool StatusInfoBits::AddStatusBitInfo(StatusBitInfo* bit) {
    if (bit == nullptr) return false;
    if (bit->iByte < 1 || bit->iByte > iNumBytes || bit->iBit < 0 || bit->iBit > 7) {
        delete bit;
        return false;
    }
    for (StatusBitInfo*& held : vBits) {
        if (held->iByte == bit->iByte && held->iBit == bit->iBit) {
            delete held;
            held = bit;
            return true;
        }
    }
    vBits.push_back(bit);
    return true;
}

void StatusInfoBits::AddStatusBitInfoList(std::vector<StatusBitInfo*>* bits) {
    if (bits == nullptr) return;
    for (StatusBitInfo* bit : *bits) AddStatusBitInfo(bit);
    bits->clear();
}
