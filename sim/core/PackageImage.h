#pragma once

#include <cstdint>
#include <string>
#include <vector>

// What a firmware package holds, as far as the printer can check it: the
// firmware image with its bank layout, the module files and the identity
// of the upgrade record. A small reader of its own (records, data area,
// unscrambling), so that a mistake of the program's loader shows.
class PackageImage {
  public:
    struct Module {
        char typeChar = 0;  // the module record's type character
        std::vector<uint8_t> file;
    };

    // False with a reason when the file cannot be read or is no package.
    bool Load(const std::string& path, std::string& error);
    bool LoadFromMemory(const std::vector<uint8_t>& bytes, std::string& error);

    int Generation() const { return generation_; }  // 1 or 2
    // The release of the firmware the package carries, as a printer reports
    // it: "123" becomes "1.23".
    std::string Release() const;
    bool HasIdentity() const { return hasIdentity_; }
    uint16_t Family() const { return family_; }
    uint16_t Model() const { return model_; }
    uint16_t Customization() const { return customization_; }

    // The image as it is sent: (number of banks mod 256) banks of BankSize().
    const std::vector<uint8_t>& Firmware() const { return firmware_; }
    int Banks() const { return banks_; }
    uint32_t BankSize() const { return bankSize_; }
    const std::vector<Module>& Modules() const { return modules_; }

  private:
    bool ReadRecords(const std::vector<uint8_t>& file, std::string& error);

    int generation_ = 0;
    std::string releasePSW_;
    bool hasIdentity_ = false;
    uint16_t family_ = 0;
    uint16_t model_ = 0;
    uint16_t customization_ = 0;
    std::vector<uint8_t> firmware_;
    int banks_ = 0;
    uint32_t bankSize_ = 0;
    std::vector<Module> modules_;
};

// Undoes the package scrambling of length bytes in place.
void UnscramblePackage(uint8_t key, uint8_t* data, size_t length);
