#!/usr/bin/env bash
# What one remote slot call costs, counted rather than timed: pipelined
# add(int, int) calls from our RemoteObject to ZetoServer, and from a Qt
# Remote Objects replica to its source for reference, client and server each
# in its own process under valgrind. Prints per call and side the instructions
# executed (callgrind) and the heap blocks allocated (DHAT: malloc, calloc,
# realloc, new). Each figure is the difference between a run of 2N calls and
# one of N calls after the same warm-up, so start-up and shutdown cancel out.
# Instruction counts do not depend on how busy the machine is.
#
#   scripts/profile-call.sh [N]     N defaults to 1000
#
# It builds bench_RemoteCalls in build/release first; valgrind is installed
# with the other packages if it is missing.
set -euo pipefail
shopt -s inherit_errexit

readonly REPO_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
readonly CALLS="${1:-1000}"
readonly BENCHMARK="$REPO_ROOT/build/release/Benchmarks/bench_RemoteCalls"
readonly SYSTEMS=(ours QtRO)
readonly SIDES=(client server)

if ! [[ "$CALLS" =~ ^[1-9][0-9]*$ ]]; then
    echo "usage: $0 [number of calls]" >&2
    exit 2
fi

"$REPO_ROOT/scripts/setup.sh" release --target bench_RemoteCalls

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# One run of the benchmark's profile mode under a valgrind tool; every
# process, the server included, logs to a file of its own in the directory.
run_under() {
    local tool="$1" system="$2" calls="$3" directory="$4"
    mkdir -p "$directory"
    valgrind --tool="$tool" --trace-children=yes "--log-file=$directory/log.%p" \
        "--$tool-out-file=$directory/$tool.out.%p" \
        "$BENCHMARK" --profile "$system" --calls "$calls" >/dev/null
}

# The number after the label in the log of the side's process.
figure_of() {
    local directory="$1" side="$2" label="$3" log logged figure=""
    for log in "$directory"/log.*; do
        logged=client
        if grep -q -- "Command: .* --serve " "$log"; then
            logged=server
        fi
        if [[ "$logged" == "$side" ]]; then
            figure="$(sed -n "s/^==[0-9]*== $label *\([0-9,]*\).*/\1/p" "$log" | tr -d ,)"
            break
        fi
    done
    if [[ -z "$figure" ]]; then
        echo "profile-call: the $side logged no \"$label\" in $directory" >&2
        exit 1
    fi
    echo "$figure"
}

# Per call, in units of the given size: the difference between the runs of
# 2N and N calls, over N.
per_call() {
    local tool="$1" system="$2" side="$3" label="$4" unit="$5" single double
    single="$(figure_of "$work/$system.$tool.$CALLS" "$side" "$label")"
    double="$(figure_of "$work/$system.$tool.$((2 * CALLS))" "$side" "$label")"
    awk -v single="$single" -v double="$double" -v calls="$CALLS" -v unit="$unit" \
        'BEGIN { printf "%.1f", (double - single) / calls / unit }'
}

measure() {
    local system="$1" tool calls
    for tool in callgrind dhat; do
        for calls in "$CALLS" "$((2 * CALLS))"; do
            echo "profile-call: $system, $calls calls under $tool" >&2
            run_under "$tool" "$system" "$calls" "$work/$system.$tool.$calls"
        done
    done
}

report() {
    local system side instructions allocations
    printf '\nPer pipelined add(int, int) call, the difference between %d and %d calls after a warm-up:\n\n' \
        "$CALLS" "$((2 * CALLS))"
    printf '%-6s %-7s %14s %12s\n' system side instructions allocations
    for system in "${SYSTEMS[@]}"; do
        for side in "${SIDES[@]}"; do
            instructions="$(per_call callgrind "$system" "$side" "Collected :" 1000)"
            allocations="$(per_call dhat "$system" "$side" "Total:.*bytes in" 1)"
            printf '%-6s %-7s %13sk %12s\n' "$system" "$side" "$instructions" "$allocations"
        done
    done
    cat <<'EOF'

instructions: callgrind's Ir; allocations: heap blocks allocated (malloc, calloc, realloc, new) as
counted by valgrind's DHAT. ours: RemoteObject and ZetoServer over zeto://; QtRO: Qt Remote Objects,
dynamic replica over tcp://. Both under Qt's default event dispatcher unless QT_NO_GLIB is set.
EOF
}

for system in "${SYSTEMS[@]}"; do
    measure "$system"
done
report
