#include "files/PSWHeaderUSBLoader.h"

const char* const PSWHeaderUSBLoader::HeaderMarker[] = {"u", ""};
