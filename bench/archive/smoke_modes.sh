#!/usr/bin/env bash
# The modes of bench_archive that compare.sh uses, on a tiny archive: each
# must succeed and print what compare.sh reads.
# Usage: bash smoke_modes.sh BENCH_ARCHIVE
set -euo pipefail
bench=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$bench" --make "$work/small.dat" 10 100
"$bench" --make "$work/packed.dat" 10 100 packed
"$bench" --open "$work/small.dat" | grep -q '^file_bytes=1372 peak_bytes=[0-9]* before_bytes=[0-9]* entries=10$'
"$bench" --save "$work/packed.dat" "$work/copy.dat" | grep -Eq '^[0-9]+\.[0-9]$'
cmp -s "$work/packed.dat" "$work/copy.dat"
