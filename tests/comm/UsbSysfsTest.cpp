#include <gtest/gtest.h>
#include <sys/stat.h>

#include "comm/UsbSysfs.h"
#include "tests/support/TempDir.h"

namespace {

// A device tree as sysfs lays it out: devices with their idVendor, and
// interface entries without one.
TEST(UsbSysfs, ListsAVendorOnlyWhenADeviceHasIt) {
    testsupport::TempDir tree;
    for (const char* entry : {"usb1", "1-1", "1-1:1.0"}) {
        ASSERT_EQ(mkdir(tree.file(entry).c_str(), 0755), 0);
    }
    tree.write("usb1/idVendor", "1d6b\n");
    tree.write("1-1/idVendor", "045b\n");
    EXPECT_TRUE(UsbSysfs::ListsVendor("045B", tree.path().c_str()));
    EXPECT_TRUE(UsbSysfs::ListsVendor("045b", tree.path().c_str()));
    EXPECT_FALSE(UsbSysfs::ListsVendor("0AE7", tree.path().c_str()));
    EXPECT_FALSE(UsbSysfs::ListsVendor("045", tree.path().c_str()));
    EXPECT_FALSE(UsbSysfs::ListsVendor("045B", tree.file("none").c_str()));
}

}  // namespace
