#pragma once

#include <cstddef>

// Tells when the bytes received so far hold one complete printer answer: an
// answer ends at the first ETX behind "</DATABYTES>" when it carries a
// "<DATABYTES>" block, else at its first ETX. Each call looks only at what is
// new, so a long answer costs linear time.
class AnswerEndScanner {
  public:
    // data holds everything received so far; length only grows between calls.
    bool Complete(const unsigned char* data, size_t length);

  private:
    static constexpr size_t NOT_FOUND = static_cast<size_t>(-1);

    size_t openerAt_ = NOT_FOUND;
    size_t closerAt_ = NOT_FOUND;
    size_t scannedOpener_ = 0;  // opener searched in [0, scannedOpener_) starts
    size_t scannedCloser_ = 0;  // closer searched from these starts on
    size_t scannedEtx_ = 0;     // ETX searched up to here (no-opener case)
};
