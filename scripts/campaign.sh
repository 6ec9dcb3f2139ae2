#!/usr/bin/env bash
# The seeded fault campaign: prnupgrade against prnsim on every link, each
# trial with at most one fault, checked for what every run must hold
# (docs/reliability.md).
#
#   scripts/campaign.sh [N]                  N trials (default 30) of a new seed
#   scripts/campaign.sh --seconds S          trials started for S seconds
#   scripts/campaign.sh --seed X --trial K   one trial again, with its output
#   scripts/campaign.sh --verify ...         prnupgrade runs with --verify
#   scripts/campaign.sh --sanitizer ...      the sanitizer build (build-asan)
#   scripts/campaign.sh --build DIR ...      another build folder
# Other words go to scripts/campaign.py (--jobs, --keep DIR,
# --regressions FILE, --show). Exit status 1 on any violation.
set -euo pipefail
cd "$(dirname "$0")/.."
build=build
args=()
while [ $# -gt 0 ]; do
  case "$1" in
    --sanitizer) build=build-asan ;;
    --build) build=$2; shift ;;
    --trial) args+=(--trial "$2" --show); shift ;;
    --seed|--trials|--seconds|--jobs|--keep|--regressions) args+=("$1" "$2"); shift ;;
    [0-9]*) args+=(--trials "$1") ;;
    *) args+=("$1") ;;
  esac
  shift
done
if [ "$build" = build-asan ] || grep -q 'PRN_SANITIZE:BOOL=ON' "$build/CMakeCache.txt" 2>/dev/null; then
  # Any sanitizer report ends the program with an error the campaign sees.
  export ASAN_OPTIONS=verify_asan_link_order=0:detect_leaks=1:abort_on_error=1
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
fi
exec python3 scripts/campaign.py --build "$build" "${args[@]}"
