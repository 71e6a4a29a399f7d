#!/usr/bin/env python3
"""Idle CPU of the real program at a 1 s cycle with the usage history on and off.

Usage: history_idle.py BUILD_BIN_DIR [SECONDS]

Starts two headless copies of BUILD_BIN_DIR/tarnwick side by side, each in its own program
folder and HOME, with a 1 s cycle and thresholds no sample reaches (idle cycles). In one the
history file's place is taken by a folder, so the history switches itself off on first use; the
other records. After SECONDS (default 300) it reads each one's CPU time from /proc, ends both,
and prints CPU-seconds per hour and the ratio (goal: on at most 1.10 times off).
"""

import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

ASSETS = ("tarnwick", "eyestop.ico", "eyerun.ico", "alert.wav", "alert1.wav", "Hand-m.cur")
# setting.ini: a cycle every tick, thresholds of 101%, alerts and log file off.
SETTINGS = ["0", "101", "101", "10", "bench", "0", "0", "10", "False", "", "0", "", "0", "0",
            "23", "0", "", "", "", "", "20", "0", "0", "23"]


def cpu_seconds(pid):
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def start(bin_dir, root, history_on):
    prog = os.path.join(root, "prog")
    home = os.path.join(root, "home")
    os.makedirs(prog)
    os.makedirs(os.path.join(home, "monitor_log"))
    for name in ASSETS:
        shutil.copy2(os.path.join(bin_dir, name), prog)
    with open(os.path.join(prog, "setting.ini"), "w", newline="") as f:
        f.write("".join(line + "\r\n" for line in SETTINGS))
    if not history_on:
        os.makedirs(os.path.join(home, "monitor_log", "Tarnwick_history.sqlite"))
    env = dict(os.environ, HOME=home)
    for name in ("DISPLAY", "WAYLAND_DISPLAY"):
        env.pop(name, None)
    return subprocess.Popen([os.path.join(prog, "tarnwick")], env=env,
                            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)


def main(argv):
    if len(argv) not in (2, 3):
        sys.stderr.write(__doc__)
        return 2
    bin_dir = os.path.abspath(argv[1])
    seconds = int(argv[2]) if len(argv) == 3 else 300
    with tempfile.TemporaryDirectory(prefix="tarnwick-idle-") as root:
        on = start(bin_dir, os.path.join(root, "on"), True)
        off = start(bin_dir, os.path.join(root, "off"), False)
        try:
            time.sleep(5)
            base = {p.pid: cpu_seconds(p.pid) for p in (on, off)}
            time.sleep(seconds)
            used = {p.pid: cpu_seconds(p.pid) - base[p.pid] for p in (on, off)}
            db = os.path.join(root, "on", "home", "monitor_log", "Tarnwick_history.sqlite")
            size = sum(os.path.getsize(db + end) for end in ("", "-wal") if
                       os.path.exists(db + end))
        finally:
            for p in (on, off):
                p.send_signal(signal.SIGTERM)
            outputs = [p.communicate(timeout=30)[0] for p in (on, off)]
    per_hour = {k: v * 3600.0 / seconds for k, v in used.items()}
    print("idle CPU at a 1 s cycle over %d s: history on %.2f s/h, off %.2f s/h, ratio %.3f"
          " (goal: at most 1.10)" % (seconds, per_hour[on.pid], per_hour[off.pid],
                                     per_hour[on.pid] / max(per_hour[off.pid], 1e-9)))
    print("history file and journal after the run: %d bytes" % size)
    if "Usage history is off" not in outputs[1]:
        print("warning: the history of the 'off' copy did not switch off")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
