#!/usr/bin/env bash
# Installs what is missing, builds with warnings as errors, and runs every test: the ctest suite
# (unit, real-process, sound, window and end-to-end tests), a short fuzzing smoke run, the Debian
# packages (tools/package.sh, tools/check-packages.sh), then the Windows suite, cross-built with
# mingw-w64 and run under Wine (tools/test-windows.sh).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/tools/build.sh"
# The real-process tests measure the machine's CPU, so tests run one at a time.
ctest --test-dir "$root/build" --output-on-failure
bash "$root/fuzz/run_smoke.sh"
# The Debian packages: built from a Release build, checked, installed, run and purged.
bash "$root/tools/package.sh"
bash "$root/tools/check-packages.sh"
bash "$root/tools/test-windows.sh"
