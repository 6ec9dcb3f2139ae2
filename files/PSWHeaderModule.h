#pragma once

#include "files/PSWHeader.h"

// Module record, marker "m": one module file carried inside the package.
class PSWHeaderModule : public PSWHeader {
  public:
    static const char* const HeaderMarker[];
    // modModuleID values.
    static constexpr int32_t MODULE_FONT = 0;
    static constexpr int32_t MODULE_FLASHDISK = 2;
    static constexpr int32_t MODULE_OTHER = 5;
    static constexpr int32_t MODULE_SOFTWARE = 6;
    static constexpr int32_t MODULE_LOGOS = 7;

    PSWHeaderModule() : PSWHeader(HTYPE_MODULE) {}
    int ExtractHederInfo(const unsigned char* data, int64_t size, int64_t position,
                         bool& carriesUpgrade) override;
    int ExtractDataBuffer(unsigned char* binData, int64_t binLength,
                          int64_t startDataIntoFile) override;

    static int32_t ModuleIdFromChar(unsigned char c);

    int32_t modModuleID = 0;
    int32_t iNumModule = 0;
    int32_t iTotModules = 0;
    uint32_t uiAddrStart = 0;
    uint32_t uiModuleSize = 0;
    int32_t iNumBank = 0;
    uint32_t uiBankDim = 0;
    ByteView pDataBuffer;
    uint32_t uiDataSize = 0;
};
