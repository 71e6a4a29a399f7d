#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in build-fuzz and runs each for about FUZZ_SECONDS
# (default 30) from its seed corpus fuzz/corpus/<name>. Exits non-zero when a fuzzer finds a crash
# (the input is kept in build-fuzz/artifacts).
set -euo pipefail

repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${repo}/build-fuzz"
seconds="${FUZZ_SECONDS:-30}"
# One line per target: its name after "fuzz_", which is also its corpus folder.
targets=(
  settings
  proc_stat
)

CC=clang CXX=clang++ cmake -S "${repo}" -B "${build}" -G Ninja -DTARNWICK_BUILD_FUZZ=ON \
  -DTARNWICK_BUILD_APP=OFF -DTARNWICK_BUILD_TESTS=OFF -DTARNWICK_BUILD_BENCH=OFF
ninja -C "${build}" -j2 "${targets[@]/#/fuzz_}"

# New inputs go to a scratch corpus so the committed seeds stay as they are.
work="$(mktemp -d)"
trap 'rm -rf "${work}"' EXIT
mkdir -p "${build}/artifacts"
for target in "${targets[@]}"; do
  mkdir -p "${work}/${target}"
  "${build}/bin/fuzz_${target}" -max_total_time="${seconds}" -max_len=4096 -rss_limit_mb=2048 \
    -artifact_prefix="${build}/artifacts/" "${work}/${target}" "${repo}/fuzz/corpus/${target}"
done
