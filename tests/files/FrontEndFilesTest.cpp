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

}  // namespace

// A damaged file of each kind ends the run with the loader's failure line
// and exit code 11 (the loaders' own messages are checked in their tests).
TEST(FrontEndFiles, DamagedFilesAreFileErrors) {
    TempDir dir;
    mkfile::PackageLayout layout;
    layout.firmware = mkfile::Pattern(5000, 1);
    mkfile::Bytes package = mkfile::BuildPackage(layout);
    package[package.size() - 10] ^= 0xFF;
    mkfile::Bytes module = Module();
    module.pop_back();
    mkfile::ZpdLayout zpd;
    zpd.checksum = 0xBEEF;
    const struct {
        std::string path;
        const char* failure;
    } rows[] = {
        {dir.write("bad.psw", Text(package)), "LoadPSWFromFile FAILURE\n"},
        {dir.write("cut.PFW", Text(mkfile::Bytes(package.begin(), package.begin() + 80))),
         "LoadPSWFromFile FAILURE\n"},
        {dir.write("cut.mod", Text(module)), "LoadModuleFromFile FAILURE\n"},
        {dir.write("bad.zpd", mkfile::BuildZpd(zpd)), "File checksum error"},
        {dir.write("bin.zpd", Text(mkfile::Pattern(3000, 2))), "LoadFile ZPD FAILURE\n"},
    };
    for (const auto& row : rows) {
        ProgramResult r = RunCli(row.path);
        EXPECT_EQ(r.exitCode, 11) << row.path << r.err;
        EXPECT_NE(r.out.find(row.failure), std::string::npos) << r.out;
    }
}
