#include "files/PSWComponents.h"

#include <cstdio>
#include <iterator>

void PSWComponents::ResetList() {
    lComponents.clear();
    iCount = 0;
}

void PSWComponents::Add(uint32_t component) {
    lComponents.push_back(component);
    ++iCount;
}

const uint32_t* PSWComponents::At(int32_t index) const {
    if (index < 0 || index >= iCount) return nullptr;
    return &*std::next(lComponents.begin(), index);
}

uint32_t PSWComponents::Get(int32_t index) const {
    const uint32_t* c = At(index);
    return c ? *c : 0;
}

bool PSWComponents::IsModule(int32_t index) const {
    const uint32_t* c = At(index);
    return c && (*c & PSWCOMP_MODULE);
}

bool PSWComponents::IsModuleBefore(int32_t index) const {
    const uint32_t* c = At(index);
    return !c || !(*c & PSWCOMP_AFTER);
}

bool PSWComponents::IsModuleAfter(int32_t index) const {
    const uint32_t* c = At(index);
    return c && (*c & PSWCOMP_AFTER);
}

bool PSWComponents::HasComponent(uint32_t component) const {
    for (uint32_t c : lComponents) {
        if (c == component) return true;
    }
    return false;
}

int32_t PSWComponents::GetComponentIndex(uint32_t component) const {
    int32_t index = 0;
    for (uint32_t c : lComponents) {
        if (c == component) return index;
        ++index;
    }
    return 0;
}

void PSWComponents::ChangeFirstModuleFind(uint32_t from, uint32_t to) {
    for (uint32_t& c : lComponents) {
        if (c == from) {
            c = to;
            return;
        }
    }
}

bool PSWComponents::HasModuleToChoose() const {
    bool first = true;
    for (uint32_t c : lComponents) {
        if (!first && (c & PSWCOMP_MODULE)) return true;
        first = false;
    }
    return false;
}

bool PSWComponents::HasBeginModules() const {
    for (uint32_t c : lComponents) {
        if ((c & PSWCOMP_MODULE) && !(c & PSWCOMP_AFTER)) return true;
    }
    return false;
}

bool PSWComponents::HasAfterModules() const {
    for (uint32_t c : lComponents) {
        if ((c & PSWCOMP_MODULE) && (c & PSWCOMP_AFTER)) return true;
    }
    return false;
}

void PSWComponents::ConvertModulesBeforeToAfter() {
    for (uint32_t& c : lComponents) {
        if (c & PSWCOMP_MODULE) c |= PSWCOMP_AFTER;
    }
}

void PSWComponents::ConvertModulesAfterToBefore() {
    for (uint32_t& c : lComponents) {
        if ((c & PSWCOMP_MODULE) && (c & PSWCOMP_AFTER)) c &= ~static_cast<uint32_t>(PSWCOMP_AFTER);
    }
}

bool PSWComponents::IsMainModule(uint32_t component) {
    uint32_t c = component & ~static_cast<uint32_t>(PSWCOMP_AFTER);
    return c == (PSWCOMP_MODULE | PSWCOMP_FONTS) || c == (PSWCOMP_MODULE | PSWCOMP_FLASHDISK) ||
           c == (PSWCOMP_MODULE | PSWCOMP_LOGOS);
}

void PSWComponents::KeepOnlyMainModules() {
    lComponents.remove_if([](uint32_t c) { return !IsMainModule(c); });
    iCount = static_cast<int32_t>(lComponents.size());
}

void PSWComponents::KeepOnlyOtherModules() {
    lComponents.remove_if([](uint32_t c) { return IsMainModule(c); });
    iCount = static_cast<int32_t>(lComponents.size());
}

void PSWComponents::DumpWholeList() const {
    printf("PSWComponents list Len %d \n", iCount);
    int index = 0;
    for (uint32_t c : lComponents) printf("[%d] : 0x%x \n", index++, c);
}
