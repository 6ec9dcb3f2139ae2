#include "sim/core/StepFaults.h"

#include "sim/core/AnswerEncoder.h"

PrinterCore::RequestHandler StepFaults::Guard(const std::string& name, int commandId,
                                              PrinterCore::RequestHandler handler) const {
    bool mute = muted.count(name) > 0;
    auto refusal = refused.find(name);
    int code = refusal == refused.end() ? -1 : refusal->second;
    if (!mute && code < 0) return handler;
    return [mute, code, commandId, handler](const uint8_t* data, size_t length,
                                            std::vector<uint8_t>& answer) {
        std::vector<uint8_t> own;
        size_t used = handler(data, length, own);
        if (used == 0) return used;
        if (!mute) answer = AnswerEncoder::Error(commandId, code);
        return used;
    };
}

std::vector<uint8_t> ProtocolRequest(uint8_t command) { return {0x1F, 0xFF, command}; }
