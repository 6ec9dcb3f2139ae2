#pragma once

#include <vector>

// Setup header lines of a printer ("<C2>"); owns its lines.
class SetupItemHeader {
  public:
    SetupItemHeader() = default;
    ~SetupItemHeader();
    SetupItemHeader(const SetupItemHeader&) = delete;
    SetupItemHeader& operator=(const SetupItemHeader&) = delete;

    void AddTextLine(const char* text);

    std::vector<char*> vLines;
};
