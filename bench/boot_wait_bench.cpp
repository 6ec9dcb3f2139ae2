// What the wait for the boot device costs: the boot-mode engines look for a
// device with vendor id 045B again and again without a pause. This program
// makes the same looks for a given time and prints how many it made and the
// processor time they took per second of waiting.
//
//   bench_boot_wait [SECONDS]      (default 3)
//
// Run it on the machine's own bus, or on the emulated one:
//   prnsim --usb -- bench_boot_wait 3
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "comm/ComPortUsb.h"

namespace {

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
    double seconds = argc > 1 ? atof(argv[1]) : 3.0;
    if (seconds <= 0 || seconds > 600) {
        fprintf(stderr, "usage: bench_boot_wait [SECONDS up to 600]\n");
        return 2;
    }
    std::vector<char> list(CComPortUsb::LIST_TEXT_SIZE);
    std::vector<char> errText(CComPortUsb::LIST_TEXT_SIZE);
    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    const double cpuStart = CpuSeconds();
    long looks = 0;
    double wall = 0;
    do {
        CComPortUsb::GetDeviceList(list.data(), errText.data(), "045B");
        ++looks;
        wall = std::chrono::duration<double>(Clock::now() - start).count();
    } while (wall < seconds);
    double cpu = CpuSeconds() - cpuStart;
    printf(
        "looks %ld in %.2f s: %.0f per second, %.3f ms each; CPU %.2f s, %.2f s per second "
        "of waiting\n",
        looks, wall, looks / wall, wall * 1000.0 / looks, cpu, cpu / wall);
    return 0;
}
