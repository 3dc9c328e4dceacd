#!/bin/sh
# Generates the benchmark scripts (once) and measures loading them.
# Usage: bench/run-load.sh [BUILD_DIR]   (an optimised build without sanitizers)
set -eu
BUILD=${1:-build-release}
here=$(cd "$(dirname "$0")/.." && pwd)
if [ ! -f "$BUILD/CMakeCache.txt" ]; then
    cmake -S "$here" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DPELORUS_BUILD_TESTS=OFF >/dev/null
fi
ninja -C "$BUILD" genrwx loadbench >/dev/null
DATA="$BUILD/bench-data"
mkdir -p "$DATA"
[ -f "$DATA/tri200k.rwx" ] || "$BUILD/bench/genrwx" 200000 "$DATA/tri200k.rwx"
[ -f "$DATA/tri1m.rwx" ] || "$BUILD/bench/genrwx" 1000000 "$DATA/tri1m.rwx"
[ -f "$DATA/tri10m.rwx" ] || "$BUILD/bench/genrwx" 10000000 "$DATA/tri10m.rwx"
[ -f "$DATA/mixed200k.rwx" ] || "$BUILD/bench/genrwx" 200000 "$DATA/mixed200k.rwx" --mixed
[ -f "$DATA/mixed1m.rwx" ] || "$BUILD/bench/genrwx" 1000000 "$DATA/mixed1m.rwx" --mixed
"$BUILD/bench/loadbench" "$DATA/tri200k.rwx" "$DATA/tri1m.rwx" "$DATA/tri10m.rwx" "$DATA/mixed200k.rwx" "$DATA/mixed1m.rwx"
if [ -x /usr/bin/time ]; then
    /usr/bin/time -v "$BUILD/bench/loadbench" --once "$DATA/tri200k.rwx" 2>&1 | grep -E "triangles|Maximum resident"
fi
