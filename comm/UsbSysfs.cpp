#include "comm/UsbSysfs.h"

#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

namespace {

constexpr size_t VID_LENGTH = 4;

// Reads the device's idVendor ("045b\n"); false for an entry without one
// (an interface, a hub port).
bool ReadVendor(const char* devicesDir, const char* entry, char (&vid)[VID_LENGTH + 1]) {
    char path[512];
    int n = snprintf(path, sizeof(path), "%s/%s/idVendor", devicesDir, entry);
    if (n < 0 || static_cast<size_t>(n) >= sizeof(path)) return false;
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    ssize_t got = read(fd, vid, VID_LENGTH);
    close(fd);
    if (got != static_cast<ssize_t>(VID_LENGTH)) return false;
    vid[VID_LENGTH] = '\0';
    return true;
}

}  // namespace

bool UsbSysfs::ListsVendor(const char* vid, const char* devicesDir) {
    if (vid == nullptr || strlen(vid) != VID_LENGTH) return false;
    DIR* dir = opendir(devicesDir);
    if (dir == nullptr) return false;
    bool found = false;
    while (!found) {
        const dirent* entry = readdir(dir);
        if (entry == nullptr) break;
        if (entry->d_name[0] == '.') continue;
        char listed[VID_LENGTH + 1];
        found = ReadVendor(devicesDir, entry->d_name, listed) && strcasecmp(listed, vid) == 0;
    }
    closedir(dir);
    return found;
}
