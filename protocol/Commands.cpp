#include "protocol/Commands.h"

#include <cstdio>

#include "protocol/ProtocollVersion.h"

namespace {

constexpr unsigned TOOL_MASK_SET_DATETIME = 8;
constexpr unsigned TOOL_MASK_UPLOAD_SPTFILE = 32;

void AppendText(const char* text, int length, std::vector<unsigned char>* out) {
    Commands::PopulateVectorWithData(reinterpret_cast<const unsigned char*>(text), length, out);
}

}  // namespace

void Commands::PopulateVectorWithData(const unsigned char* data, int len,
                                      std::vector<unsigned char>* out) {
    if (len < 1 || data == nullptr || out == nullptr) return;
    out->insert(out->end(), data, data + len);
}

std::vector<unsigned char> Commands::GetCommand_ExecTool(const ProtocollVersion* version,
                                                         unsigned toolNum, unsigned toolMask,
                                                         const unsigned char* data, int dataLen) {
    time_t now = time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return GetCommand_ExecTool(version, toolNum, toolMask, data, dataLen, local);
}

std::vector<unsigned char> Commands::GetCommand_ExecTool(const ProtocollVersion* version,
                                                         unsigned toolNum, unsigned toolMask,
                                                         const unsigned char* data, int dataLen,
                                                         const std::tm& localTime) {
    std::vector<unsigned char> request;
    if (version == nullptr || version->ulVersion != 100) return request;
    PopulateVectorWithData(Cmd_CommandToolsExec.data(), Cmd_CommandToolsExec.size(), &request);
    char field[64];
    int length = snprintf(field, sizeof(field), "<%u><%u>", toolNum, toolMask);
    AppendText(field, length, &request);
    if (toolMask == TOOL_MASK_SET_DATETIME) {
        // Each part is kept to two digits so that the field is always twelve digits.
        auto two = [](int value) { return ((value % 100) + 100) % 100; };
        length =
            snprintf(field, sizeof(field), "<%02d%02d%02d%02d%02d%02d>", two(localTime.tm_mday),
                     two(localTime.tm_mon + 1), two(localTime.tm_year - 100),
                     two(localTime.tm_hour), two(localTime.tm_min), two(localTime.tm_sec));
        AppendText(field, length, &request);
    } else if (toolMask == TOOL_MASK_UPLOAD_SPTFILE) {
        length = snprintf(field, sizeof(field), "<%d>", dataLen);
        AppendText(field, length, &request);
        if (data != nullptr) PopulateVectorWithData(data, dataLen, &request);
    }
    return request;
}
