#pragma once

#include <functional>
#include <string>

#include "app/ProgramSettings.h"
#include "comm/CommPortSettings.h"

// parse_args result that lets the run go on; any other value is an exit code.
constexpr int ARGS_CONTINUE = -1;

// Fills settings from the command line. Prints the usage text or the release
// itself and returns the exit code for those, and for words too long for
// their buffers; else ARGS_CONTINUE.
int parse_args(int argc, char** argv, ProgramSettings& settings);

void PrintUsage(const char* invocationName);

// Classifies a file by its extension; the file must exist.
bool parse_filename(const char* name, int* isMod, int* isPswPfw, int* isBin, int* isZpd,
                    int* isSpt);

bool parse_type(const char* text, COMMPORTTYPE* commPortType);

// Takes the USB device list text (one device a line) for "-d ANY".
using UsbDeviceListSource = std::function<bool(std::string& list)>;

bool parse_device(const char* text, COMMPORTTYPE commPortType, CommPortSettings& settings,
                  const UsbDeviceListSource& usbDeviceList);
