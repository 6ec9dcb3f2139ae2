#!/usr/bin/env bash
# prninfo-figures.sh BUILD_DIR [RUNS]: makes a second-generation package with a
# 32 MiB firmware image (prnmkfile of BUILD_DIR) and runs BUILD_DIR's prninfo
# on it RUNS times (default 10) under /usr/bin/time, text and JSON form.
# Prints, per form, the fastest run's wall time (nanosecond clock around the
# process) and CPU time (/usr/bin/time, 10 ms steps), the throughput (file
# size over time) and the peak resident memory against the file size.
set -euo pipefail
build=$1
runs=${2:-10}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mk=$build/sim/mkfile/prnmkfile
info=$build/info/prninfo
"$mk" module -o "$work/fonts.mod" --type F --font-entry FONTA:1
"$mk" package -o "$work/big.psw" --gen 2 --firmware-size 33554432 --banks 128 \
  --module "f:$work/fonts.mod" --logo 384x100
size=$(stat -c %s "$work/big.psw")
cat "$work/big.psw" >/dev/null  # in the page cache, as a file just copied would be
echo "package: $size bytes"
for form in text json; do
  args=("$work/big.psw")
  [ $form = text ] || args+=(--json)
  best=$(for ((i = 0; i < runs; i++)); do
    start=$(date +%s%N)
    times=$(/usr/bin/time -f "%U %S %M" "$info" "${args[@]}" 2>&1 >/dev/null)
    echo "$(( ($(date +%s%N) - start) / 1000 )) $times"
  done | sort -n | head -1)
  read -r wall_us user sys rss_kb <<<"$best"
  awk -v f=$form -v s="$size" -v w="$(awk -v u="$wall_us" 'BEGIN { print u / 1e6 }')" -v u="$user" -v y="$sys" -v r="$rss_kb" 'BEGIN {
    cpu = u + y; if (cpu < 0.01) cpu = 0.01
    printf "%-4s wall %.3f s (%.2f GB/s), cpu %.2f s (%.2f GB/s), peak %.1f MiB = %.2f x file\n",
      f, w, s / w / 1e9, cpu, s / cpu / 1e9, r / 1024, r * 1024 / s }'
done
