#!/usr/bin/env bash
# Builds fuzz_settings with clang in build-fuzz and runs it for about 30 seconds from the seed
# corpus. Exits non-zero when the fuzzer finds a crash (the input is kept in build-fuzz/artifacts).
set -euo pipefail

repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${repo}/build-fuzz"
seconds="${FUZZ_SECONDS:-30}"

CC=clang CXX=clang++ cmake -S "${repo}" -B "${build}" -G Ninja -DTARNWICK_BUILD_FUZZ=ON \
  -DTARNWICK_BUILD_APP=OFF -DTARNWICK_BUILD_TESTS=OFF -DTARNWICK_BUILD_BENCH=OFF
ninja -C "${build}" -j2 fuzz_settings

# New inputs go to a scratch corpus so the committed seeds stay as they are.
work="$(mktemp -d)"
trap 'rm -rf "${work}"' EXIT
mkdir -p "${build}/artifacts"
"${build}/bin/fuzz_settings" -max_total_time="${seconds}" -max_len=4096 -rss_limit_mb=2048 \
  -artifact_prefix="${build}/artifacts/" "${work}" "${repo}/fuzz/corpus/settings"
