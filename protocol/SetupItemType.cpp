#include "protocol/SetupItemType.h"

#include <cstdio>

SetupItemType::SetupItemType() {
    szDescription[0] = '\0';
    szAdditionalDescription[0] = '\0';
}

SetupItemType::~SetupItemType() {
    for (SetupItemLink* link : vLinks) delete link;
}

void SetupItemType::SetDescription(const char* text) {
    snprintf(szDescription, sizeof(szDescription), "%s", text != nullptr ? text : "");
}

void SetupItemType::SetAdditionalDescription(const char* text) {
    snprintf(szAdditionalDescription, sizeof(szAdditionalDescription), "%s",
             text != nullptr ? text : "");
}
