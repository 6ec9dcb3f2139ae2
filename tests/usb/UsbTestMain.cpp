// The USB tests talk to an emulated bus in this very process: the real
// libusb must run under umockdev's preload library, so the program starts
// itself again with the preload in place when it is missing.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "tests/support/TempDir.h"

namespace {

constexpr const char* PRELOAD_LIBRARY = "libumockdev-preload.so.0";

bool UnderPreload() {
    const char* preload = getenv("LD_PRELOAD");
    return preload != nullptr && strstr(preload, PRELOAD_LIBRARY) != nullptr;
}

void RestartUnderPreload(char** argv) {
    const char* preload = getenv("LD_PRELOAD");
    std::string value = PRELOAD_LIBRARY;
    if (preload != nullptr && preload[0] != '\0') value += std::string(":") + preload;
    setenv("LD_PRELOAD", value.c_str(), 1);
    const char* asan = getenv("ASAN_OPTIONS");
    std::string asanOptions = "verify_asan_link_order=0";
    if (asan != nullptr && asan[0] != '\0') asanOptions = std::string(asan) + ":" + asanOptions;
    setenv("ASAN_OPTIONS", asanOptions.c_str(), 1);
    execv("/proc/self/exe", argv);
    perror("cannot restart the test program under the umockdev preload");
    exit(1);
}

}  // namespace

int main(int argc, char** argv) {
    if (!UnderPreload()) RestartUnderPreload(argv);
    // Testbeds are made under TMPDIR: keep them in a folder of this run.
    testsupport::TempDir folder;
    setenv("TMPDIR", folder.path().c_str(), 1);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
