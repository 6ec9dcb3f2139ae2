#pragma once

#include "protocol/InfoItemGenericInfo.h"

// Printer life counters, one text line each ("<C32>").
class InfoItemPrnLifeInfo : public InfoItemGenericInfo {};
