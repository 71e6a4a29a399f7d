#!/usr/bin/env bash
# Runs a command under Wine with real windows: a private Xvfb server, and a Wine prefix whose
# desktop lives on it (a prefix booted without a display has no desktop to put windows on, so the
# windows' tests and pictures have a prefix of their own). Ends the prefix's wineserver and the X
# server afterwards and exits with the command's status.
#   bash tools/wine-display.sh PREFIX COMMAND [ARGUMENT...]
# The prefix is made on first use (about half a minute) and kept for later runs. Wine draws the
# windows' title bars and frames itself, as Windows does, since no window manager runs.
set -uo pipefail
prefix=$(mkdir -p "${1:?prefix folder}" && cd "$1" && pwd)
shift
geometry=${TARNWICK_SCREEN:-1280x1024x24}

display_file=$(mktemp)
Xvfb -displayfd 9 -screen 0 "$geometry" -nolisten tcp 9>"$display_file" \
  </dev/null >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 1 100); do
  [ -s "$display_file" ] && break
  sleep 0.1
done
number=$(head -1 "$display_file")
rm -f "$display_file"
if [ -z "$number" ]; then
  echo "wine-display: Xvfb did not start" >&2
  kill "$xvfb" 2>/dev/null
  exit 1
fi

export DISPLAY=":$number" WINEPREFIX="$prefix" WINEDEBUG=-all WINEARCH=win64
export WINEDLLOVERRIDES="mscoree,mshtml="
unset WAYLAND_DISPLAY
# Wine's services keep the standard streams of the wine call that starts them: they get
# /dev/null, never a pipe of the caller's.
wineserver -p </dev/null >/dev/null 2>&1 || true
if [ ! -f "$prefix/system.reg" ]; then
  wineboot -i </dev/null >/dev/null 2>&1
  wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f \
    </dev/null >/dev/null 2>&1
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f \
    </dev/null >/dev/null 2>&1
else
  wineboot </dev/null >/dev/null 2>&1
fi
# Debian's Wine does not find the Marlett font of its own fonts-wine package, and draws the
# title bars' buttons as letters without it.
if [ -f /usr/share/wine/fonts/marlett.ttf ] && [ ! -f "$prefix/drive_c/windows/Fonts/marlett.ttf" ]; then
  cp /usr/share/wine/fonts/marlett.ttf "$prefix/drive_c/windows/Fonts/"
fi
"$@"
status=$?
wineserver -k </dev/null >/dev/null 2>&1
kill "$xvfb" 2>/dev/null
wait "$xvfb" 2>/dev/null
exit "$status"
