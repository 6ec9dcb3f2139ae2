#!/usr/bin/env bash
# Mutation check: do the tests catch realistic faults?
#
#   scripts/mutate.sh [PATTERN]
#
# Plants each fault of scripts/mutants.txt (or $MUTANTS) one at a time in a
# scratch copy of the working tree, rebuilds it incrementally and runs the
# test programs of the fault's layer, then the end-to-end ones, stopping at the
# first failing test (each program cut in $MUTATE_SHARDS parts, default 4,
# run side by side). Prints "killed", "survived", "not applicable" (the search
# text is gone) or "does not build" per fault, then the score: killed out of
# killed + survived. With PATTERN only the faults whose line holds it run.
#
# A tool to run by hand when judging a test change (it is CPU heavy: run it
# before and after, the score must not drop). The scratch copy and its build
# stay in $MUTATE_DIR (default build-mutate/ of the tree, ignored by git) so
# that the next run only rebuilds what changed; laid out as the tree and its
# build/, the first build takes its objects from the compiler cache.
set -euo pipefail

top=$(cd "$(dirname "$0")/.." && pwd)
list=${MUTANTS:-$top/scripts/mutants.txt}
scratch=${MUTATE_DIR:-$top/build-mutate}
pattern=${1:-}
limit=${MUTANT_TIMEOUT:-600}  # seconds for one test program: a hang counts as caught

# The end-to-end test programs, run after the layer's own unit tests.
E2E=(e2e app appops usb)

# Unit test programs by the folder of the faulty file.
unit_tests() {
    case "$1" in
        comm/ComPortUsb*) echo usb comm ;;
        comm/*) echo comm ;;
        protocol/*) echo protocol ;;
        files/*) echo files ;;
        upgrade/*) echo upgrade ;;
        operations/*) echo operations ;;
        common/* | app/*) echo common ;;
    esac
}

echo "Copying the working tree to $scratch"
src=$scratch/src
mkdir -p "$src"
# Only files that differ are copied, so that the build stays incremental;
# files the tree no longer has go.
(cd "$top" && git ls-files -co --exclude-standard -z) | python3 -c '
import filecmp, os, shutil, sys
top, src = sys.argv[1:3]
names = {n for n in sys.stdin.read().split("\0") if n and os.path.isfile(os.path.join(top, n))}
for name in names:
    there, here = os.path.join(top, name), os.path.join(src, name)
    if not os.path.exists(here) or not filecmp.cmp(there, here, shallow=False):
        os.makedirs(os.path.dirname(here), exist_ok=True)
        # A fresh time stamp: the build must see the file as changed even when
        # the copy in the tree is older than the objects (a fault left planted).
        shutil.copyfile(there, here)
        shutil.copymode(there, here)
for folder, dirs, files in os.walk(src):
    if folder == src:
        dirs.remove("build") if "build" in dirs else None
    for f in files:
        path = os.path.join(folder, f)
        if os.path.relpath(path, src) not in names:
            os.remove(path)
' "$top" "$src"
build=$src/build
# The test programs are built with a precompiled header: ccache caches their
# objects only when told to accept it.
export CCACHE_SLOPPINESS=pch_defines,time_macros,include_file_mtime,include_file_ctime
# lld links the many test programs again much sooner than the default linker.
linker=()
command -v ld.lld >/dev/null && linker=(-DCMAKE_EXE_LINKER_FLAGS=-fuse-ld=lld)
nice cmake -S "$src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache "${linker[@]}" >/dev/null
nice cmake --build "$build" -j2 >"$scratch/build.log" 2>&1 || {
    echo "The unchanged tree does not build: see $scratch/build.log"
    exit 1
}

# One test program, cut in $shards parts run side by side: the end-to-end
# tests mostly wait for the printer, so the parts share the cores well.
shards=${MUTATE_SHARDS:-4}
one_test() {
    local part pids=() status=0
    for ((part = 0; part < shards; part++)); do
        (cd "$build/tests" && GTEST_TOTAL_SHARDS=$shards GTEST_SHARD_INDEX=$part \
            timeout "$limit" nice "./test_$1" --gtest_fail_fast >"$scratch/test-$part.log" 2>&1) &
        pids+=($!)
    done
    for part in "${pids[@]}"; do wait "$part" || status=1; done
    return $status
}

# Builds and runs the test programs named, one after the other; 0 when all
# pass, 1 at the first failure (in $failed), 2 when one does not build.
run_tests() {
    local name
    for name in "$@"; do
        [ -d "$src/tests/$name" ] || continue
        nice cmake --build "$build" -j2 --target prnupgrade prnsim "test_$name" \
            >"$scratch/build.log" 2>&1 || return 2
        # A program that fails is run once more: a run that only failed for
        # the load of the machine does not count as caught.
        if ! one_test "$name" && ! one_test "$name"; then
            failed=$name
            return 1
        fi
    done
    return 0
}

# The faults of one line: file, search, replace, what.
plant() {
    python3 - "$src/$1" "$2" "$3" <<'EOF'
import sys
path, search, replace = sys.argv[1:4]
text = open(path, encoding="utf-8").read()
if search not in text:
    sys.exit(3)
open(path, "w", encoding="utf-8").write(text.replace(search, replace, 1))
EOF
}

failed=""
echo "Checking that the tests pass without a fault"
if ! run_tests upgrade comm protocol files operations common usb "${E2E[@]}"; then
    echo "test_$failed fails on the unchanged tree: see $scratch/test-*.log"
    exit 1
fi

killed=0
survived=0
skipped=0
while IFS= read -r line; do
    case "$line" in '' | '#'*) continue ;; esac
    [ -z "$pattern" ] || [[ "$line" == *"$pattern"* ]] || continue
    file=${line%% @@ *}
    rest=${line#* @@ }
    search=${rest%% @@ *}
    rest=${rest#* @@ }
    replace=${rest%% @@ *}
    what=${rest#* @@ }
    cp "$src/$file" "$scratch/original"
    trap 'cp "$scratch/original" "$src/$file"; exit 1' INT TERM
    status=0
    plant "$file" "$search" "$replace" || status=$?
    if [ "$status" -eq 0 ]; then
        failed=""
        run_tests $(unit_tests "$file") "${E2E[@]}" || status=$?
    fi
    case $status in
        0) verdict="SURVIVED" survived=$((survived + 1)) ;;
        1) verdict="killed by test_$failed" killed=$((killed + 1)) ;;
        2) verdict="does not build" skipped=$((skipped + 1)) ;;
        *) verdict="not applicable" skipped=$((skipped + 1)) ;;
    esac
    cp "$scratch/original" "$src/$file"
    trap - INT TERM
    printf '%-24s %s: %s\n' "$verdict" "$file" "$what"
done <"$list"

# Leave the scratch build as the tree is, for the next run.
nice cmake --build "$build" -j2 >"$scratch/build.log" 2>&1 || true
total=$((killed + survived))
if [ "$total" -gt 0 ]; then
    echo "Score: $killed of $total faults caught ($((100 * killed / total)) %), $survived survived," \
        "$skipped not counted"
fi
