#include "protocol/LogoItem.h"

#include <cstdio>
#include <cstring>

void LogoItem::SetData(const unsigned char* data, int size) {
    delete[] pData;
    pData = nullptr;
    iDataSize = size > 0 ? size : 0;
    if (iDataSize == 0 || data == nullptr) return;
    pData = new unsigned char[iDataSize];
    memcpy(pData, data, static_cast<size_t>(iDataSize));
}

void LogoItem::SetFileName(const char* name) {
    snprintf(szFileName, sizeof(szFileName), "%s", name != nullptr ? name : "");
}
