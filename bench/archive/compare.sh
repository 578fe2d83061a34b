#!/usr/bin/env bash
# Opening and saving archives next to reading them into fresh memory with a
# bare program (read_file.cpp) and writing them with cp, in one run: an
# archive of 100,000 entries and one of 1 GiB of payloads. Opening is timed
# as a whole process, in turn with the bare read (median of RUNS each);
# saving inside the program (best of RUNS). Then peak memory when opening
# the 1 GiB archive; then the list operations at 100,000 entries (Google
# Benchmark), with the original design's sort beside them.
# Usage: bash bench/archive/compare.sh [BUILD_DIR] [WORK_DIR]
set -euo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build-bench}
work=${2:-$(mktemp -d)}

. "$root/scripts/packages.sh"
. "$root/bench/timing.sh"
ensure_packages "${BUILD_PACKAGES[@]}" libbenchmark-dev

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DOSTREVANE_BENCH=ON \
    -DOSTREVANE_TESTS=OFF >/dev/null
cmake --build "$build" --target bench_archive bench_view bench_read_file >/dev/null
bench=$build/bench/bench_archive
trap 'rm -f "$work"/*.dat' EXIT

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2fx", a / b }'; }

# Saving is timed inside the program, without the open before it. It ends
# with fsync, so beside cp it is also set against cp followed by sync.
printf '%-15s %8s %8s %7s   %8s %8s %7s %10s %7s\n' archive "open ms" "read ms" ratio \
    "save ms" "cp ms" ratio "cp+sync ms" ratio
for archive in "100k-entries 100000 16" "1GiB-payloads 256 4194304"; do
    read -r name count bytes <<<"$archive"
    file=$work/$name.dat
    "$bench" --make "$file" "$count" "$bytes"
    cat "$file" >/dev/null # warm the page cache for both sides
    read -r open readms < <(alternate_ms "$bench" --open "$file" -- \
        "$build/bench/bench_read_file" "$file")
    save=$(best_printed "$bench" --save "$file" "$work/copy.dat")
    cpms=$(best_ms cp "$file" "$work/copy.dat")
    syncms=$(best_ms sh -c 'cp "$1" "$2" && sync "$2"' sh "$file" "$work/copy.dat")
    printf '%-15s %8s %8s %7s   %8s %8s %7s %10s %7s\n' "$name" "$open" "$readms" \
        "$(ratio "$open" "$readms")" "$save" "$cpms" "$(ratio "$save" "$cpms")" "$syncms" \
        "$(ratio "$save" "$syncms")"
done
echo
echo "Peak memory opening the 1 GiB archive:"
"$bench" --open "$work/1GiB-payloads.dat" |
    awk '{ split($1, f, "="); split($2, p, "="); printf "  %.0f MiB for a %.0f MiB file: %.2fx\n", p[2] / 1048576, f[2] / 1048576, p[2] / f[2] }'
echo
"$bench" --benchmark_min_time=0.5
echo
"$build/bench/bench_view" --benchmark_min_time=0.5
