#!/bin/sh
# Runs a command on the current X display (xvfb-run's) under openbox, a window manager that has
# no system tray, as many desktops have none. Waits until openbox manages the screen first.
set -eu
openbox --sm-disable >/dev/null 2>&1 &
wm=$!
trap 'kill "$wm" 2>/dev/null || true' EXIT
tries=0
until xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; do
  tries=$((tries + 1))
  if [ "$tries" -gt 100 ]; then
    echo "openbox did not start" >&2
    exit 1
  fi
  sleep 0.1
done
"$@"
