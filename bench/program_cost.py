#!/usr/bin/env python3
"""What the real program costs the machine, side by side with the bare minimum.

One command from the repository root (builds build-release/ first when needed):

    python3 bench/program_cost.py            # 2 phases of 120 s each
    python3 bench/program_cost.py --seconds 300

It installs the Release build's program folder (cmake --install) into a temporary folder, once
per instance, with a 1-second cycle, and runs for a fixed time, all at once:

- the program shown on a private X server (Xvfb),
- the program on the same server, minimised into the server's tray (hidden),
- the program without a display (headless),
- the same with its metrics endpoint on (--metrics-listen) and scraped every 15 s, as a
  Prometheus server with the default interval would ("headless scraped"),
- a bare loop that reads /proc/stat and /proc/meminfo every second,
- a bare scan: the same plus one read of every /proc/[pid]/stat every second,
- a bare Qt loop, shown on the same server and hidden: a window with one label and a
  1-second QTimer doing the bare loop's reads and showing the figures with the time. It is the
  floor any Qt desktop program pays for the cycle, and the program's distance from it is what
  the program itself adds,
- a bare Qt program whose event loop sleeps: a thread of its own does the bare loop's reads every
  second and hands the figures to the hidden window once a minute. It is the floor of any Qt
  program, even one that ran its cycle outside Qt's event loop.

Phase "idle" runs with thresholds no sample reaches (101 %); phase "hog" adds a process that
keeps one processor busy and sets the CPU threshold to 1 %, so that every cycle takes the alert
path (an exceed line, the ranking of the processes, an alert every 10 samples; no service account,
so nothing is sent). It prints each one's CPU-seconds per hour, its ratio to the bare loop and
the bare scan, and its resident memory at the end. CPU time is the sum over each process's
threads of the time they ran (/proc/PID/task/*/schedstat), taken after a 40 s warm-up that
leaves the start-up work (the history database opens at its first write) out of the figures.

The machine's load average is printed too: the instances run side by side, so a load that comes
and goes weighs on all of them alike, and the ratios stay meaningful on a shared machine.
"""

import argparse
import ctypes
import os
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time
import urllib.request

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
# Long enough for the start-up work to be done: the usage history opens its database at its
# first write, 30 s in. What is measured is the steady state of a program left running.
WARM_UP_S = 40

# Goals of the program's cost, as ratios to the bare loops.
GOAL_HIDDEN_TO_LOOP = 1.5
GOAL_SHOWN_TO_LOOP = 3.0
GOAL_ALERT_TO_SCAN = 1.5
# The metrics endpoint scraped every SCRAPE_INTERVAL_S, as a ratio to the program without it.
GOAL_SCRAPED_TO_HEADLESS = 1.1
SCRAPE_INTERVAL_S = 15


def build(build_dir):
    if not os.path.exists(os.path.join(build_dir, "build.ninja")):
        subprocess.run(["cmake", "-S", ROOT, "-B", build_dir, "-G", "Ninja",
                        "-DCMAKE_BUILD_TYPE=Release", "-DTARNWICK_WERROR=ON",
                        "-DTARNWICK_BUILD_TESTS=OFF", "-DTARNWICK_BUILD_BENCH=ON"], check=True)
    subprocess.run(["cmake", "--build", build_dir, "--target", "tarnwick", "tarnwickd", "mailcmdssl",
                    "tarnwick_assets", "tarnwick_bare_loop", "tarnwick_bare_qt_loop"], check=True)


def setting_ini(cpu_high):
    """setting.ini: 1-second cycle, no sound, no kill, no service account, log file on."""
    lines = ["1", cpu_high, "101", "10", "bench", "1", "0", "10", "True", "", "0", "", "0",
             "8", "19", "0", "", "", "", "", "10", "0", "8", "19"]
    return "".join(line + "\r\n" for line in lines)


def install_instance(build_dir, folder, cpu_high):
    subprocess.run(["cmake", "--install", build_dir, "--prefix", folder], check=True,
                   stdout=subprocess.DEVNULL)
    with open(os.path.join(folder, "setting.ini"), "w", newline="") as f:
        f.write(setting_ini(cpu_high))
    home = os.path.join(folder, "home")
    os.makedirs(home, exist_ok=True)
    return home


def cpu_ns(pid):
    """CPU time of all live threads of a process, in ns."""
    total = 0
    try:
        for task in os.listdir(f"/proc/{pid}/task"):
            try:
                with open(f"/proc/{pid}/task/{task}/schedstat") as f:
                    total += int(f.read().split()[0])
            except (OSError, ValueError, IndexError):
                pass
    except OSError:
        return None
    return total


def rss_mb(pid):
    try:
        with open(f"/proc/{pid}/status") as f:
            for line in f:
                if line.startswith("VmRSS:"):
                    return int(line.split()[1]) / 1024
    except OSError:
        pass
    return None


def process_count():
    return sum(1 for name in os.listdir("/proc") if name.isdigit())


class Xvfb:
    """A private X server; its display name is `name`."""

    def __init__(self):
        read_end, write_end = os.pipe()
        self.proc = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1280x1024x24", "-nolisten",
             "tcp"], pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        number = b""
        deadline = time.monotonic() + 20
        while not number.endswith(b"\n") and time.monotonic() < deadline:
            chunk = os.read(read_end, 16)
            if not chunk:
                break
            number += chunk
        os.close(read_end)
        if not number.strip():
            self.stop()
            sys.exit("Xvfb did not start")
        self.name = ":" + number.decode().strip()

    def stop(self):
        self.proc.terminate()
        self.proc.wait(timeout=10)


class Tray:
    """The system tray of the private X server: a window owning the _NET_SYSTEM_TRAY_S0
    selection, which is how a program learns that a tray is there. Docking requests are left
    unanswered; the program only needs to know it can hide its window in the tray."""

    def __init__(self, display):
        self.x11 = ctypes.cdll.LoadLibrary("libX11.so.6")
        x11 = self.x11
        x11.XOpenDisplay.restype = ctypes.c_void_p
        x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
        x11.XDefaultRootWindow.restype = ctypes.c_ulong
        x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        x11.XCreateSimpleWindow.restype = ctypes.c_ulong
        x11.XCreateSimpleWindow.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int,
                                            ctypes.c_int, ctypes.c_uint, ctypes.c_uint,
                                            ctypes.c_uint, ctypes.c_ulong, ctypes.c_ulong]
        x11.XInternAtom.restype = ctypes.c_ulong
        x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
        x11.XSetSelectionOwner.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong,
                                           ctypes.c_ulong]
        x11.XGetSelectionOwner.restype = ctypes.c_ulong
        x11.XGetSelectionOwner.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
        x11.XFlush.argtypes = [ctypes.c_void_p]
        x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
        self.dpy = x11.XOpenDisplay(display.encode())
        if not self.dpy:
            sys.exit(f"cannot open {display} for the tray")
        window = x11.XCreateSimpleWindow(self.dpy, x11.XDefaultRootWindow(self.dpy), 0, 0, 1, 1,
                                         0, 0, 0)
        selection = x11.XInternAtom(self.dpy, b"_NET_SYSTEM_TRAY_S0", 0)
        x11.XSetSelectionOwner(self.dpy, selection, window, 0)
        x11.XFlush(self.dpy)
        if x11.XGetSelectionOwner(self.dpy, selection) != window:
            sys.exit("the tray selection could not be taken")

    def stop(self):
        self.x11.XCloseDisplay(self.dpy)


def windows_of(display, pid):
    """Top-level windows whose _NET_WM_PID is `pid`."""
    env = dict(os.environ, DISPLAY=display)
    tree = subprocess.run(["xwininfo", "-root", "-children"], env=env, capture_output=True,
                          text=True).stdout
    found = []
    for line in tree.splitlines():
        line = line.strip()
        if not line.startswith("0x"):
            continue
        window = line.split()[0]
        prop = subprocess.run(["xprop", "-id", window, "_NET_WM_PID"], env=env,
                              capture_output=True, text=True).stdout
        if prop.strip().endswith(f"= {pid}"):
            found.append(int(window, 16))
    return found


def mapped(display, window):
    env = dict(os.environ, DISPLAY=display)
    info = subprocess.run(["xwininfo", "-id", hex(window)], env=env, capture_output=True,
                          text=True).stdout
    return "IsViewable" in info


def minimise(display, pid):
    """Minimises the program's window the way a window manager does (WM_STATE Iconic), then
    gives the program a moment to take it in."""
    x11 = ctypes.cdll.LoadLibrary("libX11.so.6")
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XInternAtom.restype = ctypes.c_ulong
    x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    x11.XChangeProperty.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong,
                                    ctypes.c_ulong, ctypes.c_int, ctypes.c_int, ctypes.c_void_p,
                                    ctypes.c_int]
    x11.XFlush.argtypes = [ctypes.c_void_p]
    x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
    windows = windows_of(display, pid)
    if not windows:
        sys.exit(f"no window of process {pid} on {display}")
    dpy = x11.XOpenDisplay(display.encode())
    wm_state = x11.XInternAtom(dpy, b"WM_STATE", 0)
    iconic = (ctypes.c_long * 2)(3, 0)
    for window in windows:
        x11.XChangeProperty(dpy, window, wm_state, wm_state, 32, 0, iconic, 2)
    x11.XFlush(dpy)
    x11.XCloseDisplay(dpy)
    # With the tray the program hides its window: it is unmapped after a moment.
    deadline = time.monotonic() + 2
    while any(mapped(display, w) for w in windows) and time.monotonic() < deadline:
        time.sleep(0.2)
    return not any(mapped(display, w) for w in windows)


def free_port():
    with socket.socket() as sock:
        sock.bind(("127.0.0.1", 0))
        return sock.getsockname()[1]


class Scraper(threading.Thread):
    """GET /metrics every `interval` seconds until stopped, as Prometheus does."""

    def __init__(self, port, interval):
        super().__init__(daemon=True)
        self.url = f"http://127.0.0.1:{port}/metrics"
        self.interval = interval
        self.stopped = threading.Event()
        self.scrapes = 0
        self.failures = 0

    def run(self):
        while not self.stopped.wait(self.interval):
            try:
                with urllib.request.urlopen(self.url, timeout=5) as reply:
                    reply.read()
                self.scrapes += 1
            except OSError:
                self.failures += 1


class Phase:
    def __init__(self, name, build_dir, work, cpu_high, hog):
        self.name = name
        self.build_dir = build_dir
        self.work = os.path.join(work, name)
        self.cpu_high = cpu_high
        self.hog = hog
        self.procs = {}  # label -> Popen
        self.scraper = None

    def install_program(self, label):
        folder = os.path.join(self.work, label)
        return folder, install_instance(self.build_dir, folder, self.cpu_high)

    def launch_program(self, label, installed, display, args=()):
        folder, home = installed
        env = {k: v for k, v in os.environ.items()
               if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
        env["HOME"] = home
        if display:
            env["DISPLAY"] = display
        self.procs[label] = subprocess.Popen([os.path.join(folder, "tarnwick"), *args], env=env,
                                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def start_program(self, label, display):
        self.launch_program(label, self.install_program(label), display)

    def start_qt_loop(self, label, display, mode):
        env = {k: v for k, v in os.environ.items()
               if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
        env["DISPLAY"] = display
        binary = os.path.join(self.build_dir, "bin", "tarnwick_bare_qt_loop")
        self.procs[label] = subprocess.Popen([binary, mode], env=env, stdout=subprocess.DEVNULL,
                                             stderr=subprocess.DEVNULL)

    def start_loop(self, label, mode):
        binary = os.path.join(self.build_dir, "bin", "tarnwick_bare_loop")
        self.procs[label] = subprocess.Popen([binary, mode])

    def run(self, seconds, display):
        if self.hog:
            self.start_loop("hog", "hog")
        self.start_program("shown", display)
        self.start_program("hidden", display)
        # The two headless instances start together, so that their once-a-minute process scans
        # and half-minute history writes fall alike into the measured time.
        plain = self.install_program("headless")
        scraped = self.install_program("headless scraped")
        port = free_port()
        self.launch_program("headless", plain, None)
        self.launch_program("headless scraped", scraped, None,
                            ["--metrics-listen", f"127.0.0.1:{port}"])
        self.scraper = Scraper(port, SCRAPE_INTERVAL_S)
        self.scraper.start()
        self.start_loop("bare loop", "proc")
        self.start_loop("bare scan", "scan")
        self.start_qt_loop("bare Qt shown", display, "shown")
        self.start_qt_loop("bare Qt hidden", display, "hidden")
        self.start_qt_loop("bare Qt thread", display, "thread")
        time.sleep(WARM_UP_S)
        if not minimise(display, self.procs["hidden"].pid):
            sys.exit("the program did not hide its window in the tray")
        time.sleep(2)
        for label, proc in self.procs.items():
            if proc.poll() is not None:
                sys.exit(f"{label} ended early ({proc.returncode})")
        labels = [label for label in self.procs if label != "hog"]
        load_before = os.getloadavg()[0]
        start = {label: cpu_ns(self.procs[label].pid) for label in labels}
        t0 = time.monotonic()
        time.sleep(seconds)
        elapsed = time.monotonic() - t0
        end = {label: cpu_ns(self.procs[label].pid) for label in labels}
        rss = {label: rss_mb(self.procs[label].pid) for label in labels}
        load_after = os.getloadavg()[0]
        if self.scraper.scrapes == 0 or self.scraper.failures:
            sys.exit(f"scrapes: {self.scraper.scrapes} answered, {self.scraper.failures} failed")
        self.stop()
        per_hour = {label: (end[label] - start[label]) / 1e9 * 3600 / elapsed for label in labels}
        return per_hour, rss, (load_before, load_after)

    def stop(self):
        if self.scraper:
            self.scraper.stopped.set()
        for proc in self.procs.values():
            if proc.poll() is None:
                proc.send_signal(signal.SIGTERM)
        for proc in self.procs.values():
            try:
                proc.wait(timeout=10)
            except subprocess.TimeoutExpired:
                proc.kill()
                proc.wait()


def report(name, per_hour, rss, load):
    loop = per_hour["bare loop"]
    scan = per_hour["bare scan"]
    print(f"\nPhase {name}: load average {load[0]:.1f} at the start, {load[1]:.1f} at the end, "
          f"{process_count()} processes")
    print(f"{'':17} {'CPU-s/hour':>11} {'/ bare loop':>12} {'/ bare scan':>12} {'RSS MB':>8}")
    for label, cost in per_hour.items():
        ratio_loop = cost / loop if loop > 0 else float("nan")
        ratio_scan = cost / scan if scan > 0 else float("nan")
        print(f"{label:17} {cost:11.2f} {ratio_loop:12.2f} {ratio_scan:12.2f} {rss[label]:8.1f}")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--seconds", type=float, default=120, help="measuring time per phase")
    parser.add_argument("--build", default=os.path.join(ROOT, "build-release"),
                        help="the Release build folder (built when needed)")
    parser.add_argument("--skip-build", action="store_true",
                        help="take the build folder as it is")
    args = parser.parse_args()
    for tool in ("Xvfb", "xwininfo", "xprop", "cmake"):
        if shutil.which(tool) is None:
            sys.exit(f"{tool} is missing (bash tools/deps.sh installs it)")
    if not args.skip_build:
        build(args.build)

    work = tempfile.mkdtemp(prefix="tarnwick_cost_")
    xvfb = Xvfb()
    tray = Tray(xvfb.name)
    results = {}
    try:
        for name, cpu_high, hog in (("idle", "101", False), ("hog", "1", True)):
            phase = Phase(name, args.build, work, cpu_high, hog)
            try:
                results[name] = phase.run(args.seconds, xvfb.name)
            finally:
                phase.stop()
            report(name, *results[name])
    finally:
        tray.stop()
        xvfb.stop()
        shutil.rmtree(work, ignore_errors=True)

    idle, _, _ = results["idle"]
    hog, _, _ = results["hog"]
    print("\nGoals (ratios of CPU time):")
    goals = [
        ("idle, hidden / bare loop", idle["hidden"] / idle["bare loop"], GOAL_HIDDEN_TO_LOOP),
        ("idle, headless / bare loop", idle["headless"] / idle["bare loop"], GOAL_HIDDEN_TO_LOOP),
        ("idle, shown / bare loop", idle["shown"] / idle["bare loop"], GOAL_SHOWN_TO_LOOP),
        ("alert path, hidden / bare scan", hog["hidden"] / hog["bare scan"], GOAL_ALERT_TO_SCAN),
        ("alert path, headless / bare scan", hog["headless"] / hog["bare scan"],
         GOAL_ALERT_TO_SCAN),
        ("alert path, shown / bare scan", hog["shown"] / hog["bare scan"], None),
        # The metrics endpoint scraped every 15 s, against the same program without it.
        ("idle, headless scraped / headless", idle["headless scraped"] / idle["headless"],
         GOAL_SCRAPED_TO_HEADLESS),
        ("alert path, headless scraped / headless", hog["headless scraped"] / hog["headless"],
         None),
        # The floor of a Qt desktop program and the program's distance from it.
        ("idle, bare Qt hidden / bare loop", idle["bare Qt hidden"] / idle["bare loop"], None),
        ("idle, bare Qt shown / bare loop", idle["bare Qt shown"] / idle["bare loop"], None),
        ("idle, bare Qt thread / bare loop", idle["bare Qt thread"] / idle["bare loop"], None),
        ("idle, hidden / bare Qt hidden", idle["hidden"] / idle["bare Qt hidden"], None),
        ("idle, shown / bare Qt shown", idle["shown"] / idle["bare Qt shown"], None),
    ]
    for label, ratio, goal in goals:
        verdict = "" if goal is None else (f"  goal <= {goal}: " +
                                           ("met" if ratio <= goal else "NOT met"))
        print(f"  {label:40} {ratio:6.2f}{verdict}")


if __name__ == "__main__":
    main()
