#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "files/ByteBuffer.h"

// Kind of a package header record.
enum HTYPE : int32_t {
    HTYPE_NONE = 0,
    HTYPE_PRINTER = 1,
    HTYPE_SOFTWARE = 2,
    HTYPE_LOGOS = 3,
    HTYPE_FONTS = 4,
    HTYPE_USBLOADER = 5,
    HTYPE_BOOTLOADER = 6,
    HTYPE_GENERICDATA = 7,
    HTYPE_MODULE = 8,
    HTYPE_BIN = 10,
    HTYPE_UPGRADE = 11,
};

// One header record of a firmware package. Records are read from the
// package bytes at their own position; every range is checked against the
// size of what they read from, so a short or lying record fails instead of
// reading past the end.
class PSWHeader {
  public:
    static constexpr int RECORD_SIZE = 32;
    // Result of the two operations: 0 done, HEADER_RANGE_ERROR when the record
    // or its data would lie outside the bytes given.
    static constexpr int HEADER_OK = 0;
    static constexpr int HEADER_RANGE_ERROR = -1;

    explicit PSWHeader(HTYPE type = HTYPE_NONE) : iType(type) {}
    virtual ~PSWHeader() = default;
    PSWHeader(const PSWHeader&) = delete;
    PSWHeader& operator=(const PSWHeader&) = delete;

    // Reads the record that starts at position of data (size bytes in all).
    virtual int ExtractHederInfo(const unsigned char* data, int64_t size, int64_t position,
                                 bool& carriesUpgrade);
    // Points the record's own data into the unscrambled data area, whose
    // first byte lies at file offset startDataIntoFile; the record keeps no
    // copy, so the data area must outlive it.
    virtual int ExtractDataBuffer(unsigned char* binData, int64_t binLength,
                                  int64_t startDataIntoFile);

    HTYPE iType;
    int32_t iPswType = 0;

  protected:
    static bool HasBytes(int64_t size, int64_t position, int64_t count);
    static uint32_t ReadBE(const unsigned char* p, int bytes);
    static int32_t ReadSigned(unsigned char b) { return b >= 128 ? b - 256 : b; }
    // Fixed-length text field, cut at a NUL byte.
    static std::string ReadText(const unsigned char* p, size_t length);
    // The 8 bytes from p: start address (4 bytes), supported header release
    // (3 characters) and header type (1 character), each logged as read.
    static void ReadAddressAndRelease(const unsigned char* p, uint32_t& addrStart,
                                      std::string& relHeaderSupp, std::string& headerType);
    // Points view at count bytes of binData from offset; false when the
    // range is not inside the data area.
    static bool ViewRange(unsigned char* binData, int64_t binLength, int64_t offset, int64_t count,
                          ByteView& view, uint32_t& viewSize, const char* what);
};
