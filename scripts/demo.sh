#!/usr/bin/env bash
# The main job: sets the machine up, builds prnupgrade and runs it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo
# The printer operations are being added; for now the program shows its usage.
./build/app/prnupgrade
