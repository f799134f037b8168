#!/usr/bin/env bash
# Installs the Debian packages the build needs (only those missing), then
# configures and builds one preset of CMakePresets.json in build/<preset>.
#
#   scripts/setup.sh                      packages only
#   scripts/setup.sh <preset> [args...]   packages, configure, build; args go to `cmake --build`
#
# Presets: dev, release, asan-ubsan, fuzz. Safe to run again: installed
# packages are left alone and an existing build directory is brought up to date.
set -euo pipefail

readonly REPO_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

readonly PACKAGES=(
    cmake ninja-build g++ pkg-config
    qtbase5-dev qtbase5-dev-tools libqt5websockets5-dev zlib1g-dev libssl-dev
    clang llvm libclang-rt-14-dev    # sanitizers, libFuzzer, readable stack traces
    libqt5remoteobjects5-dev         # baseline for the benchmarks
    openssl                          # the calculator demo's certificate over TLS
    valgrind                         # scripts/profile-call.sh
)

missing_packages() {
    local package
    for package in "$@"; do
        if [[ "$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null)" != "install ok installed" ]]; then
            echo "$package"
        fi
    done
}

install_packages() {
    local missing
    mapfile -t missing < <(missing_packages "${PACKAGES[@]}")
    if ((${#missing[@]} == 0)); then
        return
    fi
    echo "setup: installing ${missing[*]}"
    local as_root=()
    if ((EUID != 0)); then
        as_root=(sudo)
    fi
    "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q
    "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive \
        apt-get install -y -q --no-install-recommends "${missing[@]}"
}

configure_and_build() {
    local preset="$1"
    shift
    cd "$REPO_ROOT"
    cmake --preset "$preset"
    cmake --build --preset "$preset" "$@"
    echo "setup: built preset $preset in $REPO_ROOT/build/$preset"
}

install_packages
if (($# > 0)); then
    configure_and_build "$@"
fi
