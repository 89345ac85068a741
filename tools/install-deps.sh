#!/usr/bin/env bash
# Makes sure the Debian packages the build and the tests need are installed.
# As root it installs whatever is missing (one `apt-get update`, then one
# install); as anyone else it lists what is missing and fails, so a plain
# user gets a clear message instead of a confusing build error.
set -euo pipefail

packages=(
    g++
    cmake
    ninja-build
    pkg-config
    python3
    libgtest-dev
    libgmock-dev
    libbenchmark-dev
    libncurses-dev
    tmux # the terminal test of the bench
    python3-serial # pyserial, a real serial program on the bench's pseudo-terminals
    libcairo2-dev # the bench's screenshots
    g++-mingw-w64-x86-64
    mingw-w64-tools
    binutils-mingw-w64-x86-64 # windres: the resources of both builds
    clang
    libclang-rt-dev # libFuzzer and the sanitizer runtimes of clang
    wine # the Windows build's Assistant under Wine (64-bit only: wine64)
    wine64
    xvfb # the X server Wine draws on in the tests
    xdotool # finds, clicks and types into Wine's windows
)

installed() {
    # "install ok installed" only; "deinstall ok config-files" and friends
    # leave the package unusable.
    [[ "$(dpkg-query -W -f='${Status}' "$1" 2>/dev/null)" == "install ok installed" ]]
}

missing=()
for package in "${packages[@]}"; do
    installed "$package" || missing+=("$package")
done

if ((${#missing[@]} == 0)); then
    exit 0
fi

if [[ "$(id -u)" -ne 0 ]]; then
    echo "install-deps: missing Debian packages: ${missing[*]}" >&2
    echo "install-deps: run as root, or: sudo apt-get install ${missing[*]}" >&2
    exit 1
fi

echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update
apt-get install -y --no-install-recommends "${missing[@]}"

# Check again: a package that apt could not provide must not pass silently.
still=()
for package in "${missing[@]}"; do
    installed "$package" || still+=("$package")
done
if ((${#still[@]} != 0)); then
    echo "install-deps: still missing after apt-get: ${still[*]}" >&2
    exit 1
fi
