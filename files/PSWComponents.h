#pragma once

#include <cstdint>
#include <list>

// Bits of one entry of the component list.
enum PSWCOMPONENTS : uint32_t {
    PSWCOMP_FW = 0x0000,
    PSWCOMP_FONTS = 0x0002,
    PSWCOMP_FLASHDISK = 0x0004,
    PSWCOMP_LOGOS = 0x0008,
    PSWCOMP_OTHER = 0x0010,
    PSWCOMP_AFTER = 0x1000,
    PSWCOMP_MODULE = 0x2000,
};

// The ordered list of the parts of a package to download: the firmware
// (value 0) and module entries, each before or after the firmware.
class PSWComponents {
  public:
    PSWComponents() = default;

    void ResetList();
    void Add(uint32_t component);
    int32_t Size() const { return iCount; }
    uint32_t Get(int32_t index) const;
    bool IsModule(int32_t index) const;
    bool IsModuleBefore(int32_t index) const;
    bool IsModuleAfter(int32_t index) const;
    bool HasComponent(uint32_t component) const;
    int32_t GetComponentIndex(uint32_t component) const;
    void ChangeFirstModuleFind(uint32_t from, uint32_t to);
    bool HasModuleToChoose() const;
    bool HasBeginModules() const;
    bool HasAfterModules() const;
    void ConvertModulesBeforeToAfter();
    void ConvertModulesAfterToBefore();
    void KeepOnlyMainModules();
    void KeepOnlyOtherModules();
    void DumpWholeList() const;

  private:
    static bool IsMainModule(uint32_t component);
    // Out-of-range indexes (negative ones too) give none.
    const uint32_t* At(int32_t index) const;

    std::list<uint32_t> lComponents;
    int32_t iCount = 0;
};
