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

// "prnmkfile --help": every option in a line.
int Help() {
    fputs(
        "prnmkfile KIND -o FILE [options]: writes an upgrade file (KIND: package, module, zpd,\n"
        "tamper). Numbers are decimal, or hexadecimal with 0x.\n"
        "  -o FILE                  the file to write (every kind)\n"
        "package (a firmware package, .psw/.pfw):\n"
        "  --gen 1|2                package generation (default 2)\n"
        "  --key N                  scramble key of the data area (default 0x5A)\n"
        "  --no-checksum            store 0, 0 as the file checksums (check switched off)\n"
        "  --no-upgrade             a software record without the upgrade identification\n"
        "  --firmware-size N        bytes of the firmware image (default 4096)\n"
        "  --banks N                firmware banks the image is cut into (default 1)\n"
        "  --module C:FILE          a module record of type C (f C d u b s l) holding FILE\n"
        "  --logo WxH               a logo of W x H dots (repeat for more)\n"
        "  --font XxY               a font of X x Y dots (repeat for more)\n"
        "  --release RRR            the package's release (default 123)\n"
        "  --gsi HHHH               the printer identification, hexadecimal (default 1234)\n"
        "  --family N               printer family the package is meant for (default 1)\n"
        "  --model N                printer model the package is meant for (default 2)\n"
        "  --custom N               printer customization the package is meant for (default 3)\n"
        "module (a module file, .mod):\n"
        "  --type L                 the module type letter, MOD_ID (default D)\n"
        "  --key N                  scramble key (default 0)\n"
        "  --enmode N|none          scrambling mode, or none to leave ENMODE out (default 0)\n"
        "  --payload-size N         bytes of payload after the font entries (default 256)\n"
        "  --font-entry NAME[:CODE] a font entry at the start of the payload (repeat)\n"
        "  --crlf                   header lines end in CR LF\n"
        "  --release R              RELEASE (default 1.00)\n"
        "  --code C                 CODE (default MODCODE)\n"
        "  --date D                 DATE (default 20240101)\n"
        "  --factory F              FACTORY (default FACTORY)\n"
        "  --note T                 NOTE (default NOTE)\n"
        "  --file-size N            the FILE_SIZE written (default: the right one)\n"
        "zpd (a ZPD script, .zpd):\n"
        "  --device HHHH            the printer identification the script is for (default 1234)\n"
        "  --release RRRR           the script's release (default 0100)\n"
        "  --line TEXT              a body line (repeat; replaces the default body)\n"
        "  --no-device              leave the device line out\n"
        "  --no-end                 leave the closing #>ZPDEND line out\n"
        "  --crlf                   lines end in CR LF\n"
        "  --checksum HHHH          the checksum written, hexadecimal (default: the right one)\n"
        "tamper (an anti-tamper image, .bin):\n"
        "  --release RRRR           the image's release (default 0104)\n"
        "  --size N                 bytes of the image (default 32768)\n"
        "  --no-marker              leave \"anti-tamper\" out of the release text\n",
        stdout);
    return 0;
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
    if (strcmp(argv[1], "--help") == 0) return Help();
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
