#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "files/ByteBuffer.h"
#include "files/PSWComponents.h"
#include "files/PSWHeader.h"

class PSWHeaderBin;
class PSWHeaderModule;
class PSWHeaderPrinter;

// One firmware package (.psw/.pfw) in memory: the file, its header records
// in file order and the components to download. Loading checks the
// integrity, then unscrambles the data area inside pData; the bin record's
// data area and the modules, logos and fonts of the other records point into
// pData, so the package is held once. After loading, pData holds the records
// as read and the data area in plain form.
class PSWFile {
  public:
    PSWFile() = default;
    PSWFile(const PSWFile&) = delete;
    PSWFile& operator=(const PSWFile&) = delete;

    bool LoadPSWFromFile(const char* path, bool requireUpgrade);
    bool LoadPSWFromMemory(const unsigned char* buffer, int64_t size, bool requireUpgrade);
    bool LoadPSW(bool requireUpgrade);

    bool ScanForHeadersAndFields();
    bool DecryptionData();
    bool ExtractData();
    void FixData();

    // Returns sum2; both are 0 for a package of 32 bytes or fewer.
    uint16_t CalcPswChecksum(uint16_t& sum1, uint16_t& sum2) const;

    void Add(std::unique_ptr<PSWHeader> header);
    // The caller owns the list, not the records.
    std::vector<PSWHeader*> GetHeaders(HTYPE type) const;
    int32_t GetHeadersCount(HTYPE type) const;
    PSWHeaderPrinter* GetHeaderPrinter() const;
    PSWHeaderBin* GetHeaderBin() const;
    PSWHeaderModule* GetHeaderModuleSoftware() const;

    // Appends the description to text (size bytes in all); what does not fit
    // is cut, the text is always terminated.
    void GetFileInfo(char* text, size_t size) const;

    ByteBuffer pData;
    int32_t iSize = 0;
    std::vector<std::unique_ptr<PSWHeader>> vHeaders;
    uint32_t iPswType = 0;
    PSWComponents components;

  private:
    PSWHeader* First(HTYPE type) const;
    // Compares a computed pair with the stored one and logs the result.
    static bool CheckIntegrity(uint16_t stored1, uint16_t stored2, uint16_t computed1,
                               uint16_t computed2);
};
