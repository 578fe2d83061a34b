#!/usr/bin/env bash
# Builds everything with warnings as errors and runs every test, with a smoke
# run of each benchmark at a tiny size; then every suite again, the editor's
# included, under AddressSanitizer and UBSan with leak detection; then the
# core suite and ostr's bulk verbs under ThreadSanitizer; then the fuzz
# targets: their seed corpus replayed and FUZZ_SECONDS (60) of fuzzing each.
# The large-archive tests are left out here: ctest --test-dir build-test -L large.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
ensure_packages "${BUILD_PACKAGES[@]}" "${TEST_PACKAGES[@]}"

echo "== Build and test"
cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOSTREVANE_TESTS=ON \
    -DOSTREVANE_WERROR=ON -DOSTREVANE_FUZZ=ON -DOSTREVANE_BENCH=ON >/dev/null
cmake --build build-test
ctest --test-dir build-test --output-on-failure --timeout 600 -j2 -LE large

echo "== Every suite under AddressSanitizer and UBSan"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOSTREVANE_TESTS=ON \
    -DOSTREVANE_SANITIZE=ON -DOSTREVANE_FUZZ=ON >/dev/null
cmake --build build-asan
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir build-asan --output-on-failure --timeout 900 -j2 -LE large

# The core suite holds the tests that pack and unpack on several threads at
# once; one process runs it whole, as each start under the sanitizer is slow.
# The bulk verbs' test runs each verb with several jobs: a finding ends that
# ostr with an error, which the test sees.
echo "== Core suite and bulk verbs under ThreadSanitizer"
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOSTREVANE_TESTS=ON \
    -DOSTREVANE_GUI=OFF -DOSTREVANE_SANITIZE_THREAD=ON >/dev/null
cmake --build build-tsan --target core_tests cli_tests
TSAN_OPTIONS=halt_on_error=1 build-tsan/tests/core_tests --gtest_brief=1
TSAN_OPTIONS=halt_on_error=1 build-tsan/tests/cli_tests --gtest_brief=1 --gtest_filter='OstrBulk.*'

if [ -f fuzz/run.sh ]; then
    echo "== Fuzz targets"
    bash fuzz/run.sh build-fuzz "${FUZZ_SECONDS:-60}"
fi
