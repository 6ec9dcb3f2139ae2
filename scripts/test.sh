#!/usr/bin/env bash
# Every test: the normal build, the sanitizer build (AddressSanitizer and
# UndefinedBehaviorSanitizer, any report fails), and the fuzz targets for a
# bounded time.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh --tests

export TMPDIR=${TMPDIR:-/tmp}
# Each step is announced with the seconds spent so far: the run must stay short.
step() { echo "== $* (at ${SECONDS} s)"; }
# The end-to-end tests spend nearly all their time waiting for the printer
# (a test of 60 s uses about 2 s of CPU): three at a time per core.
jobs=$(($(nproc) * 3))

step "normal build"
scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPRN_BUILD_TESTS=ON

step "normal tests, and beside them the fault campaign: a fixed seed over every link and mode, and the regressions"
# The campaign's trials wait for their printers as the tests do: the two run
# side by side, and its lines follow the tests' output.
scripts/campaign.sh --seed 20261207 --trials 40 --jobs 4 \
  --regressions tests/campaign/regressions.txt >build/campaign.log 2>&1 &
campaign=$!
tests_rc=0
ctest --test-dir build --output-on-failure -j "$jobs" || tests_rc=$?
campaign_rc=0
wait "$campaign" || campaign_rc=$?
cat build/campaign.log
[ "$tests_rc" -eq 0 ] && [ "$campaign_rc" -eq 0 ]

step "sanitizer build"
scripts/build.sh build-asan -DCMAKE_BUILD_TYPE=Debug -DPRN_SANITIZE=ON
ASAN_OPTIONS=verify_asan_link_order=0:detect_leaks=1:abort_on_error=1 \
UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan --output-on-failure -j "$jobs"
step "fault campaign under the sanitizers: quick trials of every link"
scripts/campaign.sh --sanitizer --seed 20261207 --jobs 2 \
  --trial 0 --trial 2 --trial 3 --trial 8 --trial 9 --trial 14 --trial 16

step "fuzzing"
scripts/fuzz.sh "${FUZZ_SECONDS:-10}"

step "ARM builds under emulation, Debian packages"
scripts/cross-test.sh

step "fleet rollout installing the amd64 package (as root; removed again)"
if [ "$(id -u)" -eq 0 ]; then
  python3 tests/fleet/fleet_test.py --packages build-deb --collection deploy/ansible \
    --prnupgrade build/app/prnupgrade --prninfo build/info/prninfo \
    --prnsim build/sim/prnsim --prnmkfile build/sim/mkfile/prnmkfile
else
  echo "skipped: the board installs the package with apt, which needs root"
fi
step "done"
