#!/usr/bin/env bash
# Builds everything with warnings as errors and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
ensure_packages "${BUILD_PACKAGES[@]}" "${TEST_PACKAGES[@]}"
cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOSTREVANE_TESTS=ON \
    -DOSTREVANE_WERROR=ON >/dev/null
cmake --build build-test
ctest --test-dir build-test --output-on-failure --timeout 600 -j2
