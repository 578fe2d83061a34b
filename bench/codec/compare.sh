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
files=(random.bin text.txt picture.bmp sound.wav runs.bin)
# Writes the corpus and runs nothing.
"$build/bench/bench_codec" --corpus "$corpus" --benchmark_filter='^$' >/dev/null
for file in "${files[@]}"; do
    compress -c "$corpus/$file" >"$corpus/$file.Z"
done

# The two sides take turns, file by file and round by round, each time with
# $samples runs: the machine's memory speed drifts over seconds, and a side
# measured all at once could land in a slow stretch the other missed. Each
# side's figure is its best over all $runs rounds. Each of our repetitions is
# one pass over the file, or as many as make 10 ms.
samples=3
for _ in $(seq "$runs"); do
    for file in "${files[@]}"; do
        "$build/bench/bench_codec" --benchmark_filter="^(Pack|Unpack)/$file\$" \
            --benchmark_format=csv --benchmark_min_time=0.01 \
            --benchmark_repetitions="$samples" 2>/dev/null | tail -n +2 >>"$corpus/ours.csv"
        for _ in $(seq "$samples"); do
            echo "$file $(time_ns compress -c "$corpus/$file") $(time_ns uncompress -c "$corpus/$file.Z")"
        done >>"$corpus/theirs.txt"
    done
done

# Our best throughput for one benchmark name, in MB/s, from the CSV.
ours() {
    awk -F, -v name="\"$1\"" '$1 == name && $6 > best { best = $6 }
        END { printf "%.0f", best / 1e6 }' "$corpus/ours.csv"
}

# Their best throughput for a file, in MB/s: column 2 for compress, 3 for
# uncompress.
theirs() {
    local bytes
    bytes=$(stat -c %s "$corpus/$1")
    awk -v name="$1" -v col="$2" -v b="$bytes" '$1 == name && (best == "" || $col < best) {
        best = $col } END { printf "%.0f", b / best * 1e3 }' "$corpus/theirs.txt"
}

printf '%-12s %10s %10s %7s   %10s %10s %7s\n' file "pack MB/s" "compress" ratio \
    "unpack" "uncompress" ratio
for file in "${files[@]}"; do
    p=$(ours "Pack/$file")
    c=$(theirs "$file" 2)
    d=$(ours "Unpack/$file")
    u=$(theirs "$file" 3)
    printf '%-12s %10s %10s %6.1fx   %10s %10s %6.1fx\n' "$file" "$p" "$c" \
        "$(awk -v a="$p" -v b="$c" 'BEGIN { print a / b }')" "$d" "$u" \
        "$(awk -v a="$d" -v b="$u" 'BEGIN { print a / b }')"
done
