#include "sim/mkfile/MkFile.h"

#include <cstdio>
#include <stdexcept>

namespace mkfile {

namespace {

uint8_t RotateLeftOnce(uint8_t v) { return static_cast<uint8_t>((v << 1) | (v >> 7)); }
uint8_t RotateRightOnce(uint8_t v) { return static_cast<uint8_t>((v >> 1) | ((v & 1) << 7)); }

void PutBE(Bytes& out, size_t at, uint32_t value, int bytes) {
    for (int i = bytes - 1; i >= 0; --i) {
        out.at(at + i) = static_cast<uint8_t>(value & 0xFF);
        value >>= 8;
    }
}

void PutText(Bytes& out, size_t at, const std::string& text, size_t length) {
    for (size_t i = 0; i < length; ++i) out.at(at + i) = i < text.size() ? text[i] : 0;
}

}  // namespace

void ScramblePackage(uint8_t key, uint8_t* data, size_t length) {
    if (key == 0) return;
    const bool odd = (key & 1) != 0;
    for (size_t i = 0; i < length; ++i) {
        unsigned turns = odd ? (i / 4) % 8 : (i / 32) % 8;
        uint8_t v = static_cast<uint8_t>(key ^ data[i]);
        if (odd) {
            v = static_cast<uint8_t>(~v);
            for (unsigned t = 0; t < turns; ++t) v = RotateLeftOnce(v);
        } else {
            for (unsigned t = 0; t < turns; ++t) v = RotateRightOnce(v);
        }
        data[i] = v;
    }
}

void ScrambleMode1(uint8_t key, uint8_t* data, size_t length) {
    if (key == 0) return;
    for (size_t i = 0; i < length; ++i) {
        uint8_t m = static_cast<uint8_t>((key + i) % 256);
        uint8_t v = static_cast<uint8_t>(m ^ data[i]);
        data[i] = i % 2 == 0 ? static_cast<uint8_t>(0xFF - v) : v;
    }
}

ChecksumPair Checksum(const uint8_t* data, size_t length) {
    uint64_t sum1 = 0;
    uint64_t sum2 = 0;
    for (size_t i = 0; i < length; ++i) {
        sum1 += data[i];
        sum2 += data[i] ^ (i % 65536);
    }
    return {static_cast<uint16_t>(sum1 % 65536), static_cast<uint16_t>(sum2 % 65536)};
}

Bytes Pattern(size_t length, uint8_t seed) {
    Bytes out(length);
    uint32_t x = seed;
    for (size_t i = 0; i < length; ++i) {
        x = x * 1103515245u + 12345u;
        out[i] = static_cast<uint8_t>(x >> 16);
    }
    return out;
}

void AddFontEntry(Bytes& payload, const std::string& name, int code) {
    Bytes entry(40, 0);
    PutText(entry, 0, "FNT:", 4);
    PutText(entry, 4, name, 16);
    entry[26] = code >= 0 ? 'N' : 'X';
    entry[37] = code >= 0 ? static_cast<uint8_t>(code) : 0;
    payload.insert(payload.end(), entry.begin(), entry.end());
}

Bytes BuildModule(const ModuleLayout& layout) {
    const size_t headerLength = 4102;
    const size_t n = headerLength + layout.payload.size() + 6;
    Bytes out(n, 0);
    PutText(out, 0, "VRMOD", 6);
    out[10] = static_cast<uint8_t>(layout.orderMark);
    const std::string eol = layout.crlf ? "\r\n" : "\n";
    std::string text = eol;
    auto line = [&](const std::string& key, const std::string& value) {
        text += key + value + eol;
    };
    line("REL:", layout.release);
    line("MOD_ID:", layout.typeLetter);
    line("DATE:", layout.date);
    line("CODE:", layout.code);
    if (layout.fileSize != -2) {
        long long size = layout.fileSize == -1 ? static_cast<long long>(n) - 12 : layout.fileSize;
        line("FILE_SIZE:", std::to_string(size) + layout.numberSuffix);
    }
    line("FACTORY:", layout.factory);
    line("NOTE:", layout.note);
    if (layout.enmode >= 0) line("ENMODE:", std::to_string(layout.enmode) + layout.numberSuffix);
    for (const std::string& extra : layout.extraLines) text += extra + eol;
    if (11 + text.size() > 4101) throw std::length_error("module header text too long");
    PutText(out, 11, text, text.size());
    out[4101] = layout.key;
    std::copy(layout.payload.begin(), layout.payload.end(), out.begin() + headerLength);
    // The last 12 bytes of the checksummed body stay plain.
    if (layout.payload.size() > 12) {
        size_t scrambled = layout.payload.size() - 12;
        if (layout.enmode == 1) {
            ScrambleMode1(layout.key, out.data() + headerLength, scrambled);
        } else if (layout.enmode == 0 || (layout.enmode < 0 && layout.key == 0)) {
            ScramblePackage(layout.key, out.data() + headerLength, scrambled);
        }
    }
    ChecksumPair sums = Checksum(out.data() + 6, n - 12);
    PutBE(out, n - 4, sums.sum1, 2);
    PutBE(out, n - 2, sums.sum2, 2);
    return out;
}

Bytes BuildPackage(const PackageLayout& layout) {
    const bool second = layout.generation == 2;
    const bool firmwareModule = second && !layout.firmware.empty();
    const size_t records = 2 + layout.logos.size() + layout.fonts.size() + layout.modules.size() +
                           (firmwareModule ? 1 : 0) + layout.extraRecords.size();
    const size_t binRecord = second ? 5 : 8;
    const size_t dataStart = records * 32 + binRecord;

    Bytes data;  // the plain data area
    auto place = [&](const Bytes& blob) {
        size_t offset = data.size();
        data.insert(data.end(), blob.begin(), blob.end());
        return offset;
    };
    if (!second) place(layout.firmware);

    Bytes head(records * 32 + binRecord, 0);
    size_t r = 0;
    auto record = [&]() { return (r++) * 32; };

    // Printer record.
    size_t at = record();
    head[at] = 'P';
    PutText(head, at + 1, layout.model, 8);
    PutText(head, at + 9, layout.releaseHW, 2);
    PutText(head, at + 11, layout.releasePSW, 3);
    PutText(head, at + 14, layout.date, 6);
    head[at + 20] = layout.numBanks;
    head[at + 21] =
        layout.key == 0 ? layout.gsiLow : static_cast<uint8_t>(~(layout.gsiLow ^ layout.key));
    head[at + 22] = static_cast<uint8_t>(layout.comType);
    head[at + 23] = layout.key;
    head[at + 24] = second ? '2' : '1';
    head[at + 25] = layout.gsiHigh;

    // Software record.
    at = record();
    const uint8_t bex = layout.upgrade ? 0xAA : 0x00;
    if (second) {
        head[at] = 's';
        PutBE(head, at + 3, static_cast<uint32_t>(dataStart), 4);
        PutText(head, at + 7, "100", 3);
        PutText(head, at + 10, "S", 1);
        head[at + 11] = bex;
        PutBE(head, at + 12, layout.family, 2);
        PutBE(head, at + 14, layout.modelId, 2);
        PutBE(head, at + 16, layout.customization, 2);
    } else {
        head[at] = 'S';
        head[at + 1] = 1;
        head[at + 2] = layout.numBanks;
        PutBE(head, at + 3, 0, 3);
        head[at + 6] = bex;
        PutBE(head, at + 7, layout.family, 2);
        PutBE(head, at + 9, layout.modelId, 2);
        PutBE(head, at + 11, layout.customization, 2);
    }

    uint8_t k = 0;
    for (const PackageLogo& logo : layout.logos) {
        Bytes bitmap =
            logo.bitmap.empty() ? Pattern(size_t(logo.width / 8) * logo.height, 7) : logo.bitmap;
        size_t offset = place(bitmap);
        at = record();
        head[at] = second ? 'l' : 'L';
        head[at + 1] = ++k;
        head[at + 2] = static_cast<uint8_t>(layout.logos.size());
        PutBE(head, at + 3, logo.width, 2);
        PutBE(head, at + 5, logo.height, 2);
        if (second) {
            PutBE(head, at + 7, static_cast<uint32_t>(dataStart + offset), 4);
            head[at + 11] = 1;
            PutText(head, at + 12, "100", 3);
            PutText(head, at + 15, "L", 1);
        } else {
            PutBE(head, at + 7, static_cast<uint32_t>(offset), 3);
            head[at + 10] = 1;
        }
    }
    k = 0;
    for (const PackageFont& font : layout.fonts) {
        int width = font.sizeX + font.marginRight;
        size_t size = size_t((width + 7) / 8) * font.sizeY * (font.asciiEnd - font.asciiStart + 1);
        Bytes glyphs = font.glyphs.empty() ? Pattern(size, 9) : font.glyphs;
        size_t offset = place(glyphs);
        at = record();
        head[at] = second ? 'f' : 'F';
        head[at + 1] = ++k;
        head[at + 2] = static_cast<uint8_t>(layout.fonts.size());
        head[at + 3] = font.sizeX;
        head[at + 4] = font.sizeY;
        head[at + 5] = font.asciiStart;
        head[at + 6] = font.asciiEnd;
        const size_t s = second ? 0 : 1;  // the first generation's fields stand one byte earlier
        if (second) {
            PutBE(head, at + 7, static_cast<uint32_t>(dataStart + offset), 4);
        } else {
            PutBE(head, at + 7, static_cast<uint32_t>(offset), 3);
        }
        head[at + 11 - s] = 0;                                       // orientation
        head[at + 12 - s] = 0;                                       // left margin
        head[at + 13 - s] = static_cast<uint8_t>(font.marginRight);  // right margin
        head[at + 14 - s] = 0;                                       // up
        head[at + 15 - s] = 0;                                       // down
        head[at + 16 - s] = 0;                                       // sort
        if (second) {
            PutText(head, at + 17, font.name, 8);
            head[at + 25] = 0;
            PutText(head, at + 26, "100", 3);
            PutText(head, at + 29, "F", 1);
        }
    }
    auto moduleRecord = [&](char type, const Bytes& file, uint8_t number, uint8_t total,
                            uint16_t banks, uint32_t bankDim) {
        size_t offset = place(file);
        size_t rec = record();
        head[rec] = 'm';
        head[rec + 1] = static_cast<uint8_t>(type);
        head[rec + 2] = number;
        head[rec + 3] = total;
        PutBE(head, rec + 4, static_cast<uint32_t>(dataStart + offset), 4);
        PutBE(head, rec + 8, static_cast<uint32_t>(file.size()), 4);
        PutBE(head, rec + 12, banks, 2);
        PutBE(head, rec + 14, bankDim, 3);
    };
    const uint8_t totalModules =
        static_cast<uint8_t>(layout.modules.size() + (firmwareModule ? 1 : 0));
    uint8_t number = 0;
    if (firmwareModule) {
        uint32_t bankDim = layout.bankSize
                               ? layout.bankSize
                               : static_cast<uint32_t>(layout.firmware.size() /
                                                       (layout.numBanks ? layout.numBanks : 1));
        moduleRecord('s', layout.firmware, ++number, totalModules, layout.numBanks, bankDim);
    }
    for (const PackageModule& module : layout.modules) {
        moduleRecord(module.typeChar, module.file, ++number, totalModules, module.numBank,
                     module.bankDim);
    }
    for (const Bytes& extra : layout.extraRecords) {
        at = record();
        for (size_t i = 0; i < extra.size() && i < 32; ++i) head[at + i] = extra[i];
    }

    // Bin record, then the data area. The first generation has 3-byte sizes.
    if (!second && data.size() > 0xFFFFFF) {
        throw std::length_error("first-generation data area over 16 MiB");
    }
    at = records * 32;
    if (second) {
        head[at] = '?';
        PutBE(head, at + 1, static_cast<uint32_t>(data.size()), 4);
    } else {
        head[at] = '@';
        PutBE(head, at + 1, static_cast<uint32_t>(data.size()), 3);
        head[at + 4] = layout.numBanks;
        uint32_t bankSize = layout.bankSize
                                ? layout.bankSize
                                : static_cast<uint32_t>(layout.firmware.size() /
                                                        (layout.numBanks ? layout.numBanks : 1));
        PutBE(head, at + 5, bankSize, 3);
    }
    ChecksumPair plainSums = Checksum(data.data(), data.size());
    ScramblePackage(layout.key, data.data(), data.size());
    Bytes out = head;
    out.insert(out.end(), data.begin(), data.end());
    if (layout.checksum) {
        ChecksumPair sums = second ? Checksum(out.data() + 32, out.size() - 32) : plainSums;
        PutBE(out, 26, sums.sum1, 2);
        PutBE(out, 28, sums.sum2, 2);
    }
    return out;
}

uint16_t ZpdChecksum(const std::vector<std::string>& lines) {
    uint32_t sum = 0;
    for (const std::string& line : lines) {
        for (unsigned char c : line) {
            if (c != '\r' && c != '\n') sum += c;
        }
    }
    return static_cast<uint16_t>(sum % 65536);
}

std::string BuildZpd(const ZpdLayout& layout) {
    std::vector<std::string> body;
    body.push_back("#>HB");
    if (layout.deviceLine) body.push_back("#>DEV:" + layout.device + " REL:" + layout.release);
    body.push_back("#>HE");
    body.insert(body.end(), layout.body.begin(), layout.body.end());
    if (layout.end) body.push_back("#>ZPDEND");
    const std::string eol = layout.crlf ? "\r\n" : "\n";
    char checksum[8];
    long value = layout.checksum >= 0 ? layout.checksum : ZpdChecksum(body);
    snprintf(checksum, sizeof(checksum), "%04lX", value & 0xFFFF);
    std::string out = "#>ZPD" + layout.version + eol + "#>CK:" + checksum + eol;
    for (const std::string& line : body) out += line + eol;
    return out;
}

Bytes BuildTamperImage(const std::string& release, size_t size, bool marker) {
    Bytes out(size, 0xFF);
    std::string text =
        (marker ? std::string("anti-tamper module ") : std::string("module ")) + "rel." + release;
    for (size_t i = 0; i < text.size() && 16 + i < size; ++i) out[16 + i] = text[i];
    return out;
}

}  // namespace mkfile
