#pragma once

#include "protocol/InfoItemGenericInfo.h"

// Installed modules, one line each ("<C64>").
class ModuleItemPrnModuleList : public InfoItemGenericInfo {};
