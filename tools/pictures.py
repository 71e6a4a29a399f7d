#!/usr/bin/env python3
"""Renders the Tarnwick main window and its settings dialogs to PNG files under a private Xvfb.

Usage: pictures.py BUILD_BIN_DIR [OUT_DIR]

Runs BUILD_BIN_DIR/tarnwick_pictures (built with the program; it shows each window through its
model and grabs it) on a private Xvfb server with real fonts and styles, and leaves
main-window.png, alert-settings.png, smtp-settings.png, program-monitor.png, history.png and
processes.png in OUT_DIR (default: docs/ of the repository), then the same windows under a dark
theme as main-window-dark.png and so on. Everything it starts is ended before it returns.
"""

import os
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from screenshot import start_xvfb, stop  # noqa: E402

SCREEN = "1600x1200x24"
TIME_LIMIT_S = 120


def main(argv):
    if len(argv) not in (2, 3):
        sys.stderr.write(__doc__)
        return 2
    bin_dir = os.path.abspath(argv[1])
    repo = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    out_dir = os.path.abspath(argv[2]) if len(argv) == 3 else os.path.join(repo, "docs")
    tool = os.path.join(bin_dir, "tarnwick_pictures")
    if not os.access(tool, os.X_OK):
        sys.stderr.write("no %s: build the target tarnwick_pictures first\n" % tool)
        return 1
    with tempfile.TemporaryDirectory(prefix="tarnwick-pictures-") as home:
        server, display = start_xvfb(SCREEN)
        env = dict(os.environ, DISPLAY=display, HOME=home)
        for name in ("WAYLAND_DISPLAY", "QT_QPA_PLATFORM"):
            env.pop(name, None)
        try:
            codes = [
                subprocess.run([tool, out_dir] + theme, env=env, timeout=TIME_LIMIT_S).returncode
                for theme in ([], ["dark"])
            ]
        finally:
            stop(server)
    return max(codes)


if __name__ == "__main__":
    sys.exit(main(sys.argv))
