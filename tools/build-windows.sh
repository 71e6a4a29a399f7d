#!/usr/bin/env bash
# Installs what is missing (mingw-w64, Wine, GoogleTest's sources) and cross-builds Tarnwick for
# 64-bit Windows into build-windows/ (tarnwick.exe, tarnwickd.exe, mailcmdssl.exe and their assets
# in build-windows/bin). GoogleTest is built once for mingw into build-windows/gtest. Extra arguments go to the CMake configure.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out="$root/build-windows"
toolchain="$root/cmake/mingw-w64-x86_64.cmake"
bash "$root/tools/deps-windows.sh"

gtest="$out/gtest"
if [ ! -f "$gtest/install/lib/cmake/GTest/GTestConfig.cmake" ]; then
  cmake -S /usr/src/googletest -B "$gtest/build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_INSTALL_PREFIX="$gtest/install" \
    -Dgtest_disable_pthreads=OFF >/dev/null
  cmake --build "$gtest/build" -j "$(nproc)"
  cmake --install "$gtest/build" >/dev/null
fi

# A static libcurl with Schannel for the web service transport, tarnwickd.exe and mailcmdssl.exe,
# and a static SQLite for the usage history; each built once per build folder.
bash "$root/tools/build-curl-windows.sh" "$out"
bash "$root/tools/build-sqlite-windows.sh" "$out"
# cpp-httplib's header for the metrics endpoint.
httplib=$(bash "$root/tools/fetch-httplib-windows.sh" "$out")

cmake -S "$root" -B "$out" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DTARNWICK_WERROR=ON -DTARNWICK_BUILD_BENCH=OFF \
  -DGTest_DIR="$gtest/install/lib/cmake/GTest" -DCURL_DIR="$out/curl/install/lib/cmake/CURL" \
  -DSQLite3_INCLUDE_DIR="$out/sqlite/install/include" \
  -DSQLite3_LIBRARY="$out/sqlite/install/lib/libsqlite3.a" -DTARNWICK_HTTPLIB_DIR="$httplib" "$@"
cmake --build "$out" -j "$(nproc)"
