#include "files/PSWHeaderModule.h"

#include "common/Log.h"

const char* const PSWHeaderModule::HeaderMarker[] = {"m", ""};

int32_t PSWHeaderModule::ModuleIdFromChar(unsigned char c) {
    switch (c) {
        case 'f':
            return 0;
        case 'C':
            return 1;
        case 'd':
            return 2;
        case 'u':
            return 3;
        case 'b':
            return 4;
        case 's':
            return 6;
        case 'l':
            return 7;
        default:
            return MODULE_OTHER;
    }
}

int PSWHeaderModule::ExtractHederInfo(const unsigned char* data, int64_t size, int64_t position,
                                      bool& /*carriesUpgrade*/) {
    static const char* const fn = "ExtractHederInfo";
    if (data == nullptr || !HasBytes(size, position, RECORD_SIZE)) return HEADER_RANGE_ERROR;
    const unsigned char* r = data + position;
    modModuleID = ModuleIdFromChar(r[1]);
    Log::WriteLogP(fn, "modModuleID: %d", modModuleID);
    iNumModule = r[2];
    Log::WriteLogP(fn, "iNumModule: %d", iNumModule);
    iTotModules = r[3];
    Log::WriteLogP(fn, "iTotModules: %d", iTotModules);
    uiAddrStart = ReadBE(r + 4, 4);
    Log::WriteLogP(fn, "uiAddrStart: %d", static_cast<int>(uiAddrStart));
    uiModuleSize = ReadBE(r + 8, 4);
    Log::WriteLogP(fn, "uiModuleSize: %d", static_cast<int>(uiModuleSize));
    iNumBank = modModuleID == MODULE_SOFTWARE ? static_cast<int32_t>(ReadBE(r + 12, 2)) : 0;
    Log::WriteLogP(fn, "iNumBank: %d", iNumBank);
    uiBankDim = modModuleID == MODULE_SOFTWARE ? ReadBE(r + 14, 3) : 0;
    Log::WriteLogP(fn, "uiBankDim: %d", static_cast<int>(uiBankDim));
    return HEADER_OK;
}

int PSWHeaderModule::ExtractDataBuffer(unsigned char* binData, int64_t binLength,
                                       int64_t startDataIntoFile) {
    int64_t offset = static_cast<int64_t>(uiAddrStart) - startDataIntoFile;
    return ViewRange(binData, binLength, offset, uiModuleSize, pDataBuffer, uiDataSize, "Module")
               ? HEADER_OK
               : HEADER_RANGE_ERROR;
}
