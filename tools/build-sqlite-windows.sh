#!/usr/bin/env bash
# Cross-builds a static SQLite for 64-bit Windows from Debian's own sqlite3 source package into
# <build folder>/sqlite/install (default build-windows/sqlite/install): include/sqlite3.h and
# lib/libsqlite3.a. Debian ships no SQLite for mingw. The source package holds SQLite's source
# tree, not the one-file amalgamation, so the amalgamation is made first with the host's tools
# (a native configure, then make sqlite3.c, which needs tclsh). Done once per build folder; later
# runs return at once.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out="${1:-$root/build-windows}"
dest="$out/sqlite"
install="$dest/install"
[ -f "$install/lib/libsqlite3.a" ] && [ -f "$install/include/sqlite3.h" ] && exit 0

src=$(bash "$root/tools/debian-source.sh" sqlite3 "$dest")
amalgamation="$dest/amalgamation"
if [ ! -f "$amalgamation/sqlite3.c" ]; then
  rm -rf "$amalgamation"
  mkdir -p "$amalgamation"
  (cd "$amalgamation" && "$src/configure" --disable-tcl --disable-readline >/dev/null &&
     make sqlite3.c >/dev/null)
fi

# The options of a library for one program: thread-safe (the UI thread and the test mail's
# thread never share a connection, but the library must allow threads), no loadable extensions.
cc=x86_64-w64-mingw32-gcc-posix
launcher=${CMAKE_C_COMPILER_LAUNCHER:-}
mkdir -p "$dest/build" "$install/lib" "$install/include"
$launcher $cc -O2 -c "$amalgamation/sqlite3.c" -o "$dest/build/sqlite3.o" \
  -DSQLITE_THREADSAFE=1 -DSQLITE_OMIT_LOAD_EXTENSION -DSQLITE_DEFAULT_MEMSTATUS=0
x86_64-w64-mingw32-ar rcs "$install/lib/libsqlite3.a" "$dest/build/sqlite3.o"
cp "$amalgamation/sqlite3.h" "$amalgamation/sqlite3ext.h" "$install/include/" 2>/dev/null ||
  cp "$amalgamation/sqlite3.h" "$install/include/"
