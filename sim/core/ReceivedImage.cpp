#include "sim/core/ReceivedImage.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "sim/core/PackageImage.h"

namespace {

std::string Hex(unsigned value) {
    char text[8];
    snprintf(text, sizeof(text), "0x%02X", value & 0xFFu);
    return text;
}

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

std::string FirstDifference(const std::vector<uint8_t>& got, const std::vector<uint8_t>& want) {
    if (got.size() != want.size()) {
        return std::to_string(got.size()) + " bytes, the package has " +
               std::to_string(want.size());
    }
    for (size_t i = 0; i < got.size(); ++i) {
        if (got[i] != want[i]) return "first difference at byte " + std::to_string(i);
    }
    return "";
}

}  // namespace

void ReceivedImage::AddBank(int index, const uint8_t* data, size_t length) {
    banks_[index].assign(data, data + length);
    order_.push_back(index);
    sizes_.push_back(length);
}

void ReceivedImage::AddModule(const uint8_t* data, size_t length, uint8_t verdict) {
    modules_.push_back(Module{std::vector<uint8_t>(data, data + length), verdict});
}

void ReceivedImage::Program(int index, const uint8_t* data, size_t length) {
    flash_[index].assign(data, data + length);
}

std::vector<uint8_t> ReceivedImage::Flash() const {
    std::vector<uint8_t> image;
    int next = 0;
    for (const auto& bank : flash_) {
        if (bank.first != next++) return {};  // a gap: not one image
        image.insert(image.end(), bank.second.begin(), bank.second.end());
    }
    return image;
}

std::vector<int> ReceivedImage::AcceptedModules(const PackageImage& package) const {
    constexpr uint8_t ACCEPTED = 0xAA;
    std::vector<int> numbers;
    for (const Module& m : modules_) {
        if (m.verdict != ACCEPTED) continue;
        int found = 0;
        for (size_t k = 0; k < package.Modules().size() && found == 0; ++k) {
            if (package.Modules()[k].file == m.file) found = static_cast<int>(k + 1);
        }
        numbers.push_back(found);
    }
    return numbers;
}

std::vector<uint8_t> ReceivedImage::Firmware() const {
    std::vector<uint8_t> image;
    for (const auto& bank : banks_)
        image.insert(image.end(), bank.second.begin(), bank.second.end());
    return image;
}

std::vector<std::string> ReceivedImage::Report(const PackageImage* package) const {
    std::vector<std::string> lines;
    if (!order_.empty()) {
        std::string banks = "banks";
        for (size_t i = 0; i < order_.size(); ++i) {
            banks +=
                (i == 0 ? " " : ",") + std::to_string(order_[i]) + ":" + std::to_string(sizes_[i]);
        }
        lines.push_back(banks);
        if (package != nullptr) {
            std::string why = FirstDifference(Firmware(), package->Firmware());
            lines.push_back(why.empty() ? "firmware matches the package"
                                        : "firmware differs from the package: " + why);
        }
    }
    for (size_t i = 0; i < modules_.size(); ++i) {
        const Module& m = modules_[i];
        std::string line = "module " + std::to_string(i + 1) + " " + std::to_string(m.file.size()) +
                           " bytes verdict " + Hex(m.verdict);
        if (package != nullptr) {
            size_t found = 0;
            for (size_t k = 0; k < package->Modules().size() && found == 0; ++k) {
                if (package->Modules()[k].file == m.file) found = k + 1;
            }
            line += found != 0 ? " matches package module " + std::to_string(found)
                               : " is not in the package";
        }
        lines.push_back(line);
    }
    return lines;
}

bool ReceivedImage::Save(const std::string& dir, std::string& error) const {
    std::error_code failed;
    std::filesystem::create_directories(dir, failed);
    if (failed) {
        error = "cannot make the folder " + dir + ": " + failed.message();
        return false;
    }
    if (!order_.empty() && !WriteFile(dir + "/firmware.bin", Firmware())) {
        error = "cannot write " + dir + "/firmware.bin";
        return false;
    }
    for (size_t i = 0; i < modules_.size(); ++i) {
        std::string path = dir + "/module-" + std::to_string(i + 1) + ".mod";
        if (!WriteFile(path, modules_[i].file)) {
            error = "cannot write " + path;
            return false;
        }
    }
    return true;
}
