// Printer answers read piece by piece: the first byte of the input sets the
// piece size, the rest is what the printer sends.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "comm/ComPort.h"

namespace {

class FuzzLink : public CComPort {
  public:
    FuzzLink(const uint8_t* data, size_t size, size_t piece)
        : data_(data), size_(size), piece_(piece) {}
    unsigned Read(unsigned char* buf, unsigned len, unsigned* err) override {
        *err = 0;
        size_t n = std::min<size_t>({len, piece_, size_ - at_});
        memcpy(buf, data_ + at_, n);
        at_ += n;
        return static_cast<unsigned>(n);
    }

  private:
    const uint8_t* data_;
    size_t size_;
    size_t piece_;
    size_t at_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    FuzzLink link(data + 1, size - 1, 1 + data[0] % 64);
    int length = -1;
    unsigned char* answer = link.ReadProtocollData(&length);
    if (answer != nullptr) {
        if (length <= 0 || static_cast<size_t>(length) > size - 1) __builtin_trap();
        if (memcmp(answer, data + 1, static_cast<size_t>(length)) != 0) __builtin_trap();
    } else if (length != 0) {
        __builtin_trap();
    }
    free(answer);
    return 0;
}
