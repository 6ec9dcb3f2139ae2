// ZPD script loader on arbitrary text.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "files/ZPDFormat.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CZPDFormat script;
    script.LoadFromMemory(reinterpret_cast<const char*>(data), size);
    std::unique_ptr<unsigned char[]> bytes;
    CZPDFormat::ZPDStringToByteArray(reinterpret_cast<const char*>(data), size, bytes);
    return 0;
}
