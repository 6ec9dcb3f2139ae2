#!/usr/bin/env bash
# build.sh <build-dir> [cmake options...]: configures and builds one tree.
set -euo pipefail
dir=$1
shift
cmake -S "$(dirname "$0")/.." -B "$dir" -G Ninja "$@" >/dev/null
cmake --build "$dir" -j "$(nproc)"
