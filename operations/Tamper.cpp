#include "operations/Tamper.h"

#include <cstring>

namespace {

constexpr const char* SIGNATURE = "anti-tamper";
constexpr const char* RELEASE_TAG = "rel.";
constexpr long RELEASE_LENGTH = 4;

// Offset just behind the first match of text, or -1. A byte that breaks a
// partial match starts the search over behind it; it is not tried as the
// first character again.
long FindEnd(const unsigned char* data, long size, const char* text) {
    const long length = static_cast<long>(strlen(text));
    long matched = 0;
    for (long i = 0; i < size; ++i) {
        if (data[i] == static_cast<unsigned char>(text[matched])) {
            if (++matched == length) return i + 1;
        } else {
            matched = 0;
        }
    }
    return -1;
}

}  // namespace

bool CTamper::GetUpgradeFileForTamperVersion(const unsigned char* data, long size, char* release) {
    if (data == nullptr || size != IMAGE_SIZE) return false;
    if (FindEnd(data, size, SIGNATURE) < 0) return false;
    long releaseAt = FindEnd(data, size, RELEASE_TAG);
    if (releaseAt < 0) return false;
    // A tag among the last bytes leaves a shorter release, cut at the image's end.
    long length = size - releaseAt < RELEASE_LENGTH ? size - releaseAt : RELEASE_LENGTH;
    if (release != nullptr) {
        memcpy(release, data + releaseAt, static_cast<size_t>(length));
        release[length] = '\0';
    }
    return true;
}
