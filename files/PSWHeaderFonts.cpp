#include "files/PSWHeaderFonts.h"

#include "common/Log.h"

const char* const PSWHeaderFonts::HeaderMarker[] = {"f", "F", ""};

int PSWHeaderFonts::ExtractHederInfo(const unsigned char* data, int64_t size, int64_t position,
                                     bool& /*carriesUpgrade*/) {
    static const char* const fn = "ExtractHederInfo";
    if (data == nullptr || !HasBytes(size, position, RECORD_SIZE)) return HEADER_RANGE_ERROR;
    const unsigned char* r = data + position;
    iPswType = r[0] == 'f' ? 1 : 0;
    iNumFont = r[1];
    Log::WriteLogP(fn, "iNumFont: %d", iNumFont);
    iTotFonts = r[2];
    Log::WriteLogP(fn, "iTotFonts: %d", iTotFonts);
    iFontSizeX = r[3];
    Log::WriteLogP(fn, "iFontSizeX: %d", iFontSizeX);
    iFontSizeY = r[4];
    Log::WriteLogP(fn, "iFontSizeY: %d", iFontSizeY);
    iFontAsciiStart = r[5];
    Log::WriteLogP(fn, "iFontAsciiStart: %d", iFontAsciiStart);
    iFontAsciiEnd = r[6];
    Log::WriteLogP(fn, "iFontAsciiEnd: %d", iFontAsciiEnd);
    // The first generation has a 3-byte address, so everything after it
    // stands one byte earlier.
    const int shift = iPswType == 1 ? 0 : -1;
    uiAddrStart = ReadBE(r + 7, iPswType == 1 ? 4 : 3);
    Log::WriteLogP(fn, "uiAddrStart: %d", static_cast<int>(uiAddrStart));
    iFontOrient = r[11 + shift];
    Log::WriteLogP(fn, "iFontOrient: %d", iFontOrient);
    iMarginLeft = ReadSigned(r[12 + shift]);
    Log::WriteLogP(fn, "iMarginLeft: %d", iMarginLeft);
    iMarginRight = ReadSigned(r[13 + shift]);
    Log::WriteLogP(fn, "iMarginRight: %d", iMarginRight);
    iMarginUp = ReadSigned(r[14 + shift]);
    Log::WriteLogP(fn, "iMarginUp: %d", iMarginUp);
    iMarginDown = ReadSigned(r[15 + shift]);
    Log::WriteLogP(fn, "iMarginDown: %d", iMarginDown);
    iSort = r[16 + shift];
    Log::WriteLogP(fn, "iSort: %d", iSort);
    if (iPswType == 1) {
        strFontName = ReadText(r + 17, 8);
        Log::WriteLogP(fn, "strFontName: %s", strFontName.c_str());
        iNumModuleParent = r[25];
        Log::WriteLogP(fn, "iNumModuleParent: %d", iNumModuleParent);
        strRelHeaderSupp = ReadText(r + 26, 3);
        Log::WriteLogP(fn, "strRelHeaderSupp: %s", strRelHeaderSupp.c_str());
        strHeaderType = ReadText(r + 29, 1);
        Log::WriteLogP(fn, "strHeaderType: %s", strHeaderType.c_str());
    }
    return HEADER_OK;
}

int PSWHeaderFonts::ExtractDataBuffer(unsigned char* binData, int64_t binLength,
                                      int64_t startDataIntoFile) {
    // Bytes per row: the width rounded up to whole bytes. A negative right
    // margin can make the width negative; -1 to -7 dots round up to 0 bytes
    // (a font without data), anything below gives a negative size, which the
    // range check refuses.
    int64_t width = static_cast<int64_t>(iFontSizeX) + iMarginRight;
    int64_t rowBytes = width + 7 >= 0 ? (width + 7) / 8 : -((-(width + 7) + 7) / 8);
    int64_t bytesPerChar = rowBytes * iFontSizeY;
    int64_t chars = static_cast<int64_t>(iFontAsciiEnd) - iFontAsciiStart + 1;
    int64_t bytes = bytesPerChar * chars;
    if (bytesPerChar < 0 || chars < 0) bytes = -1;
    int64_t offset = static_cast<int64_t>(uiAddrStart) - (iPswType == 1 ? startDataIntoFile : 0);
    return ViewRange(binData, binLength, offset, bytes, pDataBuffer, uiDataSize, "Font")
               ? HEADER_OK
               : HEADER_RANGE_ERROR;
}
