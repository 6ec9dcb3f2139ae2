#include "app/DryRunReport.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "app/ExitCodes.h"
#include "app/ProgramSettings.h"

using Json = nlohmann::ordered_json;

namespace {

std::vector<long> ReleaseParts(const std::string& text, bool& numeric) {
    std::vector<long> parts;
    numeric = !text.empty();
    size_t start = 0;
    while (numeric && start <= text.size()) {
        size_t dot = text.find('.', start);
        std::string part = text.substr(start, dot == std::string::npos ? dot : dot - start);
        char* end = nullptr;
        long value = part.empty() || part.size() > 9 ? -1 : strtol(part.c_str(), &end, 10);
        numeric = value >= 0 && end != nullptr && *end == '\0';
        parts.push_back(value);
        if (dot == std::string::npos) break;
        start = dot + 1;
    }
    return parts;
}

const char* LinkName(int type) {
    switch (type) {
        case COMMPORT_ETH:
            return "eth";
        case COMMPORT_USB:
            return "usb";
        case COMMPORT_SERIAL:
            return "ser";
        default:
            return nullptr;
    }
}

Json Identity(uint32_t family, uint32_t model, uint32_t customization) {
    return {{"family", family}, {"model", model}, {"customization", customization}};
}

Json Printer(const DryRunFacts& f) {
    if (!f.infoRead) return nullptr;
    Json p;
    p["upgrade_mode"] = "U" + std::to_string(f.mode);
    p["configuration"] = f.configuration;
    p["identity"] = Identity(f.family, f.model, f.customization);
    p["release"] = f.releaseRead ? Json(f.release) : Json(nullptr);
    p["round_trip_ms"] = f.roundTripMs;
    return p;
}

Json Plan(const DryRunFacts& f, const ProgramSettings& s) {
    if (f.stage != "done") return nullptr;
    Json steps = Json::array();
    for (const DryRunFacts::Step& step : f.steps) {
        steps.push_back({{"kind", step.kind},
                         {"when", step.when},
                         {"size", step.size},
                         {"module_number", step.moduleNumber == 0 && step.kind == "firmware"
                                               ? Json(nullptr)
                                               : Json(step.moduleNumber)}});
    }
    Json waits = Json::array();
    for (const DryRunFacts::Wait& wait : f.waits) {
        waits.push_back({{"what", wait.what}, {"ms", wait.ms}, {"at_most", wait.atMost}});
    }
    Json plan;
    plan["components_mask"] = s.upg_components;
    plan["time_multiplier"] = s.timem;
    plan["steps"] = steps;
    plan["banks"] =
        f.bankCount > 0 ? Json({{"count", f.bankCount}, {"size", f.bankSize}}) : Json(nullptr);
    plan["waits"] = waits;
    plan["estimate_ms"] = f.estimateMs;
    return plan;
}

// Texts from the printer or the file, for a terminal: printable ASCII only.
std::string Printable(const std::string& text) {
    std::string out = text;
    for (char& c : out) {
        if (c < 0x20 || c > 0x7E) c = '?';
    }
    return out;
}

std::string IdentityText(const Json& id) {
    return "family " + id["family"].dump() + ", model " + id["model"].dump() + ", customization " +
           id["customization"].dump();
}

std::string Seconds(int64_t ms) {
    char text[32];
    snprintf(text, sizeof(text), "%.1f s", static_cast<double>(ms) / 1000.0);
    return text;
}

}  // namespace

const char* CompareReleases(const std::string& printer, const std::string& package) {
    bool printerNumeric = false, packageNumeric = false;
    std::vector<long> a = ReleaseParts(printer, printerNumeric);
    std::vector<long> b = ReleaseParts(package, packageNumeric);
    if (!printerNumeric || !packageNumeric) return "unknown";
    while (a.size() < b.size()) a.push_back(0);
    while (b.size() < a.size()) b.push_back(0);
    if (b > a) return "newer";
    return b == a ? "same" : "older";
}

Json DryRunJson(const DryRunFacts& f, const ProgramSettings& s, int exitCode) {
    char scratch[32];
    const bool goesOn = f.stage == "done";
    const char* comparison =
        f.releaseRead ? CompareReleases(f.release, f.packageRelease) : "unknown";
    Json report;
    report["schema_version"] = DRY_RUN_SCHEMA_VERSION;
    report["file"] = s.filename;
    const char* link = LinkName(s.commPortType);
    report["link"] = {{"type", link ? Json(link) : Json(nullptr)}, {"device", s.device}};
    report["exit_code"] = exitCode;
    report["exit_text"] = ExitCodeText(exitCode, scratch, sizeof(scratch));
    report["would_go_on"] = goesOn;
    report["stopped_at"] = goesOn ? Json(nullptr) : Json(f.stage);
    report["error_code"] = f.errorCode;
    report["printer"] = Printer(f);
    Json package;
    package["generation"] = f.generation;
    package["release"] = f.packageRelease;
    package["identity"] = f.identityKnown ? Identity(static_cast<uint32_t>(f.packageFamily),
                                                     static_cast<uint32_t>(f.packageModel),
                                                     static_cast<uint32_t>(f.packageCustomization))
                                          : Json(nullptr);
    report["package"] = package;
    report["fits"] = f.infoRead ? Json(f.fits) : Json(nullptr);
    report["release_comparison"] = comparison;
    report["would_upgrade"] = goesOn && std::string(comparison) == "newer";
    report["plan"] = Plan(f, s);
    return report;
}

std::string DryRunText(const Json& r) {
    std::string out = "DRY RUN: nothing was written to the printer\n";
    const Json& printer = r["printer"];
    if (printer.is_null()) {
        out += "Printer:     no upgrade information\n";
    } else {
        out += "Printer:     upgrade mode " + printer["upgrade_mode"].get<std::string>() + ", " +
               IdentityText(printer["identity"]) + ", release " +
               (printer["release"].is_null() ? std::string("not read")
                                             : Printable(printer["release"].get<std::string>())) +
               "\n";
    }
    const Json& package = r["package"];
    out += "Package:     generation " + package["generation"].dump() + ", " +
           (package["identity"].is_null() ? std::string("no upgrade record")
                                          : IdentityText(package["identity"])) +
           ", release " + Printable(package["release"].get<std::string>()) + "\n";
    out += "Fits:        " +
           std::string(r["fits"].is_null()     ? "unknown"
                       : r["fits"].get<bool>() ? "yes"
                                               : "no") +
           "\n";
    out += "Release:     " + r["release_comparison"].get<std::string>() + "\n";
    const Json& plan = r["plan"];
    if (!plan.is_null()) {
        out += "Plan (components " + plan["components_mask"].dump() + "):\n";
        int n = 0;
        for (const Json& step : plan["steps"]) {
            char line[160];
            snprintf(line, sizeof(line), "  %d. %-8s %-10s %llu bytes", ++n,
                     step["when"].get<std::string>().c_str(),
                     step["kind"].get<std::string>().c_str(),
                     static_cast<unsigned long long>(step["size"].get<uint64_t>()));
            out += line;
            if (!step["module_number"].is_null()) {
                out += " (module " + step["module_number"].dump() + ")";
            } else if (!plan["banks"].is_null()) {
                out += ", " + plan["banks"]["count"].dump() + " banks of " +
                       plan["banks"]["size"].dump() + " bytes";
            }
            out += "\n";
        }
        if (n == 0) out += "  nothing to send\n";
        for (const Json& wait : plan["waits"]) {
            out += std::string(wait["at_most"].get<bool>() ? "  wait up to " : "  wait ") +
                   Seconds(wait["ms"].get<int64_t>()) + ": " + wait["what"].get<std::string>() +
                   "\n";
        }
        out += "Estimate:    about " + Seconds(plan["estimate_ms"].get<int64_t>()) +
               " on this link (waits marked \"up to\" not counted)\n";
    }
    out += "Result:      ";
    if (r["would_go_on"].get<bool>()) {
        out += "the upgrade would go on";
    } else {
        out += "the upgrade would stop at: " + r["stopped_at"].get<std::string>();
    }
    out += " (exit " + r["exit_code"].dump() + ": " + r["exit_text"].get<std::string>() + ")\n";
    return out;
}
