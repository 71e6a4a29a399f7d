#!/usr/bin/env python3
"""Draws the desktop menu's icon of Tarnwick: the open eye of eyerun.ico as PNG files in the
hicolor theme's sizes and as a scalable SVG.

Usage: make_desktop_icons.py OUTPUT_FOLDER

Writes OUTPUT_FOLDER/hicolor/NxN/apps/tarnwick.png and OUTPUT_FOLDER/hicolor/scalable/apps/
tarnwick.svg. Only the standard library is used, and the output is the same on every run.
"""

import os
import struct
import sys
import zlib

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import make_assets  # noqa: E402  (the eye's shapes and renderer)

SIZES = (16, 32, 48, 64, 128)


def png(rows):
    """A truecolour PNG with alpha from rows of (r, g, b, a), top row first."""
    height = len(rows)
    width = len(rows[0])
    raw = b"".join(b"\x00" + bytes(c for pixel in row for c in pixel) for row in rows)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def svg():
    """The open eye in a 256 unit square, with the shapes of open_eye_layers."""
    hw, hh = 0.45 * 256, 0.27 * 256
    radius = (hw * hw + hh * hh) / (2 * hh)
    left, right = 128 - hw, 128 + hw
    lens = (f"M {left:.2f} 128 A {radius:.2f} {radius:.2f} 0 0 1 {right:.2f} 128 "
            f"A {radius:.2f} {radius:.2f} 0 0 1 {left:.2f} 128 Z")
    return f"""<?xml version="1.0" encoding="UTF-8"?>
<svg xmlns="http://www.w3.org/2000/svg" width="256" height="256" viewBox="0 0 256 256">
  <defs><clipPath id="eye"><path d="{lens}"/></clipPath></defs>
  <path d="{lens}" fill="#ffffff"/>
  <g clip-path="url(#eye)">
    <circle cx="128" cy="128" r="52.48" fill="#2f80d1"/>
    <circle cx="128" cy="128" r="48.64" fill="none" stroke="#1b4f8a" stroke-width="9.6"/>
  </g>
  <circle cx="128" cy="128" r="23.04" fill="#0b0f14"/>
  <circle cx="113.92" cy="112.64" r="11.52" fill="#ffffff" fill-opacity="0.9"/>
  <path d="{lens}" fill="none" stroke="#1d2733" stroke-width="16"/>
</svg>
"""


def main(argv):
    if len(argv) != 2:
        sys.stderr.write("usage: make_desktop_icons.py OUTPUT_FOLDER\n")
        return 2
    root = os.path.join(argv[1], "hicolor")
    for size in SIZES:
        folder = os.path.join(root, f"{size}x{size}", "apps")
        os.makedirs(folder, exist_ok=True)
        rows = make_assets.render(make_assets.open_eye_layers(size), size)
        make_assets.write_bytes(os.path.join(folder, "tarnwick.png"), png(rows))
    folder = os.path.join(root, "scalable", "apps")
    os.makedirs(folder, exist_ok=True)
    make_assets.write_bytes(os.path.join(folder, "tarnwick.svg"), svg().encode("utf-8"))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
