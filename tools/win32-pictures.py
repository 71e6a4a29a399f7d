#!/usr/bin/env python3
"""Renders the Win32 windows and dialogs to PNG files under Wine on a private Xvfb.

Usage: win32-pictures.py WINDOWS_BIN_DIR [OUT_DIR]

Runs WINDOWS_BIN_DIR/tarnwick_win32_pictures.exe (built with tarnwick.exe by
tools/build-windows.sh; it shows each window through its model and saves it as a BMP file) under
tools/wine-display.sh, with a Wine prefix of its own under the Windows build folder, and leaves
win32-main-window.png, win32-alert-settings.png, win32-smtp-settings.png,
win32-program-monitor.png, win32-history.png and win32-processes.png in OUT_DIR (default: docs/ of the repository). Everything it starts is
ended before it returns.
"""

import os
import struct
import subprocess
import sys
import tempfile
import zlib

PICTURES = ("main-window", "alert-settings", "smtp-settings", "program-monitor", "history",
            "processes")
TIME_LIMIT_S = 600


def bmp_to_png(bmp_path, png_path):
    """Writes a 24-bit bottom-up BMP file as an RGB PNG file (standard library only)."""
    data = open(bmp_path, "rb").read()
    offset = struct.unpack_from("<I", data, 10)[0]
    width, height = struct.unpack_from("<ii", data, 18)
    bits = struct.unpack_from("<H", data, 28)[0]
    if bits != 24:
        raise ValueError("%s: %d bits per pixel, expected 24" % (bmp_path, bits))
    stride = (width * 3 + 3) & ~3
    rows = []
    for y in range(abs(height)):
        source = height - 1 - y if height > 0 else y
        row = data[offset + source * stride: offset + source * stride + width * 3]
        rgb = bytearray(len(row))
        rgb[0::3], rgb[1::3], rgb[2::3] = row[2::3], row[1::3], row[0::3]
        rows.append(b"\0" + bytes(rgb))

    def chunk(kind, body):
        return (struct.pack(">I", len(body)) + kind + body +
                struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))

    header = struct.pack(">IIBBBBB", width, abs(height), 8, 2, 0, 0, 0)
    with open(png_path, "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
                  chunk(b"IDAT", zlib.compress(b"".join(rows), 9)) + chunk(b"IEND", b""))


def main(argv):
    if len(argv) not in (2, 3):
        sys.stderr.write(__doc__)
        return 2
    bin_dir = os.path.abspath(argv[1])
    repo = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    out_dir = os.path.abspath(argv[2]) if len(argv) == 3 else os.path.join(repo, "docs")
    os.makedirs(out_dir, exist_ok=True)
    tool = os.path.join(bin_dir, "tarnwick_win32_pictures.exe")
    if not os.path.isfile(tool):
        sys.stderr.write("no %s: run tools/build-windows.sh first\n" % tool)
        return 1
    prefix = os.path.join(os.path.dirname(bin_dir), "wineprefix-display")
    with tempfile.TemporaryDirectory(prefix="tarnwick-win32-pictures-") as scratch:
        # Wine reaches the Linux file system through its drive Z:.
        target = "Z:" + scratch.replace("/", "\\")
        run = subprocess.run(
            ["bash", os.path.join(repo, "tools", "wine-display.sh"), prefix, "wine", tool,
             target], stdin=subprocess.DEVNULL, timeout=TIME_LIMIT_S)
        if run.returncode != 0:
            return run.returncode
        for name in PICTURES:
            bmp_to_png(os.path.join(scratch, name + ".bmp"),
                       os.path.join(out_dir, "win32-" + name + ".png"))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
