#!/usr/bin/env bash
# Installs what is missing, builds with warnings as errors, and runs every test: the ctest suite
# (unit, real-process, sound, window and end-to-end tests) and a short fuzzing smoke run.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/tools/build.sh"
# The real-process tests measure the machine's CPU, so tests run one at a time.
ctest --test-dir "$root/build" --output-on-failure
bash "$root/fuzz/run_smoke.sh"
