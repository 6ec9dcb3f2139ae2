#pragma once

#include <vector>

#include "protocol/SetupItemType.h"

// A setup item whose value is chosen from a list of texts.
class SetupItemTypeList : public SetupItemType {
  public:
    struct ListItem {
        char szText[TEXT_SIZE];
        int iValue;
    };

    // Appends a zero-filled item with the text (cut at 511 characters) and value.
    void AddItem(const char* text, int value);
    // True when an item holds the value.
    bool HasValue(int value) const;

    int iStartValue = 0;
    int iDefaultValue = 0;
    int iCurrentValue = 0;
    std::vector<ListItem> vItems;
};
