#!/usr/bin/env bash
# Runs one libFuzzer target for a given time, starting from a scratch copy of
# its committed seed corpus (which the run never writes to).
#
#   scripts/fuzz.sh <target> <seconds> [build dir]
#
# The build directory (default: build-fuzz beside the sources) must be
# configured with clang and -DZETO_BUILD_FUZZERS=ON. Fuzz/targets.txt lists the
# targets. A crash, leak, out-of-memory or timeout exits non-zero and leaves the
# input in Fuzz/artifacts/<target>/.
set -euo pipefail

usage() {
    echo "usage: $0 <target> <seconds> [build dir]" >&2
    exit 2
}

[[ $# -ge 2 && $# -le 3 ]] || usage
target=$1
seconds=$2
[[ $seconds =~ ^[1-9][0-9]*$ ]] || usage

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$(cd "${3:-$root/build-fuzz}" && pwd)

binary=$build/Fuzz/$target
if [[ ! -x $binary ]]; then
    echo "fuzz: $binary not found; build it with: cmake --build $build --target $target" >&2
    exit 2
fi
seeds=$root/Fuzz/corpus/$target
if [[ ! -d $seeds ]]; then
    echo "fuzz: no seed corpus at $seeds" >&2
    exit 2
fi

scratch=$(mktemp -d "${TMPDIR:-/tmp}/zeto-fuzz-$target.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
mkdir "$scratch/corpus"
cp -- "$seeds"/* "$scratch/corpus/"

artifacts=$root/Fuzz/artifacts/$target
mkdir -p "$artifacts"

options=(-max_total_time="$seconds" -max_len=65536 -timeout=10 -rss_limit_mb=2048
         -print_final_stats=1 -artifact_prefix="$artifacts/")
dictionary=$(find "$root/Fuzz" -name "$target.dict" -print -quit)
[[ -n $dictionary ]] && options+=(-dict="$dictionary")

export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

echo "fuzz: $target for ${seconds}s from $(ls "$seeds" | wc -l) seeds"
log=$scratch/log
status=0
"$binary" "${options[@]}" "$scratch/corpus" >"$log" 2>&1 || status=$?

executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
speed=$(grep -Eo 'exec/s: [0-9]+' "$log" | tail -n 1 | cut -d' ' -f2 || true)
corpus=$(ls "$scratch/corpus" | wc -l)

if [[ $status -ne 0 ]]; then
    # libFuzzer's report: the sanitizer's stack, the input's bytes, the artifact.
    tail -n 80 "$log" >&2
    echo "fuzz: $target FAILED (exit $status) after ${executions:-?} executions;" \
         "inputs kept in $artifacts" >&2
    exit "$status"
fi
echo "fuzz: $target passed: ${executions:-?} executions, ${speed:-?} exec/s, corpus $corpus inputs"
