#include "protocol/ProtocollDataAvailable.h"

ProtocollDataAvailable::ProtocollDataAvailable(const ProtocollDataAvailable* other) {
    if (other == nullptr) return;
    ulAvailable = other->ulAvailable;
    ulToSave = other->ulToSave;
}

void ProtocollDataAvailable::Init() {
    ulAvailable = 0;
    ulToSave = 0;
}

bool ProtocollDataAvailable::Access(uint64_t& set, uint64_t bit, bool get, bool value) {
    if (get) return (set & bit) != 0;
    if (value) {
        set |= bit;
    } else {
        set &= ~bit;
    }
    return value;
}

bool ProtocollDataAvailable::SetupDataAvailable(bool get, bool value) {
    return Access(ulAvailable, SETUP_DATA, get, value);
}
bool ProtocollDataAvailable::LogoDataAvailable(bool get, bool value) {
    return Access(ulAvailable, LOGO_DATA, get, value);
}
bool ProtocollDataAvailable::UpgradeModulesAvailable(bool get, bool value) {
    return Access(ulAvailable, UPGRADE_MODULES, get, value);
}
bool ProtocollDataAvailable::FontsDataAvailable(bool get, bool value) {
    return Access(ulAvailable, FONTS_DATA, get, value);
}
bool ProtocollDataAvailable::ToolsAvailable(bool get, bool value) {
    return Access(ulAvailable, TOOLS, get, value);
}
bool ProtocollDataAvailable::UpgradePrinterAvailable(bool get, bool value) {
    return Access(ulAvailable, UPGRADE_PRINTER, get, value);
}
bool ProtocollDataAvailable::StatusPrinterAvailable(bool get, bool value) {
    return Access(ulAvailable, STATUS_PRINTER, get, value);
}

bool ProtocollDataAvailable::SetupDataToSave(bool get, bool value) {
    return Access(ulToSave, SETUP_DATA, get, value);
}
bool ProtocollDataAvailable::LogoDataToSave(bool get, bool value) {
    return Access(ulToSave, LOGO_DATA, get, value);
}
bool ProtocollDataAvailable::UpgradeModulesToSave(bool get, bool value) {
    return Access(ulToSave, UPGRADE_MODULES, get, value);
}
bool ProtocollDataAvailable::FontsDataToSave(bool get, bool value) {
    return Access(ulToSave, FONTS_DATA, get, value);
}
bool ProtocollDataAvailable::ToolsToSave(bool get, bool value) {
    return Access(ulToSave, TOOLS, get, value);
}
bool ProtocollDataAvailable::UpgradePrinterToSave(bool get, bool value) {
    return Access(ulToSave, UPGRADE_PRINTER, get, value);
}
bool ProtocollDataAvailable::StatusPrinterToSave(bool get, bool value) {
    return Access(ulToSave, STATUS_PRINTER, get, value);
}
