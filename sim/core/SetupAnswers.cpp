#include "sim/core/SetupAnswers.h"

#include "sim/core/AnswerEncoder.h"

namespace {

// A request of exactly three bytes with a fixed answer.
PrinterCore::RequestHandler Fixed(std::vector<uint8_t> reply) {
    return [reply](const uint8_t*, size_t, std::vector<uint8_t>& answer) {
        answer = reply;
        return size_t{3};
    };
}

}  // namespace

void SetupAnswers::Install(PrinterCore& core, const StepFaults& faults) const {
    core.AddRequestHandler(
        ProtocolRequest(0x01), PROTOCOL_VERSION,
        faults.Guard(PROTOCOL_VERSION, 1, Fixed(AnswerEncoder::ProtocolVersion(protocolVersion))));
    core.AddRequestHandler(
        ProtocolRequest(0x28), DATA_AVAILABLE,
        faults.Guard(DATA_AVAILABLE, 40, Fixed(AnswerEncoder::DataAvailable(dataAvailable))));
    core.AddRequestHandler(ProtocolRequest(0x02), HEADER,
                           faults.Guard(HEADER, 2, Fixed(AnswerEncoder::Lines(2, headerLines))));
}
