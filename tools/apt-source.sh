#!/usr/bin/env bash
# Fetches and unpacks the source of a Debian package (apt-get source) into a folder, for the
# Windows cross-build of what Debian ships only for Linux:
#   bash tools/apt-source.sh PACKAGE DEST-FOLDER STATE-FOLDER
# It uses a sources list and a state folder of its own under STATE-FOLDER, so the system's apt
# configuration stays untouched: deb-src lines with the URIs, suites and keys of the system's deb
# lines.
set -euo pipefail
package="$1"
dest="$2"
state="$3"
mkdir -p "$state/lists/partial" "$dest"
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
(cd "$dest" && apt-get -q "${apt_options[@]}" source "$package" >/dev/null)
