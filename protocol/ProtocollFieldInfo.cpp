#include "protocol/ProtocollFieldInfo.h"

#include <cstring>

#include "common/GenericFunctions.h"

ProtocollFieldInfo::~ProtocollFieldInfo() {
    delete[] pFieldData;
    delete[] szText;
    delete[] szContent;
}

void ProtocollFieldInfo::SetData(const unsigned char* data, size_t length) {
    delete[] pFieldData;
    pFieldData = nullptr;
    iFieldSize = static_cast<int>(length);
    if (length == 0) return;
    pFieldData = new unsigned char[length];
    memcpy(pFieldData, data, length);
}

void ProtocollFieldInfo::BuildText(bool isTag) {
    delete[] szText;
    delete[] szContent;
    szContent = nullptr;
    size_t length = static_cast<size_t>(iFieldSize);
    szText = new char[length + 1];
    GenericFunctions::ConvertBufferToStringAndClean(szText, length + 1, pFieldData, length, 0,
                                                    length);
    if (!isTag || length < 2) return;
    szContent = new char[length - 1];
    GenericFunctions::ConvertBufferToStringAndClean(szContent, length - 1, pFieldData, length, 1,
                                                    length - 2);
}

const char* ProtocollFieldInfo::Content() const { return szContent != nullptr ? szContent : ""; }
