#!/bin/sh
# Exports every sample and real-world model file as .glb and as .gltf (with its side files) and
# runs the Khronos glTF Validator on every result: any validator error fails the test.
# Usage: validate-exports.sh PELORUS SOURCE_DIR WORK_DIR
# The validator is installed with npm into WORK_DIR/npm the first time (kept for later runs).
# Without node or npm the test is skipped (exit status 77).
set -u
pelorus=$1
source=$2
work=$3

if ! command -v node >/dev/null 2>&1 || ! command -v npm >/dev/null 2>&1; then
    echo "SKIP: node and npm are needed to run the glTF validator (tools/deps installs them)"
    exit 77
fi
validator="$work/npm/node_modules/gltf-validator/package.json"
if [ ! -f "$validator" ]; then
    mkdir -p "$work/npm"
    if ! npm install --prefix "$work/npm" --no-audit --no-fund --loglevel=error gltf-validator@2.0.0-dev.3.10; then
        echo "FAIL: npm could not install gltf-validator"
        exit 1
    fi
fi

out="$work/exports"
rm -rf "$out"
mkdir -p "$out"
list="$out/models.txt"
roots="$source/samples $source/tests/data/realworld"
[ -d "$source/../shared/realworld" ] && roots="$roots $source/../shared/realworld"
# shellcheck disable=SC2086
find $roots -type f \( -iname '*.rwx' -o -name '*.txt' \) | sort >"$list"
[ -s "$list" ] || { echo "FAIL: no model files found below $source"; exit 1; }

status=0
n=0
outputs=""
while IFS= read -r model; do
    n=$((n + 1))
    for form in glb gltf; do
        mkdir -p "$out/$n"
        target="$out/$n/$(basename "$model").$form"
        "$pelorus" --export "$target" "$model" >/dev/null 2>"$out/$n/stderr.txt"
        code=$?
        # 1 only says that the model had error lines; the export is written all the same.
        if [ "$code" -gt 1 ] || [ ! -f "$target" ]; then
            echo "FAIL: pelorus --export exited with $code for $model:"
            cat "$out/$n/stderr.txt"
            status=1
        fi
        outputs="$outputs $target"
    done
done <"$list"

# shellcheck disable=SC2086
VALIDATOR_DIR="$work/npm" node "$source/tests/export/validate-gltf.js" $outputs || status=1
exit $status
