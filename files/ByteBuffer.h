#pragma once

#include <cstddef>
#include <cstdlib>
#include <memory>

// Owned byte buffers for file contents. Large ones are allocated on huge
// page boundaries and marked for huge pages where the system offers them:
// first-touch page faults otherwise dominate loading a large package.
struct ByteBufferFree {
    void operator()(unsigned char* p) const noexcept { std::free(p); }
};
using ByteBuffer = std::unique_ptr<unsigned char[], ByteBufferFree>;

// Bytes that belong to another buffer (a record's data inside a loaded
// package): no ownership, valid as long as that buffer lives.
class ByteView {
  public:
    ByteView() = default;
    explicit ByteView(unsigned char* p) : p_(p) {}
    unsigned char* get() const { return p_; }
    unsigned char& operator[](size_t i) const { return p_[i]; }
    explicit operator bool() const { return p_ != nullptr; }
    void reset() { p_ = nullptr; }
    friend bool operator==(const ByteView& v, std::nullptr_t) { return v.p_ == nullptr; }
    friend bool operator!=(const ByteView& v, std::nullptr_t) { return v.p_ != nullptr; }

  private:
    unsigned char* p_ = nullptr;
};

// A buffer of size bytes (at least one byte is allocated); none when the
// memory cannot be had.
ByteBuffer AllocateByteBuffer(size_t size);
// A copy of size bytes; none when the memory cannot be had.
ByteBuffer CopyToByteBuffer(const unsigned char* data, size_t size);
// The whole file; none and size -1 when it cannot be found, opened or read.
ByteBuffer ReadWholeFile(const char* path, long& size);
