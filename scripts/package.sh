#!/usr/bin/env bash
# Builds the Debian package build/xqprogrammer_VERSION_ARCH.deb (installed under /usr).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD_TYPE=Release CMAKE_EXTRA_ARGS="${CMAKE_EXTRA_ARGS:-} -DCMAKE_INSTALL_PREFIX=/usr" "$root/scripts/setup.sh" dpkg-dev
cd "${BUILD_DIR:-$root/build}"
cpack -G DEB
ls -1 "$PWD"/*.deb
