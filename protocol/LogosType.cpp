#include "protocol/LogosType.h"

#include "common/Log.h"

LogosType::~LogosType() {
    for (LogosInfo* info : vLogosInfo) delete info;
}

void LogosType::CalcNumMaxLogo() {
    if (vLogosInfo.empty()) {
        iNumMaxLogo = 0;
        Log::WriteLog("CalcNumMaxLogo", "NumMaxLogo = 0");
        return;
    }
    int largest = -1;
    for (const LogosInfo* info : vLogosInfo) {
        if (info->iMaxLogos == 0) {
            iNumMaxLogo = INFINITE;
            Log::WriteLog("CalcNumMaxLogo", "NumMaxLogo = INFINITE");
            return;
        }
        int limit = info->iMaxLogos < 0 ? -1 : info->iMaxLogos;
        if (limit > largest) largest = limit;
    }
    iNumMaxLogo = largest < 0 ? 0 : largest;
    Log::WriteLogP("CalcNumMaxLogo", "NumMaxLogo = %d", iNumMaxLogo);
}
