# Shared part of the cross toolchains: Debian's cross compilers for
# PRN_TRIPLET, with the target's libraries (libusb-1.0, GoogleTest) taken from
# Debian's multiarch packages under /usr/lib/${PRN_TRIPLET}, and qemu-user to
# run target programs (tests) on the build machine.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_C_COMPILER ${PRN_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${PRN_TRIPLET}-g++)
set(CMAKE_LIBRARY_ARCHITECTURE ${PRN_TRIPLET})

# The compiler finds its own C library under /usr/${PRN_TRIPLET}; CMake looks
# for libraries and package files in /usr/lib/${PRN_TRIPLET} only, through
# CMAKE_LIBRARY_ARCHITECTURE, so the build machine's never get in.

# pkg-config must see the target's .pc files only, never the build machine's.
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/${PRN_TRIPLET}/pkgconfig:/usr/share/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")

# Test programs (and ctest's test discovery) run under user-mode emulation
# with the target's own run-time from the multiarch packages (libc6,
# libstdc++6, libusb-1.0-0 of the target architecture), as on a board. No -L:
# the cross compiler's copy of the C library is another Debian revision than
# the one libusb and libudev were built with, and mixing the two hangs or
# crashes libusb_init under emulation.
set(CMAKE_CROSSCOMPILING_EMULATOR ${PRN_QEMU})

