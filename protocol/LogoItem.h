#pragma once

#include <cstdint>

// One stored logo ("<C50>"). Owns its image bytes.
class LogoItem {
  public:
    static constexpr int TEXT_SIZE = 512;

    LogoItem() { szFileName[0] = '\0'; }
    ~LogoItem() { delete[] pData; }
    LogoItem(const LogoItem&) = delete;
    LogoItem& operator=(const LogoItem&) = delete;

    // Copies the image bytes (none for a size below 1).
    void SetData(const unsigned char* data, int size);
    // Cut at 511 characters.
    void SetFileName(const char* name);

    uint64_t ulLogoID = 0;
    bool bBitmap = false;
    char szFileName[TEXT_SIZE];
    uint32_t uiWidth = 0;
    uint32_t uiHeight = 0;
    int iDataSize = 0;
    unsigned char* pData = nullptr;
};
