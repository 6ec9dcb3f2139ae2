#pragma once

#include <cstddef>
#include <string>

// Appends to a caller's fixed-size text: never writes past size - 1
// characters and always leaves the text terminated; what does not fit is
// dropped.
class InfoText {
  public:
    InfoText(char* text, size_t size);

    void Append(const std::string& part);
    void Appendf(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // A line of count copies of c.
    void Line(char c, size_t count = 48);

  private:
    char* pText;
    size_t uiSize;
    size_t uiUsed;
};
