#include "protocol/SetupItemHeader.h"

#include <cstring>

SetupItemHeader::~SetupItemHeader() {
    for (char* line : vLines) delete[] line;
}

void SetupItemHeader::AddTextLine(const char* text) {
    if (text == nullptr) text = "";
    size_t length = strlen(text);
    char* copy = new char[length + 1];
    memcpy(copy, text, length + 1);
    vLines.push_back(copy);
}
