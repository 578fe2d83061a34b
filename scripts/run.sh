#!/usr/bin/env bash
# Builds Ostrevane and shows the bundled example archive.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
ensure_packages "${BUILD_PACKAGES[@]}"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOSTREVANE_TESTS=OFF >/dev/null
cmake --build build --target ostr example_archive
echo
echo "Example archive: build/examples/example.dat"
build/cli/ostr list build/examples/example.dat
