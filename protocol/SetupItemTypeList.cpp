#include "protocol/SetupItemTypeList.h"

#include <cstdio>

void SetupItemTypeList::AddItem(const char* text, int value) {
    ListItem item{};
    snprintf(item.szText, sizeof(item.szText), "%s", text != nullptr ? text : "");
    item.iValue = value;
    vItems.push_back(item);
}

bool SetupItemTypeList::HasValue(int value) const {
    for (const ListItem& item : vItems) {
        if (item.iValue == value) return true;
    }
    return false;
}
