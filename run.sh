#!/usr/bin/env bash
# Installs what is missing, builds in build/ and starts the programmer.
# Without arguments it starts on the simulated bench when no adapter is plugged in.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
"$root/scripts/setup.sh"
exec "${BUILD_DIR:-$root/build}/src/app/xqprogrammer" "$@"
