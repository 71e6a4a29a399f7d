#!/usr/bin/env bash
# Installs the Debian packages named as arguments that are not installed yet; does nothing when
# they all are. Needs root (or sudo) only when something is missing.
set -euo pipefail

missing=()
for p in "$@"; do
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
