#!/usr/bin/env bash
# Installs what is missing, builds with warnings as errors, and runs every test: the ctest suite
# (unit, real-process, sound, window and end-to-end tests) and a short fuzzing smoke run, then the
# Windows suite, cross-built with mingw-w64 and run under Wine (tools/test-windows.sh).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/tools/build.sh"
# The real-process tests measure the machine's CPU, so tests run one at a time.
ctest --test-dir "$root/build" --output-on-failure
bash "$root/fuzz/run_smoke.sh"
bash "$root/tools/test-windows.sh"
