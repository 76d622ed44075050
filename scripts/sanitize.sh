#!/usr/bin/env bash
# Builds the whole project with AddressSanitizer + UndefinedBehaviorSanitizer
# in build-asan/ and runs every test there.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD_DIR="$root/build-asan" BUILD_TYPE=Debug CMAKE_EXTRA_ARGS="-DXQ_SANITIZE=ON" "$root/scripts/setup.sh"
cd "$root/build-asan"
export QT_QPA_PLATFORM=offscreen
# Qt keeps some allocations until exit on purpose: leaks are not reported.
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --output-on-failure -j"$(nproc)"
