#!/usr/bin/env bash
# Builds (if needed) and runs the benchmarks; one command from the repository root:
#
#   bash bench/run.sh
#
# First, tarnwickd beside minimal /proc loops, side by side in one stretch at a 1 s cycle
# (TARNWICKD_BENCH_SECONDS, default 120; a multiple of 60 holds the same number of minute scans
# for each copy) at about 100, 1,000 and 4,000 processes (TARNWICKD_BENCH_LEVELS): idle with the
# usage history on and off, the alert path (a CPU threshold of 0 %), a bare loop of /proc/stat and
# /proc/meminfo and a raw scan (the bare loop and an open/read/close of every /proc/[pid]/stat).
# It prints CPU-seconds per hour and memory of each and the ratios: alert path / raw scan (goal
# <= 1.1 at 100 processes, <= 0.8 above), one minute scan / one raw scan (<= 0.8), idle with the
# history off / bare loop (<= 1.5 at 100), idle with the history on at 4,000 / at 100 (<= 2); then
# the alert path's cycles with every processor busy at the highest level (one a second), and the
# Windows note. TARNWICK_BENCH_ONLY=daemon stops there.
# Then the process scan in-process: the ranking against a reference scan per level and the monitor
# cycle under the thresholds (Google Benchmark; extra arguments go to it, e.g.
# --benchmark_filter=Ranking; TARNWICK_BENCH_LEVELS="80,500" picks other levels).
# Then the alert latency: from the start of the cycle that raises an alert to the arrival of its
# request at the local stand-in of the web service, as a median over 200 alerts (target: under
# 20 ms), and the length of that cycle while the service takes 2 s to answer.
# Then the peak memory of a read through each URL transport (Qt for the desktop program, libcurl
# for tarnwickd) while the stand-in floods it with 1 GiB, also with the UI thread busy for 1 s
# (target: within 10 MB of a short reply).
# Last, the usage history: the recorder's cost per cycle and per day, the database size per day at
# 1 s and 5 s cycles, the History window's opening time on 31 days of 1 s samples, and the idle
# CPU of the desktop program without a display at a 1 s cycle with the history on and off
# (TARNWICK_IDLE_SECONDS, default 300).
# BUILD_DIR picks the build folder (default build-bench beside this folder's parent). Sleeping
# children bring the machine to each process count (killed at the end): needs root or a process
# limit above 4000 (ulimit -u).
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${BUILD_DIR:-$root/build-bench}"

if [[ ! -f "$build/build.ninja" ]]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DTARNWICK_BUILD_APP=ON -DTARNWICK_BUILD_TESTS=OFF -DTARNWICK_BUILD_BENCH=ON
fi
if [[ "${TARNWICK_BENCH_ONLY:-}" == daemon ]]; then
  cmake --build "$build" --target tarnwick_daemon_bench tarnwickd
else
  cmake --build "$build" --target tarnwick_bench tarnwick_alert_latency tarnwick_transport_memory \
    tarnwick_history_bench tarnwick tarnwick_daemon_bench tarnwickd
fi

"$build/bin/tarnwick_daemon_bench" "$build/bin/tarnwickd" "${TARNWICKD_BENCH_SECONDS:-120}" \
  "${TARNWICKD_BENCH_LEVELS:-100,1000,4000}"
[[ "${TARNWICK_BENCH_ONLY:-}" == daemon ]] && exit 0
echo
"$build/bin/tarnwick_bench" "$@"
echo
"$build/bin/tarnwick_alert_latency" "$root/tests/fixtures/textpost_standin.py"
echo
"$build/bin/tarnwick_transport_memory" "$root/tests/fixtures/textpost_standin.py"
echo
"$build/bin/tarnwick_history_bench"
python3 "$root/bench/history_idle.py" "$build/bin" "${TARNWICK_IDLE_SECONDS:-300}"
