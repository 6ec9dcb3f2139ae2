#pragma once

#include <vector>

#include "protocol/SetupItemLink.h"

// Value types of a setup item.
enum PROT_TYPE : int {
    PROT_TYPE_LIST = 1,
    PROT_TYPE_NUMERIC = 2,
    PROT_TYPE_DATETIME = 3,
    PROT_TYPE_STRING = 4,
};

// Description of one setup item ("<C4>"); the kinds derive from it. Owns its links.
class SetupItemType {
  public:
    static constexpr int TEXT_SIZE = 512;

    SetupItemType();
    virtual ~SetupItemType();
    SetupItemType(const SetupItemType&) = delete;
    SetupItemType& operator=(const SetupItemType&) = delete;

    // Texts are cut at 511 characters.
    void SetDescription(const char* text);
    void SetAdditionalDescription(const char* text);

    char szDescription[TEXT_SIZE];
    char szAdditionalDescription[TEXT_SIZE];
    int iID = 0;
    int iType = 0;
    int iHasAdditionalDescription = 0;
    std::vector<SetupItemLink*> vLinks;
};
