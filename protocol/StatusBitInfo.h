#pragma once

// How a status bit is signalled to the user.
typedef int SignalFamilyTable;

// One described status bit.
class StatusBitInfo {
  public:
    static constexpr int TEXT_SIZE = 512;

    StatusBitInfo();
    StatusBitInfo(int byte, int bit, const char* description, SignalFamilyTable family);

    // "byte,bit", two decimal numbers; both stored on success.
    bool AddByteBit(const char* text);
    // One decimal number into iID / eSignalFamily.
    bool AddId(const char* text);
    bool AddSignal(const char* text);
    // Texts are cut at 511 characters.
    void SetDescription(const char* text);
    void SetAdditionalDescription(const char* text);

    int iByte = 0;
    int iBit = 0;
    int iID = 0;
    char szDescription[TEXT_SIZE];
    char szAdditionalDescription[TEXT_SIZE];
    SignalFamilyTable eSignalFamily = 0;
};
