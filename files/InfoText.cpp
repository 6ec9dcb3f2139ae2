#include "files/InfoText.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

InfoText::InfoText(char* text, size_t size) : pText(text), uiSize(size), uiUsed(0) {
    if (pText == nullptr || uiSize == 0) {
        uiSize = 0;
        return;
    }
    pText[uiSize - 1] = '\0';
    uiUsed = strlen(pText);
}

void InfoText::Append(const std::string& part) {
    if (uiUsed + 1 >= uiSize) return;
    size_t n = part.size() < uiSize - 1 - uiUsed ? part.size() : uiSize - 1 - uiUsed;
    memcpy(pText + uiUsed, part.data(), n);
    uiUsed += n;
    pText[uiUsed] = '\0';
}

void InfoText::Appendf(const char* format, ...) {
    char line[1024];
    va_list args;
    va_start(args, format);
    vsnprintf(line, sizeof(line), format, args);
    va_end(args);
    Append(line);
}

void InfoText::Line(char c, size_t count) { Append(std::string(count, c) + "\n"); }
