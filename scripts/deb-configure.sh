#!/usr/bin/env bash
# deb-configure.sh ARCH: configures build-deb-ARCH, the tree from which the
# Debian package of ARCH (amd64, arm64 or armhf) is made, and prints its path.
# Debian's hardening flags (dpkg-buildflags) are used, as for any Debian
# package. The ARM trees are cross builds that also hold the unit tests run
# under qemu-user (scripts/cross-test.sh); the build machine's own tree holds
# the program only, its tests run in build/ (scripts/test.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
arch=$1
case $arch in
  arm64) toolchain=cmake/toolchains/aarch64-linux-gnu.cmake ;;
  armhf) toolchain=cmake/toolchains/arm-linux-gnueabihf.cmake ;;
  amd64) toolchain= ;;
  *) echo "unknown architecture: $arch (amd64, arm64 or armhf)" >&2; exit 2 ;;
esac
dir=build-deb-$arch

# No -g: the packages ship stripped programs and no debug symbols package,
# and the cross trees build faster without it.
flags() {
  DEB_HOST_ARCH=$arch DEB_BUILD_MAINT_OPTIONS=hardening=+all \
    DEB_CFLAGS_MAINT_STRIP=-g DEB_CXXFLAGS_MAINT_STRIP=-g dpkg-buildflags --get "$1"
}
# CMake starts its flags from these (and adds the toolchain's own).
# _FORTIFY_SOURCE marks read, write and friends as warn_unused_result, which
# gcc reports even through a (void) cast: kept visible, not fatal.
export CFLAGS="$(flags CFLAGS) $(flags CPPFLAGS) -Wno-error=unused-result"
export CXXFLAGS="$(flags CXXFLAGS) $(flags CPPFLAGS) -Wno-error=unused-result"
export LDFLAGS="$(flags LDFLAGS)"

options=(-G Ninja -DCMAKE_BUILD_TYPE=None
  -DCMAKE_INSTALL_PREFIX=/usr -DPRN_UDEV_RULES_DIR=/lib/udev/rules.d
  -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON)
if [ "$arch" = "$(dpkg --print-architecture)" ]; then
  options+=(-DPRN_BUILD_TESTS=OFF -DPRN_BUILD_SIM=OFF)
elif [ -n "$toolchain" ]; then
  # prnsim (the far end of some link tests) is built without its emulated
  # USB bus, as in every cross build: umockdev has no multiarch package, and
  # the tests of that bus are host-only.
  options+=("-DCMAKE_TOOLCHAIN_FILE=$PWD/$toolchain" -DPRN_BUILD_TESTS=ON -DPRN_CROSS_UNIT_ONLY=ON)
else
  echo "no cross toolchain for $arch on $(dpkg --print-architecture)" >&2
  exit 2
fi
mkdir -p "$dir"
cmake -S . -B "$dir" "${options[@]}" >"$dir/configure.log" 2>&1 ||
  { cat "$dir/configure.log" >&2; exit 1; }
echo "$dir"
