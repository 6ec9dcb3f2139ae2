#include "app/DryRun.h"

#include <cstdio>
#include <string>

#include "app/Arguments.h"
#include "app/DryRunReport.h"
#include "app/ExitCodes.h"
#include "app/ProgramSettings.h"
#include "common/PersonConsole.h"
#include "operations/PackageDryRun.h"
#include "operations/PrinterComm.h"

int CheckDryRunWords(const ProgramSettings& s) {
    if (!s.dryrun) {
        if (s.json) PersonConsole::Warn("--json is for --dry-run only: ignored");
        return 0;
    }
    int isMod = 0, isPackage = 0, isBin = 0, isZpd = 0, isSpt = 0;
    bool known = parse_filename(s.filename, &isMod, &isPackage, &isBin, &isZpd, &isSpt);
    const bool otherOperation = s.executetool || s.usbdevlist || s.ethdevlist || s.printerversion ||
                                s.tampermode || (known && !isPackage);
    if (!otherOperation) return 0;
    PersonConsole::Warn(
        "--dry-run takes -f with a firmware package (.psw, .pfw) and a link; nothing was sent");
    return EXIT_PARAMETER;
}

int RunPackageDryRun(const ProgramSettings& s, PrinterComm& comm, CComPort& port,
                     CommPortSettings& link, PSWFile& package) {
    DryRunFacts facts;
    bool goesOn = PackageDryRun::Run(comm, port, package, link, facts);
    int code = goesOn ? EXIT_OK : MapPrinterError(OperationKind::Package, comm.iErrorCode);
    nlohmann::ordered_json report = DryRunJson(facts, s, code);
    if (s.json) {
        // Texts from the printer that are no UTF-8 carry U+FFFD.
        std::string text =
            report.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
        printf("%s\n", text.c_str());
    } else {
        fputs(DryRunText(report).c_str(), stdout);
    }
    fflush(stdout);
    return code;
}
