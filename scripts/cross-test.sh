#!/usr/bin/env bash
# cross-test.sh: the ARM side of the suite.
# 1. Cross-builds prnupgrade and the unit test programs for arm64 and armhf
#    (Debian's cross compilers, cmake/toolchains/) and runs the unit tests
#    under qemu-user (programs that the tests start run under it too). The
#    host-only folders (tests/usb: umockdev exists for the build machine
#    only; tests/sim, tests/e2e, tests/app?*: end-to-end runs) are not built here and run
#    in the x86-64 builds only (see tests/CMakeLists.txt).
# 2. Builds the Debian packages of amd64, arm64 and armhf and checks them
#    (scripts/package.sh --check).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-cross-deps.sh

for arch in arm64 armhf; do
  echo "== $arch: cross build of prnupgrade and the unit tests"
  dir=$(scripts/deb-configure.sh "$arch")
  cmake --build "$dir" -j 2 --target prnupgrade unit_tests
  echo "== $arch: unit tests under qemu-user"
  ctest --test-dir "$dir" -L unit --no-tests=error --output-on-failure -j 2 --timeout 300
done

scripts/package.sh --check amd64 arm64 armhf
