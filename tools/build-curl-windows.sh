#!/usr/bin/env bash
# Cross-builds a static libcurl with Schannel for 64-bit Windows, from Debian's own curl source
# package, into <build folder>/curl/install (default build-windows/curl/install). Debian ships no
# libcurl for mingw. Done once per build folder; later runs return at once.
#
# The source comes through apt-get source with a private sources list and state folder, so the
# system's apt configuration stays untouched: deb-src lines with the URIs, suites and keys of the
# system's deb lines. No CA bundle or CA path is compiled in (the host's Linux path would
# otherwise end up in the Windows binary); Schannel uses the Windows certificate store.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out="${1:-$root/build-windows}"
dest="$out/curl"
install="$dest/install"
[ -f "$install/lib/cmake/CURL/CURLConfig.cmake" ] && exit 0

state="$dest/apt"
mkdir -p "$state/lists/partial" "$dest/source"
sources="$state/sources.list"
python3 - "$sources" <<'PY'
import glob, sys

lines = []
def one_line_file(path):
    for line in open(path, encoding="utf-8", errors="replace"):
        line = line.strip()
        if line.startswith("deb "):
            lines.append("deb-src " + line[4:])

def deb822_file(path):
    stanza = {}
    def flush():
        if "deb" in stanza.get("types", "").split() and stanza.get("enabled", "yes") != "no":
            options = ""
            if "signed-by" in stanza:
                options = "[signed-by=%s] " % stanza["signed-by"]
            for uri in stanza.get("uris", "").split():
                for suite in stanza.get("suites", "").split():
                    lines.append("deb-src %s%s %s %s" % (options, uri, suite,
                                                          stanza.get("components", "")))
        stanza.clear()
    for raw in open(path, encoding="utf-8", errors="replace"):
        if raw.startswith("#"):
            continue
        if not raw.strip():
            flush()
            continue
        if ":" in raw and not raw[0].isspace():
            key, value = raw.split(":", 1)
            stanza[key.strip().lower()] = value.strip()
    flush()

for path in ["/etc/apt/sources.list"] + sorted(glob.glob("/etc/apt/sources.list.d/*.list")):
    try:
        one_line_file(path)
    except FileNotFoundError:
        pass
for path in sorted(glob.glob("/etc/apt/sources.list.d/*.sources")):
    deb822_file(path)
open(sys.argv[1], "w").write("\n".join(lines) + "\n")
PY

apt_options=(-o "Dir::Etc::sourcelist=$sources" -o "Dir::Etc::sourceparts=-"
             -o "Dir::State::Lists=$state/lists" -o "APT::Get::List-Cleanup=0")
for attempt in 1 2 3 4 5; do
  if apt-get -q "${apt_options[@]}" update >/dev/null; then break; fi
  [ "$attempt" -eq 5 ] && exit 1
  sleep 10
done
if ! compgen -G "$dest/source/curl-*/CMakeLists.txt" >/dev/null; then
  (cd "$dest/source" && apt-get -q "${apt_options[@]}" source curl >/dev/null)
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
