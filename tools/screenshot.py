#!/usr/bin/env python3
"""Takes a picture of the real Tarnwick window under Xvfb, to check its layout by eye.

Usage: screenshot.py BUILD_BIN_DIR OUT.png [SECONDS]

Copies the program and its assets from BUILD_BIN_DIR (the build's bin folder, which also holds
tarnwick_screen_grab) into a temporary program folder with a setting.ini that monitors every
second, starts a private Xvfb server, runs the program on it for SECONDS (default 5) and grabs
the screen. Everything it starts is ended before it returns.
"""

import os
import shutil
import signal
import subprocess
import sys
import tempfile

ASSETS = ("eyestop.ico", "eyerun.ico", "alert.wav", "alert1.wav", "Hand-m.cur")
# Lines of setting.ini: a 1 s cycle, thresholds that the machine crosses now and then, logging on.
SETTING_LINES = ["1", "20", "90", "3", "SCREENSHOT", "1", "", "", "True"] + [""] * 15


def start_xvfb(screen="1024x768x24"):
    """Starts Xvfb on a free display with one screen of the given geometry; returns (process,
    display name)."""
    read_end, write_end = os.pipe()
    server = subprocess.Popen(
        ["Xvfb", "-displayfd", str(write_end), "-screen", "0", screen, "-nolisten", "tcp"],
        pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_end)
    with os.fdopen(read_end) as pipe:
        number = pipe.readline().strip()
    if not number:
        server.kill()
        raise RuntimeError("Xvfb did not report a display")
    return server, ":" + number


def stop(process):
    if process.poll() is None:
        process.send_signal(signal.SIGTERM)
        try:
            process.wait(timeout=5)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()


def main(argv):
    if len(argv) not in (3, 4):
        sys.stderr.write(__doc__)
        return 2
    bin_dir, out_png = argv[1], os.path.abspath(argv[2])
    seconds = float(argv[3]) if len(argv) == 4 else 5.0
    with tempfile.TemporaryDirectory(prefix="tarnwick-shot-") as root:
        program_dir = os.path.join(root, "program")
        home = os.path.join(root, "home")
        os.makedirs(program_dir)
        os.makedirs(home)
        for name in ("tarnwick",) + ASSETS:
            shutil.copy2(os.path.join(bin_dir, name), program_dir)
        with open(os.path.join(program_dir, "setting.ini"), "wb") as out:
            out.write("".join(line + "\r\n" for line in SETTING_LINES).encode())

        server, display = start_xvfb()
        env = dict(os.environ, DISPLAY=display, HOME=home)
        env.pop("WAYLAND_DISPLAY", None)
        env.pop("QT_QPA_PLATFORM", None)
        program = subprocess.Popen([os.path.join(program_dir, "tarnwick")], env=env,
                                   stdout=subprocess.DEVNULL)
        try:
            grab = subprocess.run(
                [os.path.join(bin_dir, "tarnwick_screen_grab"), out_png,
                 str(int(seconds * 1000))], env=env, timeout=seconds + 30)
            if grab.returncode != 0:
                return grab.returncode
        finally:
            stop(program)
            stop(server)
    print(out_png)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
