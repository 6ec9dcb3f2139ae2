#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

class PackageImage;

// What the printer has received of an upgrade: the firmware banks, in the
// order they came, and every module file with the verdict it got. Checked
// against the package when there is one, and kept on disk when asked.
class ReceivedImage {
  public:
    void AddBank(int index, const uint8_t* data, size_t length);
    void AddModule(const uint8_t* data, size_t length, uint8_t verdict);
    // The printer wrote the bank into its flash (it took the transfer).
    void Program(int index, const uint8_t* data, size_t length);

    // The image in bank order (the last copy of each bank).
    std::vector<uint8_t> Firmware() const;
    const std::vector<int>& BankOrder() const { return order_; }
    size_t ModuleCount() const { return modules_.size(); }
    // The flash banks written, in bank order; empty when none was.
    std::vector<uint8_t> Flash() const;
    bool FlashWritten() const { return !flash_.empty(); }
    // The package's module numbers (from 1) of the modules the printer
    // accepted, in the order they came; 0 for one that is not the package's.
    std::vector<int> AcceptedModules(const PackageImage& package) const;

    // One line per finding, without a prefix: the banks and their sizes,
    // whether the image is the package's (with the first difference), and
    // per module its size, verdict and whether the package holds it.
    std::vector<std::string> Report(const PackageImage* package) const;
    // Writes firmware.bin and module-N.mod (N from 1) into dir, made (with
    // its parents) when missing.
    bool Save(const std::string& dir, std::string& error) const;

  private:
    struct Module {
        std::vector<uint8_t> file;
        uint8_t verdict;
    };
    std::map<int, std::vector<uint8_t>> banks_;
    std::map<int, std::vector<uint8_t>> flash_;
    std::vector<int> order_;
    std::vector<size_t> sizes_;
    std::vector<Module> modules_;
};
