// "--verify": a download counts as done only when the printer confirms it;
// without the option the same runs end as they always have. No serial rows:
// the check reopens the line after the restart, and the pseudo-terminal loses
// what is unread when it is reopened.
#include "tests/e2e/EndToEnd.h"

namespace {

using e2e::EndToEnd;
using e2e::Row;
using Words = std::vector<std::string>;

Row Verify(const char* name, const char* link, const char* mode, Words printer, bool verify,
           int exitCode, Words present, const char* package = "@v3.psw") {
    printer.insert(printer.begin(), {"--mode", mode, "--restart-ms", "0", "--package", package});
    Words args{"-f", package, "-m", "0", "-v", "-lv"};
    if (verify) args.push_back("--verify");
    return {name, {link}, printer, args, exitCode, present, verify ? Words{} : Words{"verified"}};
}

const char* const SAME = "1.23";  // the printer already carries the package's release

// clang-format off
const std::vector<Row> kVerify = {
    // The printer comes back with the package's release.
    Verify("U1 back with the new release", "eth", "U1", {}, true, 0, {"Upgrade verified: the printer reports release 1.23"}),
    Verify("U3 back with the new release", "eth", "U3", {}, true, 0, {"Upgrade verified: the printer reports release 1.23"}),
    Verify("U5 back with the new release", "eth", "U5", {}, true, 0, {"Upgrade verified"}),
    // ... or with its old one: a false success without the option.
    Verify("U3 old release unverified", "eth", "U3", {"--keep-release"}, false, 0, {"OPERATION SUCCESS"}),
    Verify("U3 old release", "eth", "U3", {"--keep-release"}, true, 19,
           {"Upgrade not verified: the printer reports release 1.00, the package holds 1.23",
            "OPERATION FAILURE", "Upgrade not verified\n"}),
    // Same release and no answer: nothing can confirm the image.
    Verify("U3 same release without answer", "eth", "U3", {"--release", SAME}, true, 19,
           {"Upgrade not verified: the printer already carried release 1.23 and no answer"}),
    // U1 on the network takes the programming answer it otherwise leaves: a
    // refusal fails, an acceptance confirms the same release.
    Verify("U1 same release refused unverified", "eth", "U1", {"--release", SAME, "--prg-answer", "0x99"}, false, 0, {"Same version"}),
    Verify("U1 same release refused", "eth", "U1", {"--release", SAME, "--prg-answer", "0x99"}, true, 11,
           {"Programming answer: 0x99", "Error on sending banks. This is the 4/3 try."}),
    Verify("U1 same release accepted", "eth", "U1", {"--release", SAME}, true, 0, {"Programming answer: 0xaa", "verified"}),
    Verify("U1 same release silent", "eth", "U1", {"--release", SAME, "--fail", "program:silent"}, true, 19,
           {"No programming answer on the network link", "already carried release 1.23"}),
    // A mask that keeps only the main modules writes no firmware, although it asks for it.
    {"U1 mask 3 writes no firmware", {"eth"}, {"--mode", "U1", "--restart-ms", "0", "--package", "@v3.psw"},
     {"-f", "@v3.psw", "-m", "0", "-v", "-lv", "-c", "3", "--verify"}, 19,
     {"Upgrade not verified: the component mask 3 asks for the firmware, but none was written"}, {}},
    // U5 never answers its last data bank.
    Verify("U5 last data bank unanswered", "eth", "U5", {}, true, 19,
           {"Upgrade not verified: the printer reports release 1.23, but no answer confirms the "
            "last data bank (mode U5)"}, "@v5.psw"),
};
E2E_ROWS(Verify, kVerify);
// clang-format on

}  // namespace
