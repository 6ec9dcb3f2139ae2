#include <cstdint>

#include "files/ModuleData.h"
#include "info/Report.h"

namespace {

// How the payload is stored: a key of 0 leaves it plain; modes other than
// 0 and 1 are not unscrambled by the loader and are sent as they are.
const char* ScrambleScheme(int32_t mode, int32_t key) {
    if (key == 0) return "plain";
    if (mode == 0) return "package";
    if (mode == 1) return "mode 1";
    return "unknown";
}

}  // namespace

Json DescribeModule(const ModuleData& module) {
    Json m;
    m["type"] = ModuleData::ModuleTypeName(module.iModuleID);
    m["type_id"] = module.iModuleID;
    m["letter"] = module.strModuleID;
    m["release"] = module.strRelease;
    m["date"] = module.strDate;
    m["code"] = module.strCode;
    m["factory"] = module.strFactory;
    m["note"] = module.strNote;
    m["file_size_field"] = module.iFileSizeParam;
    // The load refuses a module whose checksum pair does not hold.
    m["checksum_holds"] = true;
    m["scrambling"] = {{"scheme", ScrambleScheme(module.iEnMode, module.iScrambleKey)},
                       {"mode", module.iEnMode},
                       {"key", module.iScrambleKey}};
    Json fonts = Json::array();
    if (module.iModuleID == ModulesAvailable::MODULE_FONT) {
        for (const ModuleData::FontEntry& font : module.FontList()) {
            fonts.push_back(
                {{"name", font.name}, {"code", font.code >= 0 ? Json(font.code) : Json(nullptr)}});
        }
    }
    m["fonts"] = fonts;
    return m;
}
