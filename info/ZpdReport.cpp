#include <cstdint>

#include "files/ZPDFormat.h"
#include "info/Report.h"

Json DescribeZpd(const CZPDFormat& script) {
    uint64_t counts[5] = {};
    uint64_t bytes = 0;
    uint64_t pauseMs = 0;
    for (const auto& element : script.vElements) {
        if (element->eType >= ZPD_NONE && element->eType <= ZPD_SLEEPMSEC) ++counts[element->eType];
        if (element->eType == ZPD_DATA) bytes += element->uiLength;
        if (element->eType == ZPD_SLEEPMSEC) pauseMs += element->uiSleepMsec;
    }
    Json z;
    z["device_id"] = script.uiDeviceGSI;
    z["device_release"] = script.strDeviceRelease;
    z["elements"] = {{"data", counts[ZPD_DATA]},
                     {"wait_answer", counts[ZPD_WAITANSWER]},
                     {"reset", counts[ZPD_RESETDEV]},
                     {"sleep", counts[ZPD_SLEEPMSEC]}};
    z["bytes_to_send"] = bytes;
    z["pause_ms"] = pauseMs;
    return z;
}
