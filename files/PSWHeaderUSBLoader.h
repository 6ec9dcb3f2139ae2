#pragma once

#include "files/PSWHeaderLoader.h"

// USB loader record, marker "u".
class PSWHeaderUSBLoader : public PSWHeaderLoader {
  public:
    static const char* const HeaderMarker[];

    PSWHeaderUSBLoader() : PSWHeaderLoader(HTYPE_USBLOADER) {}
};
