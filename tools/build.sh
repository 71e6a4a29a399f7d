#!/usr/bin/env bash
# Installs what is missing and builds Tarnwick into build/ (the program lands in build/bin).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/tools/deps.sh"
cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTARNWICK_WERROR=ON "$@"
cmake --build "$root/build" -j "$(nproc)"
