#include "files/PSWHeader.h"

#include "common/Log.h"

int PSWHeader::ExtractHederInfo(const unsigned char* /*data*/, int64_t /*size*/,
                                int64_t /*position*/, bool& /*carriesUpgrade*/) {
    return HEADER_OK;
}

int PSWHeader::ExtractDataBuffer(unsigned char* /*binData*/, int64_t /*binLength*/,
                                 int64_t /*startDataIntoFile*/) {
    return HEADER_OK;
}

bool PSWHeader::HasBytes(int64_t size, int64_t position, int64_t count) {
    return position >= 0 && count >= 0 && size >= 0 && position <= size && count <= size - position;
}

uint32_t PSWHeader::ReadBE(const unsigned char* p, int bytes) {
    uint32_t value = 0;
    for (int i = 0; i < bytes; ++i) value = (value << 8) | p[i];
    return value;
}

std::string PSWHeader::ReadText(const unsigned char* p, size_t length) {
    size_t n = 0;
    while (n < length && p[n] != 0) ++n;
    return std::string(reinterpret_cast<const char*>(p), n);
}

void PSWHeader::ReadAddressAndRelease(const unsigned char* p, uint32_t& addrStart,
                                      std::string& relHeaderSupp, std::string& headerType) {
    static const char* const fn = "ExtractHederInfo";
    addrStart = ReadBE(p, 4);
    Log::WriteLogP(fn, "uiAddrStart: %d", static_cast<int>(addrStart));
    relHeaderSupp = ReadText(p + 4, 3);
    Log::WriteLogP(fn, "strRelHeaderSupp: %s", relHeaderSupp.c_str());
    headerType = ReadText(p + 7, 1);
    Log::WriteLogP(fn, "strHeaderType: %s", headerType.c_str());
}

bool PSWHeader::ViewRange(unsigned char* binData, int64_t binLength, int64_t offset, int64_t count,
                          ByteView& view, uint32_t& viewSize, const char* what) {
    view.reset();
    viewSize = 0;
    if (binData == nullptr || !HasBytes(binLength, offset, count)) {
        Log::WriteLogP("ExtractDataBuffer",
                       "ERROR %s data out of range: offset %lld size %lld, data area %lld", what,
                       static_cast<long long>(offset), static_cast<long long>(count),
                       static_cast<long long>(binLength));
        return false;
    }
    view = ByteView(binData + offset);
    viewSize = static_cast<uint32_t>(count);
    return true;
}
