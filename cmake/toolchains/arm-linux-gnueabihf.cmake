# 32-bit ARM hard-float Linux (Debian armhf). Use:
# cmake -DCMAKE_TOOLCHAIN_FILE=<this file>
# Needs g++-arm-linux-gnueabihf, qemu-user and libusb-1.0-0-dev:armhf
# (scripts/install-cross-deps.sh installs them).
set(CMAKE_SYSTEM_PROCESSOR arm)
set(PRN_TRIPLET arm-linux-gnueabihf)
set(PRN_QEMU qemu-arm)
set(PRN_DEB_ARCH armhf)
include(${CMAKE_CURRENT_LIST_DIR}/debian-multiarch.cmake)
# GCC notes that the passing of some structures changed in GCC 7.1; every part
# of the program is built with the same compiler, so the note says nothing.
set(CMAKE_CXX_FLAGS_INIT "-Wno-psabi")
