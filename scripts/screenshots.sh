#!/usr/bin/env bash
# Pictures of the window on the simulated bench, in Chinese and English, for
# the README (docs/images/). Headless: nothing appears on the screen.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$root/scripts/setup.sh"
build_dir=${BUILD_DIR:-$root/build}
for lang in zh en; do
    "$build_dir/tests/xq-screenshots" "$root/docs/images" "$lang"
done
