#!/usr/bin/env bash
# Prepares Wine for running the Windows tests; source it with the build folder as argument:
#   source tools/wine-env.sh build-windows
# The prefix lives under the build folder, so a clean build starts from a fresh prefix. No display,
# no debug output, no crash dialog, no Mono or Gecko download. A persistent wineserver is started
# first, then the prefix is booted with its stdio on /dev/null: Wine's services inherit the stdio of
# the wine call that starts them, and if that were a ctest pipe the reader would never see end of
# file and the run would hang.
wine_build_dir=$(cd "${1:?build folder}" && pwd)
export WINEPREFIX="$wine_build_dir/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win64
unset DISPLAY WAYLAND_DISPLAY
mkdir -p "$WINEPREFIX"
wineserver -p </dev/null >/dev/null 2>&1
wineboot -i </dev/null >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f \
  </dev/null >/dev/null 2>&1
# Sound goes to ALSA, where a test can capture it with ALSA's file plugin (ALSA_CONFIG_PATH).
wine reg add 'HKCU\Software\Wine\Drivers' /v Audio /t REG_SZ /d alsa /f \
  </dev/null >/dev/null 2>&1
unset wine_build_dir
