#!/usr/bin/env bash
# Installs the packages the build needs, builds the end-to-end benchmarks of
# the release preset and runs them; each measures under Qt's default event
# dispatcher and again with QT_NO_GLIB=1.
#
#   scripts/run-benchmarks.sh            full runs
#   scripts/run-benchmarks.sh --quick    a few seconds each, figures only indicative
set -euo pipefail

readonly REPO_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
readonly BENCHMARKS=(bench_RemoteCalls bench_Scale)

"$REPO_ROOT/scripts/setup.sh" release --target "${BENCHMARKS[@]}"
for benchmark in "${BENCHMARKS[@]}"; do
    printf '\n==== %s\n' "$benchmark"
    "$REPO_ROOT/build/release/Benchmarks/$benchmark" "$@"
done
