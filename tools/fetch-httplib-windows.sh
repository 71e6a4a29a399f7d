#!/usr/bin/env bash
# Fetches cpp-httplib for the Windows build: Debian's libcpp-httplib-dev holds a header split from
# a compiled Linux library, so the Windows programs take the whole header-only httplib.h from
# Debian's own cpp-httplib source package (tools/debian-source.sh), into
# <build folder>/httplib/source. Prints the folder holding httplib.h. Done once per build folder.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out="${1:-$root/build-windows}"
dest="$out/httplib"
bash "$root/tools/debian-source.sh" cpp-httplib "$dest"
