#!/usr/bin/env bash
# Cross-builds a static libcurl with Schannel for 64-bit Windows, from Debian's own curl source
# package, into <build folder>/curl/install (default build-windows/curl/install). Debian ships no
# libcurl for mingw. Done once per build folder; later runs return at once.
#
# The source comes through tools/apt-source.sh (apt-get source with a private sources list; the
# system's apt configuration stays untouched). No CA bundle or CA path is compiled in (the host's
# Linux path would otherwise end up in the Windows binary); Schannel uses the Windows certificate
# store.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out="${1:-$root/build-windows}"
dest="$out/curl"
install="$dest/install"
[ -f "$install/lib/cmake/CURL/CURLConfig.cmake" ] && exit 0

if ! compgen -G "$dest/source/curl-*/CMakeLists.txt" >/dev/null; then
  bash "$root/tools/apt-source.sh" curl "$dest/source" "$dest/apt"
fi
src=$(dirname "$(compgen -G "$dest/source/curl-*/CMakeLists.txt" | head -1)")

cmake -S "$src" -B "$dest/build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_INSTALL_PREFIX="$install" \
  -DBUILD_SHARED_LIBS=OFF -DBUILD_CURL_EXE=OFF -DBUILD_TESTING=OFF \
  -DCURL_USE_SCHANNEL=ON -DCURL_USE_OPENSSL=OFF -DCURL_ZLIB=OFF -DCURL_USE_LIBSSH2=OFF \
  -DUSE_LIBIDN2=OFF -DCURL_DISABLE_LDAP=ON -DCURL_USE_LIBPSL=OFF -DCURL_BROTLI=OFF \
  -DCURL_ZSTD=OFF -DUSE_NGHTTP2=OFF \
  -DCURL_CA_BUNDLE=none -DCURL_CA_PATH=none >/dev/null
cmake --build "$dest/build" -j "$(nproc)"
cmake --install "$dest/build" >/dev/null
