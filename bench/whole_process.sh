#!/bin/sh
# Whole-process cost of loading a firmware package: the real prnupgrade binary
# loads and checks a package, prints its description and then fails to open a
# serial device that does not exist, so nothing but the load is measured.
# Prints the peak resident memory against the file size and the throughput
# (file size over wall time) of the best of several runs.
#
#   bench/whole_process.sh BUILD_DIR [RUNS]
#
# BUILD_DIR holds app/prnupgrade and sim/mkfile/prnmkfile.
set -eu

build=${1:?usage: whole_process.sh BUILD_DIR [RUNS]}
runs=${2:-5}
prnupgrade=$build/app/prnupgrade
prnmkfile=$build/sim/mkfile/prnmkfile
[ -x "$prnupgrade" ] && [ -x "$prnmkfile" ] || {
    echo "no prnupgrade or prnmkfile under $build" >&2
    exit 1
}
[ -x /usr/bin/time ] || {
    echo "needs /usr/bin/time (GNU time)" >&2
    exit 1
}

dir=$(mktemp -d /tmp/prnwholeXXXXXX)
trap 'rm -rf "$dir"' EXIT

measure() {
    label=$1
    package=$2
    expect=${3:-loads}
    size=$(stat -c %s "$package")
    best_wall=
    best_rss=
    best_cpu=
    i=0
    while [ "$i" -lt "$runs" ]; do
        # The open fails (the serial device does not exist): only the load
        # and the description count. GNU time gives the peak and the exit
        # status; its times have 10 ms steps, so the wall and CPU times of
        # the run are taken around it from the children's resource usage.
        times=$(python3 -c '
import os, resource, subprocess, sys, time
def cpu():
    ru = resource.getrusage(resource.RUSAGE_CHILDREN)
    return ru.ru_utime + ru.ru_stime
c0 = cpu()
t0 = time.perf_counter()
subprocess.run(sys.argv[1:], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
wall = time.perf_counter() - t0
print("%.4f %.4f" % (wall, cpu() - c0))' \
            /usr/bin/time -v -o "$dir/time" "$prnupgrade" -f "$package" -t ser \
            -d "$dir/no-such-device:115200:NONE")
        status=$(awk -F': ' '/Exit status/ {print $2}' "$dir/time")
        if [ "$expect" = loads ] && { [ "$status" = 0 ] || [ "$status" = 11 ] || [ "$status" = 13 ]; }; then
            echo "$label: prnupgrade ended with $status, not at the link" >&2
            exit 1
        fi
        wall=${times% *}
        cpu=${times#* }
        if [ -z "$best_cpu" ] || awk "BEGIN {exit !($cpu < $best_cpu)}"; then best_cpu=$cpu; fi
        rss=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$dir/time")
        if [ -z "$best_wall" ] || awk "BEGIN {exit !($wall < $best_wall)}"; then best_wall=$wall; fi
        if [ -z "$best_rss" ] || [ "$rss" -lt "$best_rss" ]; then best_rss=$rss; fi
        i=$((i + 1))
    done
    awk -v l="$label" -v s="$size" -v w="$best_wall" -v c="$best_cpu" -v r="$best_rss" 'BEGIN {
        if (s < 1048576) {
            printf "%s: peak resident %.1f MiB, wall %.3f s, CPU %.3f s\n", l, r / 1024, w, c
            exit
        }
        printf "%s: file %.1f MiB, peak resident %.1f MiB (%.2f x the file), " \
            "wall %.3f s (%.2f GB/s), CPU %.3f s (%.2f GB/s)\n",
            l, s / 1048576, r / 1024, r * 1024 / s, w, s / w / 1e9, c, (c > 0 ? s / c / 1e9 : 0) }'
}

# Second generation: a 32 MiB firmware image carried as a module, odd key,
# integrity pair set. First generation: the largest data area its 3-byte
# length allows.
"$prnmkfile" package -o "$dir/gen2.psw" --gen 2 --key 0x5B --banks 32 \
    --firmware-size 33554432 >/dev/null
"$prnmkfile" package -o "$dir/gen1.psw" --gen 1 --key 0x5B --banks 32 \
    --firmware-size 16777215 >/dev/null
# A package that fails at once: the cost of starting the process.
printf 'x' >"$dir/empty.psw"

measure "process start (1-byte package)" "$dir/empty.psw" fails
measure "first generation" "$dir/gen1.psw"
measure "second generation" "$dir/gen2.psw"
