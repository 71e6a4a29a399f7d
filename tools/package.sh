#!/usr/bin/env bash
# Builds the Debian packages tarnwick and tarnwickd from a clean tree into build/packages/.
# The programs are built in build-package/ as a Release build installed under /usr (the program's
# folder is /usr/lib/tarnwick), then CPack makes one package per component.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/tools/deps.sh"
build="$root/build-package"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTARNWICK_WERROR=ON \
  -DTARNWICK_BUILD_TESTS=OFF -DTARNWICK_BUILD_BENCH=OFF -DTARNWICK_INSTALL_DIR=lib/tarnwick \
  -DCMAKE_INSTALL_PREFIX=/usr
cmake --build "$build" -j "$(nproc)"
out="$root/build/packages"
mkdir -p "$out"
rm -f "$out"/*.deb
(cd "$build" && cpack -G DEB -B "$out" >/dev/null)
rm -rf "$out/_CPack_Packages"
ls -1 "$out"/*.deb
