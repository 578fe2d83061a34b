#!/usr/bin/env bash
# Builds Ostrevane and opens the bundled example archive in the editor; on a
# machine without a display, lists the archive with ostr instead.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
ensure_packages "${BUILD_PACKAGES[@]}"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOSTREVANE_TESTS=OFF >/dev/null
cmake --build build --target ostrevane ostr example_archive
example=build/examples/example.dat
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ] || [ -n "${QT_QPA_PLATFORM:-}" ]; then
    exec build/ui/ostrevane "$example"
fi
echo
echo "There is no display here to show the editor on (neither DISPLAY nor WAYLAND_DISPLAY"
echo "is set), so here is the example archive as ostr lists it: $example"
build/cli/ostr list "$example"
