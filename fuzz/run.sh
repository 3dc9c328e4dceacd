#!/bin/sh
# Builds the fuzzers with clang and runs each for SECONDS (default 600), two at a time.
# Usage: fuzz/run.sh [SECONDS] [TARGET...]
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
SECONDS_EACH=${1:-600}
[ "$#" -gt 0 ] && shift
TARGETS=${*:-"script objectmap objectdump bmpmask texture"}
PELORUS_WITH_FUZZ=1 "$here/tools/deps"
BUILD="$here/build-fuzz"
CC=clang CXX=clang++ cmake -S "$here" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DPELORUS_FUZZ=ON -DPELORUS_SANITIZE=ON -DPELORUS_BUILD_TESTS=OFF -DPELORUS_BUILD_BENCH=OFF >/dev/null
for t in $TARGETS; do ninja -C "$BUILD" "fuzz_$t" >/dev/null; done
mkdir -p "$here/fuzz-out"
run() {
    t=$1
    work="$here/fuzz-out/$t"
    mkdir -p "$work/corpus" "$work/crashes"
    cp -n "$here/fuzz/corpus/$t/"* "$work/corpus/" 2>/dev/null || true
    "$BUILD/fuzz/fuzz_$t" "$work/corpus" -max_total_time="$SECONDS_EACH" -timeout=10 -rss_limit_mb=2048 \
        -artifact_prefix="$work/crashes/" -print_final_stats=1 >"$work/log.txt" 2>&1
    echo "$t: exit $? ($(grep -c . "$work/log.txt") log lines, $(ls "$work/crashes" | wc -l) artifacts)"
}
set -- $TARGETS
while [ "$#" -gt 0 ]; do
    run "$1" &
    if [ "$#" -gt 1 ]; then run "$2" & shift; fi
    shift
    wait
done
