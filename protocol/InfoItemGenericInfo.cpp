#include "protocol/InfoItemGenericInfo.h"

#include <cstring>

InfoItemGenericInfo::~InfoItemGenericInfo() { Clean(); }

void InfoItemGenericInfo::AddTextLine(const char* text) {
    if (text == nullptr) text = "";
    size_t length = strlen(text);
    char* copy = new char[length + 1];
    memcpy(copy, text, length + 1);
    vLines.push_back(copy);
}

void InfoItemGenericInfo::Clean() {
    for (char* line : vLines) delete[] line;
    vLines.clear();
}
