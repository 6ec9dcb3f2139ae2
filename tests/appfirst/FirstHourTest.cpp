// What a newcomer meets beyond its defined output: typo warnings, the -v
// line that names a cause, a replay that ends by itself, and the README's
// examples run as written. The real prnupgrade against prnsim throughout.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <regex>
#include <string>
#include <vector>

#include "tests/support/RunProgram.h"
#include "tests/support/SimProcess.h"
#include "tests/support/TempDir.h"

namespace {

using testsupport::ProgramResult;
using testsupport::RunOptions;
using testsupport::RunProgram;
using testsupport::TempDir;
using Words = std::vector<std::string>;

const std::string PROGRAM = PRNUPGRADE_BIN;
const std::string SIM = PRNSIM_BIN;
const std::string MKFILE = PRNMKFILE_BIN;

Words Join(Words a, const Words& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Standard error without prnsim's own report and the emulated bus's notes
// (under --usb they share it).
std::string PersonLines(const std::string& err) {
    std::string out;
    for (const std::string& line : testsupport::SplitLines(err)) {
        if (!line.empty() && line.rfind("prnsim: ", 0) != 0 && line.rfind("** (", 0) != 0) {
            out += line + "\n";
        }
    }
    return out;
}

// A bash script run in dir, the programs in PRNSIM, PRNUPGRADE, PRNMKFILE.
ProgramResult Sh(const std::string& script, const std::string& dir, int timeoutMs = 60000) {
    RunOptions options;
    options.workingDirectory = dir;
    options.timeoutMs = timeoutMs;
    options.extraEnv = {"PRNSIM=" + SIM, "PRNUPGRADE=" + PROGRAM, "PRNMKFILE=" + MKFILE};
    return RunProgram({"/bin/bash", "-euo", "pipefail", "-c", script}, options);
}

class FirstHour : public ::testing::Test {
  protected:
    void SetUp() override {
        // model 99 on a model 12 printer; release 2.50 for it; a module
        // whose size field is wrong.
        const ProgramResult made =
            Sh("$PRNMKFILE package -o fw99.psw --family 3 --model 99 && "
               "$PRNMKFILE package -o fw.psw --family 3 --model 12 --custom 0 --release 250 "
               "&& $PRNMKFILE module -o bad.mod --file-size 5 && mkdir folder && echo x > fw.txt",
               dir_.path());
        ASSERT_EQ(made.exitCode, 0) << made.err;
    }
    // prnupgrade with args (files named relative to the folder), against a
    // printer: none, "tcp" with the printer options, or "usb" with the
    // bus words.
    ProgramResult Run(const std::string& link, const Words& printer, const Words& args) {
        RunOptions options;
        options.workingDirectory = dir_.path();
        if (link == "usb") {
            return RunProgram(Join(Join({SIM, "--usb"}, printer), Join({"--", PROGRAM}, args)),
                              options);
        }
        if (link != "tcp") return RunProgram(Join({PROGRAM}, args), options);
        testsupport::SimProcess sim;
        EXPECT_TRUE(sim.Start(Join(Join({SIM}, printer), {"--tcp", "0"})));
        std::string device = "127.0.0.1:" + std::to_string(sim.TcpPort());
        ProgramResult result =
            RunProgram(Join(Join({PROGRAM}, args), {"-t", "eth", "-d", device}), options);
        sim.Stop();
        return result;
    }
    TempDir dir_;
};

// Unknown option words and a doubtful -m: one warning on standard error;
// standard output and the exit code are those of the run without the typo.
TEST_F(FirstHour, TyposAreWarnedAboutAndChangeNothingElse) {
    const Words base = {"-f", "fw.psw", "-t", "bad", "-v"};
    struct Row {
        Words typo, same;
        std::string warning;
    };
    const Row rows[] = {
        {{"-C", "1"}, {}, "unknown option -C ignored; did you mean -c?"},
        {{"--verbose"}, {}, "unknown option --verbose ignored; did you mean -v?"},
        {{"--dryrun"}, {}, "unknown option --dryrun ignored; did you mean --dry-run?"},
        {{"-x"}, {}, "unknown option -x ignored"},
        {{"--version"}, {}, "--version ignored: it counts only as the first word"},
        {{"-m", "abc"}, {"-m", "0"}, "-m abc is not a number; taken as 0"},
        {{"-m", "1000000"},
         {"-m", "1"},
         "-m 1000000 is outside 0..100; the waits are multiplied by it"},
        {{"-d", "-C"}, {"-d", "-C"}, ""},                        // the value of -d
        {{"-rtool", "1-2", "-X"}, {"-rtool", "1-2", "-X"}, ""},  // the tool file
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.typo.front() + " " + row.typo.back());
        ProgramResult typo = Run("", {}, Join(base, row.typo));
        ProgramResult same = Run("", {}, Join(base, row.same));
        EXPECT_EQ(typo.out, same.out);
        EXPECT_EQ(typo.exitCode, same.exitCode);
        EXPECT_EQ(typo.err,
                  row.warning.empty() ? "" : "prnupgrade: warning: " + row.warning + "\n");
        EXPECT_EQ(same.err, "");
    }
}

// With -v one line names the cause after the operation's own lines; without it
// nothing is added. The exit code is the same either way.
TEST_F(FirstHour, VerboseNamesTheCause) {
    struct Row {
        std::string link;
        Words printer, args;
        int exit;
        std::string text, cause;
    };
    auto make = [](const std::string& link, Words printer, Words args, int exit,
                   const std::string& text, const std::string& cause) {
        return Row{link, std::move(printer), std::move(args), exit, text, cause};
    };
    const Words printer = {"--family", "3", "--model", "12"};
    const Words released =
        Join(printer, {"--package", dir_.file("fw.psw"), "--keep-release", "--restart-ms", "0"});
    const std::string lost = "File corrupted or not found";
    // A file refused before any link is opened.
    auto file = [&](const char* name, const std::string& cause) {
        return make("", {}, {"-f", name, "-t", "eth", "-d", "127.0.0.1:1"}, 11, lost, cause);
    };
    const Row rows[] = {
        make("tcp", printer, {"-f", "fw99.psw"}, 12, "Device not compatible",
             "the package is for family 3, model 99, customization 3; the printer is family 3, "
             "model 12, customization 0"),
        make("tcp", released, {"-f", "fw.psw", "-m", "0"}, 11, lost,
             "the printer came back with release 1.00, not the package's 2.50"),
        make("usb", {"--empty"}, {"-f", "fw.psw", "-t", "usb", "-d", "ANY"}, 13, "Parameter not OK",
             "no printer on the USB bus"),
        file("missing.psw", "missing.psw: cannot read the file: No such file or directory"),
        file("folder", "folder: cannot read the file: not a regular file"),
        file("fw.txt",
             "fw.txt: unknown file kind: the name must end in .psw, .pfw, .mod, .zpd, .bin or "
             ".spt (lower case, capitalised or upper case)"),
        file("bad.mod", "bad.mod: File not Correct! Params Error!"),
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.cause);
        ProgramResult verbose = Run(row.link, row.printer, Join(row.args, {"-v"}));
        EXPECT_EQ(verbose.exitCode, row.exit);
        EXPECT_NE(verbose.out.find("\n" + row.text + "\n"), std::string::npos) << verbose.out;
        EXPECT_EQ(PersonLines(verbose.err), "Cause: " + row.cause + "\n");
        ProgramResult quiet = Run(row.link, row.printer, row.args);
        EXPECT_EQ(quiet.exitCode, row.exit);
        EXPECT_EQ(quiet.out, "");
        EXPECT_EQ(PersonLines(quiet.err), "");
    }
}

// A run recorded with -lf, played back: prnsim ends by itself, with its
// summary and 0, once the program has closed the link.
TEST_F(FirstHour, ReplayEndsByItselfAfterAWholePlay) {
    // $1: the link; the printer's device in $D once it is ready. The header
    // it sends holds a '%' and takes two rows of the log's dump.
    const std::string start = R"(
        H="--header-line 100%-PAPER-80MM-WIDE"
        start() { "$PRNSIM" "$@" > sim.out 2> sim.err & S=$!
          for i in $(seq 100); do grep -q '^prnsim: ready' sim.out && break; sleep 0.05; done
          D=$(sed -n 's/^prnsim: tcp //p; s/^prnsim: pty \(.*\)/\1:115200:NONE/p' sim.out); }
        ended() { for i in $(seq 100); do kill -0 $S 2>/dev/null || { wait $S; return; }; sleep 0.05; done
          kill $S; echo "prnsim still running" >&2; return 9; }
    )";
    struct Row {
        std::string link, record, replay;
    };
    const Row rows[] = {
        {"tcp", "start --tcp 0 $H; $PRNUPGRADE --printerversion -t eth -d $D -lf; kill $S; wait $S",
         "start --replay data.log --fast --tcp 0; $PRNUPGRADE --printerversion -t eth -d $D; "
         "ended"},
        {"pty", "start --pty $H; $PRNUPGRADE --printerversion -t ser -d $D -lf; kill $S; wait $S",
         "start --replay data.log --fast --pty; $PRNUPGRADE --printerversion -t ser -d $D; "
         "ended"},
        {"usb", "$PRNSIM $H --usb -- $PRNUPGRADE --printerversion -t usb -d ANY -lf",
         "$PRNSIM --replay data.log --fast --usb -- $PRNUPGRADE --printerversion -t usb -d ANY "
         "2> sim.err"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.link);
        TempDir dir;
        ProgramResult record = Sh(start + row.record, dir.path());
        ASSERT_EQ(record.exitCode, 0) << record.err;
        ProgramResult replay = Sh(start + row.replay + "; cat sim.err", dir.path());
        EXPECT_EQ(replay.exitCode, 0) << replay.err;
        EXPECT_NE(replay.out.find("exchanges played\n"), std::string::npos) << replay.out;
        // The answer went through the log byte for byte.
        EXPECT_NE(replay.out.find("\n100%-PAPER-80MM-WIDE\n"), std::string::npos) << replay.out;
    }
}

// The README's blocks marked "<!-- example -->", run as written from a
// folder whose build/ holds the programs. Its prnsim is the real one, stopped
// (as with Ctrl-C) once it is ready when it serves until stopped.
TEST(ReadmeExamples, RunAsWritten) {
    const std::string readme =
        testsupport::ReadWholeFile(std::string(TEST_SOURCE_DIR) + "/../README.md");
    // A marked block: the mark's line, then the block's "```sh" line right after.
    const std::regex marked("(^|\n)<!-- example -->\n```sh\n([\\s\\S]*?\n)```(\n|$)");
    std::vector<std::string> blocks;
    for (std::sregex_iterator it(readme.begin(), readme.end(), marked), end; it != end; ++it) {
        blocks.push_back((*it)[2]);
    }
    ASSERT_GE(blocks.size(), 3u) << "the README's marked examples were not found";
    const std::string wrapper = R"(#!/bin/bash
out=$(mktemp)
"$PRNSIM" "$@" > "$out" &
pid=$!
while kill -0 $pid 2>/dev/null && ! grep -q '^prnsim: ready$' "$out"; do sleep 0.05; done
kill -INT $pid 2>/dev/null
wait $pid; rc=$?
cat "$out"; rm -f "$out"; exit $rc
)";
    for (const std::string& block : blocks) {
        SCOPED_TRACE(block);
        TempDir dir;
        const ProgramResult linked =
            Sh("mkdir -p build/app build/sim/mkfile && ln -s $PRNUPGRADE build/app/prnupgrade"
               " && ln -s $PRNMKFILE build/sim/mkfile/prnmkfile",
               dir.path());
        ASSERT_EQ(linked.exitCode, 0) << linked.err;
        dir.write("build/sim/prnsim", wrapper);
        chmod(dir.file("build/sim/prnsim").c_str(), 0755);
        ProgramResult run = Sh(block, dir.path(), 110000);
        EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    }
}

}  // namespace
