#!/usr/bin/env bash
# Installs what is missing, builds in build/ and starts the programmer.
# When no adapter is plugged in (and neither --simulate nor --hardware is
# given) it starts the programmer on the simulated bench and says so: the
# program itself never falls back to the bench.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
"$root/scripts/setup.sh"
build="${BUILD_DIR:-$root/build}"
args=("$@")
explicit=no
for arg in "$@"; do
    case "$arg" in
        --simulate|--simulate=*|--hardware) explicit=yes ;;
    esac
done
if [ "$explicit" = no ] && [ -z "$("$build/src/app/xqprog" list 2>/dev/null || true)" ]; then
    echo "run.sh: no USB adapter found: starting on the simulated bench (--simulate); no real chip is programmed" >&2
    args=(--simulate "${args[@]}")
fi
exec "$build/src/app/xqprogrammer" "${args[@]}"
