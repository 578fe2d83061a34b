#!/usr/bin/env bash
# Writes the seed inputs of the fuzz targets into fuzz/corpus/<target>/,
# replacing seeds of the same name and keeping every other file (regression
# inputs stay). Uses BUILD_DIR (default build-seeds), configured here if new.
#
# Usage: fuzz/make_seeds.sh [BUILD_DIR]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
source_dir="$(dirname "$here")"
build_dir="${1:-$source_dir/build-seeds}"
if [[ ! -f "$build_dir/CMakeCache.txt" ]]; then
    cmake -S "$source_dir" -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DOSTREVANE_FUZZ=ON >/dev/null
fi
cmake --build "$build_dir" --target fuzz_make_seeds -j1
"$build_dir/fuzz/fuzz_make_seeds" "$here/corpus"
echo "seeds written to $here/corpus"
