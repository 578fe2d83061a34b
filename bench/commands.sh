#!/usr/bin/env bash
# Whole ostr commands timed as processes (best of RUNS), next to the tools
# that do the nearest job in the same run: `ostr add` and `ostr extract` of a
# 4 MiB file beside compress and uncompress of it, `ostr list` and `ostr
# check` of a 100,000-entry archive beside cat of it.
# Usage: bash bench/commands.sh [BUILD_DIR]
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${1:-$root/build-bench}")

. "$root/scripts/packages.sh"
. "$root/bench/timing.sh"
ensure_packages "${BUILD_PACKAGES[@]}" libbenchmark-dev ncompress

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DOSTREVANE_BENCH=ON \
    -DOSTREVANE_TESTS=OFF >/dev/null
cmake --build "$build" --target ostr bench_archive bench_codec >/dev/null
ostr=$build/cli/ostr
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$build/bench/bench_codec" --corpus "$work" --benchmark_filter=NONE >/dev/null 2>&1
"$build/bench/bench_archive" --make "$work/big.dat" 100000 16 packed
compress -c "$work/text.txt" >"$work/text.txt.Z"
"$ostr" new "$work/one.dat"
"$ostr" add "$work/one.dat" "$work/text.txt" --type portrait --id 1 --name text

# The commands name their files relative to the work folder.
cd "$work"
add() { rm -f "$work/add.dat" && "$ostr" new "$work/add.dat" &&
    "$ostr" add "$work/add.dat" "$work/text.txt" --type portrait; }
printf '%-34s %9s   %-30s %9s\n' command ms anchor ms
printf '%-34s %9s   %-30s %9s\n' "ostr add (4 MiB text)" "$(best_ms add)" \
    "compress -c text.txt" "$(best_ms compress -c text.txt)"
printf '%-34s %9s   %-30s %9s\n' "ostr extract (4 MiB text)" \
    "$(best_ms "$ostr" extract one.dat portrait:1 -o out.txt)" \
    "uncompress -c text.txt.Z" "$(best_ms uncompress -c text.txt.Z)"
printf '%-34s %9s   %-30s %9s\n' "ostr list (100,000 entries)" \
    "$(best_ms "$ostr" list big.dat)" "cat big.dat" "$(best_ms cat big.dat)"
printf '%-34s %9s   %-30s %9s\n' "ostr check (100,000 entries)" \
    "$(best_ms "$ostr" check big.dat)" "cat big.dat" "$(best_ms cat big.dat)"
