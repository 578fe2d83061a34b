#!/usr/bin/env bash
# Builds the fuzz targets with clang into BUILD_DIR and fuzzes them one after
# another for SECONDS each (default 60), starting from the committed corpus in
# fuzz/corpus/<target>/. New inputs go to a temporary folder, never into the
# committed corpus. Prints each target's executions and executions per second
# and exits 1 when any target crashed, leaked, timed out or ran out of memory,
# printing the path of the input that did it (kept under
# BUILD_DIR/fuzz-artifacts/<target>/) and the log's path.
#
# Usage: fuzz/run.sh BUILD_DIR [SECONDS] [TARGET...]
#   BUILD_DIR  build folder; configured with clang and -DOSTREVANE_FUZZ=ON when new
#   SECONDS    fuzzing time per target (default 60)
#   TARGET     targets to run (default: all of them)
set -uo pipefail

if [[ $# -lt 1 ]]; then
    sed -n '2,13p' "$0" | sed 's/^# \{0,1\}//'
    exit 2
fi

here="$(cd "$(dirname "$0")" && pwd)"
source_dir="$(dirname "$here")"
build_dir="$1"
seconds="${2:-60}"
shift $(($# >= 2 ? 2 : 1))
targets=("$@")
if [[ ${#targets[@]} -eq 0 ]]; then
    targets=(archive_reader_fuzz unpacker_fuzz roundtrip_fuzz wave_import_fuzz content_info_fuzz)
fi

# Longest input per target: archives, sound files and round-trip material
# stay small (the round trip expands its own); packed streams get room to
# reach wider codes.
max_len_of() {
    case "$1" in
    unpacker_fuzz) echo 65544 ;;
    *) echo 16384 ;;
    esac
}

if [[ ! "$seconds" =~ ^[0-9]+$ ]]; then
    echo "SECONDS must be a whole number, not '$seconds'" >&2
    exit 2
fi

if [[ -f "$build_dir/CMakeCache.txt" ]]; then
    if ! grep -q '^CMAKE_CXX_COMPILER_ID:.*Clang\|^CMAKE_CXX_COMPILER:.*clang' \
        "$build_dir/CMakeCache.txt"; then
        echo "$build_dir is configured with a compiler other than clang" >&2
        exit 2
    fi
    cmake -S "$source_dir" -B "$build_dir" -DOSTREVANE_FUZZ=ON >/dev/null || exit 1
else
    CC=clang CXX=clang++ cmake -S "$source_dir" -B "$build_dir" -G Ninja \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOSTREVANE_FUZZ=ON -DOSTREVANE_GUI=OFF \
        -DOSTREVANE_TESTS=OFF >/dev/null || exit 1
fi
cmake --build "$build_dir" -j"${FUZZ_JOBS:-2}" --target "${targets[@]}" || exit 1

work="$(mktemp -d "${TMPDIR:-/tmp}/ostrevane-fuzz.XXXXXX")"
trap 'rm -rf "$work"' EXIT

failed=0
summary=()
for target in "${targets[@]}"; do
    binary="$build_dir/fuzz/$target"
    corpus="$here/corpus/$target"
    artifacts="$build_dir/fuzz-artifacts/$target"
    log="$build_dir/fuzz-logs/$target.log"
    mkdir -p "$work/$target" "$artifacts" "$(dirname "$log")"
    echo "== $target: fuzzing for ${seconds}s (log: $log)"
    "$binary" "$work/$target" "$corpus" \
        -max_len="$(max_len_of "$target")" -timeout=10 -rss_limit_mb=2048 \
        -malloc_limit_mb=256 -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix="$artifacts/" >"$log" 2>&1
    status=$?
    executions="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)"
    per_second="$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)"
    line="$target: ${executions:-?} executions, ${per_second:-?} per second"
    if [[ $status -ne 0 ]]; then
        failed=1
        line+=", FAILED (exit status $status)"
        grep -E '^(==[0-9]+==ERROR|SUMMARY|.*check failed)' "$log" | head -5
        grep -E 'Test unit written to|artifact_prefix' "$log" | sed 's/^/  /'
        echo "  full log: $log"
    fi
    echo "$line"
    summary+=("$line")
done

echo "== summary"
printf '%s\n' "${summary[@]}"
exit "$failed"
