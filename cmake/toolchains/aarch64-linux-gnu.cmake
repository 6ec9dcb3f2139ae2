# 64-bit ARM Linux (Debian arm64). Use: cmake -DCMAKE_TOOLCHAIN_FILE=<this file>
# Needs g++-aarch64-linux-gnu, qemu-user and libusb-1.0-0-dev:arm64
# (scripts/install-cross-deps.sh installs them).
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(PRN_TRIPLET aarch64-linux-gnu)
set(PRN_QEMU qemu-aarch64)
set(PRN_DEB_ARCH arm64)
include(${CMAKE_CURRENT_LIST_DIR}/debian-multiarch.cmake)
