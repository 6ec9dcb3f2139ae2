#include "files/PSWHeaderPrinter.h"

#include "common/Log.h"

const char* const PSWHeaderPrinter::HeaderMarker[] = {"P", ""};

int PSWHeaderPrinter::ExtractHederInfo(const unsigned char* data, int64_t size, int64_t position,
                                       bool& /*carriesUpgrade*/) {
    static const char* const fn = "ExtractHederInfo";
    if (data == nullptr || !HasBytes(size, position, RECORD_SIZE)) return HEADER_RANGE_ERROR;
    const unsigned char* r = data + position;
    strPrinterModel = ReadText(r + 1, 8);
    Log::WriteLogP(fn, "strPrinterModel: %s", strPrinterModel.c_str());
    strReleaseHW = ReadText(r + 9, 2);
    Log::WriteLogP(fn, "strReleaseHW: %s", strReleaseHW.c_str());
    strReleasePSW = ReadText(r + 11, 3);
    Log::WriteLogP(fn, "strReleasePSW: %s", strReleasePSW.c_str());
    strCreationDate = ReadText(r + 14, 6);
    Log::WriteLogP(fn, "strCreationDate: %s", strCreationDate.c_str());
    iNumBanksVectorInterrupt = r[20];
    Log::WriteLogP(fn, "iNumBanksVectorInterrupt: %d", iNumBanksVectorInterrupt);
    iGSILow = r[21];
    Log::WriteLogP(fn, "iGSILow: %d", iGSILow);
    cComPortType = r[22] == 'S' ? 0 : (r[22] == 'P' ? 1 : 2);
    Log::WriteLogP(fn, "cComPortType: %d", cComPortType);
    iScrambleByte = r[23];
    Log::WriteLogP(fn, "iScrambleByte: %d", iScrambleByte);
    iPswType = r[24] == '2' ? 1 : 0;
    Log::WriteLogP(fn, "iPswType: %d", iPswType);
    iGSIHight = r[25];
    Log::WriteLogP(fn, "iGSIHight: %d", iGSIHight);
    uiChecksum1 = ReadBE(r + 26, 2);
    Log::WriteLogP(fn, "uiChecksum1: 0x%04X", uiChecksum1);
    uiChecksum2 = ReadBE(r + 28, 2);
    Log::WriteLogP(fn, "uiChecksum2: 0x%04X", uiChecksum2);
    return HEADER_OK;
}
