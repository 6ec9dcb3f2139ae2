// End to end: prnupgrade loading packages, modules and ZPD scripts made by
// the file builder; a bad file ends with its message and exit code 11.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim/mkfile/MkFile.h"
#include "tests/support/RunProgram.h"
#include "tests/support/TempDir.h"

using testsupport::ProgramResult;
using testsupport::RunProgram;
using testsupport::TempDir;

namespace {

// The link arguments are valid but point at a closed loopback port: the
// file is loaded (or refused) before any link is opened.
ProgramResult RunCli(const std::string& file) {
    return RunProgram({PRNUPGRADE_BIN, "-f", file, "-t", "eth", "-d", "127.0.0.1:1", "-v"});
}

std::string Text(const mkfile::Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

mkfile::Bytes Module() {
    mkfile::ModuleLayout layout;
    layout.typeLetter = "E";
    layout.key = 0x31;
    layout.payload = mkfile::Pattern(2000, 8);
    return mkfile::BuildModule(layout);
}

void ExpectFileFailure(const ProgramResult& r, const std::string& message) {
    EXPECT_EQ(r.signal, 0);
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.exitCode, 11);
    EXPECT_NE(r.out.find(message), std::string::npos) << r.out;
}

}  // namespace

TEST(FrontEndFiles, CorruptedPackageIsAFileError) {
    TempDir dir;
    mkfile::PackageLayout layout;
    layout.firmware = mkfile::Pattern(5000, 1);
    mkfile::Bytes package = mkfile::BuildPackage(layout);
    package[package.size() - 10] ^= 0xFF;
    ExpectFileFailure(RunCli(dir.write("bad.psw", Text(package))), "LoadPSWFromFile FAILURE\n");

    mkfile::Bytes truncated(package.begin(), package.begin() + 80);
    ExpectFileFailure(RunCli(dir.write("cut.PFW", Text(truncated))), "LoadPSWFromFile FAILURE\n");
}

TEST(FrontEndFiles, TruncatedModuleIsAFileError) {
    TempDir dir;
    mkfile::Bytes module = Module();
    for (size_t length : {module.size() - 1, size_t(4101), size_t(20)}) {
        mkfile::Bytes cut(module.begin(), module.begin() + length);
        ExpectFileFailure(RunCli(dir.write("cut.mod", Text(cut))), "LoadModuleFromFile FAILURE\n");
    }
}

TEST(FrontEndFiles, BadZpdScriptIsAFileError) {
    TempDir dir;
    mkfile::ZpdLayout layout;
    layout.checksum = 0xBEEF;
    ProgramResult r = RunCli(dir.write("bad.zpd", mkfile::BuildZpd(layout)));
    ExpectFileFailure(r, "LoadFile ZPD FAILURE\n");
    EXPECT_NE(r.out.find("File checksum error"), std::string::npos);
    ExpectFileFailure(RunCli(dir.write("bin.zpd", Text(mkfile::Pattern(3000, 2)))),
                      "LoadFile ZPD FAILURE\n");
}

TEST(FrontEndFiles, LoadedFilesAreDescribedBeforeThePrinterOperation) {
    TempDir dir;
    mkfile::PackageLayout layout;
    layout.firmware = mkfile::Pattern(5000, 1);
    layout.modules = {{'u', Module(), 0, 0}};
    ProgramResult r = RunCli(dir.write("good.psw", Text(mkfile::BuildPackage(layout))));
    EXPECT_EQ(r.signal, 0);
    EXPECT_NE(r.out.find("PSW FILE INFO:\n****"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Type:       BLUETOOTH MODULE\n"), std::string::npos);
    EXPECT_NE(r.out.find("\n#######\n"), std::string::npos);

    r = RunCli(dir.write("good.mod", Text(Module())));
    EXPECT_EQ(r.signal, 0);
    EXPECT_NE(r.out.find("MODULE INFO:\n-----"), std::string::npos) << r.out;
}

TEST(FileBuilderProgram, WritesFilesTheLoadersAccept) {
    TempDir dir;
    const std::string mk = PRNMKFILE_BIN;
    auto make = [&](std::vector<std::string> args) {
        args.insert(args.begin(), mk);
        ProgramResult r = RunProgram(args);
        EXPECT_EQ(r.exitCode, 0) << r.err;
    };
    make({"module", "-o", dir.file("font.mod"), "--type", "F", "--key", "7", "--enmode", "1",
          "--font-entry", "ARIAL:5"});
    make({"package", "-o", dir.file("a.psw"), "--gen", "2", "--key", "0x21", "--module",
          "f:" + dir.file("font.mod"), "--logo", "16x4", "--font", "8x16"});
    make({"package", "-o", dir.file("b.pfw"), "--gen", "1", "--key", "4", "--no-checksum"});
    make({"zpd", "-o", dir.file("s.zpd"), "--device", "ABCD", "--line", "[1B][40]"});
    make({"tamper", "-o", dir.file("t.bin"), "--release", "0200"});

    ProgramResult r = RunCli(dir.file("a.psw"));
    EXPECT_NE(r.out.find("  ARIAL (Code: 5)"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Number of Logos:1"), std::string::npos);
    r = RunCli(dir.file("b.pfw"));
    EXPECT_NE(r.out.find("PSW FILE INFO:"), std::string::npos) << r.out;
    r = RunCli(dir.file("s.zpd"));
    EXPECT_EQ(r.out.find("LoadFile ZPD FAILURE"), std::string::npos) << r.out;
    EXPECT_EQ(testsupport::ReadWholeFile(dir.file("t.bin")).size(), 32768u);

    ProgramResult bad = RunProgram({mk, "package", "-o", dir.file("x.psw"), "--banks", "many"});
    EXPECT_EQ(bad.exitCode, 2);
}
