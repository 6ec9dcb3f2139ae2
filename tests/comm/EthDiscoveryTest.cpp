// Discovery answers and the device list text (the broadcast itself runs only
// inside network namespaces, see EthDevListTest).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "comm/EthDiscovery.h"

namespace {

std::string Parse(const std::string& datagram, bool* ok = nullptr) {
    char name[1024];
    bool found = EthDiscovery::ParseAnswer(reinterpret_cast<const unsigned char*>(datagram.data()),
                                           datagram.size(), name, sizeof(name));
    if (ok != nullptr) *ok = found;
    return found ? name : "<none>";
}

}  // namespace

TEST(EthDiscovery, NameSitsBetweenTheSeparatorAndTheFinalCharacter) {
    EXPECT_EQ(Parse("<VN><STSMOA><NAME>=Kitchen;"), "Kitchen");
    EXPECT_EQ(Parse("junk<VN><STSMOA><NAME>:Bar 2>"), "Bar 2");
    EXPECT_EQ(Parse("<VN><STSMOA><NAME>=A;\0ignored" + std::string("\0x", 2)), "A");
    EXPECT_EQ(Parse("<VN><STSMOA><NAME>=;"), "");
    EXPECT_EQ(Parse("<VN><STSMOA><NAME>="), "");
    EXPECT_EQ(Parse("<VN><STSMOA><NAME>=K\x1b[2Jx\x7f;"), "K?[2Jx?");
    EXPECT_EQ(Parse("<VN><STSMOQ><NAME>=query;"), "<none>");
    EXPECT_EQ(Parse(std::string("\0<VN><STSMOA><NAME>=hidden;", 27)), "<none>");
}

TEST(EthDiscovery, EachAddressOnceAndAtMost128) {
    std::vector<ETHDeviceStruct> devices;
    EXPECT_TRUE(EthDiscovery::AddDevice(devices, "10.0.0.2", "Kitchen"));
    EXPECT_FALSE(EthDiscovery::AddDevice(devices, "10.0.0.2", "Kitchen again"));
    for (int i = 0; i < 200; ++i) {
        EthDiscovery::AddDevice(devices, ("10.0.1." + std::to_string(i)).c_str(), "p");
    }
    EXPECT_EQ(devices.size(), 128u);
    EXPECT_EQ(devices[0].iPort, 9100);
    EXPECT_STREQ(devices[0].szName, "Kitchen");
}

TEST(EthDiscovery, ListLinesAreWholeAndNeverOverflow) {
    std::vector<ETHDeviceStruct> devices;
    EthDiscovery::AddDevice(devices, "10.0.0.2", "Kitchen");
    EthDiscovery::AddDevice(devices, "10.0.0.3", std::string(1000, 'n').c_str());
    char out[64] = "x\n";
    EthDiscovery::FormatList(devices, out, sizeof(out));
    EXPECT_STREQ(out, "x\n10.0.0.2:9100(Kitchen)\n");  // appended; the long line left out

    std::vector<char> large(4096, '\0');
    EthDiscovery::FormatList(devices, large.data(), large.size());
    EXPECT_EQ(std::string(large.data()).size(), 23u + 1016u);
}
