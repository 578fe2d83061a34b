#!/usr/bin/env bash
# Whole-archive verbs on 200 entries of 256 KiB (50 each of text, picture,
# sound and random bytes, all different), timed as processes: each verb with
# --jobs 1 beside --jobs 2, then `ostr pack` of the folder beside running
# `compress` file by file over the same files, and `ostr unpack` of the
# archive beside `uncompress` file by file over theirs. Both sides take
# turns (median of RUNS runs each, default 5). Our side's durable writes
# (every file synced, then renamed into place) are included; the anchors
# sync nothing.
# Speed is the other side's time over ours: above 1.00x we are faster.
# Usage: bash bench/bulk/compare.sh [BUILD_DIR]
set -euo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(realpath -m "${1:-$root/build-bench}")

. "$root/scripts/packages.sh"
. "$root/bench/timing.sh"
ensure_packages "${BUILD_PACKAGES[@]}" libbenchmark-dev ncompress

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DOSTREVANE_BENCH=ON \
    -DOSTREVANE_TESTS=OFF >/dev/null
cmake --build "$build" --target ostr bench_codec >/dev/null
ostr=$build/cli/ostr
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

"$build/bench/bench_codec" --corpus "$work" --benchmark_filter='^$' >/dev/null 2>&1

# Little-endian 32-bit number as printf escapes.
le32() { printf '\\x%02x\\x%02x\\x%02x\\x%02x' $(($1 & 255)) $(($1 >> 8 & 255)) \
    $(($1 >> 16 & 255)) $(($1 >> 24 & 255)); }

# The folder: slice i of each 4 MiB corpus file starts 76 KiB further on, so
# that no two entries are alike; a sound gets a wave header of its own.
size=$((256 * 1024))
mkdir folder
{
    printf '{\n  "version": 1,\n  "entries": [\n'
    id=0
    for i in $(seq 0 49); do
        for kind in text.txt:0 picture.bmp:1 sound.wav:2 random.bin:3; do
            file=${kind%:*} type=${kind#*:} name=$i-$file id=$((id + 1))
            if [[ $type == 2 ]]; then
                printf "RIFF$(le32 $((size - 8)))WAVEfmt $(le32 16)\\x01\\x00\\x01\\x00$(le32 11025)$(le32 11025)\\x01\\x00\\x08\\x00data$(le32 $((size - 44)))" >"folder/$name"
                dd if="$file" bs=1K skip=$((i * 76 + 1)) count=$(((size - 44) / 1024)) status=none >>"folder/$name"
                head -c $(((size - 44) % 1024)) "$file" >>"folder/$name"
            else
                dd if="$file" of="folder/$name" bs=1K skip=$((i * 76)) count=$((size / 1024)) status=none
            fi
            [[ $id == 1 ]] || printf ',\n'
            printf '    {"type": %d, "id": %d, "name": "%s", "file": "%s"}' "$type" "$id" "$name" "$name"
        done
    done
    printf '\n  ]\n}\n'
} >folder/manifest.json

# B: the same with the last byte of every file changed, so that diff unpacks
# and compares every entry.
cp -r folder changed
for f in changed/*; do
    [[ $f == */manifest.json ]] || printf '\x5a' | dd of="$f" bs=1 seek=$((size - 1)) conv=notrunc status=none
done
"$ostr" pack folder a.dat >/dev/null
"$ostr" pack changed b.dat >/dev/null
for f in folder/*; do [[ $f == */manifest.json ]] || compress -c "$f" >"$f.Z"; done

row() { printf '%-22s %9s %9s   %-30s %7s\n' "$@"; }

row verb "2 jobs ms" "other ms" "other" speed
declare -A verbs=(
    [check]="check a.dat"
    [extract-all]="extract-all a.dat -d out"
    [unpack]="unpack --force a.dat out"
    [pack]="pack --force folder out.dat"
    [diff]="diff a.dat b.dat"
)
for verb in check extract-all unpack pack diff; do
    read -r ours theirs < <(alternate_ms \
        sh -c "rm -rf out; exec '$ostr' ${verbs[$verb]/ / --jobs 2 }" -- \
        sh -c "rm -rf out; exec '$ostr' ${verbs[$verb]/ / --jobs 1 }")
    row "ostr $verb" "$ours" "$theirs" "--jobs 1" "$(speed "$ours" "$theirs")"
done
read -r ours theirs < <(alternate_ms \
    sh -c "rm -f out.dat; exec '$ostr' pack --jobs 2 folder out.dat" -- \
    sh -c "rm -rf out; mkdir out; for f in folder/*.txt folder/*.bmp folder/*.wav folder/*.bin; do compress -c \"\$f\" >out/\${f#folder/}.Z; done")
row "ostr pack" "$ours" "$theirs" "compress, file by file" "$(speed "$ours" "$theirs")"
read -r ours theirs < <(alternate_ms \
    sh -c "rm -rf out; exec '$ostr' unpack --jobs 2 a.dat out" -- \
    sh -c "rm -rf out; mkdir out; for f in folder/*.Z; do uncompress -c \"\$f\" >out/\${f#folder/}; done")
row "ostr unpack" "$ours" "$theirs" "uncompress, file by file" "$(speed "$ours" "$theirs")"
