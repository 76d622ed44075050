#!/usr/bin/env bash
# Builds the Debian package build/xqprogrammer_VERSION_ARCH.deb (installed under /usr).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD_TYPE=Release CMAKE_EXTRA_ARGS="${CMAKE_EXTRA_ARGS:-} -DCMAKE_INSTALL_PREFIX=/usr -DXQ_HARDEN=ON" "$root/scripts/setup.sh" dpkg-dev
cd "${BUILD_DIR:-$root/build}"
cpack -G DEB
ls -1 "$PWD"/*.deb
# The metainfo must pass the AppStream validator where one is installed.
if command -v appstreamcli >/dev/null 2>&1; then
    appstreamcli validate --no-net --pedantic "$root/packaging/xqprogrammer.metainfo.xml"
fi
