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

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
export DEBIAN_FRONTEND=noninteractive
# apt-get update ignores the lock timeout, so it is retried.
for attempt in 1 2 3 4 5; do
  if "${sudo[@]}" apt-get update -o DPkg::Lock::Timeout=600; then break; fi
  [ "$attempt" -eq 5 ] && exit 1
  sleep 10
done
"${sudo[@]}" apt-get install -y -o DPkg::Lock::Timeout=600 --no-install-recommends "${missing[@]}"
