#include "files/FileRefusal.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

const char* const FileRefusal::UNKNOWN_KIND =
    "unknown file kind: the name must end in .psw, .pfw, .mod, .zpd, .bin or .spt (lower case, "
    "capitalised or upper case)";

std::string FileRefusal::Unreadable(const char* path, long long* size) {
    struct stat status {};
    if (stat(path, &status) != 0) return std::string("cannot read the file: ") + strerror(errno);
    if (!S_ISREG(status.st_mode)) return "cannot read the file: not a regular file";
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::string("cannot read the file: ") + strerror(errno);
    close(fd);
    if (size != nullptr) *size = static_cast<long long>(status.st_size);
    return "";
}
