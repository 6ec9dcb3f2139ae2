// The anti-tamper image check and its download on a scripted link.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "operations/PrinterComm.h"
#include "operations/Tamper.h"
#include "tests/comm/CommTestHelpers.h"
#include "tests/operations/OperationLink.h"

namespace {

using Bytes = std::vector<unsigned char>;

Bytes Image(const std::string& text, size_t at = 100, size_t size = 32768) {
    Bytes image(size, 0x20);
    for (size_t i = 0; i < text.size() && at + i < size; ++i) image[at + i] = text[i];
    return image;
}

// Runs the download of image with the module's answers; pauses are recorded.
struct Download {
    OperationLink link;
    PrinterComm comm{255, 1};
    std::vector<unsigned> pauses;
    bool ok = false;
    std::string log;

    Download(const Bytes& image, const std::vector<std::string>& answers) {
        link.reads.assign(answers.begin(), answers.end());
        comm.fnPause = [this](unsigned ms) { pauses.push_back(ms); };
        CommPortSettings settings = NetworkSettings();
        log = Captured([&] {
            ok = comm.PrnCom_WriteBinaryUpgradeFileTaper(
                &link, image.data(), static_cast<long>(image.size()), &settings);
        });
    }
};

// Any byte for the start request, then ACK for n banks and what follows.
std::vector<std::string> Answers(int acknowledgedBanks, const std::vector<std::string>& then) {
    std::vector<std::string> answers{"\x42"};
    answers.insert(answers.end(), acknowledgedBanks, "\x06");
    answers.insert(answers.end(), then.begin(), then.end());
    return answers;
}

}  // namespace

TEST(TamperImage, RecognisedByItsTextsAndExactSize) {
    struct Case {
        const char* name;
        Bytes image;
        bool accepted;
        std::string release;
    } cases[] = {
        {"both texts", Image("anti-tamper module rel.0104 built"), true, "0104"},
        {"no name", Image("tamper module rel.0104"), false, ""},
        {"no release", Image("anti-tamper release 0104"), false, ""},
        // The second 'a' breaks "an" and is not tried as a new start.
        {"name right after an a", Image("aanti-tamper rel.0104"), false, ""},
        {"one byte short", Image("anti-tamper rel.0104", 100, 32767), false, ""},
        {"one byte long", Image("anti-tamper rel.0104", 100, 32769), false, ""},
        // A tag among the last bytes leaves a release cut at the image's end.
        {"release cut at the end", Image("anti-tamper", 0, 32768), true, "01"},
    };
    Bytes& cut = cases[6].image;
    std::string tail = "rel.01";
    std::copy(tail.begin(), tail.end(), cut.end() - static_cast<long>(tail.size()));
    for (const Case& c : cases) {
        char release[CTamper::RELEASE_SIZE] = {};
        EXPECT_EQ(CTamper::GetUpgradeFileForTamperVersion(
                      c.image.data(), static_cast<long>(c.image.size()), release),
                  c.accepted)
            << c.name;
        EXPECT_EQ(std::string(release), c.release) << c.name;
    }
    EXPECT_FALSE(CTamper::GetUpgradeFileForTamperVersion(nullptr, 32768, nullptr));
}

TEST(TamperDownload, StartBanksAndEndWithBothSums) {
    Bytes zeros(32768, 0);
    Download d(zeros, Answers(128, {"\x06"}));
    ASSERT_TRUE(d.ok) << d.log;
    EXPECT_EQ(d.comm.iErrorCode, 0);
    ASSERT_EQ(d.link.writes.size(), 130u);
    EXPECT_EQ(d.link.Written(0), (Bytes{0x1C, 0xFD, 0x00, 0x00, 0x80, 0x00}));
    for (size_t bank = 1; bank <= 128; ++bank) {
        EXPECT_EQ(d.link.Written(bank), Bytes(256, 0)) << bank;
    }
    // Sum of the bytes 0, sum of (byte XOR index) = 0 + 1 + ... + 32767 = 0xC000 modulo 65536.
    EXPECT_EQ(d.link.Written(129), (Bytes{0x1C, 0xFF, 0x00, 0x00, 0xC0, 0x00}));
    std::vector<unsigned> expected(129, 100);
    expected.push_back(5000);
    EXPECT_EQ(d.pauses, expected);
    EXPECT_EQ(d.link.closes, 1);
    EXPECT_EQ(Count(d.log, "Waiting Answer..."), 129u);
}

// A refused end request after the last bank fails the download (a refused
// bank is run end to end).
TEST(TamperDownload, RefusedEndRequestEndsWithError13) {
    Download d(Bytes(32768, 0), Answers(128, {"\x15"}));
    EXPECT_FALSE(d.ok);
    EXPECT_EQ(d.comm.iErrorCode, 13);
    EXPECT_EQ(Count(d.log, "[PrnCom_WriteBinaryUpgradeFileTaper]Read answer Error (5)"), 1u)
        << d.log;
    EXPECT_EQ(d.link.writes.size(), 130u);
    EXPECT_EQ(d.link.closes, 1);
    EXPECT_EQ(Count(d.log, "Upgrade Finish"), 0u);
}

TEST(TamperDownload, NothingIsSentWithoutHandshake) {
    OperationLink link;
    link.handshakeResult = false;
    PrinterComm comm(255, 1);
    CommPortSettings settings = NetworkSettings();
    Bytes image(32768, 0);
    std::string log = Captured([&] {
        EXPECT_FALSE(
            comm.PrnCom_WriteBinaryUpgradeFileTaper(&link, image.data(), 32768, &settings));
    });
    EXPECT_EQ(comm.iErrorCode, 6);
    EXPECT_TRUE(link.writes.empty());
    EXPECT_EQ(Count(log, "Handshake Communication Error \n"), 1u) << log;
}
