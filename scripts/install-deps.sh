#!/usr/bin/env bash
# Installs what building and testing need on a Debian machine; does nothing
# when everything is already there.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config clang
  libusb-1.0-0-dev libgtest-dev libgmock-dev libbenchmark-dev nlohmann-json3-dev
  umockdev libumockdev-dev iproute2
  ansible-core ansible-lint python3-apt
  chromium
)

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
