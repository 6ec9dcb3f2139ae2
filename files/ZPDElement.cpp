#include "files/ZPDElement.h"

#include <algorithm>

CZPDElement::CZPDElement(ZPDElementType type, const unsigned char* data, uint32_t length)
    : eType(type) {
    if (data != nullptr && length > 0) {
        pData.reset(new unsigned char[length]);
        std::copy(data, data + length, pData.get());
        uiLength = length;
    }
}

void CZPDElement::SetDescription(const char* text, size_t length) {
    pDescription.reset();
    if (text == nullptr || length == 0) return;
    pDescription.reset(new char[length + 1]);
    for (size_t i = 0; i < length; ++i) {
        pDescription[i] = (text[i] == '\r' || text[i] == '\n') ? '\0' : text[i];
    }
    pDescription[length] = '\0';
}

void CZPDElement::ReleaseMemory() {
    pData.reset();
    uiLength = 0;
    pDescription.reset();
    eType = ZPD_NONE;
}
