#!/usr/bin/env bash
# Whole ostr commands timed as processes, in turn with the tools that do the
# nearest job (median of RUNS runs each, default 11): `ostr add` of each 4 MiB
# corpus file into an empty archive beside `compress -c` of it, and `ostr
# extract` of it beside `uncompress -c`; then `ostr list` and `ostr check` of
# a 100,000-entry archive beside cat of it. Our side's durable write (the
# temporary file synced, then renamed) is included; the anchors write to a
# file through the shell and sync nothing. Both sides start through sh, so
# that its start-up weighs on each alike.
# Speed is the anchor's time over ours: above 1.00x we are faster.
# Usage: bash bench/commands.sh [BUILD_DIR]
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${1:-$root/build-bench}")

. "$root/scripts/packages.sh"
. "$root/bench/timing.sh"
runs=${RUNS:-11}
ensure_packages "${BUILD_PACKAGES[@]}" libbenchmark-dev ncompress

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DOSTREVANE_BENCH=ON \
    -DOSTREVANE_TESTS=OFF >/dev/null
cmake --build "$build" --target ostr bench_archive bench_codec >/dev/null
ostr=$build/cli/ostr
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

"$build/bench/bench_codec" --corpus "$work" --benchmark_filter='^$' >/dev/null 2>&1
"$build/bench/bench_archive" --make big.dat 100000 16 packed

row() { printf '%-30s %8s %8s   %-26s %7s\n' "$@"; }

# An empty archive, written by the shell itself so that no second process
# weighs on our side.
empty="printf 'Ostr\\001\\000\\000\\000\\000\\000\\000\\000' >add.dat"
row command "ours ms" "its ms" anchor speed
for file in random.bin text.txt picture.bmp sound.wav runs.bin; do
    type=portrait
    [[ $file == *.wav ]] && type=sound
    compress -c "$file" >"$file.Z"
    "$ostr" new --force "$file.dat" && "$ostr" add "$file.dat" "$file" --type "$type" --id 1
    read -r ours theirs < <(alternate_ms \
        sh -c "$empty && exec '$ostr' add add.dat $file --type $type" -- \
        sh -c "exec compress -c $file >out.Z")
    row "ostr add $file" "$ours" "$theirs" "compress -c" "$(speed "$ours" "$theirs")"
    read -r ours theirs < <(alternate_ms \
        sh -c "exec '$ostr' extract $file.dat $type:1 -o out.ours" -- \
        sh -c "exec uncompress -c $file.Z >out.theirs")
    row "ostr extract $file" "$ours" "$theirs" "uncompress -c" "$(speed "$ours" "$theirs")"
done
read -r ours theirs < <(alternate_ms "$ostr" list big.dat -- cat big.dat)
row "ostr list (100,000 entries)" "$ours" "$theirs" "cat" "$(speed "$ours" "$theirs")"
read -r ours theirs < <(alternate_ms "$ostr" check big.dat -- cat big.dat)
row "ostr check (100,000 entries)" "$ours" "$theirs" "cat" "$(speed "$ours" "$theirs")"
