#!/usr/bin/env bash
# Packing and unpacking throughput of our codec next to ncompress's
# compress(1) and uncompress(1) on the same generated files, in one run.
# Usage: bash bench/codec/compare.sh [BUILD_DIR]   (default: build-bench)
set -euo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build-bench}

. "$root/scripts/packages.sh"
. "$root/bench/timing.sh"
ensure_packages "${BUILD_PACKAGES[@]}" libbenchmark-dev ncompress

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DOSTREVANE_BENCH=ON -DOSTREVANE_TESTS=OFF >/dev/null
cmake --build "$build" --target bench_codec >/dev/null

corpus=$(mktemp -d)
trap 'rm -rf "$corpus"' EXIT

# Both sides take the best of $runs runs.
"$build/bench/bench_codec" --corpus "$corpus" --benchmark_format=csv \
    --benchmark_min_time=0.3 --benchmark_repetitions="$runs" 2>/dev/null >"$corpus/ours.csv"

# Our best throughput for one benchmark name, in MB/s, from the CSV.
ours() {
    awk -F, -v name="\"$1\"" '$1 == name && $6 > best { best = $6 }
        END { printf "%.0f", best / 1e6 }' "$corpus/ours.csv"
}

printf '%-12s %10s %10s %7s   %10s %10s %7s\n' file "pack MB/s" "compress" ratio \
    "unpack" "uncompress" ratio
for file in random.bin text.txt picture.bmp sound.wav runs.bin; do
    path=$corpus/$file
    bytes=$(stat -c %s "$path")
    compress -c "$path" >"$path.Z" || true
    ns_c=$(best_ns compress -c "$path")
    ns_u=$(best_ns uncompress -c "$path.Z")
    c=$(awk -v b="$bytes" -v t="$ns_c" 'BEGIN { printf "%.0f", b / t * 1e3 }')
    u=$(awk -v b="$bytes" -v t="$ns_u" 'BEGIN { printf "%.0f", b / t * 1e3 }')
    p=$(ours "Pack/$file")
    d=$(ours "Unpack/$file")
    printf '%-12s %10s %10s %6.1fx   %10s %10s %6.1fx\n' "$file" "$p" "$c" \
        "$(awk -v a="$p" -v b="$c" 'BEGIN { print a / b }')" "$d" "$u" \
        "$(awk -v a="$d" -v b="$u" 'BEGIN { print a / b }')"
done
