#include "files/PSWFile.h"

#include <algorithm>
#include <climits>
#include <string>

#include "common/Log.h"
#include "files/EncryptionPSW.h"
#include "files/FileChecksum.h"
#include "files/InfoText.h"
#include "files/ModuleData.h"
#include "files/PSWHeaderBin.h"
#include "files/PSWHeaderBootLoader.h"
#include "files/PSWHeaderFonts.h"
#include "files/PSWHeaderGenericData.h"
#include "files/PSWHeaderLogos.h"
#include "files/PSWHeaderModule.h"
#include "files/PSWHeaderPrinter.h"
#include "files/PSWHeaderSoftware.h"
#include "files/PSWHeaderUSBLoader.h"
#include "files/PSWHeaderUpgrade.h"

namespace {

const char* const SCAN = "ScanForHeadersAndFields";

bool MatchesMarker(const char* const* table, unsigned char byte) {
    if (byte == 0) return false;
    for (size_t i = 0; table[i][0] != '\0'; ++i) {
        if (static_cast<unsigned char>(table[i][0]) == byte && table[i][1] == '\0') return true;
    }
    return false;
}

struct RecordKind {
    const char* const* markers;
    HTYPE type;
    const char* logWord;
};

// The order in which a byte is tested against the marker tables.
const RecordKind KINDS[] = {
    {PSWHeaderPrinter::HeaderMarker, HTYPE_PRINTER, "HEADER PRINTER"},
    {PSWHeaderSoftware::HeaderMarker, HTYPE_SOFTWARE, "HEADER SOFTWARE"},
    {PSWHeaderLogos::HeaderMarker, HTYPE_LOGOS, "HEADER LOGOS"},
    {PSWHeaderFonts::HeaderMarker, HTYPE_FONTS, "HEADER FONTS"},
    {PSWHeaderUSBLoader::HeaderMarker, HTYPE_USBLOADER, "HEADER USBLOADER"},
    {PSWHeaderBootLoader::HeaderMarker, HTYPE_BOOTLOADER, "HEADER BOOTLOADER"},
    {PSWHeaderGenericData::HeaderMarker, HTYPE_GENERICDATA, "HEADER GENERICDATA"},
    {PSWHeaderModule::HeaderMarker, HTYPE_MODULE, "HEADER MODULE"},
    {PSWHeaderBin::HeaderMarker, HTYPE_BIN, "HEADER BIN"},
};

std::unique_ptr<PSWHeader> MakeRecord(HTYPE type) {
    switch (type) {
        case HTYPE_PRINTER:
            return std::make_unique<PSWHeaderPrinter>();
        case HTYPE_SOFTWARE:
            return std::make_unique<PSWHeaderSoftware>();
        case HTYPE_LOGOS:
            return std::make_unique<PSWHeaderLogos>();
        case HTYPE_FONTS:
            return std::make_unique<PSWHeaderFonts>();
        case HTYPE_USBLOADER:
            return std::make_unique<PSWHeaderUSBLoader>();
        case HTYPE_BOOTLOADER:
            return std::make_unique<PSWHeaderBootLoader>();
        case HTYPE_GENERICDATA:
            return std::make_unique<PSWHeaderGenericData>();
        case HTYPE_MODULE:
            return std::make_unique<PSWHeaderModule>();
        case HTYPE_BIN:
            return std::make_unique<PSWHeaderBin>();
        default:
            return nullptr;
    }
}

uint32_t ComponentOfModule(int32_t moduleId) {
    switch (moduleId) {
        case PSWHeaderModule::MODULE_SOFTWARE:
            return PSWCOMP_FW;
        case 0:
        case 1:
            return PSWCOMP_MODULE | PSWCOMP_FONTS;
        case PSWHeaderModule::MODULE_FLASHDISK:
            return PSWCOMP_MODULE | PSWCOMP_FLASHDISK;
        case PSWHeaderModule::MODULE_LOGOS:
            return PSWCOMP_MODULE | PSWCOMP_AFTER | PSWCOMP_LOGOS;
        default:
            return PSWCOMP_MODULE | PSWCOMP_AFTER | PSWCOMP_OTHER;
    }
}

}  // namespace

bool PSWFile::LoadPSWFromFile(const char* path, bool requireUpgrade) {
    components.ResetList();
    Log::WriteLogP("LoadPSWFromFile", "Opening PSW File: %s", path ? path : "");
    long size = -1;
    ByteBuffer data = ReadWholeFile(path, size);
    if (!data || size < 0) return false;
    if (size > INT32_MAX) {
        Log::WriteLogP("LoadPSWFromFile", "ERROR file too large (%ld bytes)", size);
        return false;
    }
    pData = std::move(data);
    iSize = static_cast<int32_t>(size);
    return LoadPSW(requireUpgrade);
}

bool PSWFile::LoadPSWFromMemory(const unsigned char* buffer, int64_t size, bool requireUpgrade) {
    components.ResetList();
    if (buffer == nullptr || size < 0) return false;
    if (size > INT32_MAX) {
        Log::WriteLogP("LoadPSWFromMemory", "ERROR package too large (%lld bytes)",
                       static_cast<long long>(size));
        return false;
    }
    pData = CopyToByteBuffer(buffer, static_cast<size_t>(size));
    if (!pData) {
        Log::WriteLogP("LoadPSWFromMemory", "ERROR no memory for %lld bytes",
                       static_cast<long long>(size));
        return false;
    }
    iSize = static_cast<int32_t>(size);
    return LoadPSW(requireUpgrade);
}

bool PSWFile::LoadPSW(bool requireUpgrade) {
    vHeaders.clear();
    if (!ScanForHeadersAndFields()) return false;
    if (requireUpgrade && GetHeadersCount(HTYPE_UPGRADE) < 1) {
        Log::WriteLogP("LoadPSW", "This PSW doesn't contain the Upgrade fields");
        return false;
    }
    return true;
}

bool PSWFile::CheckIntegrity(uint16_t stored1, uint16_t stored2, uint16_t computed1,
                             uint16_t computed2) {
    if (stored1 != computed1) {
        Log::WriteLogP(SCAN, "ERROR File integrity Checksum!");
        Log::WriteLogP(SCAN, "ERROR Checksum file (1) : 0x%04X(F) - 0x%04X(C)", stored1, computed1);
        return false;
    }
    if (stored2 != computed2) {
        Log::WriteLogP(SCAN, "ERROR File integrity Checksum!");
        Log::WriteLogP(SCAN, "ERROR Checksum file (2) : 0x%04X(F) - 0x%04X(C)", stored2, computed2);
        return false;
    }
    Log::WriteLogP(SCAN, "File integrity Checksum PASSED!");
    return true;
}

bool PSWFile::ScanForHeadersAndFields() {
    Log::WriteLogP(SCAN, "Search Headers:");
    iPswType = 0;
    uint16_t stored1 = 0;
    uint16_t stored2 = 0;
    const unsigned char* data = pData.get();
    int64_t p = 0;
    while (data != nullptr && p < iSize) {
        const RecordKind* kind = nullptr;
        for (const RecordKind& k : KINDS) {
            if (MatchesMarker(k.markers, data[p])) {
                kind = &k;
                break;
            }
        }
        if (kind == nullptr) break;
        Log::WriteLogP(SCAN, "Found %d (%s)", static_cast<int>(kind->type), kind->logWord);
        std::unique_ptr<PSWHeader> record = MakeRecord(kind->type);
        bool carriesUpgrade = false;
        if (record->ExtractHederInfo(data, iSize, p, carriesUpgrade) != PSWHeader::HEADER_OK) {
            Log::WriteLogP(SCAN, "ERROR record %d (%s) at offset %lld does not fit the file",
                           static_cast<int>(kind->type), kind->logWord, static_cast<long long>(p));
            return false;
        }
        PSWHeader* header = record.get();
        vHeaders.push_back(std::move(record));
        switch (kind->type) {
            case HTYPE_PRINTER: {
                auto* printer = static_cast<PSWHeaderPrinter*>(header);
                iPswType = static_cast<uint32_t>(printer->iPswType);
                stored1 = static_cast<uint16_t>(printer->uiChecksum1);
                stored2 = static_cast<uint16_t>(printer->uiChecksum2);
                if (iPswType == 1 && (stored1 != 0 || stored2 != 0)) {
                    uint16_t sum1 = 0;
                    uint16_t sum2 = 0;
                    CalcPswChecksum(sum1, sum2);
                    if (!CheckIntegrity(stored1, stored2, sum1, sum2)) return false;
                } else {
                    Log::WriteLogP(SCAN, "Checksum not available into the PSW file");
                }
                p += PSWHeader::RECORD_SIZE;
                break;
            }
            case HTYPE_SOFTWARE:
                if (carriesUpgrade) {
                    Log::WriteLogP(SCAN, "Found PSWHeaderUpgrade");
                    auto upgrade = std::make_unique<PSWHeaderUpgrade>();
                    bool unused = false;
                    upgrade->ExtractHederInfo(data, iSize, p, unused);
                    vHeaders.push_back(std::move(upgrade));
                }
                components.Add(PSWCOMP_FW);
                p += PSWHeader::RECORD_SIZE;
                break;
            case HTYPE_MODULE:
                components.Add(
                    ComponentOfModule(static_cast<PSWHeaderModule*>(header)->modModuleID));
                p += PSWHeader::RECORD_SIZE;
                break;
            case HTYPE_BIN: {
                // The data area stays where it lies in the file (the record
                // checked that it fits); it is unscrambled there.
                auto* bin = static_cast<PSWHeaderBin*>(header);
                bin->pDataBuffer = ByteView(pData.get() + bin->iStartDataIntoFile);
                p = iSize;
                break;
            }
            default:
                p += PSWHeader::RECORD_SIZE;
                break;
        }
    }

    Log::WriteLogP(SCAN, "Found %d Headers", static_cast<int>(vHeaders.size()));
    if (GetHeadersCount(HTYPE_PRINTER) != 1) {
        Log::WriteLogP(SCAN, "ERROR Searching Header %d (HEADER PRINTER)", HTYPE_PRINTER);
        return false;
    }
    if (GetHeadersCount(HTYPE_SOFTWARE) != 1) {
        Log::WriteLogP(SCAN, "ERROR Searching Header %d (HEADER SOFTWARE)", HTYPE_SOFTWARE);
        return false;
    }
    if (GetHeadersCount(HTYPE_BIN) != 1) {
        Log::WriteLogP(SCAN, "ERROR Searching Header %d (HEADER BIN)", HTYPE_BIN);
        return false;
    }
    if (!DecryptionData()) {
        Log::WriteLogP(SCAN, "ERROR Decryption");
        return false;
    }
    if (!ExtractData()) {
        Log::WriteLogP(SCAN, "ERROR ExtractData");
        return false;
    }
    FixData();
    if (iPswType == 0 && (stored1 != 0 || stored2 != 0)) {
        PSWHeaderBin* bin = GetHeaderBin();
        FileChecksum sums = FileChecksum::Compute(bin->pDataBuffer.get(), bin->uiBinLength);
        if (!CheckIntegrity(stored1, stored2, sums.uiChecksum1, sums.uiChecksum2)) return false;
    }
    return true;
}

bool PSWFile::DecryptionData() {
    PSWHeaderPrinter* printer = GetHeaderPrinter();
    if (printer == nullptr || printer->iScrambleByte == 0) return true;
    unsigned char key = static_cast<unsigned char>(printer->iScrambleByte);
    printer->iGSILow =
        EncryptionPSW::DecryptionGSIByte(static_cast<unsigned char>(printer->iGSILow), key);
    PSWHeaderBin* bin = GetHeaderBin();
    if (bin != nullptr && bin->pDataBuffer) {
        if (EncryptionPSW::DecryptionBuffer(key, bin->pDataBuffer.get(), 0, bin->uiBinLength) !=
            1) {
            return false;
        }
    }
    printer->iScrambleByte = 0;
    return true;
}

bool PSWFile::ExtractData() {
    PSWHeaderBin* bin = GetHeaderBin();
    if (bin == nullptr) return true;
    for (const auto& header : vHeaders) {
        if (header->ExtractDataBuffer(bin->pDataBuffer.get(), bin->uiBinLength,
                                      bin->iStartDataIntoFile) != PSWHeader::HEADER_OK) {
            return false;
        }
    }
    return true;
}

void PSWFile::FixData() {
    for (const auto& header : vHeaders) {
        if (header->iType != HTYPE_MODULE) continue;
        auto* module = static_cast<PSWHeaderModule*>(header.get());
        if (module->modModuleID != PSWHeaderModule::MODULE_FLASHDISK) continue;
        ModuleData file;
        if (file.LoadModuleInPlace(module->pDataBuffer.get(), module->uiDataSize) &&
            file.GetModuleID() != ModulesAvailable::MODULE_DISK) {
            module->modModuleID = PSWHeaderModule::MODULE_OTHER;
            components.ChangeFirstModuleFind(PSWCOMP_MODULE | PSWCOMP_FLASHDISK,
                                             PSWCOMP_MODULE | PSWCOMP_AFTER | PSWCOMP_OTHER);
        }
    }
}

uint16_t PSWFile::CalcPswChecksum(uint16_t& sum1, uint16_t& sum2) const {
    sum1 = 0;
    sum2 = 0;
    if (!pData || iSize <= PSWHeader::RECORD_SIZE) return 0;
    FileChecksum sums = FileChecksum::Compute(pData.get() + PSWHeader::RECORD_SIZE,
                                              static_cast<size_t>(iSize - PSWHeader::RECORD_SIZE));
    sum1 = sums.uiChecksum1;
    sum2 = sums.uiChecksum2;
    return sum2;
}

void PSWFile::Add(std::unique_ptr<PSWHeader> header) {
    if (header) vHeaders.push_back(std::move(header));
}

std::vector<PSWHeader*> PSWFile::GetHeaders(HTYPE type) const {
    std::vector<PSWHeader*> list;
    for (const auto& header : vHeaders) {
        if (header->iType == type) list.push_back(header.get());
    }
    return list;
}

int32_t PSWFile::GetHeadersCount(HTYPE type) const {
    int32_t count = 0;
    for (const auto& header : vHeaders) {
        if (header->iType == type) ++count;
    }
    return count;
}

PSWHeader* PSWFile::First(HTYPE type) const {
    for (const auto& header : vHeaders) {
        if (header->iType == type) return header.get();
    }
    return nullptr;
}

PSWHeaderPrinter* PSWFile::GetHeaderPrinter() const {
    return static_cast<PSWHeaderPrinter*>(First(HTYPE_PRINTER));
}

PSWHeaderBin* PSWFile::GetHeaderBin() const { return static_cast<PSWHeaderBin*>(First(HTYPE_BIN)); }

PSWHeaderModule* PSWFile::GetHeaderModuleSoftware() const {
    for (const auto& header : vHeaders) {
        if (header->iType != HTYPE_MODULE) continue;
        auto* module = static_cast<PSWHeaderModule*>(header.get());
        if (module->modModuleID == PSWHeaderModule::MODULE_SOFTWARE) return module;
    }
    return nullptr;
}

void PSWFile::GetFileInfo(char* text, size_t size) const {
    InfoText info(text, size);
    PSWHeaderPrinter* printer = GetHeaderPrinter();
    info.Line('*');
    info.Line('*');
    info.Appendf("Release PSW:    %s\n", printer ? printer->strReleasePSW.c_str() : "");
    info.Appendf("Creation Date:  %s\n", printer ? printer->strCreationDate.c_str() : "");
    info.Line('*');
    info.Line('*');
    info.Append("\n");

    std::vector<PSWHeader*> logos = GetHeaders(HTYPE_LOGOS);
    if (!logos.empty()) {
        info.Appendf("Number of Logos:%d\n", static_cast<PSWHeaderLogos*>(logos[0])->iTotLogos);
        long k = 0;
        for (PSWHeader* h : logos) {
            auto* logo = static_cast<PSWHeaderLogos*>(h);
            info.Appendf("\n LOGO %d/%ld\n", static_cast<int>(++k),
                         static_cast<long>(logos.size()));
            info.Appendf(" Size:          %dx%d\n", logo->iDotSizeX, logo->iDotSizeY);
        }
        info.Line('-');
        info.Append("\n");
    }
    std::vector<PSWHeader*> fonts = GetHeaders(HTYPE_FONTS);
    if (!fonts.empty()) {
        info.Appendf("Number of Fonts:%d\n", static_cast<PSWHeaderFonts*>(fonts[0])->iTotFonts);
        long k = 0;
        for (PSWHeader* h : fonts) {
            auto* font = static_cast<PSWHeaderFonts*>(h);
            info.Appendf("\n FONT %d/%ld\n", static_cast<int>(++k),
                         static_cast<long>(fonts.size()));
            info.Appendf(" Size:          %dx%d\n", font->iFontSizeX, font->iFontSizeY);
        }
        info.Line('-');
        info.Append("\n");
    }
    std::vector<PSWHeader*> modules = GetHeaders(HTYPE_MODULE);
    if (!modules.empty()) {
        info.Append("Modules:\n");
        std::vector<char> moduleText(ModuleData::MODULE_INFO_MAX + 1024);
        for (PSWHeader* h : modules) {
            auto* module = static_cast<PSWHeaderModule*>(h);
            ModuleData file;
            if (!file.LoadModuleInPlace(module->pDataBuffer.get(), module->uiDataSize)) continue;
            file.GetFileInfo(moduleText.data(), moduleText.size());
            info.Append(moduleText.data());
            info.Line('-');
        }
    }
}
