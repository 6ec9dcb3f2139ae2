#include "sim/core/SetupAnswers.h"

#include "sim/core/AnswerEncoder.h"

void SetupAnswers::Install(PrinterCore& core, const StepFaults& faults) const {
    std::vector<uint8_t> header = AnswerEncoder::Lines(2, headerLines);
    core.AddRequestHandler(
        ProtocolRequest(0x02), HEADER,
        faults.Guard(HEADER, 2, [header](const uint8_t*, size_t, std::vector<uint8_t>& answer) {
            answer = header;
            return size_t{3};
        }));
}
