// The connection test: two protocol-version exchanges around a reopening.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "operations/PrinterComm.h"
#include "tests/comm/CommTestHelpers.h"
#include "tests/operations/OperationLink.h"

namespace {

class ReopenCountingLink : public OperationLink {
  public:
    int reopens = 0;
    bool ReOpen() override {
        ++reopens;
        return true;
    }
};

const std::string VERSION_ANSWER = "\x02<C1><1.00>\x03";
const std::vector<unsigned char> SWITCH{0x1C, '<', 'E', 'P', 'O', 'S', '>'};
const std::vector<unsigned char> VERSION_REQUEST{0x1F, 0xFF, 0x01};

}  // namespace

TEST(ConnectionTest, TwoAnsweredExchangesPass) {
    struct Case {
        const char* name;
        std::vector<std::string> reads;
        bool ok;
        int error;
        int reopens;
        size_t writes;
    } cases[] = {
        {"both answered", {VERSION_ANSWER, VERSION_ANSWER}, true, 0, 1, 4},
        {"second unanswered", {VERSION_ANSWER}, false, 7, 1, 4},
        {"first unanswered", {}, false, 7, 0, 2},
    };
    for (const Case& c : cases) {
        ReopenCountingLink link;
        link.reads.assign(c.reads.begin(), c.reads.end());
        CommPortSettings settings = NetworkSettings();
        PrinterComm comm(255, 1);
        bool ok = !c.ok;
        std::string log = Captured([&] { ok = comm.Test(&link, &settings); });
        EXPECT_EQ(ok, c.ok) << c.name;
        EXPECT_EQ(comm.iErrorCode, c.error) << c.name;
        EXPECT_EQ(link.reopens, c.reopens) << c.name;
        EXPECT_EQ(link.closes, 1) << c.name;
        ASSERT_EQ(link.writes.size(), c.writes) << c.name;
        for (size_t i = 0; i < c.writes; i += 2) {
            EXPECT_EQ(link.Written(i), SWITCH) << c.name;
            EXPECT_EQ(link.Written(i + 1), VERSION_REQUEST) << c.name;
        }
        EXPECT_EQ(Count(log, "[Test]Get Prot. release Error"), c.ok ? 0u : 1u) << c.name;
    }
}
