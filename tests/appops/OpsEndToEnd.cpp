#include "tests/appops/OpsEndToEnd.h"

#include <cstdlib>

namespace opstest {

SimPrinter::SimPrinter(const std::string& link, const std::vector<std::string>& options)
    : link_(link) {
    std::vector<std::string> argv{PRNSIM_BIN};
    if (link == "tcp") {
        argv.insert(argv.end(), {"--tcp", "0"});
    } else {
        argv.push_back("--pty");
    }
    argv.insert(argv.end(), options.begin(), options.end());
    started_ = sim_.Start(argv);
}

OpsRun SimPrinter::Run(const std::vector<std::string>& args) {
    std::vector<std::string> argv{PRNUPGRADE_BIN};
    argv.insert(argv.end(), args.begin(), args.end());
    if (link_ == "tcp") {
        std::string where = sim_.Announced("tcp");
        argv.insert(argv.end(), {"-t", "eth", "-d", where});
    } else {
        argv.insert(argv.end(), {"-t", "ser", "-d", sim_.Announced("pty") + ":115200:NONE"});
    }
    OpsRun run;
    long long start = testsupport::NowMs();
    run.program = testsupport::RunProgram(argv);
    run.ms = testsupport::NowMs() - start;
    run.printer = sim_.Stop();
    return run;
}

OpsRun RunOnUsb(const std::vector<std::string>& printerOptions, const std::vector<std::string>& bus,
                const std::vector<std::string>& args) {
    // A test program run under the preload must not hand it on to prnsim.
    unsetenv("LD_PRELOAD");
    testsupport::TempDir folder;
    std::vector<std::string> argv{PRNSIM_BIN};
    argv.insert(argv.end(), printerOptions.begin(), printerOptions.end());
    argv.push_back("--usb");
    argv.insert(argv.end(), bus.begin(), bus.end());
    argv.insert(argv.end(), {"--", PRNUPGRADE_BIN});
    argv.insert(argv.end(), args.begin(), args.end());
    testsupport::RunOptions options;
    options.extraEnv.push_back("TMPDIR=" + folder.path());
    options.timeoutMs = 60000;
    OpsRun run;
    long long start = testsupport::NowMs();
    run.program = testsupport::RunProgram(argv, options);
    run.ms = testsupport::NowMs() - start;
    return run;
}

}  // namespace opstest
