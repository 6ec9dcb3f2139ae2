#!/usr/bin/env bash
# Installs what the ARM builds, the emulated test runs and the Debian package
# checks need on a Debian amd64 machine: the cross compilers, qemu-user, the
# target's libusb, GoogleTest and C++ run-time from Debian's multiarch
# packages (arm64 and armhf are added to dpkg's architectures), lintian,
# man-db and bash-completion. Does nothing when everything is there.
set -euo pipefail

targets=(arm64 armhf)
packages=(
  g++-aarch64-linux-gnu g++-arm-linux-gnueabihf qemu-user
  dpkg-dev lintian man-db bash-completion nlohmann-json3-dev
)
for arch in "${targets[@]}"; do
  packages+=("libusb-1.0-0-dev:$arch" "libgtest-dev:$arch" "libgmock-dev:$arch"
    "libstdc++6:$arch")
done

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"

added=0
for arch in "${targets[@]}"; do
  if ! dpkg --print-foreign-architectures | grep -qx "$arch"; then
    $sudo dpkg --add-architecture "$arch"
    added=1
  fi
done

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ] && [ $added -eq 0 ]; then
  exit 0
fi
echo "installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
