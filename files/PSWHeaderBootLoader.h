#pragma once

#include "files/PSWHeaderLoader.h"

// Boot loader record, marker "b".
class PSWHeaderBootLoader : public PSWHeaderLoader {
  public:
    static const char* const HeaderMarker[];

    PSWHeaderBootLoader() : PSWHeaderLoader(HTYPE_BOOTLOADER) {}
};
