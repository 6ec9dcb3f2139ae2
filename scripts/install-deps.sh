#!/usr/bin/env bash
# install-deps.sh [--tests]: installs on a Debian machine what building the
# programs and running the demo need (compilers, CMake, libusb, umockdev);
# with --tests also what the tests add (GoogleTest, Google Benchmark, clang
# for the fuzz targets, iproute2, Ansible for the fleet tests). Does nothing
# when everything is already there.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  libusb-1.0-0-dev nlohmann-json3-dev umockdev libumockdev-dev
)
if [ "${1:-}" = "--tests" ]; then
  packages+=(
    clang libgtest-dev libgmock-dev libbenchmark-dev iproute2
    ansible-core ansible-lint python3-apt chromium
  )
elif [ $# -gt 0 ]; then
  echo "usage: $0 [--tests]" >&2
  exit 2
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi
echo "installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
