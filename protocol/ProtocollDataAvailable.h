#pragma once

#include <cstdint>

// Which data groups a printer offers ("<C40>") and which the caller keeps.
class ProtocollDataAvailable {
  public:
    static constexpr uint64_t SETUP_DATA = 1;
    static constexpr uint64_t LOGO_DATA = 2;
    static constexpr uint64_t UPGRADE_MODULES = 4;
    static constexpr uint64_t FONTS_DATA = 8;
    static constexpr uint64_t TOOLS = 16;
    static constexpr uint64_t UPGRADE_PRINTER = 32;
    // Value 64 belongs to no group.
    static constexpr uint64_t STATUS_PRINTER = 128;

    ProtocollDataAvailable() = default;
    explicit ProtocollDataAvailable(const ProtocollDataAvailable* other);

    void Init();

    // With get true: whether the bit is set. With get false: sets the bit
    // when value is true, clears it otherwise, and returns value.
    bool SetupDataAvailable(bool get, bool value);
    bool LogoDataAvailable(bool get, bool value);
    bool UpgradeModulesAvailable(bool get, bool value);
    bool FontsDataAvailable(bool get, bool value);
    bool ToolsAvailable(bool get, bool value);
    bool UpgradePrinterAvailable(bool get, bool value);
    bool StatusPrinterAvailable(bool get, bool value);

    bool SetupDataToSave(bool get, bool value);
    bool LogoDataToSave(bool get, bool value);
    bool UpgradeModulesToSave(bool get, bool value);
    bool FontsDataToSave(bool get, bool value);
    bool ToolsToSave(bool get, bool value);
    bool UpgradePrinterToSave(bool get, bool value);
    bool StatusPrinterToSave(bool get, bool value);

    uint64_t ulAvailable = 0;
    uint64_t ulToSave = 0;

  private:
    static bool Access(uint64_t& set, uint64_t bit, bool get, bool value);
};
