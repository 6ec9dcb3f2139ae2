// The --usb transport of prnsim: an emulated USB bus with the simulated
// printer on it, and the command under test run as a child under umockdev's
// preload so that its real libusb sees the bus.
#include <linux/capability.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "sim/UsbHook.h"
#include "sim/core/PrinterCore.h"
#include "sim/usb/UsbBootMode.h"
#include "sim/usb/UsbBusEvent.h"
#include "sim/usb/UsbDeviceConfig.h"
#include "sim/usb/UsbTestbed.h"

namespace {

constexpr const char* PRELOAD_LIBRARY = "libumockdev-preload.so.0";
// The bus is looked at every millisecond while the host talks or a change is
// due, and every 20 ms when it is quiet (an idle printer then costs next to
// no CPU time).
constexpr useconds_t POLL_US = 1000;
constexpr useconds_t QUIET_POLL_US = 20000;

volatile sig_atomic_t g_signal = 0;

void OnSignal(int sig) { g_signal = sig; }

useconds_t PollInterval(UsbTestbed& bus, const UsbBootMode* boot) {
    bool quiet = (boot == nullptr || boot->Quiet()) && bus.Quiet();
    return quiet ? QUIET_POLL_US : POLL_US;
}

struct UsbModeOptions {
    std::vector<UsbDeviceConfig> devices;
    std::vector<UsbBusEvent> events;
    bool empty = false;
    std::string restartDevice;
    bool boot = false;
    UsbBootSetup bootSetup;
    std::vector<std::string> command;
};

bool ParseUsbMode(const std::vector<std::string>& args, UsbModeOptions& o, std::string& error) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& word = args[i];
        if (word == "--") {
            o.command.assign(args.begin() + static_cast<long>(i) + 1, args.end());
            break;
        }
        bool takesValue =
            word == "--device" || word == "--event" || word == "--boot" || word == "--restart-as";
        if (takesValue && i + 1 >= args.size()) {
            error = word + " needs a value";
            return false;
        }
        if (word == "--device") {
            UsbDeviceConfig layout;
            layout.name = "d" + std::to_string(o.devices.size() + 1);
            if (!ParseUsbDeviceConfig(args[++i], layout, error)) return false;
            o.devices.push_back(layout);
        } else if (word == "--event") {
            UsbBusEvent event;
            if (!ParseUsbBusEvent(args[++i], event, error)) return false;
            o.events.push_back(event);
        } else if (word == "--restart-as") {
            o.restartDevice = args[++i];
        } else if (word == "--boot") {
            o.boot = true;
            if (!ParseUsbBootSetup(args[++i], o.bootSetup, error)) return false;
        } else if (word == "--empty") {
            o.empty = true;
        } else {
            error = "unknown USB option \"" + word + "\"";
            return false;
        }
    }
    if (o.devices.empty() && !o.empty) {
        UsbDeviceConfig printer;
        printer.name = "printer";
        printer.serial = "PR0011";
        printer.driver = "usblp";
        o.devices.push_back(printer);
    }
    return true;
}

std::string WithPreload(const char* current) {
    if (current == nullptr || current[0] == '\0') return PRELOAD_LIBRARY;
    if (strstr(current, PRELOAD_LIBRARY) != nullptr) return current;
    return std::string(PRELOAD_LIBRARY) + ":" + current;
}

// A child running as root opens any device node whatever its mode; without
// these two capabilities it meets the node's rights like any user.
bool DropFileRightsOverride() {
    if (geteuid() != 0) return true;
    return prctl(PR_CAPBSET_DROP, CAP_DAC_OVERRIDE, 0, 0, 0) == 0 &&
           prctl(PR_CAPBSET_DROP, CAP_DAC_READ_SEARCH, 0, 0, 0) == 0;
}

pid_t StartChild(const std::vector<std::string>& command, bool dropFileRights) {
    pid_t pid = fork();
    if (pid != 0) return pid;
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (dropFileRights && !DropFileRightsOverride()) {
        fprintf(stderr, "prnsim: cannot drop the file rights override: %s\n", strerror(errno));
        _exit(127);
    }
    setenv("LD_PRELOAD", WithPreload(getenv("LD_PRELOAD")).c_str(), 1);
    // A sanitizer build refuses a preload library ahead of its runtime.
    const char* asan = getenv("ASAN_OPTIONS");
    std::string asanOptions = "verify_asan_link_order=0";
    if (asan != nullptr && asan[0] != '\0') asanOptions = std::string(asan) + ":" + asanOptions;
    setenv("ASAN_OPTIONS", asanOptions.c_str(), 1);
    std::vector<char*> argv;
    for (const std::string& w : command) argv.push_back(const_cast<char*>(w.c_str()));
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    fprintf(stderr, "prnsim: cannot run %s: %s\n", argv[0], strerror(errno));
    _exit(127);
}

int ExitCodeOf(int status) {
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return 1;
}

bool InstallBootMode(const UsbModeOptions& o, PrinterCore& core, UsbTestbed& bus,
                     std::unique_ptr<UsbBootMode>& boot, std::string& error) {
    const UsbDeviceConfig* printer = nullptr;
    for (const UsbDeviceConfig& d : o.devices) {
        bool wanted = o.bootSetup.printer.empty() ? d.printer : d.name == o.bootSetup.printer;
        if (wanted && printer == nullptr) printer = &d;
    }
    if (printer == nullptr) {
        error = "--boot without its printer device";
        return false;
    }
    boot = std::make_unique<UsbBootMode>(o.bootSetup, core);
    return boot->Install(bus, *printer, error);
}

// Reports the programmed image; a file that cannot be written fails the run.
int FinishBootMode(const UsbBootMode* boot, int exitCode, std::vector<uint8_t>* held) {
    if (boot == nullptr) return exitCode;
    std::string summary, error;
    std::vector<uint8_t> image;
    bool written = boot->Finish(summary, image, error);
    if (held != nullptr) *held = std::move(image);
    fprintf(stderr, "prnsim: %s\n", summary.c_str());
    if (written) return exitCode;
    fprintf(stderr, "prnsim: %s\n", error.c_str());
    return 2;
}

void InstallSignalHandlers() {
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

}  // namespace

const char* UsbTransportUsage() {
    return "\nEmulated USB bus: prnsim --usb [--device DESC]... [--event DESC]... [--empty]\n"
           "                                [-- COMMAND ARGS...]\n"
           "  Runs COMMAND under umockdev's preload, so that its libusb sees the bus, and\n"
           "  exits with its exit code. Without a command, prints the environment to use\n"
           "  and waits for a signal.\n"
           "  --device DESC  a device, keys separated by commas:\n"
           "      name=ID vid=HEX pid=HEX serial=TEXT noserial port=P[.P...] bus=N\n"
           "      driver=NAME (bound kernel driver) foreign (not the printer)\n"
           "      zlp=0|1 (zero-length packet after an answer) infirst (IN endpoint first)\n"
           "      speed=12|480 absent (plugged in later by an event)\n"
           "      noaccess (the device node cannot be opened: no permission)\n"
           "      default: name=printer,vid=0AE7,pid=0E15,serial=PR0011,port=1,driver=usblp\n"
           "  --event DESC   a bus change: trigger bytes=N (received by the printer),\n"
           "      ms=N (since start) or reset (port reset request), on=ID (the device\n"
           "      watched), remove=ID, add=ID, delay=MS between removal and addition\n"
           "  --empty        no default printer (only root hubs)\n"
           "  --restart-as ID  after a restart of the printer (a firmware download) the\n"
           "      declared device ID comes back instead of the printer's own devices\n"
           "      (e.g. under another serial, so another address number)\n"
           "  --boot DESC    the printer restarts into its USB boot program on 1C 4C 49:\n"
           "      it answers BOOT_RST and leaves, a device 045B with an empty serial\n"
           "      appears on its port, and the printer comes back after the boot\n"
           "      program's reset. Keys separated by commas:\n"
           "      release=TEXT (4 characters, default 1.00) newer (NAKs the first\n"
           "      save-security command) security=HEX (answer to it) size=N\n"
           "      (programming size, default 128) userarea=HEX (start, default FFF00000)\n"
           "      failonce=N failalways=N (bank N, from 1, refused) bankerror=HEX\n"
           "      (default 53) statuserror=HEX (fourth byte of the status answers)\n"
           "      wrong=STEP (answered with an error; repeatable: adjust\n"
           "      release security security-new size device clock user-area bit-rate\n"
           "      confirm transition status user-blank data-blank select terminate\n"
           "      lock-bit reset) pid=HEX (default 0025) on=ID (the printer) back=ID\n"
           "      (comes back instead) appear=MS (default 300; 0: on the bus before\n"
           "      the answer is out, on the next bus) noappear entry=TEXT\n"
           "      backon=reset|lock-bit backdelay=MS (default 300) newrelease=TEXT\n"
           "      image=FILE (the programmed bytes, written at the end)\n"
           "      At the end a line \"prnsim: boot image ...\" goes to standard error.\n"
           "  The printer's --close-after N unplugs its devices once N bytes have arrived.\n";
}

int RunUsbTransport(PrinterCore& core, const std::vector<std::string>& args,
                    const std::function<bool()>& tick, std::vector<uint8_t>* bootImage) {
    UsbModeOptions options;
    std::string error;
    if (!ParseUsbMode(args, options, error)) {
        fprintf(stderr, "prnsim: %s\n%s", error.c_str(), UsbTransportUsage());
        return 2;
    }
    UsbTestbed bus(&core);
    for (const UsbDeviceConfig& layout : options.devices) {
        if (!bus.Declare(layout, error)) {
            fprintf(stderr, "prnsim: %s\n", error.c_str());
            return 2;
        }
    }
    for (const UsbBusEvent& event : options.events) bus.AddEvent(event);
    bus.SetRestartDevice(options.restartDevice);
    std::unique_ptr<UsbBootMode> boot;
    if (options.boot && !InstallBootMode(options, core, bus, boot, error)) {
        fprintf(stderr, "prnsim: %s\n", error.c_str());
        return 2;
    }
    InstallSignalHandlers();

    if (options.command.empty()) {
        printf("prnsim: USB bus ready: UMOCKDEV_DIR=%s LD_PRELOAD=%s\n", bus.RootDir().c_str(),
               PRELOAD_LIBRARY);
        fflush(stdout);
        while (g_signal == 0) {
            if (tick && !tick()) return 1;
            if ((boot && !boot->Poll(bus, error)) || !bus.Poll(error)) {
                fprintf(stderr, "prnsim: %s\n", error.c_str());
                return 2;
            }
            usleep(PollInterval(bus, boot.get()));
        }
        return FinishBootMode(boot.get(), 0, bootImage);
    }

    fflush(stdout);
    bool anyNoAccess = false;
    for (const UsbDeviceConfig& layout : options.devices) anyNoAccess |= !layout.accessible;
    pid_t child = StartChild(options.command, anyNoAccess);
    if (child < 0) {
        fprintf(stderr, "prnsim: cannot start the command: %s\n", strerror(errno));
        return 2;
    }
    int status = 0;
    for (;;) {
        pid_t done = waitpid(child, &status, WNOHANG);
        if (done == child) break;
        if (done < 0 && errno != EINTR) {
            fprintf(stderr, "prnsim: lost the command: %s\n", strerror(errno));
            return 2;
        }
        if (g_signal != 0) {
            kill(child, g_signal);
            g_signal = 0;
        }
        if (tick && !tick()) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            return 1;
        }
        if ((boot && !boot->Poll(bus, error)) || !bus.Poll(error)) {
            fprintf(stderr, "prnsim: %s\n", error.c_str());
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            return 2;
        }
        usleep(PollInterval(bus, boot.get()));
    }
    return FinishBootMode(boot.get(), ExitCodeOf(status), bootImage);
}
