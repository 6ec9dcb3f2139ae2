#pragma once

#include <cstddef>

// Kind of one answer field; the values are fixed and compared as numbers.
enum FTYPE : int {
    FTYPE_NONE = 0,
    FTYPE_STX = 0x11,
    FTYPE_ETX = 0x12,
    FTYPE_ACK = 0x13,
    FTYPE_NACK = 0x14,
    FTYPE_VSTRING_VALUE = 0x1100,
    FTYPE_VINT_VALUE = 0x1200,
    FTYPE_VCMDID_VALUE = 0x1400,
    FTYPE_STRING_VALUE = 0x1800,
    FTYPE_EMPTY = 0x2000,
    FTYPE_VDATABYTES = 0x3000,
};

// One field of a printer answer. Owns its raw bytes and its printable text.
class ProtocollFieldInfo {
  public:
    ProtocollFieldInfo() = default;
    ~ProtocollFieldInfo();
    ProtocollFieldInfo(const ProtocollFieldInfo&) = delete;
    ProtocollFieldInfo& operator=(const ProtocollFieldInfo&) = delete;

    // Copies length bytes as the field's data (none for length 0).
    void SetData(const unsigned char* data, size_t length);
    // Builds szText from the data: printable bytes kept, 00 ends, others blank.
    // For a tag field also its content: the text of the bytes between "<" and ">".
    void BuildText(bool isTag);
    // Content of a tag field ("<5>" gives "5"); empty for other fields.
    const char* Content() const;

    unsigned char* pFieldData = nullptr;
    int iFieldSize = 0;
    int iFieldType = FTYPE_NONE;
    char* szText = nullptr;
    int iValue = 0;
    float fValue = 0.0f;
    unsigned long ulByteSum = 0;

  private:
    char* szContent = nullptr;
};
