// prnsim: a simulated receipt printer for prnupgrade.
#include <poll.h>
#include <signal.h>

#include <cerrno>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "sim/DiscoveryResponder.h"
#include "sim/SerialTransport.h"
#include "sim/SimOptions.h"
#include "sim/TcpTransport.h"
#include "sim/UsbHook.h"
#include "sim/core/PackageImage.h"
#include "sim/core/PrinterCore.h"
#include "sim/core/UpgradeHandlers.h"
#include "sim/core/UpgradeVerdict.h"
#include "sim/replay/Recording.h"
#include "sim/replay/Replayer.h"

namespace {

volatile sig_atomic_t g_stop = 0;

void OnStop(int) { g_stop = 1; }

void InstallStopHandlers() {
    struct sigaction action {};
    action.sa_handler = OnStop;  // no SA_RESTART: the wait returns at once
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    signal(SIGPIPE, SIG_IGN);
}

void Report(const PrinterCore& core, const TcpTransport* tcp) {
    if (tcp != nullptr) printf("prnsim: connections %d\n", tcp->Connections());
    printf("prnsim: received %zu bytes\n", core.Received().size());
    printf("prnsim: requests");
    for (const std::string& name : core.Requests()) printf(" %s", name.c_str());
    printf("\n");
    fflush(stdout);
}

// What arrived of an upgrade, and the files kept of it.
int ReportUpgrade(PrinterCore& core, const UpgradeHandlers& upgrade, const PackageImage& package,
                  const std::vector<uint8_t>& bootImage, const SimOptions& options, FILE* out) {
    for (const std::string& line : upgrade.Report()) fprintf(out, "prnsim: %s\n", line.c_str());
    fprintf(out, "prnsim: release %s\n", core.FirmwareRelease().c_str());
    if (options.upgrade.expectMask >= 0 && !options.upgrade.package.empty()) {
        HeldState held = upgrade.Held(bootImage);
        fprintf(out, "prnsim: holds %s\n", HoldsText(held, package).c_str());
        fprintf(out, "prnsim: verdict %s\n",
                VerdictText(held, package, unsigned(options.upgrade.expectMask)).c_str());
    }
    fflush(out);
    std::string error;
    if (!options.upgrade.saveDir.empty() && !upgrade.Save(options.upgrade.saveDir, error)) {
        fprintf(stderr, "prnsim: %s\n", error.c_str());
        return 1;
    }
    return 0;
}

// The end of a whole replay: the last answers are out, the printer is not
// away, and the program has closed every link.
bool LetGo(PrinterCore& core, const std::vector<std::unique_ptr<Transport>>& transports) {
    if (core.HasOutput() || core.RestartPending() || core.Restarting()) return false;
    for (const auto& t : transports) {
        if (!t->HostLetGo()) return false;
    }
    return true;
}

int Serve(PrinterCore& core, const SimOptions& options, Replayer* replay) {
    std::vector<std::unique_ptr<Transport>> transports;
    const TcpTransport* tcpTransport = nullptr;
    std::string error;
    if (options.tcp) {
        auto tcp = std::make_unique<TcpTransport>(core);
        if (!tcp->Listen(options.bindAddress, options.tcpPort, error)) {
            fprintf(stderr, "prnsim: %s\n", error.c_str());
            return 1;
        }
        tcp->RefuseReopens(options.refuseReopens);
        printf("prnsim: tcp %s:%d\n", options.bindAddress.c_str(), tcp->Port());
        tcpTransport = tcp.get();
        transports.push_back(std::move(tcp));
    }
    if (options.discovery) {
        auto discovery =
            std::make_unique<DiscoveryResponder>(options.name, options.discoveryRepeat);
        if (!discovery->Open(error)) {
            fprintf(stderr, "prnsim: %s\n", error.c_str());
            return 1;
        }
        printf("prnsim: discovery udp %d name %s\n", DiscoveryResponder::QUERY_PORT,
               options.name.c_str());
        transports.push_back(std::move(discovery));
    }
    if (options.pty) {
        auto serial = std::make_unique<SerialTransport>(core);
        if (!serial->Open(error)) {
            fprintf(stderr, "prnsim: %s\n", error.c_str());
            return 1;
        }
        printf("prnsim: pty %s\n", serial->SlavePath().c_str());
        transports.push_back(std::move(serial));
    }
    printf("prnsim: ready\n");
    fflush(stdout);

    // A stop signal is taken only inside the wait: one that came between the
    // check of g_stop and an endless poll would otherwise be slept through.
    sigset_t stops;
    sigset_t duringWait;
    sigemptyset(&stops);
    sigaddset(&stops, SIGINT);
    sigaddset(&stops, SIGTERM);
    sigprocmask(SIG_BLOCK, &stops, &duringWait);
    sigdelset(&duringWait, SIGINT);
    sigdelset(&duringWait, SIGTERM);

    std::vector<pollfd> fds;
    while (!g_stop) {
        if (replay != nullptr) {
            replay->Poll(core);
            if (replay->Departed() || (replay->Played() && LetGo(core, transports))) break;
        }
        fds.clear();
        for (auto& t : transports) t->Prepare(fds);
        // Late answers and restarts need a wake-up; otherwise only traffic
        // wakes the loop. A replay's answers are put out as soon as they are due.
        bool busy = core.HasLateAnswers() || core.RestartPending();
        if (replay != nullptr && (replay->Waiting() || core.HasOutput())) busy = true;
        const timespec wait{0, (replay != nullptr ? 1 : 5) * 1000000L};
        int rc = ppoll(fds.data(), fds.size(), busy ? &wait : nullptr, &duringWait);
        if (rc < 0 && errno != EINTR) {
            perror("prnsim: poll");
            return 1;
        }
        if (g_stop) break;
        for (auto& t : transports) t->Service(fds);
    }
    Report(core, tcpTransport);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    SimOptions options;
    std::string error;
    if (!ParseSimOptions(argc, argv, options, error)) {
        fprintf(stderr, "prnsim: %s\n%s", error.c_str(), SimUsage());
        return 2;
    }
    if (options.help) {
        fputs(SimUsage(), stdout);
        fputs(OpsUsage(), stdout);
        fputs(UpgradeUsage(), stdout);
        fputs(ReplayUsage(), stdout);
#ifdef PRNSIM_WITH_USB
        fputs(UsbTransportUsage(), stdout);
#endif
        return 0;
    }

    PrinterCore core;
    if (options.extendedGsi) {
        core.SetExtendedIdentification(options.gsi);
    } else {
        core.SetIdentification(static_cast<uint8_t>(options.gsi));
    }
    core.SetFirmwareRelease(options.upgrade.release.empty() ? options.release
                                                            : options.upgrade.release);
    core.SetFaults(options.faults);
    core.SetLineFaults(options.lineFaults);
    // A replay takes the printer's input before any other handler can.
    std::unique_ptr<Replayer> replay;
    if (!options.replay.file.empty()) {
        Recording recording;
        if (!ReadRecordingFile(options.replay.file, options.replay.run, recording, error)) {
            fprintf(stderr, "prnsim: %s\n", error.c_str());
            return 2;
        }
        replay = std::make_unique<Replayer>(BuildReplayScript(recording), options.replay.fast);
        replay->Install(core);
    }
    PackageImage package;
    if (!options.upgrade.package.empty() && !LoadUpgradePackage(options.upgrade, package, error)) {
        fprintf(stderr, "prnsim: %s\n", error.c_str());
        return 2;
    }
    UpgradeHandlers upgrade(core, options.upgrade.profile,
                            options.upgrade.package.empty() ? nullptr : &package);
    upgrade.Install();
    OpsPrinter ops(options.ops);
    ops.Install(core);
    InstallStopHandlers();

    int rc = 2;
    std::vector<uint8_t> bootImage;
    if (options.usb) {
#ifdef PRNSIM_WITH_USB
        std::function<bool()> tick;
        if (replay) {
            tick = [&core, &replay] {
                replay->Poll(core);
                return !replay->Departed();
            };
        }
        rc = RunUsbTransport(core, options.usbArgs, tick, &bootImage);
#else
        fprintf(stderr, "prnsim: built without the emulated USB bus\n");
        return rc;
#endif
    } else {
        rc = Serve(core, options, replay.get());
    }
    if (replay) {
        int played = replay->Finish(stderr);
        return played != 0 ? played : rc;
    }
    // Under --usb, standard output belongs to the command run on the bus.
    FILE* out = options.usb ? stderr : stdout;
    ops.Finish(core, out);
    int saved = ReportUpgrade(core, upgrade, package, bootImage, options, out);
    return rc != 0 ? rc : saved;
}
