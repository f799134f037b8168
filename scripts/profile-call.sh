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
    shift 4
    mkdir -p "$directory"
    valgrind --tool="$tool" --trace-children=yes "--log-file=$directory/log.%p" "$@" \
        "$BENCHMARK" --profile "$system" --calls "$calls" >/dev/null
}

# The number after the label in the log of the side's process.
figure_of() {
    local directory="$1" side="$2" label="$3" log
    for log in "$directory"/log.*; do
        if grep -q -- "Command: .* --serve " "$log"; then
            [[ "$side" == server ]] || continue
        else
            [[ "$side" == client ]] || continue
        fi
        sed -n "s/^==[0-9]*== $label *\([0-9,]*\).*/\1/p" "$log" | tr -d ,
        return
    done
    echo "profile-call: no $side process logged in $directory" >&2
    exit 1
}

# Per call, from the runs with N and 2N calls.
per_call() {
    local single="$1" double="$2"
    awk -v single="$single" -v double="$double" -v calls="$CALLS" 'BEGIN { print (double - single) / calls }'
}

measure() {
    local system="$1" tool calls
    for tool in callgrind dhat; do
        for calls in "$CALLS" "$((2 * CALLS))"; do
            echo "profile-call: $system, $calls calls under $tool" >&2
            if [[ "$tool" == callgrind ]]; then
                run_under callgrind "$system" "$calls" "$work/$system.$tool.$calls" \
                    "--callgrind-out-file=$work/$system.$tool.$calls/callgrind.out.%p"
            else
                run_under dhat "$system" "$calls" "$work/$system.$tool.$calls" \
                    "--dhat-out-file=$work/$system.$tool.$calls/dhat.out.%p"
            fi
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
            instructions="$(per_call "$(figure_of "$work/$system.callgrind.$CALLS" "$side" "Collected :")" \
                "$(figure_of "$work/$system.callgrind.$((2 * CALLS))" "$side" "Collected :")")"
            allocations="$(per_call "$(figure_of "$work/$system.dhat.$CALLS" "$side" "Total:.*bytes in")" \
                "$(figure_of "$work/$system.dhat.$((2 * CALLS))" "$side" "Total:.*bytes in")")"
            printf '%-6s %-7s %13.1fk %12.1f\n' "$system" "$side" "$(awk -v n="$instructions" 'BEGIN { print n / 1000 }')" \
                "$allocations"
        done
    done
    printf '\ninstructions: callgrind'"'"'s Ir; allocations: heap blocks allocated (malloc, calloc, realloc, new) as\n'
    printf 'counted by valgrind'"'"'s DHAT. ours: RemoteObject and ZetoServer over zeto://; QtRO: Qt Remote Objects,\n'
    printf 'dynamic replica over tcp://. Both under Qt'"'"'s default event dispatcher unless QT_NO_GLIB is set.\n'
}

for system in "${SYSTEMS[@]}"; do
    measure "$system"
done
report
