#!/usr/bin/env bash
# Builds every fuzz target with clang in build-fuzz and runs each briefly from its seed corpus in
# fuzz/corpus/<name>. Exits non-zero when a fuzzer finds a crash (the input is kept in
# build-fuzz/artifacts).
set -euo pipefail

repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${repo}/build-fuzz"
seconds="${FUZZ_SECONDS:-10}"

# One name a line: fuzz/fuzz_<name>.cpp, seeds in fuzz/corpus/<name>.
targets=(
  settings
  service_reply
  text_from_bytes
  program_settings
  mailer_fields
  proc_stat
)

CC=clang CXX=clang++ cmake -S "${repo}" -B "${build}" -G Ninja -DTARNWICK_BUILD_FUZZ=ON \
  -DTARNWICK_BUILD_APP=OFF -DTARNWICK_BUILD_TESTS=OFF -DTARNWICK_BUILD_BENCH=OFF
ninja -C "${build}" -j2 "${targets[@]/#/fuzz_}"

mkdir -p "${build}/artifacts"
for name in "${targets[@]}"; do
  # New inputs go to a scratch corpus so the committed seeds stay as they are.
  work="$(mktemp -d)"
  echo "fuzz_${name}: ${seconds} s"
  status=0
  "${build}/bin/fuzz_${name}" -max_total_time="${seconds}" -max_len=4096 -rss_limit_mb=2048 \
    -artifact_prefix="${build}/artifacts/${name}-" "${work}" "${repo}/fuzz/corpus/${name}" ||
    status=$?
  rm -rf "${work}"
  if [ "${status}" -ne 0 ]; then exit "${status}"; fi
done
