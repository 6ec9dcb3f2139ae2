// "--ethdevlist" end to end: prnupgrade broadcasts inside a network namespace
// made here, joined by veth pairs to two namespaces that each hold a prnsim.
// Nothing is ever broadcast on the machine's own network.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "tests/support/RunProgram.h"
#include "tests/support/SimProcess.h"

namespace {

using testsupport::ProgramResult;
using testsupport::RunProgram;
using testsupport::SimProcess;
using testsupport::SplitLines;

std::string IpTool() {
    for (const char* path : {"/usr/sbin/ip", "/sbin/ip", "/usr/bin/ip", "/bin/ip"}) {
        if (access(path, X_OK) == 0) return path;
    }
    return "";
}

class Namespaces : public ::testing::Test {
  protected:
    void SetUp() override {
        if (geteuid() != 0) GTEST_SKIP() << "network namespaces need root; not run";
        ip_ = IpTool();
        if (ip_.empty()) GTEST_SKIP() << "the ip tool (iproute2) is missing; not run";
        std::string id = std::to_string(getpid());
        host_ = "prnH" + id;
        printers_ = {"prnA" + id, "prnB" + id};
        if (!Ip({"netns", "add", host_})) {
            host_.clear();
            GTEST_SKIP() << "cannot create network namespaces here (ip netns add failed); not run";
        }
        made_.push_back(host_);
        ASSERT_TRUE(Ip({"-n", host_, "link", "set", "lo", "up"}));
        for (size_t i = 0; i < printers_.size(); ++i) {
            const std::string& ns = printers_[i];
            std::string net = "10.77." + std::to_string(i + 1) + ".";
            std::string hostEnd = "vh" + std::to_string(i);
            std::string printerEnd = "vp" + std::to_string(i);
            ASSERT_TRUE(Ip({"netns", "add", ns}));
            made_.push_back(ns);
            ASSERT_TRUE(Ip({"link", "add", hostEnd, "netns", host_, "type", "veth", "peer", "name",
                            printerEnd, "netns", ns}));
            ASSERT_TRUE(Ip({"-n", host_, "addr", "add", net + "1/24", "brd", "+", "dev", hostEnd}));
            ASSERT_TRUE(Ip({"-n", ns, "addr", "add", net + "2/24", "brd", "+", "dev", printerEnd}));
            ASSERT_TRUE(Ip({"-n", host_, "link", "set", hostEnd, "up"}));
            ASSERT_TRUE(Ip({"-n", ns, "link", "set", printerEnd, "up"}));
            ASSERT_TRUE(Ip({"-n", ns, "link", "set", "lo", "up"}));
        }
    }

    void TearDown() override {
        for (SimProcess& s : sims_) s.Stop();
        for (const std::string& ns : made_) Ip({"netns", "del", ns});
    }

    bool Ip(const std::vector<std::string>& args) {
        std::vector<std::string> argv{ip_};
        argv.insert(argv.end(), args.begin(), args.end());
        ProgramResult r = RunProgram(argv);
        return r.exitCode == 0;
    }

    bool StartPrinter(size_t index, const std::string& name, int repeat) {
        return sims_[index].Start({ip_, "netns", "exec", printers_[index], PRNSIM_BIN,
                                   "--discovery", "--name", name, "--discovery-repeat",
                                   std::to_string(repeat)});
    }

    // The list as the host namespace sees it, and how long it took.
    ProgramResult ListFromHostNamespace(std::chrono::steady_clock::duration* took) {
        auto start = std::chrono::steady_clock::now();
        ProgramResult r = RunProgram({ip_, "netns", "exec", host_, PRNUPGRADE_BIN, "--ethdevlist"});
        *took = std::chrono::steady_clock::now() - start;
        return r;
    }

    std::string ip_;
    std::string host_;
    std::vector<std::string> printers_;
    std::vector<std::string> made_;
    SimProcess sims_[2];
};

}  // namespace

TEST_F(Namespaces, NoAnswerFailsAndEveryPrinterIsListedOnceEvenWhenItAnswersTwice) {
    std::chrono::steady_clock::duration took;
    ProgramResult r = ListFromHostNamespace(&took);
    EXPECT_EQ(r.exitCode, 255);
    EXPECT_EQ(r.out, "LIST ETH DEVICES ERROR\n");
    EXPECT_GE(took, std::chrono::milliseconds(500));
    EXPECT_LT(took, std::chrono::milliseconds(3000));

    ASSERT_TRUE(StartPrinter(0, "Kitchen", 2)) << sims_[0].Output();
    ASSERT_TRUE(StartPrinter(1, "Bar", 1)) << sims_[1].Output();
    r = ListFromHostNamespace(&took);
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    std::vector<std::string> lines = SplitLines(r.out);
    ASSERT_GE(lines.size(), 3u) << r.out;
    EXPECT_EQ(lines[0], "LIST ETH DEVICES:");
    std::vector<std::string> found(lines.begin() + 1, lines.begin() + 3);
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found, (std::vector<std::string>{"10.77.1.2:9100(Kitchen)", "10.77.2.2:9100(Bar)"}))
        << r.out;
    EXPECT_EQ(lines[3], "");  // the list's own line end, then the one of the message
    EXPECT_GE(took, std::chrono::milliseconds(500));
}

TEST_F(Namespaces, ASenderThatNeverStopsCannotHoldTheCollection) {
    // Answers with the tag, back to back, for as long as it runs.
    const std::string flood =
        "echo 'prnsim: ready'; exec 2>/dev/null 3>/dev/udp/10.77.1.1/15001; "
        "while :; do printf '<VN><STSMOA><NAME>=Flood;' >&3; done";
    ASSERT_TRUE(sims_[0].Start({ip_, "netns", "exec", printers_[0], "/bin/bash", "-c", flood}))
        << sims_[0].Output();
    std::chrono::steady_clock::duration took;
    ProgramResult r = ListFromHostNamespace(&took);
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(r.out, "LIST ETH DEVICES:\n10.77.1.2:9100(Flood)\n\n");
    EXPECT_GE(took, std::chrono::milliseconds(500));
    EXPECT_LT(took, std::chrono::milliseconds(3000));
}
