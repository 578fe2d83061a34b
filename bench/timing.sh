# shellcheck shell=bash
# Timing for the comparison scripts; sourced. RUNS (default 5) sets how many
# runs each measurement takes the best of.
runs=${RUNS:-5}

# Wall time of one run of a command (its output discarded), in nanoseconds.
# A failing command is timed all the same.
time_ns() {
    local start end
    start=$(date +%s%N)
    "$@" >/dev/null 2>&1 || true
    end=$(date +%s%N)
    echo $((end - start))
}

# Best wall time of $runs runs of a command, in nanoseconds.
best_ns() {
    local best="" t
    for _ in $(seq "$runs"); do
        t=$(time_ns "$@")
        if [[ -z $best || $t -lt $best ]]; then best=$t; fi
    done
    echo "$best"
}

# The same in milliseconds, one decimal.
best_ms() {
    awk -v ns="$(best_ns "$@")" 'BEGIN { printf "%.1f", ns / 1e6 }'
}

# The smallest number a command prints over $runs runs: for programs that time
# one step of their own work and print it.
best_printed() {
    local best="" t
    for _ in $(seq "$runs"); do
        t=$("$@")
        if [[ -z $best ]] || awk -v a="$t" -v b="$best" 'BEGIN { exit !(a < b) }'; then
            best=$t
        fi
    done
    echo "$best"
}

# The middle of a list of numbers, one a line.
median() {
    sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

# Median wall times in milliseconds of two commands run in turn $runs times
# each (A, B, A, B, ...), so that both meet the same stretches of the
# machine's speed: alternate_ms A... -- B... prints "A_ms B_ms".
alternate_ms() {
    local first=() second=() a=() b=()
    while [[ $1 != -- ]]; do
        first+=("$1")
        shift
    done
    shift
    second=("$@")
    for _ in $(seq "$runs"); do
        a+=("$(time_ns "${first[@]}")")
        b+=("$(time_ns "${second[@]}")")
    done
    printf '%s %s\n' "$(printf '%s\n' "${a[@]}" | median | awk '{ printf "%.1f", $1 / 1e6 }')" \
        "$(printf '%s\n' "${b[@]}" | median | awk '{ printf "%.1f", $1 / 1e6 }')"
}

# Speed as the other side's time over ours: above 1.00x we are faster.
speed() { awk -v ours="$1" -v theirs="$2" 'BEGIN { printf "%.2fx", theirs / ours }'; }
