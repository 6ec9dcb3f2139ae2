// What the wait for the boot device costs, and how soon it sees the device:
// the boot-mode engines look for a device with vendor id 045B again and
// again, up to 40 s x -m, each look a whole enumeration of the bus.
//
//   bench_boot_wait cost [SECONDS]   the engine's own wait on this machine's
//                                    bus, nothing arriving: processor time
//                                    per second of waiting (default 3 s)
//   bench_boot_wait spin [SECONDS]   the same with looks back to back, as the
//                                    wait was before it paused between them
//   bench_boot_wait arrival [TRIES]  on an emulated bus in this process: the
//                                    boot device is plugged in while the
//                                    engine waits; how long after it is
//                                    listed the engine has it (default 20)
//
// cost and spin run on whatever bus the process sees: the machine's own, or
// the emulated one under prnsim (prnsim --usb -- bench_boot_wait cost 3).
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "comm/ComPortUsb.h"
#include "upgrade/EngineClock.h"
#include "upgrade/UpgradePrinter_ModeU4.h"
#ifdef BENCH_WITH_SIM_USB
#include "sim/usb/UsbDeviceConfig.h"
#include "sim/usb/UsbTestbed.h"
#endif

namespace {

using SteadyClock = std::chrono::steady_clock;

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double Seconds(SteadyClock::time_point from, SteadyClock::time_point to) {
    return std::chrono::duration<double>(to - from).count();
}

// The engine with its wait for the boot device open to the bench.
class BootWaitEngine : public UpgradePrinter_ModeU4 {
  public:
    explicit BootWaitEngine(int timeMultiplier) : UpgradePrinter_ModeU4(1, timeMultiplier) {}
    using UpgradePrinter_ModeU4::WaitBootDevice;
};

// Real sleeps, and a clock that runs faster by factor, so that the engine's
// 40 s wait ends after 40 / factor seconds.
class FastClock : public EngineClock {
  public:
    explicit FastClock(double factor) : factor_(factor), start_(SteadyClock::now()) {}
    uint64_t NowMs() override {
        return static_cast<uint64_t>(Seconds(start_, SteadyClock::now()) * 1000.0 * factor_);
    }
    void SleepMs(uint64_t ms) override { EngineClock::System().SleepMs(ms); }

  private:
    double factor_;
    SteadyClock::time_point start_;
};

int Cost(double seconds) {
    FastClock clock(UpgradePrinter_ModeU4::BOOT_DEVICE_WAIT_MS / 1000.0 / seconds);
    BootWaitEngine engine(1);
    engine.SetClock(clock);
    std::string name;
    const SteadyClock::time_point start = SteadyClock::now();
    const double cpuStart = CpuSeconds();
    const bool found = engine.WaitBootDevice(name);
    const double wall = Seconds(start, SteadyClock::now());
    const double cpu = CpuSeconds() - cpuStart;
    printf("engine wait %.2f s%s: CPU %.3f s, %.1f %% of a core\n", wall,
           found ? " (a boot device was listed)" : "", cpu, 100.0 * cpu / wall);
    return 0;
}

int Spin(double seconds) {
    std::vector<char> list(CComPortUsb::LIST_TEXT_SIZE);
    std::vector<char> errText(CComPortUsb::LIST_TEXT_SIZE);
    const SteadyClock::time_point start = SteadyClock::now();
    const double cpuStart = CpuSeconds();
    long looks = 0;
    double wall = 0;
    do {
        CComPortUsb::GetDeviceList(list.data(), errText.data(), UpgradePrinter_ModeU4::BOOT_VID);
        ++looks;
        wall = Seconds(start, SteadyClock::now());
    } while (wall < seconds);
    const double cpu = CpuSeconds() - cpuStart;
    printf("looks back to back: %ld in %.2f s, %.3f ms each; CPU %.3f s, %.1f %% of a core\n",
           looks, wall, wall * 1000.0 / looks, cpu, 100.0 * cpu / wall);
    return 0;
}

#ifdef BENCH_WITH_SIM_USB
constexpr const char* PRELOAD_LIBRARY = "libumockdev-preload.so.0";

// The emulated bus needs this process under umockdev's preload.
void RestartUnderPreload(char** argv) {
    const char* preload = getenv("LD_PRELOAD");
    if (preload != nullptr && strstr(preload, PRELOAD_LIBRARY) != nullptr) return;
    std::string value = PRELOAD_LIBRARY;
    if (preload != nullptr && preload[0] != '\0') value += std::string(":") + preload;
    setenv("LD_PRELOAD", value.c_str(), 1);
    execv("/proc/self/exe", argv);
    perror("cannot restart under the umockdev preload");
    exit(1);
}

int Arrival(int tries) {
    char folder[] = "/tmp/bench_boot_wait.XXXXXX";
    if (mkdtemp(folder) == nullptr) return 1;
    setenv("TMPDIR", folder, 1);
    int result = 0;
    {
        UsbTestbed bus(nullptr);
        UsbDeviceConfig boot;
        std::string error;
        if (!ParseUsbDeviceConfig("name=boot,vid=045B,pid=0025,noserial,port=1,foreign,absent",
                                  boot, error) ||
            !bus.Declare(boot, error)) {
            fprintf(stderr, "bench_boot_wait: %s\n", error.c_str());
            return 1;
        }
        std::mt19937 random(7);
        std::vector<double> afterListed;
        std::vector<double> afterPlugStart;
        for (int t = 0; t < tries && result == 0; ++t) {
            std::atomic<bool> found{false};
            SteadyClock::time_point foundAt;
            std::thread waiter([&] {
                BootWaitEngine engine(1);
                std::string name;
                found = engine.WaitBootDevice(name);
                foundAt = SteadyClock::now();
            });
            // Somewhere between two looks.
            std::this_thread::sleep_for(std::chrono::microseconds(100000 + random() % 50000));
            const SteadyClock::time_point plugStart = SteadyClock::now();
            if (!bus.Plug("boot", error)) result = 1;
            const SteadyClock::time_point listed = SteadyClock::now();
            waiter.join();
            if (!found || !bus.Unplug("boot", error)) result = 1;
            afterListed.push_back(Seconds(listed, foundAt) * 1000.0);
            afterPlugStart.push_back(Seconds(plugStart, foundAt) * 1000.0);
        }
        if (result != 0) {
            fprintf(stderr, "bench_boot_wait: %s\n", error.c_str());
        } else {
            for (std::vector<double>* v : {&afterListed, &afterPlugStart}) {
                std::sort(v->begin(), v->end());
            }
            auto at = [](const std::vector<double>& v, double q) {
                return v[static_cast<size_t>(q * static_cast<double>(v.size() - 1))];
            };
            printf(
                "%d arrivals: found %.2f ms (median), %.2f ms (max) after the device was listed; "
                "%.2f / %.2f ms after its plugging began\n",
                tries, at(afterListed, 0.5), afterListed.back(), at(afterPlugStart, 0.5),
                afterPlugStart.back());
        }
    }
    std::string remove = std::string("rm -rf ") + folder;
    if (system(remove.c_str()) != 0) result = 1;
    return result;
}
#endif

}  // namespace

int main(int argc, char** argv) {
    const std::string what = argc > 1 ? argv[1] : "";
    const double number = argc > 2 ? atof(argv[2]) : 0;
    if (what == "cost" || what == "spin") {
        const double seconds = number > 0 ? number : 3.0;
        if (seconds > 600) return 2;
        return what == "cost" ? Cost(seconds) : Spin(seconds);
    }
#ifdef BENCH_WITH_SIM_USB
    if (what == "arrival") {
        RestartUnderPreload(argv);
        return Arrival(number > 0 ? static_cast<int>(number) : 20);
    }
#endif
    fprintf(stderr, "usage: bench_boot_wait cost|spin [SECONDS] | arrival [TRIES]\n");
    return 2;
}
