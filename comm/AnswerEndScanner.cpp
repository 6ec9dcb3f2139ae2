#include "comm/AnswerEndScanner.h"

#include <cstring>

#include "protocol/Commands.h"

namespace {

constexpr unsigned char ETX = Commands::Cmd_ETX[0];

// First start position in [from, length - patternLength] where pattern occurs.
size_t Find(const unsigned char* data, size_t length, size_t from, const unsigned char* pattern,
            size_t patternLength, size_t notFound) {
    if (length < patternLength) return notFound;
    for (size_t i = from; i + patternLength <= length; ++i) {
        if (data[i] == pattern[0] && memcmp(data + i, pattern, patternLength) == 0) return i;
    }
    return notFound;
}

// Next position to search from once [.., length) has been searched for a
// pattern of patternLength bytes without a hit.
size_t ResumeAt(size_t length, size_t patternLength, size_t floor) {
    size_t next = length >= patternLength ? length - patternLength + 1 : 0;
    return next > floor ? next : floor;
}

}  // namespace

bool AnswerEndScanner::Complete(const unsigned char* data, size_t length) {
    const auto& opener = Commands::Cmd_DataBytesBegin;
    const auto& closer = Commands::Cmd_DataBytesEnd;

    if (openerAt_ == NOT_FOUND) {
        openerAt_ = Find(data, length, scannedOpener_, opener.data(), opener.size(), NOT_FOUND);
        if (openerAt_ == NOT_FOUND) {
            scannedOpener_ = ResumeAt(length, opener.size(), scannedOpener_);
            // Without a data-bytes block the first ETX ends the answer.
            bool found = memchr(data + scannedEtx_, ETX, length - scannedEtx_) != nullptr;
            scannedEtx_ = length;
            return found;
        }
        scannedCloser_ = openerAt_ + opener.size();
    }
    if (closerAt_ == NOT_FOUND) {
        closerAt_ = Find(data, length, scannedCloser_, closer.data(), closer.size(), NOT_FOUND);
        if (closerAt_ == NOT_FOUND) {
            scannedCloser_ = ResumeAt(length, closer.size(), scannedCloser_);
            return false;
        }
        scannedEtx_ = closerAt_ + closer.size();
    }
    if (scannedEtx_ >= length) return false;
    bool found = memchr(data + scannedEtx_, ETX, length - scannedEtx_) != nullptr;
    scannedEtx_ = length;
    return found;
}
