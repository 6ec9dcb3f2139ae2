// prnsim as a printer to upgrade: its profile from the command line and a
// profile file, its restart on the network port, what it keeps and reports.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include "sim/mkfile/MkFile.h"
#include "tests/support/SimProcess.h"
#include "tests/support/TempDir.h"

namespace {

using testsupport::ConnectLoopback;
using testsupport::SimProcess;
using testsupport::TempDir;
using Clock = std::chrono::steady_clock;

std::string Text(const mkfile::Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

std::string Transfer(const mkfile::Bytes& image, int banks) {
    uint16_t sum = 0, xorSum = 0;
    for (size_t i = 0; i < image.size(); ++i) {
        sum = static_cast<uint16_t>(sum + image[i]);
        xorSum = static_cast<uint16_t>(xorSum + (image[i] ^ (i & 0xFFFF)));
    }
    std::string out = {'\x1c', '\xfd', 0, static_cast<char>(banks - 1)};
    out += Text(image);
    out += {'\x1c',
            '\xff',
            0,
            static_cast<char>(banks - 1),
            static_cast<char>(sum >> 8),
            static_cast<char>(sum),
            static_cast<char>(xorSum >> 8),
            static_cast<char>(xorSum)};
    return out;
}

const std::string IDENTIFY = "\x18\x1c<EPOS>\x18\x1d\x49\x01\x18\x1d\x49\x03";

}  // namespace

TEST(PrnsimUpgrade, TakesAPackageOverTcpRestartsAndKeepsWhatArrived) {
    TempDir dir;
    mkfile::ModuleLayout m;
    m.payload = mkfile::Pattern(200, 4);
    const mkfile::Bytes module = mkfile::BuildModule(m);
    mkfile::PackageLayout layout;
    layout.firmware = mkfile::Pattern(2 * 512, 2);
    layout.numBanks = 2;
    layout.releasePSW = "301";
    layout.modules.push_back({'f', module, 0, 0});
    std::string package = dir.write("p.psw", Text(mkfile::BuildPackage(layout)));
    // The profile file holds the identity; the command line the rest.
    std::string profile = dir.write("printer.profile",
                                    "# a U1 printer\nmode U1\nfamily 1\nmodel 2\n"
                                    "custom 3\nmodule-code MODCODE\nrelease 2.99\n");
    SimProcess sim;
    ASSERT_TRUE(sim.Start({PRNSIM_BIN, "--tcp", "0", "--profile", profile, "--package", package,
                           "--restart-ms", "400", "--save-dir", dir.path()}))
        << sim.Output();
    const int port = sim.TcpPort();

    int fd = ConnectLoopback(port);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(testsupport::Ask(fd, "\x1f\xff\x70", 21), "\x02<C112><U1><><1;2;3>\x03");
    EXPECT_EQ(testsupport::Ask(fd, "\x1f\xff\x40", 18),
              std::string("\x02<C64><1>MODCODE\0\x03", 18));
    EXPECT_EQ(testsupport::Ask(fd, IDENTIFY, 5),
              "\x12"
              "2.99");
    EXPECT_EQ(testsupport::Ask(fd, Text(module), 1), "\xaa");
    testsupport::Ask(fd, IDENTIFY, 5);
    EXPECT_EQ(testsupport::Ask(fd, Transfer(layout.firmware, 2), 1), "\xaa");
    auto programmed = Clock::now();
    EXPECT_EQ(testsupport::Ask(fd, "", 1), "");  // the printer closes the connection
    close(fd);
    EXPECT_LT(ConnectLoopback(port), 0);  // and refuses while it restarts
    int back = -1;
    while (back < 0 && Clock::now() - programmed < std::chrono::seconds(5)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        back = ConnectLoopback(port);
    }
    ASSERT_GE(back, 0);
    EXPECT_GE(Clock::now() - programmed, std::chrono::milliseconds(400));
    EXPECT_EQ(testsupport::Ask(back, "\x1d\x49\x03", 4), "3.01");
    close(back);

    std::string report = sim.Stop();
    EXPECT_NE(report.find("prnsim: banks 0:512,1:512\n"), std::string::npos) << report;
    EXPECT_NE(report.find("prnsim: firmware matches the package\n"), std::string::npos);
    EXPECT_NE(report.find("prnsim: module 1 " + std::to_string(module.size()) +
                          " bytes verdict 0xAA matches package module 1\n"),
              std::string::npos);
    EXPECT_NE(report.find("prnsim: release 3.01\n"), std::string::npos);
    EXPECT_EQ(testsupport::ReadWholeFile(dir.file("firmware.bin")), Text(layout.firmware));
    EXPECT_EQ(testsupport::ReadWholeFile(dir.file("module-1.mod")), Text(module));
}
