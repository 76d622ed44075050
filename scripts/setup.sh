#!/usr/bin/env bash
# Installs the Debian packages of scripts/packages.txt that are missing, then
# configures and builds the project in build/. Shared by run.sh and test.sh.
# Usage: scripts/setup.sh [extra package...]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

wanted=$(grep -v '^\s*#' "$root/scripts/packages.txt" | grep -v '^\s*$')
wanted="$wanted $*"
missing=()
for pkg in $wanted; do
    # dpkg-query prints "install ok installed" only for a fully installed package.
    if [ "$(dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null)" != "install ok installed" ]; then
        missing+=("$pkg")
    fi
done

if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing missing packages: ${missing[*]}"
    sudo_cmd=()
    [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
    export DEBIAN_FRONTEND=noninteractive
    "${sudo_cmd[@]}" apt-get update -q
    "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

build_type=${BUILD_TYPE:-RelWithDebInfo}
build_dir=${BUILD_DIR:-$root/build}
# A compiler cache, where one is installed, makes rebuilds of unchanged files
# (a second build directory, the sanitizer build) quick; it is not required.
launcher=()
if command -v ccache >/dev/null 2>&1; then
    launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S "$root" -B "$build_dir" -DCMAKE_BUILD_TYPE="$build_type" "${launcher[@]}" ${CMAKE_EXTRA_ARGS:-} >/dev/null
cmake --build "$build_dir" --parallel "$(nproc)"
