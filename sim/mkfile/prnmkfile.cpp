// prnmkfile: writes upgrade files for tests, demonstrations and firmware
// engineers. Not installed with the product.
//
//   prnmkfile package -o FILE [--gen 1|2] [--key N] [--no-checksum] [--no-upgrade]
//             [--firmware-size N] [--banks N] [--module C:FILE] [--logo WxH]
//             [--font XxY] [--release RRR] [--gsi HHHH] [--family N] [--model N]
//             [--custom N]
//   prnmkfile module -o FILE [--type L] [--key N] [--enmode N|none]
//             [--payload-size N] [--font-entry NAME[:CODE]] [--crlf] [--release R]
//             [--code C] [--date D] [--factory F] [--note T] [--file-size N]
//   prnmkfile zpd -o FILE [--device HHHH] [--release RRRR] [--line TEXT]...
//             [--no-device] [--no-end] [--crlf] [--checksum HHHH]
//   prnmkfile tamper -o FILE [--release RRRR] [--size N] [--no-marker]
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "sim/mkfile/MkFile.h"

namespace {

int Usage() {
    fprintf(stderr, "%s",
            "usage:\n"
            "  prnmkfile package -o FILE [--gen 1|2] [--key N] [--no-checksum] [--no-upgrade]\n"
            "            [--firmware-size N] [--banks N] [--module C:FILE] [--logo WxH]\n"
            "            [--font XxY] [--release RRR] [--gsi HHHH] [--family N] [--model N]\n"
            "            [--custom N]\n"
            "  prnmkfile module -o FILE [--type L] [--key N] [--enmode N|none]\n"
            "            [--payload-size N] [--font-entry NAME[:CODE]] [--crlf] [--release R]\n"
            "            [--code C] [--date D] [--factory F] [--note T] [--file-size N]\n"
            "  prnmkfile zpd -o FILE [--device HHHH] [--release RRRR] [--line TEXT]...\n"
            "            [--no-device] [--no-end] [--crlf] [--checksum HHHH]\n"
            "  prnmkfile tamper -o FILE [--release RRRR] [--size N] [--no-marker]\n");
    return 2;
}

bool WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

bool ReadFile(const std::string& path, mkfile::Bytes& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

long Number(const std::string& text, int base = 0) {
    char* end = nullptr;
    long value = strtol(text.c_str(), &end, base);
    if (text.empty() || *end != '\0') {
        fprintf(stderr, "not a number: %s\n", text.c_str());
        exit(2);
    }
    return value;
}

// "WxH" into two numbers.
void Pair(const std::string& text, long& a, long& b) {
    size_t x = text.find('x');
    if (x == std::string::npos) {
        fprintf(stderr, "expected WxH: %s\n", text.c_str());
        exit(2);
    }
    a = Number(text.substr(0, x));
    b = Number(text.substr(x + 1));
}

}  // namespace

namespace {
int Run(int argc, char** argv) {
    if (argc < 2) return Usage();
    const std::string kind = argv[1];
    std::string output;
    std::vector<std::pair<std::string, std::string>> options;
    for (int i = 2; i < argc; ++i) {
        std::string name = argv[i];
        bool flag = name == "--no-checksum" || name == "--no-upgrade" || name == "--crlf" ||
                    name == "--no-device" || name == "--no-end" || name == "--no-marker";
        if (flag) {
            options.emplace_back(name, "");
            continue;
        }
        if (i + 1 >= argc) return Usage();
        if (name == "-o") {
            output = argv[++i];
        } else {
            options.emplace_back(name, argv[++i]);
        }
    }
    if (output.empty()) return Usage();

    std::string bytes;
    if (kind == "package") {
        mkfile::PackageLayout layout;
        long firmwareSize = 4096;
        for (const auto& [name, value] : options) {
            if (name == "--gen")
                layout.generation = static_cast<int>(Number(value));
            else if (name == "--key")
                layout.key = static_cast<uint8_t>(Number(value));
            else if (name == "--no-checksum")
                layout.checksum = false;
            else if (name == "--no-upgrade")
                layout.upgrade = false;
            else if (name == "--firmware-size")
                firmwareSize = Number(value);
            else if (name == "--banks")
                layout.numBanks = static_cast<uint8_t>(Number(value));
            else if (name == "--release")
                layout.releasePSW = value;
            else if (name == "--family")
                layout.family = static_cast<uint16_t>(Number(value));
            else if (name == "--model")
                layout.modelId = static_cast<uint16_t>(Number(value));
            else if (name == "--custom")
                layout.customization = static_cast<uint16_t>(Number(value));
            else if (name == "--gsi") {
                long gsi = Number(value, 16);
                layout.gsiHigh = static_cast<uint8_t>(gsi >> 8);
                layout.gsiLow = static_cast<uint8_t>(gsi);
            } else if (name == "--module") {
                mkfile::PackageModule module;
                if (value.size() < 3 || value[1] != ':' ||
                    !ReadFile(value.substr(2), module.file)) {
                    fprintf(stderr, "--module C:FILE: cannot read %s\n", value.c_str());
                    return 2;
                }
                module.typeChar = value[0];
                layout.modules.push_back(module);
            } else if (name == "--logo") {
                long w = 0, h = 0;
                Pair(value, w, h);
                layout.logos.push_back({static_cast<uint16_t>(w), static_cast<uint16_t>(h), {}});
            } else if (name == "--font") {
                long x = 0, y = 0;
                Pair(value, x, y);
                mkfile::PackageFont font;
                font.sizeX = static_cast<uint8_t>(x);
                font.sizeY = static_cast<uint8_t>(y);
                layout.fonts.push_back(font);
            } else {
                return Usage();
            }
        }
        layout.firmware = mkfile::Pattern(static_cast<size_t>(firmwareSize), 3);
        mkfile::Bytes out = mkfile::BuildPackage(layout);
        bytes.assign(out.begin(), out.end());
    } else if (kind == "module") {
        mkfile::ModuleLayout layout;
        long payloadSize = 256;
        mkfile::Bytes fonts;
        for (const auto& [name, value] : options) {
            if (name == "--type")
                layout.typeLetter = value;
            else if (name == "--key")
                layout.key = static_cast<uint8_t>(Number(value));
            else if (name == "--enmode")
                layout.enmode = value == "none" ? -1 : static_cast<int>(Number(value));
            else if (name == "--payload-size")
                payloadSize = Number(value);
            else if (name == "--crlf")
                layout.crlf = true;
            else if (name == "--release")
                layout.release = value;
            else if (name == "--code")
                layout.code = value;
            else if (name == "--date")
                layout.date = value;
            else if (name == "--factory")
                layout.factory = value;
            else if (name == "--note")
                layout.note = value;
            else if (name == "--file-size")
                layout.fileSize = Number(value);
            else if (name == "--font-entry") {
                size_t colon = value.find(':');
                int code = colon == std::string::npos
                               ? -1
                               : static_cast<int>(Number(value.substr(colon + 1)));
                mkfile::AddFontEntry(fonts, value.substr(0, colon), code);
            } else {
                return Usage();
            }
        }
        layout.payload = fonts;
        mkfile::Bytes pattern = mkfile::Pattern(static_cast<size_t>(payloadSize), 5);
        layout.payload.insert(layout.payload.end(), pattern.begin(), pattern.end());
        mkfile::Bytes out = mkfile::BuildModule(layout);
        bytes.assign(out.begin(), out.end());
    } else if (kind == "zpd") {
        mkfile::ZpdLayout layout;
        std::vector<std::string> lines;
        for (const auto& [name, value] : options) {
            if (name == "--device")
                layout.device = value;
            else if (name == "--release")
                layout.release = value;
            else if (name == "--line")
                lines.push_back(value);
            else if (name == "--no-device")
                layout.deviceLine = false;
            else if (name == "--no-end")
                layout.end = false;
            else if (name == "--crlf")
                layout.crlf = true;
            else if (name == "--checksum")
                layout.checksum = Number(value, 16);
            else
                return Usage();
        }
        if (!lines.empty()) layout.body = lines;
        bytes = mkfile::BuildZpd(layout);
    } else if (kind == "tamper") {
        std::string release = "0104";
        long size = 32768;
        bool marker = true;
        for (const auto& [name, value] : options) {
            if (name == "--release")
                release = value;
            else if (name == "--size")
                size = Number(value);
            else if (name == "--no-marker")
                marker = false;
            else
                return Usage();
        }
        mkfile::Bytes out = mkfile::BuildTamperImage(release, static_cast<size_t>(size), marker);
        bytes.assign(out.begin(), out.end());
    } else {
        return Usage();
    }
    if (!WriteFile(output, bytes)) {
        fprintf(stderr, "cannot write %s\n", output.c_str());
        return 1;
    }
    return 0;
}
}  // namespace

int main(int argc, char** argv) {
    try {
        return Run(argc, argv);
    } catch (const std::exception& e) {  // a description the format cannot hold
        fprintf(stderr, "prnmkfile: %s\n", e.what());
        return 2;
    }
}
