#!/bin/sh
# Generates the benchmark world (once) and measures reading and drawing it, and the whole
# `pelorus --check` process on it and on small and large scripts against `cat`.
# Usage: bench/run-world.sh [BUILD_DIR [WORLDBENCH OPTIONS]]   (an optimised build without sanitizers)
set -eu
[ -x /usr/bin/time ] || { echo "run-world.sh needs /usr/bin/time (Debian package time)" >&2; exit 2; }
BUILD=${1:-build-release}
[ $# -gt 0 ] && shift
here=$(cd "$(dirname "$0")/.." && pwd)
if [ ! -f "$BUILD/CMakeCache.txt" ]; then
    cmake -S "$here" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DPELORUS_BUILD_TESTS=OFF >/dev/null
fi
ninja -C "$BUILD" genworld worldbench genrwx pelorus pelorus-gui >/dev/null
DATA="$BUILD/bench-data"
mkdir -p "$DATA"
[ -f "$DATA/world/world.txt" ] || "$BUILD/bench/genworld" world "$DATA/world"
[ -f "$DATA/clumps1m.rwx" ] || "$BUILD/bench/genworld" clumps 1000000 "$DATA/clumps1m.rwx"
[ -f "$DATA/tri200k.rwx" ] || "$BUILD/bench/genrwx" 200000 "$DATA/tri200k.rwx"
[ -f "$DATA/tri1m.rwx" ] || "$BUILD/bench/genrwx" 1000000 "$DATA/tri1m.rwx"
export EGL_PLATFORM=surfaceless
"$BUILD/bench/worldbench" "$DATA/world/world.txt" "$@"

# Whole processes: the median of five runs of `pelorus --check` against `cat` of the same file.
median() { sort -n | sed -n 3p; }
run_ms() {
    for i in 1 2 3 4 5; do
        s=$(date +%s%N); "$@" >/dev/null 2>&1 || true; e=$(date +%s%N)
        echo $(( (e - s) / 1000 ))
    done | median
}
for f in "$here/samples/table.rwx" "$DATA/tri200k.rwx" "$DATA/tri1m.rwx" "$DATA/clumps1m.rwx" "$DATA/world/world.txt"; do
    check=$(run_ms "$BUILD/src/pelorus" --check "$f")
    cat=$(run_ms cat "$f")
    /usr/bin/time -o "$DATA/time.txt" -f %M "$BUILD/src/pelorus" --check "$f" >/dev/null 2>&1 || true
    mem=$(tail -1 "$DATA/time.txt")
    echo "$(basename "$f"): --check ${check} us, cat ${cat} us, peak ${mem} KB"
done

# One screenshot of the whole world, as a user would take it: the whole process, its peak memory.
shot="$DATA/world-shot.png"
s=$(date +%s%N)
/usr/bin/time -o "$DATA/time.txt" -f %M "$BUILD/src/pelorus" --screenshot "$shot" --size 400x300 --fit \
    "$DATA/world/world.txt" >/dev/null 2>&1 || echo "the screenshot failed"
mem=$(tail -1 "$DATA/time.txt")
e=$(date +%s%N)
echo "world.txt: --screenshot --size 400x300 --fit $(( (e - s) / 1000000 )) ms, peak ${mem} KB"
