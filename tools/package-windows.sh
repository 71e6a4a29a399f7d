#!/usr/bin/env bash
# Builds the Windows installer build-windows/packages/Tarnwick-<version>-setup.exe with NSIS
# (packaging/windows/tarnwick.nsi) from the Windows build: the program's folder as
# `cmake --install --strip` makes it (tarnwick.exe, tarnwickd.exe, mailcmdssl.exe and the assets,
# without the tests) is staged in build-windows/package-root and packed. Builds first
# (tools/build-windows.sh) when build-windows/ is not configured yet, else brings it up to date.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out="$root/build-windows"
bash "$root/tools/deps-windows.sh"
if [ -f "$out/build.ninja" ]; then
  cmake --build "$out" -j "$(nproc)"
else
  bash "$root/tools/build-windows.sh"
fi

version=$(sed -n 's/^project(Tarnwick VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
[ -n "$version" ] || { echo "no version in CMakeLists.txt" >&2; exit 1; }
stage="$out/package-root"
rm -rf "$stage"
cmake --install "$out" --prefix "$stage" --strip >/dev/null
packages="$out/packages"
mkdir -p "$packages"
setup="$packages/Tarnwick-$version-setup.exe"
rm -f "$setup"
# Warnings are errors: a file the script names but the stage lacks must not pass unnoticed.
makensis -V2 -WX -DVERSION="$version" -DPROGRAM_DIR="$stage" -DOUTFILE="$setup" \
  "$root/packaging/windows/tarnwick.nsi"
echo "$setup"
