#!/usr/bin/env bash
# Installs the Debian packages Tarnwick needs to build, run and test; does nothing when they are
# all present. Needs root (or sudo) only when something is missing.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins fonts-dejavu-core
  libcurl4-openssl-dev libasound2-dev libsndfile1-dev libsqlite3-dev qt6-charts-dev libqt6opengl6-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  python3 python3-aiosmtpd openssl sox xvfb xauth openbox x11-utils libx11-6
  clang libclang-rt-14-dev
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
