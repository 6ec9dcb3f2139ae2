#pragma once

#include "protocol/InfoItemGenericInfo.h"

// Print head information lines ("<C35>").
class InfoItemPrnHeadInfo : public InfoItemGenericInfo {};
