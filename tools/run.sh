#!/usr/bin/env bash
# Installs what is missing, builds, and starts Tarnwick. Without a display it runs headless and
# prints its log lines; Ctrl+C ends it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/tools/build.sh"
exec "$root/build/bin/tarnwick"
