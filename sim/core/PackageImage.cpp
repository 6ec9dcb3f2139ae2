#include "sim/core/PackageImage.h"

#include <cstring>
#include <fstream>
#include <iterator>

namespace {

constexpr size_t RECORD = 32;
constexpr size_t MAX_PACKAGE = 256u << 20;  // far above any printer's flash
constexpr char FIRMWARE_MODULE = 's';

uint32_t BigEndian(const std::vector<uint8_t>& b, size_t at, size_t n) {
    uint32_t value = 0;
    for (size_t i = 0; i < n; ++i) value = (value << 8) | b[at + i];
    return value;
}

uint8_t RotateLeft(uint8_t v, unsigned n) {
    n &= 7;
    return n == 0 ? v : static_cast<uint8_t>((v << n) | (v >> (8 - n)));
}

uint8_t RotateRight(uint8_t v, unsigned n) {
    n &= 7;
    return n == 0 ? v : static_cast<uint8_t>((v >> n) | (v << (8 - n)));
}

bool IsMarker(uint8_t c) { return c != 0 && strchr("PsSlLfFubdm?@", c) != nullptr; }

}  // namespace

void UnscramblePackage(uint8_t key, uint8_t* data, size_t length) {
    if (key == 0) return;
    for (size_t i = 0; i < length; ++i) {
        if ((key & 1) != 0) {
            data[i] = static_cast<uint8_t>(~(key ^ RotateRight(data[i], (i >> 2) & 7)));
        } else {
            data[i] = static_cast<uint8_t>(key ^ RotateLeft(data[i], (i >> 5) & 7));
        }
    }
}

bool PackageImage::Load(const std::string& path, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot read the package " + path;
        return false;
    }
    std::vector<uint8_t> bytes;
    char c;
    while (bytes.size() <= MAX_PACKAGE && in.get(c)) bytes.push_back(static_cast<uint8_t>(c));
    if (bytes.size() > MAX_PACKAGE) {
        error = "package larger than any printer takes: " + path;
        return false;
    }
    return LoadFromMemory(bytes, error);
}

bool PackageImage::LoadFromMemory(const std::vector<uint8_t>& bytes, std::string& error) {
    *this = PackageImage();
    if (!ReadRecords(bytes, error)) {
        *this = PackageImage();
        return false;
    }
    return true;
}

std::string PackageImage::Release() const {
    if (releasePSW_.empty()) return "";
    return releasePSW_.substr(0, 1) + "." + releasePSW_.substr(1);
}

bool PackageImage::ReadRecords(const std::vector<uint8_t>& file, std::string& error) {
    struct ModuleRecord {
        char type;
        uint32_t start;
        uint32_t size;
        uint16_t banks;
        uint32_t bankDim;
    };
    std::vector<ModuleRecord> records;
    uint8_t key = 0;
    size_t dataStart = 0;
    size_t dataLength = 0;
    uint32_t binBanks = 0;
    uint32_t binBankSize = 0;
    bool haveBin = false;
    for (size_t p = 0; p < file.size() && IsMarker(file[p]) && !haveBin;) {
        const char marker = static_cast<char>(file[p]);
        if (marker == '?' || marker == '@') {
            const size_t head = marker == '?' ? 5 : 8;
            if (p + head > file.size()) break;
            dataStart = p + head;
            dataLength = marker == '?' ? BigEndian(file, p + 1, 4) : BigEndian(file, p + 1, 3);
            if (marker == '@') {
                binBanks = file[p + 4];
                binBankSize = BigEndian(file, p + 5, 3);
            }
            haveBin = true;
            break;
        }
        if (p + RECORD > file.size()) break;
        if (marker == 'P') {
            releasePSW_.assign(reinterpret_cast<const char*>(&file[p + 11]), 3);
            key = file[p + 23];
            generation_ = file[p + 24] == '2' ? 2 : 1;
        } else if (marker == 's' && file[p + 11] == 0xAA) {
            hasIdentity_ = true;
            family_ = static_cast<uint16_t>(BigEndian(file, p + 12, 2));
            model_ = static_cast<uint16_t>(BigEndian(file, p + 14, 2));
            customization_ = static_cast<uint16_t>(BigEndian(file, p + 16, 2));
        } else if (marker == 'S' && file[p + 6] == 0xAA) {
            hasIdentity_ = true;
            family_ = static_cast<uint16_t>(BigEndian(file, p + 7, 2));
            model_ = static_cast<uint16_t>(BigEndian(file, p + 9, 2));
            customization_ = static_cast<uint16_t>(BigEndian(file, p + 11, 2));
        } else if (marker == 'm') {
            records.push_back(ModuleRecord{static_cast<char>(file[p + 1]),
                                           BigEndian(file, p + 4, 4), BigEndian(file, p + 8, 4),
                                           static_cast<uint16_t>(BigEndian(file, p + 12, 2)),
                                           BigEndian(file, p + 14, 3)});
        }
        p += RECORD;
    }
    if (generation_ == 0) {
        error = "no printer record: not a package";
        return false;
    }
    if (!haveBin || dataLength > file.size() - dataStart) {
        error = "the package's data area is missing or cut short";
        return false;
    }
    std::vector<uint8_t> data(file.begin() + static_cast<long>(dataStart),
                              file.begin() + static_cast<long>(dataStart + dataLength));
    UnscramblePackage(key, data.data(), data.size());

    for (const ModuleRecord& r : records) {
        if (r.start < dataStart || r.start - dataStart > data.size() ||
            r.size > data.size() - (r.start - dataStart)) {
            error = "a module record points outside the data area";
            return false;
        }
        auto from = data.begin() + static_cast<long>(r.start - dataStart);
        Module module{r.type, std::vector<uint8_t>(from, from + static_cast<long>(r.size))};
        if (r.type == FIRMWARE_MODULE && generation_ == 2 && firmware_.empty()) {
            banks_ = r.banks % 256;
            bankSize_ = r.bankDim;
            firmware_ = module.file;
        } else {
            modules_.push_back(std::move(module));
        }
    }
    if (generation_ == 1) {
        banks_ = static_cast<int>(binBanks);
        bankSize_ = binBankSize;
        firmware_ = data;
    }
    const size_t imageSize = static_cast<size_t>(banks_) * bankSize_;
    if (imageSize > firmware_.size()) {
        error = "the firmware image is shorter than its banks";
        return false;
    }
    firmware_.resize(imageSize);
    return true;
}
