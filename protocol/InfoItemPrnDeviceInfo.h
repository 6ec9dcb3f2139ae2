#pragma once

#include "protocol/InfoItemGenericInfo.h"

// Device information lines ("<C33>").
class InfoItemPrnDeviceInfo : public InfoItemGenericInfo {};
