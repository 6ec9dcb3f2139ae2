#include "sim/UpgradeOptions.h"

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

#include "sim/core/PackageImage.h"

namespace {

constexpr int MAX_PROFILE_LINES = 200;

bool Number(const char* text, unsigned long max, unsigned long& out) {
    if (text == nullptr || *text == '\0' || *text == '-') return false;
    errno = 0;
    char* end = nullptr;
    out = strtoul(text, &end, 0);
    return errno == 0 && *end == '\0' && out <= max;
}

// "STEP:KIND[:CODE]", e.g. "upginfo:error:7" or "module:silent".
bool ParseStepFault(const std::string& text, UpgradeProfile& p, std::string& error) {
    std::vector<std::string> parts;
    std::stringstream in(text);
    for (std::string part; std::getline(in, part, ':');) parts.push_back(part);
    UpgradeProfile::Step step;
    if (parts.size() < 2 || parts.size() > 3 || !ParseUpgradeStep(parts[0], step)) {
        error = "--fail needs STEP:KIND[:CODE] with a known step: " + text;
        return false;
    }
    const bool byteStep =
        step == UpgradeProfile::STEP_MODULE || step == UpgradeProfile::STEP_PROGRAM;
    UpgradeProfile::StepFault& f = p.steps[step];
    const std::string& kind = parts[1];
    if (kind == "silent") {
        f.fault = UpgradeProfile::Fault::Silent;
    } else if (kind == "garbage") {
        f.fault = UpgradeProfile::Fault::Garbage;
    } else if (kind == "drop") {
        f.fault = UpgradeProfile::Fault::Drop;
    } else if (kind == "record" && !byteStep) {
        f.fault = UpgradeProfile::Fault::WrongRecord;
    } else if (kind == "error" && !byteStep) {
        f.fault = UpgradeProfile::Fault::Error;
        unsigned long code = 5;
        if (parts.size() == 3 && !Number(parts[2].c_str(), 999, code)) {
            error = "--fail error code must be a number up to 999: " + text;
            return false;
        }
        f.errorCode = static_cast<int>(code);
    } else {
        error = "--fail: unknown fault \"" + kind + "\" for step " + parts[0] +
                (byteStep ? " (answer bytes: --module-verdict, --prg-answer)" : "");
        return false;
    }
    return true;
}

bool ReadProfile(const std::string& path, UpgradeOptions& o, std::string& error) {
    std::ifstream in(path);
    if (!in) {
        error = "cannot read the profile " + path;
        return false;
    }
    int lines = 0;
    for (std::string line; std::getline(in, line);) {
        if (++lines > MAX_PROFILE_LINES) {
            error = "profile longer than " + std::to_string(MAX_PROFILE_LINES) + " lines";
            return false;
        }
        if (!line.empty() && line.back() == '\r') line.pop_back();
        size_t start = line.find_first_not_of(" \t");
        if (start == std::string::npos || line[start] == '#') continue;
        size_t gap = line.find_first_of(" \t", start);
        std::string option = "--" + line.substr(start, gap - start);
        std::string value;
        if (gap != std::string::npos) {
            size_t v = line.find_first_not_of(" \t", gap);
            if (v != std::string::npos) value = line.substr(v);
        }
        std::vector<char*> words{&option[0]};
        if (!value.empty()) words.push_back(&value[0]);
        int used = option == "--release"
                       ? 0
                       : ParseUpgradeOption(int(words.size()), words.data(), o, error);
        if (option == "--release" && !value.empty()) {
            o.release = value;
            used = 2;
        }
        if (used < 0) return false;
        if (used != static_cast<int>(words.size())) {
            error = path + ":" + std::to_string(lines) + ": not a profile line: " + line;
            return false;
        }
    }
    return true;
}

}  // namespace

const char* UpgradeUsage() {
    return "Upgrade profile (package upgrades and module writes):\n"
           "  --profile FILE         read these options from FILE, one \"name value\" a line\n"
           "                         (no leading dashes; # comments; also \"release TEXT\")\n"
           "  --mode TEXT            upgrade mode U1, U3, U5 (or any other text; default U1)\n"
           "  --config TEXT          configuration text of the upgrade information\n"
           "                         (\"0;\": no programming answer over USB; default none)\n"
           "  --family N --model N --custom N\n"
           "                         identifiers (default 0: takes any package)\n"
           "  --module-code TEXT     a module code in the module list (repeatable)\n"
           "  --package FILE         package to check what arrives against; gives the bank\n"
           "                         size and count and the release after the upgrade\n"
           "  --bank-size N          flash bank size (default the package's, else 4096)\n"
           "  --banks N              flash banks (default the package's); mode U5 does not\n"
           "                         answer the last one\n"
           "  --new-release TEXT     release after a firmware download (default the\n"
           "                         package's, else unchanged)\n"
           "  --restart-ms N         time away while restarting (default 300)\n"
           "  --restart-grace-ms N   time between the last answer and the restart\n"
           "                         (default 100)\n"
           "  --save-dir DIR         write the received firmware.bin and module-N.mod there\n"
           "                         (the folder is made when missing)\n"
           "  --expect-mask MASK     with --package: report on exit what the printer holds\n"
           "                         (\"holds firmware=package|other|old modules=N,...\")\n"
           "                         and whether it is exactly what a download with this\n"
           "                         component mask selects (\"verdict package\" or\n"
           "                         \"verdict not-package: REASONS\")\n"
           "Upgrade faults:\n"
           "  --fail STEP:KIND[:CODE]\n"
           "                         STEP upginfo or modlist, KIND silent, error[:CODE]\n"
           "                         (default 5), record (an answer of another kind),\n"
           "                         garbage or drop; STEP module (the verdict) or program\n"
           "                         (the programming answer), KIND silent, garbage or\n"
           "                         drop; repeatable (protocol version and data available:\n"
           "                         --mute, --refuse)\n"
           "  --module-verdict BYTE  answer every module file with BYTE (e.g. 0x44)\n"
           "  --prg-answer BYTE      answer every bank program command with BYTE\n"
           "  --prg-answer-once BYTE the first one only, then the printer's own answer\n"
           "  --no-restart           the printer does not come back after a download\n"
           "  --keep-release         it comes back with its old release\n"
           "  --silent-after-bank N  hangs for good once N banks have arrived\n"
           "  --drop-after-bank N    drops the connection once N banks have arrived\n"
           "The report on exit adds the banks received (number:size), whether the\n"
           "firmware and each module are the package's, and each module's verdict.\n";
}

int ParseUpgradeOption(int count, char** words, UpgradeOptions& o, std::string& error) {
    const std::string word = words[0];
    const char* value = count > 1 ? words[1] : nullptr;
    UpgradeProfile& p = o.profile;
    unsigned long n = 0;
    auto number = [&](unsigned long max) {
        if (Number(value, max, n)) return true;
        error = word + " needs a number up to " + std::to_string(max);
        return false;
    };
    auto text = [&](size_t max) {
        if (value != nullptr && std::string(value).size() <= max) return true;
        error = word + " needs a text of at most " + std::to_string(max) + " characters";
        return false;
    };
    if (word == "--no-restart") {
        p.restartNeverEnds = true;
        return 1;
    }
    if (word == "--keep-release") {
        p.keepRelease = true;
        return 1;
    }
    if (word == "--profile") {
        if (!text(4096)) return -1;
        return ReadProfile(value, o, error) ? 2 : -1;
    }
    // Printer texts go into answer tags: no ">" there.
    auto tagText = [&](size_t max) {
        if (!text(max)) return false;
        if (std::string(value).find('>') == std::string::npos) return true;
        error = word + " cannot hold \">\"";
        return false;
    };
    if (word == "--mode") {
        if (!tagText(16)) return -1;
        p.mode = value;
    } else if (word == "--config") {
        if (!tagText(500)) return -1;
        p.settings = value;
    } else if (word == "--family" || word == "--model" || word == "--custom") {
        if (!number(0xFFFFFFFFul)) return -1;
        (word == "--family"  ? p.family
         : word == "--model" ? p.model
                             : p.customization) = static_cast<uint32_t>(n);
    } else if (word == "--module-code") {
        if (!text(120)) return -1;
        p.moduleCodes.push_back(value);
    } else if (word == "--package") {
        if (!text(4096)) return -1;
        o.package = value;
    } else if (word == "--bank-size") {
        if (!number(16u << 20)) return -1;
        if (n == 0) {
            error = "--bank-size must not be 0";
            return -1;
        }
        p.bankSize = static_cast<uint32_t>(n);
        o.bankSizeGiven = true;
    } else if (word == "--banks") {
        if (!number(255)) return -1;
        p.banks = static_cast<int>(n);
        o.banksGiven = true;
    } else if (word == "--new-release") {
        if (!text(64)) return -1;
        p.newRelease = value;
    } else if (word == "--restart-ms") {
        if (!number(600000)) return -1;
        p.restartMs = static_cast<int>(n);
    } else if (word == "--restart-grace-ms") {
        if (!number(600000)) return -1;
        p.restartGraceMs = static_cast<int>(n);
    } else if (word == "--expect-mask") {
        if (!number(0xFF)) return -1;
        o.expectMask = static_cast<int>(n);
    } else if (word == "--save-dir") {
        if (!text(4096)) return -1;
        o.saveDir = value;
    } else if (word == "--fail") {
        if (!text(64) || !ParseStepFault(value, p, error)) return -1;
    } else if (word == "--module-verdict") {
        if (!number(0xFF)) return -1;
        p.moduleVerdict = static_cast<int>(n);
    } else if (word == "--prg-answer" || word == "--prg-answer-once") {
        if (!number(0xFF)) return -1;
        p.programAnswer = static_cast<int>(n);
        p.programAnswerOnce = word == "--prg-answer-once";
    } else if (word == "--silent-after-bank" || word == "--drop-after-bank") {
        if (!number(1u << 20)) return -1;
        (word == "--silent-after-bank" ? p.silentAfterBank : p.dropAfterBank) = static_cast<int>(n);
    } else {
        return 0;
    }
    return 2;
}

bool LoadUpgradePackage(UpgradeOptions& o, PackageImage& package, std::string& error) {
    if (!package.Load(o.package, error)) return false;
    if (!o.bankSizeGiven && package.BankSize() != 0) o.profile.bankSize = package.BankSize();
    if (!o.banksGiven) o.profile.banks = package.Banks();
    return true;
}
