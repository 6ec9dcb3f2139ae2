#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "files/ByteBuffer.h"

namespace ModulesAvailable {
// Module type values passed on to the printer by the module download.
enum ModuleType : int32_t {
    MODULE_FONT = 1,
    MODULE_DISK = 2,
    MODULE_RFID_HF = 4,
    MODULE_RFID_UHF = 8,
    MODULE_BLUETOOTH = 16,
    MODULE_LOGOS = 64,
    MODULE_CAMERA = 128,
    MODULE_OTHER = 32768,
};
}  // namespace ModulesAvailable

// One module file (.mod): a 4102-byte text header, a scrambled payload and
// a trailer with the checksum pair. pFileBuffer keeps the file as read
// (what is sent to the printer); pModuleData, the unscrambled copy, is made
// for font modules only, the one use it has (their font list).
class ModuleData {
  public:
    static constexpr int32_t HEADER_LENGTH = 4102;
    static constexpr int32_t ORDER_MARK_OFFSET = 10;
    static constexpr int32_t KEY_OFFSET = 4101;
    static constexpr int32_t TEXT_MAX = 255;
    static constexpr size_t MODULE_INFO_MAX = 8192;

    ModuleData() = default;
    ModuleData(const ModuleData&) = delete;
    ModuleData& operator=(const ModuleData&) = delete;

    bool LoadModuleFromFile(const char* path);
    bool LoadModuleFromMemory(const unsigned char* buffer, int64_t length);
    // Checks and describes a module file where it lies (inside a loaded
    // package) without copying it: pFileBuffer stays empty and FileData()
    // gives the caller's bytes, which must outlive this object. Logs as
    // LoadModuleFromMemory does.
    bool LoadModuleInPlace(const unsigned char* buffer, int64_t length);
    // The file as read: pFileBuffer, or the caller's bytes of an in-place load.
    const unsigned char* FileData() const { return pFile; }

    bool CheckSumOk();
    bool ExtractModuleHeaderParams();
    // A key counts only when it occurs exactly once in the header area; the
    // value runs from the key to the next LF, cleaned to printable text.
    static bool ExtractStringFieldFromHeader(std::string& out, const unsigned char* header,
                                             size_t headerLength, const char* key);
    static bool ExtractIntFieldFromHeader(int32_t& out, const unsigned char* header,
                                          size_t headerLength, const char* key);
    bool DecodingBufferExtractInfo();
    int32_t GetModuleID() const;
    static const char* ModuleTypeName(int32_t moduleType);
    void ExtractFontModuleInformations(std::string& text) const;
    // The fonts of the payload ("FNT:" entries): name and, when the entry
    // carries one, its code (else -1).
    struct FontEntry {
        std::string name;
        int code;
    };
    std::vector<FontEntry> FontList() const;
    // Writes the description from the start of text (size bytes, always
    // terminated, cut when too long).
    void GetFileInfo(char* text, size_t size) const;

    ByteBuffer pFileBuffer;
    int32_t iFileLength = 0;
    ByteBuffer pModuleData;
    int32_t iModuleDataLength = 0;
    ByteBuffer pHeaderBuffer;
    int32_t iHeaderLength = 0;
    std::string strRelease;
    int32_t iModuleID = 0;
    std::string strModuleID;
    std::string strDate;
    std::string strCode;
    std::string strFactory;
    std::string strNote;
    int32_t iFileSizeParam = 0;
    int32_t iEnMode = 0;
    int32_t iScrambleKey = 0;
    std::string strModuleInfo;

  private:
    bool Load(const char* function);
    const unsigned char* pFile = nullptr;
    void Reset();
};
