#include "files/ByteBuffer.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

constexpr size_t HUGE_PAGE = 2u << 20;
constexpr size_t READ_PIECE = 64u << 10;

}  // namespace

ByteBuffer AllocateByteBuffer(size_t size) {
    if (size == 0) size = 1;
    if (size < HUGE_PAGE) return ByteBuffer(static_cast<unsigned char*>(std::malloc(size)));
    if (size > SIZE_MAX - HUGE_PAGE) return nullptr;
    const size_t rounded = (size + HUGE_PAGE - 1) / HUGE_PAGE * HUGE_PAGE;
    void* p = std::aligned_alloc(HUGE_PAGE, rounded);
    if (p == nullptr) return nullptr;
#ifdef MADV_HUGEPAGE
    madvise(p, rounded, MADV_HUGEPAGE);  // a hint: without huge pages nothing changes
#endif
    return ByteBuffer(static_cast<unsigned char*>(p));
}

ByteBuffer CopyToByteBuffer(const unsigned char* data, size_t size) {
    ByteBuffer buffer = AllocateByteBuffer(size);
    if (buffer && size > 0) memcpy(buffer.get(), data, size);
    return buffer;
}

ByteBuffer ReadWholeFile(const char* path, long& size) {
    size = -1;
    struct stat status {};
    if (path == nullptr || stat(path, &status) != 0 || status.st_size < 0) return nullptr;
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return nullptr;
    const size_t expected = static_cast<size_t>(status.st_size);
    ByteBuffer buffer = AllocateByteBuffer(expected);
    size_t have = 0;
    while (buffer && have < expected) {
        size_t piece = expected - have < READ_PIECE ? expected - have : READ_PIECE;
        ssize_t got = read(fd, buffer.get() + have, piece);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;  // end of file or a failed read: keep what came
        have += static_cast<size_t>(got);
    }
    close(fd);
    if (!buffer || have != expected) return nullptr;  // not fully read
    size = static_cast<long>(have);
    return buffer;
}
