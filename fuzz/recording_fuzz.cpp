// Recording reader of prnsim's replay on arbitrary log text: every run of it,
// then the exchanges made of it.
#include <cstddef>
#include <cstdint>
#include <string>

#include "sim/replay/Recording.h"
#include "sim/replay/ReplayScript.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    for (int run = 0; run <= 2; ++run) {
        Recording recording;
        std::string error;
        if (ReadRecording(text, run, recording, error)) BuildReplayScript(recording);
    }
    return 0;
}
