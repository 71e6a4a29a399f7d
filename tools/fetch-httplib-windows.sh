#!/usr/bin/env bash
# Fetches cpp-httplib for the Windows build: Debian's libcpp-httplib-dev holds a header split from
# a compiled Linux library, so the Windows programs take the whole header-only httplib.h from
# Debian's own cpp-httplib source package (with Debian's patches), into
# <build folder>/httplib/source. Prints the folder holding httplib.h. Done once per build folder.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out="${1:-$root/build-windows}"
dest="$out/httplib"
if ! compgen -G "$dest/source/cpp-httplib-*/httplib.h" >/dev/null; then
  bash "$root/tools/apt-source.sh" cpp-httplib "$dest/source" "$dest/apt" >&2
fi
dirname "$(compgen -G "$dest/source/cpp-httplib-*/httplib.h" | head -1)"
