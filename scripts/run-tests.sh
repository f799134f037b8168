#!/usr/bin/env bash
# Every check, as CI runs it:
#   plain      g++ build of everything (preset dev), CTest against ZetoClientSdkd
#   install    that build installed into a temporary prefix; the consumer
#              project Tests/Install built with find_package and run against it
#   sanitized  clang build with AddressSanitizer and UndefinedBehaviorSanitizer
#              (preset asan-ubsan), CTest; any report fails the test
#   fuzz       every libFuzzer target of the sanitized build for 60 s from
#              its corpus
# A stage runs even when an earlier one failed, unless it needs that stage's
# build. The exit status is non-zero when any check failed; the last line
# counts the checks.
set -uo pipefail

readonly REPO_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
readonly FUZZ_SECONDS=60
WORK_DIR="$(mktemp -d)"
readonly WORK_DIR
trap 'rm -rf "$WORK_DIR"' EXIT

passed=0
failed=0
failures=()

record_pass() {
    passed=$((passed + $1))
}

record_failure() {
    failed=$((failed + $1))
    failures+=("$2")
}

banner() {
    printf '\n==== %s\n' "$*"
}

# Counts the checks of one CTest run from its summary line. A run without
# one (CTest itself failed) or with a non-zero exit but no failed test still
# counts as a failure.
record_ctest() {
    local log="$1" status="$2" name="$3" summary failed_here total
    summary="$(grep -Eo '[0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1)"
    if [[ -z "$summary" ]]; then
        record_failure 1 "$name: CTest ran no test"
        return
    fi
    read -r failed_here _ _ _ _ total <<<"$summary"
    record_pass $((total - failed_here))
    if ((failed_here > 0)); then
        record_failure "$failed_here" "$name: $failed_here of $total tests failed"
    elif ((status != 0)); then
        record_failure 1 "$name: CTest exited with $status"
    fi
}

# ctest [args...] run from the repository, its output kept for record_ctest.
run_ctest() {
    local name="$1" log="$WORK_DIR/$1.log"
    shift
    (cd "$REPO_ROOT" && ctest "$@") 2>&1 | tee "$log"
    record_ctest "$log" "${PIPESTATUS[0]}" "$name"
}

# Builds a preset and runs its CTest preset; fails only when the build fails.
build_and_test() {
    local preset="$1" name="$2"
    banner "$name: build (preset $preset)"
    if ! "$REPO_ROOT/scripts/setup.sh" "$preset"; then
        record_failure 1 "$name: build failed"
        return 1
    fi
    banner "$name: tests"
    run_ctest "$name" --preset "$preset"
    return 0
}

check_install() {
    local prefix="$WORK_DIR/prefix" consumer="$WORK_DIR/consumer"
    banner "install: cmake --install build/dev, then Tests/Install against it"
    if ! cmake --install "$REPO_ROOT/build/dev" --prefix "$prefix" ||
        ! cmake -S "$REPO_ROOT/Tests/Install" -B "$consumer" -G Ninja \
            -DCMAKE_CXX_COMPILER=g++ -DCMAKE_PREFIX_PATH="$prefix" ||
        ! cmake --build "$consumer"; then
        record_failure 1 "install: the consumer did not build against the installed package"
        return
    fi
    run_ctest install --test-dir "$consumer" --output-on-failure --no-tests=error
}

# Fuzz/targets.txt names the targets, one a line.
fuzz_targets() {
    local list="$REPO_ROOT/Fuzz/targets.txt"
    if [[ -f "$list" ]]; then
        grep -Ev '^[[:space:]]*(#|$)' "$list"
    fi
}

fuzz_smoke() {
    local script="$REPO_ROOT/scripts/fuzz.sh" targets target
    mapfile -t targets < <(fuzz_targets)
    if [[ ! -f "$script" || ${#targets[@]} -eq 0 ]]; then
        banner "fuzz: no fuzz targets yet, skipped"
        return
    fi
    for target in "${targets[@]}"; do
        banner "fuzz: $target for ${FUZZ_SECONDS} s"
        if bash "$script" "$target" "$FUZZ_SECONDS" "$REPO_ROOT/build/asan-ubsan"; then
            record_pass 1
        else
            record_failure 1 "fuzz: $target"
        fi
    done
}

main() {
    banner "setup: Debian packages"
    if ! "$REPO_ROOT/scripts/setup.sh"; then
        echo "run-tests: could not install the packages the build needs" >&2
        echo "run-tests: 0 passed, 1 failed"
        exit 1
    fi

    if build_and_test dev plain; then
        check_install
    else
        record_failure 1 "install: skipped, the plain build failed"
    fi
    build_and_test asan-ubsan sanitized
    fuzz_smoke

    banner "summary after $((SECONDS / 60)) min $((SECONDS % 60)) s"
    local failure
    for failure in "${failures[@]}"; do
        echo "FAILED: $failure"
    done
    echo "run-tests: $passed passed, $failed failed"
    ((failed == 0))
}

main "$@"
