#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

enum ZPDElementType : int32_t {
    ZPD_NONE = 0,
    ZPD_DATA = 1,
    ZPD_WAITANSWER = 2,
    ZPD_RESETDEV = 3,
    ZPD_SLEEPMSEC = 4,
};

// One step of a ZPD script: bytes to send, an answer to wait for, a device
// reset or a pause, with an optional description taken from a comment.
class CZPDElement {
  public:
    CZPDElement() = default;
    explicit CZPDElement(ZPDElementType type) : eType(type) {}
    CZPDElement(ZPDElementType type, uint32_t value) : eType(type), uiSleepMsec(value) {}
    CZPDElement(ZPDElementType type, const unsigned char* data, uint32_t length);
    CZPDElement(const CZPDElement&) = delete;
    CZPDElement& operator=(const CZPDElement&) = delete;

    // The description ends at the first CR or LF; a length of 0 removes it.
    void SetDescription(const char* text, size_t length);
    bool IsAnswerCheck() const { return eType == ZPD_WAITANSWER; }
    void ReleaseMemory();

    ZPDElementType eType = ZPD_NONE;
    std::unique_ptr<unsigned char[]> pData;
    uint32_t uiLength = 0;
    uint32_t uiSleepMsec = 0;
    std::unique_ptr<char[]> pDescription;
};
