#!/usr/bin/env bash
# fuzz.sh [seconds-per-target]: builds the libFuzzer targets with clang and
# runs each for the given time (default 30 s); any finding fails.
# Seeds: fuzz/corpus/<target>/ when present, and what <target>_seeds writes.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
ls fuzz/*_fuzz.cpp >/dev/null 2>&1 || { echo "no fuzz targets"; exit 0; }
# Only the fuzz targets and their seed programs: the rest of the tree is built
# and tested elsewhere.
targets=()
for source in fuzz/*_fuzz.cpp fuzz/*_seeds.cpp; do
  [ -e "$source" ] && targets+=("$(basename "$source" .cpp)")
done
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DPRN_BUILD_FUZZ=ON -DPRN_BUILD_TESTS=OFF -DPRN_BUILD_SIM=OFF >/dev/null
cmake --build build-fuzz -j "$(nproc)" --target "${targets[@]}"
names=()
for source in fuzz/*_fuzz.cpp; do
  name=$(basename "$source" .cpp)
  corpus=build-fuzz/corpus/$name
  mkdir -p "$corpus"
  [ -d "fuzz/corpus/$name" ] && cp -r "fuzz/corpus/$name/." "$corpus/"
  [ -x "build-fuzz/fuzz/${name}_seeds" ] && "build-fuzz/fuzz/${name}_seeds" "$corpus"
  rm -f "build-fuzz/$name.failed"
  names+=("$name")
done
# One target per core at a time; each writes its log, and a mark when it fails.
printf '%s\n' "${names[@]}" | xargs -P "$(nproc)" -I{} sh -c \
  '"build-fuzz/fuzz/$1" -max_total_time="$2" -print_final_stats=1 "build-fuzz/corpus/$1" \
     2>"build-fuzz/$1.log" || touch "build-fuzz/$1.failed"' _ {} "$seconds"
failed=0
for name in "${names[@]}"; do
  echo "-- $name for ${seconds}s"
  if [ -e "build-fuzz/$name.failed" ]; then
    tail -50 "build-fuzz/$name.log"
    failed=1
  else
    grep -E 'stat::number_of_executed_units|stat::peak_rss_mb|cov:' "build-fuzz/$name.log" | tail -3
  fi
done
exit "$failed"
