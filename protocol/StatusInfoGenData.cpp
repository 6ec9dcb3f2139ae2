#include "protocol/StatusInfoGenData.h"

namespace {

struct StandardBit {
    int byte;
    int bit;
    const char* description;
    SignalFamilyTable family;
};

const StandardBit kStandardBits[] = {
    {1, 0, "Paper not present", 2},
    {1, 2, "Near paper end", 1},
    {1, 5, "Ticket present in output", 1},
    {2, 0, "Thermal print head lifted", 1},
    {2, 1, "Cover opened", 1},
    {2, 2, "Spooling", 0},
    {2, 3, "Drag motor rolling", 0},
    {2, 5, "LF key pressed", 0},
    {2, 6, "FF key pressed", 0},
    {3, 0, "Head temperature Error", 2},
    {3, 1, "COM Error", 2},
    {3, 3, "Power supply voltage Error", 2},
    {3, 4, "Wait char Timeout Error", 2},
    {3, 5, "Command Error", 2},
    {3, 6, "Paper jam", 2},
    {4, 0, "Cutter Error", 2},
    {4, 2, "RAM Error", 2},
    {4, 3, "EEPROM Error", 2},
};

}  // namespace

StatusInfoGenData::StatusInfoGenData() : StatusInfoBits(4) { InitWithStandardBits(); }

void StatusInfoGenData::InitWithStandardBits() {
    for (const StandardBit& b : kStandardBits) {
        AddStatusBitInfo(new StatusBitInfo(b.byte, b.bit, b.description, b.family));
    }
}

std::vector<StatusBitInfo*> StatusInfoGenData::GetOnlyBitsAvailable() const {
    uint64_t mask = ulBitMaskSupported;
    return BitsInOrder([mask](int byte, int bit) {
        unsigned position = static_cast<unsigned>((byte - 1) * 8 + bit);
        return position < 64 && ((mask >> position) & 1u) != 0;
    });
}
