#!/usr/bin/env bash
# Builds (if needed) and runs the benchmarks; one command from the repository root:
#
#   bash bench/run.sh
#
# It brings the machine to about 80, 1000 and 4000 processes with sleeping children (killed and
# reaped at the end) and prints the Google Benchmark table, then a summary: reference scan vs.
# ranking per level (target ratio <= 1.3) and the monitor cycle under the thresholds, in CPU time,
# at the lowest vs. the highest level (target: about the same). Extra arguments go to the benchmark
# (e.g. --benchmark_filter=Ranking); TARNWICK_BENCH_LEVELS="80,500" picks other levels;
# BUILD_DIR picks the build folder (default build-bench beside this folder's parent).
# Needs root or a process limit above 4000 (ulimit -u).
# Then the alert latency: from the start of the cycle that raises an alert to the arrival of its
# request at the local stand-in of the web service, as a median over 200 alerts (target: under
# 20 ms), and the length of that cycle while the service takes 2 s to answer.
# Then the peak memory of a read through each URL transport (Qt for the desktop program, libcurl
# for tarnwickd) while the stand-in floods it with 1 GiB, also with the UI thread busy for 1 s
# (target: within 10 MB of a short reply).
# Then the usage history: the recorder's cost per cycle and per day, the database size per day at
# 1 s and 5 s cycles, the History window's opening time on 31 days of 1 s samples, and the idle
# CPU of the real program at a 1 s cycle with the history on and off (TARNWICK_IDLE_SECONDS,
# default 300).
# Last, tarnwickd beside minimal /proc loops at a 1 s cycle (TARNWICKD_BENCH_SECONDS, default
# 120): idle CPU-seconds per hour against a bare loop (target <= 1.5x), its RSS (target < 10 MB)
# and, while a threshold is exceeded, against a raw scan of every process (target <= 1.5x).
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${BUILD_DIR:-$root/build-bench}"

if [[ ! -f "$build/build.ninja" ]]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DTARNWICK_BUILD_APP=ON -DTARNWICK_BUILD_TESTS=OFF -DTARNWICK_BUILD_BENCH=ON
fi
cmake --build "$build" --target tarnwick_bench tarnwick_alert_latency tarnwick_transport_memory \
  tarnwick_history_bench tarnwick tarnwick_daemon_bench tarnwickd

"$build/bin/tarnwick_bench" "$@"
echo
"$build/bin/tarnwick_alert_latency" "$root/tests/fixtures/textpost_standin.py"
echo
"$build/bin/tarnwick_transport_memory" "$root/tests/fixtures/textpost_standin.py"
echo
"$build/bin/tarnwick_history_bench"
python3 "$root/bench/history_idle.py" "$build/bin" "${TARNWICK_IDLE_SECONDS:-300}"
"$build/bin/tarnwick_daemon_bench" "$build/bin/tarnwickd" "${TARNWICKD_BENCH_SECONDS:-120}"
