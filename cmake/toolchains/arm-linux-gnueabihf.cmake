# 32-bit ARM hard-float Linux (Debian armhf). Use:
# cmake -DCMAKE_TOOLCHAIN_FILE=<this file>
# Needs g++-arm-linux-gnueabihf, qemu-user and libusb-1.0-0-dev:armhf
# (scripts/install-cross-deps.sh installs them).
set(CMAKE_SYSTEM_PROCESSOR arm)
set(PRN_TRIPLET arm-linux-gnueabihf)
set(PRN_QEMU qemu-arm)
set(PRN_DEB_ARCH armhf)
include(${CMAKE_CURRENT_LIST_DIR}/debian-multiarch.cmake)
# 64-bit time and file offsets: dates past January 2038 (log lines, the
# printer's clock) and files past 2 GiB on 32-bit boards. The C library
# switches its interfaces with these; of libusb the program uses only calls
# that take no time or offset type (transfer time-outs are milliseconds in
# an unsigned int, and no event-handling call with a struct timeval is
# made), so the distribution's 32-bit-time libusb serves it unchanged.
set(PRN_LARGE_TIME "-D_FILE_OFFSET_BITS=64 -D_TIME_BITS=64")
set(CMAKE_C_FLAGS_INIT "${PRN_LARGE_TIME}")
# GCC notes that the passing of some structures changed in GCC 7.1; every part
# of the program is built with the same compiler, so the note says nothing.
set(CMAKE_CXX_FLAGS_INIT "-Wno-psabi ${PRN_LARGE_TIME}")
