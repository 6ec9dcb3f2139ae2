#include "files/PSWHeaderBootLoader.h"

const char* const PSWHeaderBootLoader::HeaderMarker[] = {"b", ""};
