# Timing for the comparison scripts; sourced. RUNS (default 5) sets how many
# runs each measurement takes the best of.
runs=${RUNS:-5}

# Best wall time of $runs runs of a command (its output discarded), in
# nanoseconds. A failing command is timed all the same.
best_ns() {
    local best="" start end t
    for _ in $(seq "$runs"); do
        start=$(date +%s%N)
        "$@" >/dev/null 2>&1 || true
        end=$(date +%s%N)
        t=$((end - start))
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
