#include <string>
#include <vector>

#include "files/LoaderMessage.h"
#include "files/ModuleData.h"
#include "files/PSWComponents.h"
#include "files/PSWFile.h"
#include "files/PSWHeaderBin.h"
#include "files/PSWHeaderFonts.h"
#include "files/PSWHeaderLogos.h"
#include "files/PSWHeaderModule.h"
#include "files/PSWHeaderPrinter.h"
#include "files/PSWHeaderUpgrade.h"
#include "info/Report.h"

namespace {

Json Checksum(const PSWFile& package, const PSWHeaderPrinter& printer) {
    // A stored pair of 0, 0 switches the check off; any other pair was
    // checked by the load, which fails when it does not hold.
    const bool checked = printer.uiChecksum1 != 0 || printer.uiChecksum2 != 0;
    Json sums;
    sums["sum1"] = printer.uiChecksum1;
    sums["sum2"] = printer.uiChecksum2;
    sums["holds"] = checked ? Json(true) : Json(nullptr);
    sums["over"] = !checked ? Json(nullptr) : Json(package.iPswType == 1 ? "file" : "data area");
    return sums;
}

Json Identity(const PSWFile& package) {
    std::vector<PSWHeader*> records = package.GetHeaders(HTYPE_UPGRADE);
    if (records.empty()) return nullptr;
    const auto* upgrade = static_cast<const PSWHeaderUpgrade*>(records.front());
    return {{"family", upgrade->iIDFamily},
            {"model", upgrade->iIDModel},
            {"customization", upgrade->iIDCustomization}};
}

// Second generation: the firmware module; first: the data area.
Json Firmware(const PSWFile& package) {
    if (package.iPswType == 1) {
        const PSWHeaderModule* module = package.GetHeaderModuleSoftware();
        if (module == nullptr) return nullptr;
        return {{"source", "module"},
                {"image_size", module->uiDataSize},
                {"bank_count", module->iNumBank},
                {"bank_size", module->uiBankDim}};
    }
    const PSWHeaderBin* bin = package.GetHeaderBin();
    return {{"source", "data area"},
            {"image_size", bin->uiBinLength},
            {"bank_count", bin->iNumBanks},
            {"bank_size", bin->uiBinSize}};
}

const char* RecordKindName(int32_t moduleId) {
    switch (moduleId) {
        case PSWHeaderModule::MODULE_FONT:
            return "fonts";
        case 1:
            return "fonts (C)";
        case PSWHeaderModule::MODULE_FLASHDISK:
            return "flash disk";
        case 3:
            return "u";
        case 4:
            return "b";
        case PSWHeaderModule::MODULE_SOFTWARE:
            return "firmware image";
        case PSWHeaderModule::MODULE_LOGOS:
            return "logos";
        default:
            return "other";
    }
}

const char* ComponentKindName(uint32_t value) {
    switch (value & ~static_cast<uint32_t>(PSWCOMP_AFTER)) {
        case PSWCOMP_FW:
            return "firmware";
        case PSWCOMP_MODULE | PSWCOMP_FONTS:
            return "fonts";
        case PSWCOMP_MODULE | PSWCOMP_FLASHDISK:
            return "flash disk";
        case PSWCOMP_MODULE | PSWCOMP_LOGOS:
            return "logos";
        default:
            return "other";
    }
}

Json Modules(const PSWFile& package) {
    Json list = Json::array();
    for (PSWHeader* header : package.GetHeaders(HTYPE_MODULE)) {
        const auto* record = static_cast<const PSWHeaderModule*>(header);
        Json entry;
        entry["number"] = record->iNumModule;
        entry["total"] = record->iTotModules;
        entry["record_kind"] = record->modModuleID;
        entry["kind"] = RecordKindName(record->modModuleID);
        entry["size"] = record->uiModuleSize;
        entry["module"] = nullptr;
        entry["error"] = nullptr;
        // A firmware image carried as a module is no module file.
        if (record->modModuleID != PSWHeaderModule::MODULE_SOFTWARE) {
            ModuleData file;
            LoaderMessage message;
            if (file.LoadModuleInPlace(record->pDataBuffer.get(), record->uiDataSize)) {
                entry["module"] = DescribeModule(file);
            } else {
                entry["error"] = message.Last("the module does not load");
            }
        }
        list.push_back(entry);
    }
    return list;
}

// The component list as the banked-flash engines walk it: the modules
// marked "before" in list order, the firmware, then the modules marked
// "after". The loader adds one entry per software and module record, in
// file order, which gives each entry its size.
Json Components(const PSWFile& package, const Json& firmware) {
    std::vector<const PSWHeader*> sources;
    for (const auto& header : package.vHeaders) {
        if (header->iType == HTYPE_SOFTWARE || header->iType == HTYPE_MODULE) {
            sources.push_back(header.get());
        }
    }
    Json before = Json::array(), after = Json::array();
    bool hasFirmware = false;
    for (int32_t i = 0; i < package.components.Size(); ++i) {
        const uint32_t value = package.components.Get(i);
        if (!package.components.IsModule(i)) {
            hasFirmware = true;
            continue;
        }
        Json entry;
        entry["kind"] = ComponentKindName(value);
        entry["when"] = package.components.IsModuleAfter(i) ? "after" : "before";
        entry["value"] = value;
        const auto* record =
            static_cast<size_t>(i) < sources.size() && sources[i]->iType == HTYPE_MODULE
                ? static_cast<const PSWHeaderModule*>(sources[i])
                : nullptr;
        entry["size"] = record ? Json(record->uiModuleSize) : Json(nullptr);
        entry["module_number"] = record ? Json(record->iNumModule) : Json(nullptr);
        (package.components.IsModuleAfter(i) ? after : before).push_back(entry);
    }
    Json order = before;
    if (hasFirmware) {
        order.push_back({{"kind", "firmware"},
                         {"when", "firmware"},
                         {"value", static_cast<uint32_t>(PSWCOMP_FW)},
                         {"size", firmware.is_null() ? Json(nullptr) : firmware["image_size"]},
                         {"module_number", nullptr}});
    }
    for (const Json& entry : after) order.push_back(entry);
    return order;
}

Json Logos(const PSWFile& package) {
    Json list = Json::array();
    for (PSWHeader* header : package.GetHeaders(HTYPE_LOGOS)) {
        const auto* logo = static_cast<const PSWHeaderLogos*>(header);
        list.push_back({{"width", logo->iDotSizeX}, {"height", logo->iDotSizeY}});
    }
    return list;
}

Json Fonts(const PSWFile& package) {
    Json list = Json::array();
    for (PSWHeader* header : package.GetHeaders(HTYPE_FONTS)) {
        const auto* font = static_cast<const PSWHeaderFonts*>(header);
        list.push_back({{"width", font->iFontSizeX},
                        {"height", font->iFontSizeY},
                        {"name", font->strFontName}});
    }
    return list;
}

}  // namespace

Json DescribePackage(const PSWFile& package) {
    // A loaded package has exactly one printer and one bin record.
    const PSWHeaderPrinter& printer = *package.GetHeaderPrinter();
    Json p;
    p["generation"] = package.iPswType == 1 ? 2 : 1;
    p["release"] = printer.strReleasePSW;
    p["creation_date"] = printer.strCreationDate;
    p["printer_model"] = printer.strPrinterModel;
    p["hardware_release"] = printer.strReleaseHW;
    p["device_id"] = ((printer.iGSIHight & 0xFF) << 8) | (printer.iGSILow & 0xFF);
    p["checksum"] = Checksum(package, printer);
    p["identity"] = Identity(package);
    p["firmware"] = Firmware(package);
    p["components"] = Components(package, p["firmware"]);
    p["modules"] = Modules(package);
    p["logos"] = Logos(package);
    p["fonts"] = Fonts(package);
    return p;
}
