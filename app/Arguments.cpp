#include "app/Arguments.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "app/ExitCodes.h"
#include "app/OptionTypos.h"
#include "common/CmdConsole.h"
#include "common/GenericConst.h"
#include "common/GenericFunctions.h"
#include "common/PersonConsole.h"

namespace {

// Copies a value word into a settings buffer. A word that does not fit is
// remembered so that the run is refused once the scan is over.
void CopyValue(char* destination, const char* word, const char* option,
               std::string& tooLongOption) {
    if (strlen(word) >= static_cast<size_t>(ProgramSettings::TEXT_SIZE)) {
        if (tooLongOption.empty()) tooLongOption = option;
        return;
    }
    snprintf(destination, ProgramSettings::TEXT_SIZE, "%s", word);
}

// Splits "N-M" at its first '-' and stores both numbers when both parts are numeric.
void ParseToolWord(const char* word, ProgramSettings& settings, std::string& tooLongOption) {
    const char* dash = strchr(word, '-');
    if (dash == nullptr) return;
    size_t firstLength = static_cast<size_t>(dash - word);
    size_t secondLength = strlen(dash + 1);
    if (firstLength >= ProgramSettings::TOOL_PART_SIZE ||
        secondLength >= ProgramSettings::TOOL_PART_SIZE) {
        if (tooLongOption.empty()) tooLongOption = "-rtool";
        return;
    }
    char first[ProgramSettings::TOOL_PART_SIZE];
    char second[ProgramSettings::TOOL_PART_SIZE];
    memcpy(first, word, firstLength);
    first[firstLength] = '\0';
    memcpy(second, dash + 1, secondLength + 1);
    if (GenericFunctions::IsaNumericField(reinterpret_cast<const unsigned char*>(first),
                                          firstLength) &&
        GenericFunctions::IsaNumericField(reinterpret_cast<const unsigned char*>(second),
                                          secondLength)) {
        settings.toolnumber = GenericFunctions::ParseInt(first, 0);
        settings.toolid = GenericFunctions::ParseInt(second, 0);
    }
}

}  // namespace

void PrintUsage(const char* name) {
    const char* device_help[] = {
        "        where [device] is:",
        ("              for usb: device name as returned by usbdevlist or ANY for first device in "
         "list"),
        "              for eth: [ip address]:[port]",
        "              for ser: [uart device]:[baudrate]:[flow control]",
        "                       flow control can be SW, HW or NONE",
    };
    printf("VR Receipt Printer Upgrade Utility Command Line Application Rel:  %s\n",
           GenericConst::RELEASE);
    printf("usage: %s --version\n", name);
    printf("usage: %s --usbdevlist [-v/-lv/-lf]\n", name);
    printf("usage: %s --ethdevlist [-v/-lv/-lf]\n", name);
    printf("usage: %s -f [filename] -t [usb|eth|ser] -d [device] [-v/-lv/-lf]\n", name);
    for (const char* line : device_help) printf("%s\n", line);
    printf(
        "usage %s -t [usb|eth|ser] -d [device] -rtool [[toolnum][-][toolid]] [toolfilename] "
        "[-v/-lv/-lf]\n",
        name);
    for (const char* line : device_help) printf("%s\n", line);
    printf("%s\n", "       [toolnum]        indicates the tool bitmask table");
    printf("%s\n", "       [toolid]         indicates the id of the tool to call");
    printf("%s\n",
           "       [toolfilename]   is the path of the file to read/write with specified tool and "
           "is mandatory only for the tools that required it");
    printf("%s\n", "       -v:   enable view on video");
    printf("%s\n", "       -lv:  enable log on video");
    printf("%s\n", "       -lf:  enable log on file");
    printf("%s\n", "       -c:   if PFW select components to download can be ");
    printf("%s\n", "       \t\t\t1: FW  ");
    printf("%s\n", "       \t\t\t2: MODULES (Fonts, Flash Disk, Logos) ");
    printf("%s\n", "       \t\t\t4: MODULES (other types) ");
    printf("%s\n", "       \t\t\t255: ALL [default] ");
}

int parse_args(int argc, char** argv, ProgramSettings& settings) {
    settings.filename[0] = settings.device[0] = settings.type[0] = settings.toolfilename[0] = '\0';
    settings.timem = 1;
    CmdConsole::iShowToVideo = 0;

    if (argc < 2 || strcmp(argv[1], "--help") == 0) {
        PrintUsage(argv[0]);
        return EXIT_OK;
    }
    if (strcmp(argv[1], "--version") == 0) {
        printf("Release: %s\n", GenericConst::RELEASE);
        print_error_description(EXIT_OK);
        return EXIT_OK;
    }

    std::string tooLongOption;
    int lastValueWord = 0;  // a value ("-d -x") is no typo
    // A value word is itself examined next, so "-f -v" also switches the console on.
    for (int i = 1; i < argc; ++i) {
        const char* word = argv[i];
        const char* next = i + 1 < argc ? argv[i + 1] : nullptr;
        if (int values = OptionValueWords(word)) lastValueWord = i + values;
        if (strcmp(word, "-f") == 0) {
            if (next) CopyValue(settings.filename, next, word, tooLongOption);
        } else if (strcmp(word, "-t") == 0) {
            if (next) CopyValue(settings.type, next, word, tooLongOption);
        } else if (strcmp(word, "-d") == 0) {
            if (next) CopyValue(settings.device, next, word, tooLongOption);
        } else if (strcmp(word, "-TM1") == 0) {
            settings.tampermode = 1;
        } else if (strcmp(word, "--usbdevlist") == 0) {
            settings.usbdevlist = 1;
        } else if (strcmp(word, "--ethdevlist") == 0) {
            settings.ethdevlist = 1;
        } else if (strcmp(word, "--printerversion") == 0) {
            settings.printerversion = 1;
        } else if (strcmp(word, "-m") == 0) {
            if (next) {
                settings.timem = GenericFunctions::ParseInt(next, 0);
                WarnDoubtfulTimeMultiplier(next);
            }
        } else if (strcmp(word, "-lv") == 0) {
            settings.enable_log = 1;
        } else if (strcmp(word, "-lf") == 0) {
            settings.enable_log = 2;
        } else if (strcmp(word, "-v") == 0) {
            CmdConsole::iShowToVideo = 1;
        } else if (strcmp(word, "-c") == 0) {
            if (next) {
                int v = GenericFunctions::ParseInt(next, 0);
                settings.upg_components = (v & 7) == 0 ? 255 : v;
            }
        } else if (strcmp(word, "-rtool") == 0) {
            settings.executetool = 1;
            if (next) ParseToolWord(next, settings, tooLongOption);
            if (i + 2 < argc) CopyValue(settings.toolfilename, argv[i + 2], word, tooLongOption);
            ++i;  // the scan resumes at the word after the tool word
        } else if (strcmp(word, "--verify") == 0) {
            settings.verify = 1;
        } else if (strcmp(word, "--dry-run") == 0) {
            settings.dryrun = 1;
        } else if (strcmp(word, "--json") == 0) {
            settings.json = 1;
        } else if (i > lastValueWord) {
            WarnUnknownOption(word);
        }
    }

    CmdConsole::WriteToConsoleString(
        "ARGS: usbdevlist=%d ethdevlist=%d filename=%s type=%s device=%s upg_components=%d "
        "rtool=%d toolfilename=%s",
        settings.usbdevlist, settings.ethdevlist, settings.filename, settings.type, settings.device,
        settings.upg_components, settings.executetool, settings.toolfilename);

    if (!tooLongOption.empty()) {
        CmdConsole::WriteToConsoleString("%s argument too long\n", tooLongOption.c_str());
        print_error_description(EXIT_PARAMETER);
        return EXIT_PARAMETER;
    }
    return ARGS_CONTINUE;
}

bool parse_filename(const char* name, int* isMod, int* isPswPfw, int* isBin, int* isZpd,
                    int* isSpt) {
    *isMod = *isPswPfw = *isBin = *isZpd = 0;
    struct stat status {};
    if (name == nullptr || stat(name, &status) != 0) return false;
    size_t length = strlen(name);
    if (length < 5) return false;
    const char* extension = name + length - 4;
    struct Kind {
        const char* forms[6];
        int* flag;
    };
    const Kind kinds[] = {
        {{".mod", ".Mod", ".MOD"}, isMod},
        {{".psw", ".Psw", ".PSW", ".pfw", ".Pfw", ".PFW"}, isPswPfw},
        {{".bin", ".Bin", ".BIN"}, isBin},
        {{".zpd", ".Zpd", ".ZPD"}, isZpd},
        {{".spt", ".Spt", ".SPT"}, isSpt},
    };
    for (const Kind& kind : kinds) {
        for (const char* form : kind.forms) {
            if (form != nullptr && strcmp(extension, form) == 0) {
                *kind.flag = 1;
                return true;
            }
        }
    }
    return false;
}

bool parse_type(const char* text, COMMPORTTYPE* commPortType) {
    if (text == nullptr || text[0] == '\0') return false;
    if (strcmp(text, "eth") == 0) {
        *commPortType = COMMPORT_ETH;
    } else if (strcmp(text, "usb") == 0) {
        *commPortType = COMMPORT_USB;
    } else if (strcmp(text, "ser") == 0) {
        *commPortType = COMMPORT_SERIAL;
    } else {
        *commPortType = COMMPORT_NONE;
        return false;
    }
    return true;
}

namespace {

// Stores text into a 512-byte member of the link parameters; refuses what does not fit.
bool StoreDevicePart(char* destination, const std::string& text) {
    if (text.size() >= static_cast<size_t>(CommPortSettings::TEXT_SIZE)) {
        CmdConsole::WriteToConsoleString("device argument part too long (at most %d characters)",
                                         CommPortSettings::TEXT_SIZE - 1);
        return false;
    }
    snprintf(destination, CommPortSettings::TEXT_SIZE, "%s", text.c_str());
    return true;
}

bool ParseUsbDevice(const char* text, CommPortSettings& settings,
                    const UsbDeviceListSource& usbDeviceList) {
    std::string upper(text);
    GenericFunctions::ToUpper(&upper[0]);
    settings.iType = COMMPORT_USB;
    if (upper == "ANY") {
        std::string list;
        if (!usbDeviceList || !usbDeviceList(list)) return false;
        if (list.empty()) {
            PersonConsole::Cause("no printer on the USB bus");
            return false;
        }
        const std::string chosen = list.substr(0, list.find('\n'));
        if (!StoreDevicePart(settings.szUsbDevice, chosen)) return false;
        PersonConsole::Tell("-d ANY: the first printer listed, %s", chosen.c_str());
        return true;
    }
    if (upper.empty()) return false;
    return StoreDevicePart(settings.szUsbDevice, upper);
}

bool ParseEthDevice(const std::string& text, CommPortSettings& settings) {
    size_t colon = text.find(':');
    if (colon == std::string::npos) return false;
    int32_t port = 0;
    if (!GenericFunctions::ParseCheckInt(text.c_str() + colon + 1, port)) return false;
    settings.iEthPort = port;
    settings.iType = COMMPORT_ETH;
    return StoreDevicePart(settings.szEthAddress, text.substr(0, colon));
}

bool ParseSerialDevice(const std::string& text, CommPortSettings& settings) {
    settings.iType = COMMPORT_SERIAL;
    size_t first = text.find(':');
    if (first == std::string::npos) return false;
    size_t second = text.find(':', first + 1);
    if (second == std::string::npos) return false;
    std::string baud = text.substr(first + 1, second - first - 1);
    std::string flow = text.substr(second + 1);
    int32_t baudRate = 0;
    if (!GenericFunctions::ParseCheckInt(baud.c_str(), baudRate)) return false;
    if (flow == "SW") {
        settings.iFlowControl = 2;
    } else if (flow == "HW") {
        settings.iFlowControl = 1;
    } else if (flow == "NONE") {
        settings.iFlowControl = 0;
    } else {
        return false;
    }
    settings.iBaudRate = baudRate;
    return StoreDevicePart(settings.szSerialDevice, text.substr(0, first));
}

}  // namespace

bool parse_device(const char* text, COMMPORTTYPE commPortType, CommPortSettings& settings,
                  const UsbDeviceListSource& usbDeviceList) {
    if (text == nullptr) return false;
    switch (commPortType) {
        case COMMPORT_USB:
            return ParseUsbDevice(text, settings, usbDeviceList);
        case COMMPORT_ETH:
            return ParseEthDevice(text, settings);
        case COMMPORT_SERIAL:
            return ParseSerialDevice(text, settings);
        default:
            return false;
    }
}
