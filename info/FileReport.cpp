#include <memory>
#include <string>

#include "app/Arguments.h"
#include "app/ExitCodes.h"
#include "common/GenericFunctions.h"
#include "files/FileRefusal.h"
#include "files/LoaderMessage.h"
#include "files/ModuleData.h"
#include "files/PSWFile.h"
#include "files/ZPDFormat.h"
#include "info/Report.h"
#include "operations/Tamper.h"

namespace {

// The report as far as every kind has it; "ok" until a step fails.
Json NewReport(const std::string& path) {
    Json report;
    report["schema_version"] = INFO_SCHEMA_VERSION;
    report["file"] = path;
    report["kind"] = nullptr;
    report["size"] = nullptr;
    report["ok"] = true;
    report["exit_code"] = static_cast<int>(EXIT_OK);
    report["error"] = nullptr;
    report["failure"] = nullptr;
    return report;
}

// error: what went wrong, in the loader's words where it has some;
// failure: the line prnupgrade prints for the same file.
Json& Fail(Json& report, const std::string& error, const char* failure) {
    report["ok"] = false;
    report["exit_code"] = static_cast<int>(EXIT_FILE_ERROR);
    report["error"] = error;
    report["failure"] = failure;
    return report;
}

Json& InspectPackage(Json& report, const std::string& path) {
    report["kind"] = "package";
    PSWFile package;
    {
        LoaderMessage message;
        if (!package.LoadPSWFromFile(path.c_str(), true)) {
            return Fail(report, message.Last("the package does not load"),
                        "LoadPSWFromFile FAILURE");
        }
    }
    report["package"] = DescribePackage(package);
    return report;
}

Json& InspectModule(Json& report, const std::string& path) {
    report["kind"] = "module";
    ModuleData module;
    {
        LoaderMessage message;
        if (!module.LoadModuleFromFile(path.c_str())) {
            return Fail(report, message.Last("the module does not load"),
                        "LoadModuleFromFile FAILURE");
        }
    }
    report["module"] = DescribeModule(module);
    return report;
}

Json& InspectZpd(Json& report, const std::string& path) {
    report["kind"] = "zpd";
    CZPDFormat script;
    {
        LoaderMessage message;
        if (!script.LoadFile(path.c_str())) {
            return Fail(report, message.Last("the script does not load"), "LoadFile ZPD FAILURE");
        }
    }
    report["zpd"] = DescribeZpd(script);
    return report;
}

// Anti-tamper images and tool files are taken as raw bytes, as the upgrade
// reads them.
Json& InspectRaw(Json& report, const std::string& path, bool tamper) {
    report["kind"] = tamper ? "anti-tamper" : "spt";
    long size = -1;
    std::unique_ptr<unsigned char[]> data = GenericFunctions::readfile(path.c_str(), size);
    if (!data || size < 0) return Fail(report, "the file cannot be read", "LoadBinFile FAILURE");
    if (!tamper) return report;
    char release[CTamper::RELEASE_SIZE] = {};
    if (!CTamper::GetUpgradeFileForTamperVersion(data.get(), size, release)) {
        std::string why = size != CTamper::IMAGE_SIZE
                              ? "an image has " + std::to_string(CTamper::IMAGE_SIZE) + " bytes"
                              : "the texts \"anti-tamper\" and \"rel.\" are not both in it";
        return Fail(report, "Wrong Tamper upgrade file: " + why, "Wrong Tamper upgrade file");
    }
    report["anti_tamper"] = {{"size_ok", true}, {"release", release}};
    return report;
}

}  // namespace

Json InspectFile(const std::string& path) {
    Json report = NewReport(path);
    long long size = 0;
    std::string why = FileRefusal::Unreadable(path.c_str(), &size);
    if (!why.empty()) return Fail(report, why, "filename argument not valid");
    report["size"] = size;
    int isMod = 0, isPswPfw = 0, isBin = 0, isZpd = 0, isSpt = 0;
    if (!parse_filename(path.c_str(), &isMod, &isPswPfw, &isBin, &isZpd, &isSpt)) {
        return Fail(report, FileRefusal::UNKNOWN_KIND, "filename argument not valid");
    }
    if (isPswPfw) return InspectPackage(report, path);
    if (isMod) return InspectModule(report, path);
    if (isZpd) return InspectZpd(report, path);
    return InspectRaw(report, path, isBin != 0);
}
