#!/usr/bin/env bash
# Installs the Debian packages of the Windows cross-build and its Wine test run (mingw-w64 with
# posix threads, Wine, GoogleTest's sources, dpkg-source to unpack curl's source package); does
# nothing when they are all present. Needs root (or sudo) only when something is missing.
set -euo pipefail

packages=(
  cmake ninja-build python3
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  wine wine64
  googletest
  dpkg-dev
)

exec bash "$(dirname "$0")/apt-install.sh" "${packages[@]}"
