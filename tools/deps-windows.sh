#!/usr/bin/env bash
# Installs the Debian packages of the Windows cross-build and its Wine test run (mingw-w64 with
# posix threads, Wine, GoogleTest's sources, dpkg-source to unpack the source packages of curl and
# SQLite, tclsh and a host compiler to make SQLite's one-file source, Xvfb for the windows'
# tests and pictures, NSIS for the installer); does nothing when they are all present. Needs root (or sudo) only when
# something is missing.
set -euo pipefail

packages=(
  cmake ninja-build python3
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  wine wine64 fonts-wine
  googletest
  dpkg-dev gcc make tcl
  xvfb xauth
  nsis
)

exec bash "$(dirname "$0")/apt-install.sh" "${packages[@]}"
