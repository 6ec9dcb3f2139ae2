#pragma once

#include <vector>

// Ordered list of owned text lines.
class InfoItemGenericInfo {
  public:
    InfoItemGenericInfo() = default;
    virtual ~InfoItemGenericInfo();
    InfoItemGenericInfo(const InfoItemGenericInfo&) = delete;
    InfoItemGenericInfo& operator=(const InfoItemGenericInfo&) = delete;

    // Appends a copy of text.
    void AddTextLine(const char* text);
    // Frees every line.
    void Clean();

    std::vector<char*> vLines;
};
