#!/usr/bin/env python3
"""Draws Tarnwick's icons and cursor and synthesises its alert sounds.

Usage: make_assets.py OUTPUT_FOLDER

Writes eyestop.ico (closed eye: monitoring stopped), eyerun.ico (open eye: monitoring),
Hand-m.cur (pointing hand, hotspot at the fingertip), alert.wav (two-tone beep) and alert1.wav
(rising chirp). Only the standard library is used, and the output is the same on every run, so
the build can regenerate it at will.

Shapes are described by signed distance functions in icon units (0..1 across, y pointing down)
and sampled 4x4 times per pixel, which gives smooth edges at both 32 and 16 pixels.
"""

import math
import os
import struct
import sys
import wave

SUPERSAMPLING = 4

# ---------------------------------------------------------------------------------------------
# Shapes: each is a function (x, y) -> signed distance in icon units, negative inside.


def circle(cx, cy, r):
    return lambda x, y: math.hypot(x - cx, y - cy) - r


def lens(cx, cy, half_width, half_height):
    """The almond of an open eye: the overlap of two equal circles."""
    radius = (half_width ** 2 + half_height ** 2) / (2 * half_height)
    offset = radius - half_height
    upper = circle(cx, cy + offset, radius)  # its top arc is the upper lid
    lower = circle(cx, cy - offset, radius)  # its bottom arc is the lower lid
    return lambda x, y: max(upper(x, y), lower(x, y))


def rounded_box(x0, y0, x1, y1, r):
    cx, cy = (x0 + x1) / 2, (y0 + y1) / 2
    hx, hy = (x1 - x0) / 2 - r, (y1 - y0) / 2 - r

    def sdf(x, y):
        qx, qy = abs(x - cx) - hx, abs(y - cy) - hy
        outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
        return outside + min(max(qx, qy), 0.0) - r

    return sdf


def segment_distance(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    length2 = dx * dx + dy * dy
    t = 0.0 if length2 == 0 else max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / length2))
    return math.hypot(px - (ax + t * dx), py - (ay + t * dy))


def polyline(points, width):
    """A stroke with round caps along the points."""
    segments = list(zip(points, points[1:]))

    def sdf(x, y):
        d = min(segment_distance(x, y, a[0], a[1], b[0], b[1]) for a, b in segments)
        return d - width / 2

    return sdf


def bezier(p0, p1, p2, steps=24):
    """Points along a quadratic Bezier curve."""
    out = []
    for i in range(steps + 1):
        t = i / steps
        u = 1 - t
        out.append((u * u * p0[0] + 2 * u * t * p1[0] + t * t * p2[0],
                    u * u * p0[1] + 2 * u * t * p1[1] + t * t * p2[1]))
    return out


def outline(shape, width):
    return lambda x, y: abs(shape(x, y)) - width / 2


def union(*shapes):
    return lambda x, y: min(s(x, y) for s in shapes)


def intersection(*shapes):
    return lambda x, y: max(s(x, y) for s in shapes)


# ---------------------------------------------------------------------------------------------
# Rendering


def hex_colour(text, alpha=255):
    text = text.lstrip("#")
    return (int(text[0:2], 16), int(text[2:4], 16), int(text[4:6], 16), alpha)


def render(layers, size):
    """Paints (shape, colour) layers bottom to top; returns rows of (r, g, b, a), top row first."""
    rows = []
    n = SUPERSAMPLING
    for py in range(size):
        row = []
        for px in range(size):
            acc = [0.0, 0.0, 0.0, 0.0]  # premultiplied
            for sy in range(n):
                for sx in range(n):
                    x = (px + (sx + 0.5) / n) / size
                    y = (py + (sy + 0.5) / n) / size
                    r = g = b = a = 0.0
                    for shape, (cr, cg, cb, ca) in layers:
                        if shape(x, y) <= 0:
                            alpha = ca / 255.0
                            r = cr * alpha + r * (1 - alpha)
                            g = cg * alpha + g * (1 - alpha)
                            b = cb * alpha + b * (1 - alpha)
                            a = alpha + a * (1 - alpha)
                    acc[0] += r
                    acc[1] += g
                    acc[2] += b
                    acc[3] += a
            samples = n * n
            alpha = acc[3] / samples
            if alpha <= 0:
                row.append((0, 0, 0, 0))
                continue
            row.append(tuple(int(round(c / samples / alpha)) for c in acc[:3]) +
                       (int(round(alpha * 255)),))
        rows.append(row)
    return rows


def stroke_width(units32, size):
    """A line width given in 1/32 of the icon, never thinner than about one and a half pixels."""
    return max(units32 / 32.0, 1.4 / size)


# ---------------------------------------------------------------------------------------------
# The pictures

INK = hex_colour("1d2733")


def open_eye_layers(size):
    eye = lens(0.5, 0.5, 0.45, 0.27)
    iris = intersection(circle(0.5, 0.5, 0.205), eye)
    iris_rim = intersection(outline(circle(0.5, 0.5, 0.19), stroke_width(1.2, size)), eye)
    return [
        (eye, hex_colour("ffffff")),
        (iris, hex_colour("2f80d1")),
        (iris_rim, hex_colour("1b4f8a")),
        (circle(0.5, 0.5, 0.09), hex_colour("0b0f14")),
        (circle(0.445, 0.44, 0.045), hex_colour("ffffff", 230)),
        (outline(eye, stroke_width(2.0, size)), INK),
    ]


def closed_eye_layers(size):
    # The lid closes into a curve sagging downwards; the lashes hang from it along its normals.
    lid = bezier((0.07, 0.42), (0.5, 0.80), (0.93, 0.42))
    layers = [(polyline(lid, stroke_width(2.4, size)), INK)]
    lash_length = 0.14
    # Five lashes blur into one smudge at 16 pixels; three stay apart.
    for t in (0.18, 0.34, 0.5, 0.66, 0.82) if size >= 32 else (0.25, 0.5, 0.75):
        u = 1 - t
        x = u * u * 0.07 + 2 * u * t * 0.5 + t * t * 0.93
        y = u * u * 0.42 + 2 * u * t * 0.80 + t * t * 0.42
        tx = 2 * u * (0.5 - 0.07) + 2 * t * (0.93 - 0.5)
        ty = 2 * u * (0.80 - 0.42) + 2 * t * (0.42 - 0.80)
        norm = math.hypot(tx, ty)
        nx, ny = -ty / norm, tx / norm  # points down and outwards
        layers.append((polyline([(x, y), (x + nx * lash_length, y + ny * lash_length)],
                                stroke_width(1.8, size)), INK))
    return layers


# The pointing hand of the cursor, in pixels of a 32x32 cursor; the tip of the index finger is
# the hotspot.
HAND_HOTSPOT = (12, 0)


def hand_layers():
    def px(x0, y0, x1, y1, r):
        return rounded_box(x0 / 32, y0 / 32, x1 / 32, y1 / 32, r / 32)

    # Edges on whole pixels and one-pixel lines keep the outline crisp, as a cursor should be.
    index = px(10, 0, 15, 19, 2.5)
    middle = px(14, 10, 19, 20, 2.5)
    ring = px(18, 11, 23, 21, 2.5)
    little = px(22, 13, 27, 21, 2.5)
    thumb = polyline([(6 / 32, 15.5 / 32), (10.5 / 32, 21 / 32)], 5.0 / 32)
    palm = px(9, 16, 27, 30, 4.0)
    hand = union(index, middle, ring, little, thumb, palm)
    line = 1.0 / 32
    creases = [
        polyline([(14.5 / 32, 11.5 / 32), (14.5 / 32, 18.5 / 32)], line),
        polyline([(18.5 / 32, 12.5 / 32), (18.5 / 32, 19.5 / 32)], line),
        polyline([(22.5 / 32, 14.0 / 32), (22.5 / 32, 20.0 / 32)], line),
    ]
    layers = [(hand, hex_colour("000000")), (lambda x, y: hand(x, y) + line, hex_colour("ffffff"))]
    layers += [(c, hex_colour("000000")) for c in creases]
    return layers


# ---------------------------------------------------------------------------------------------
# ICO and CUR containers


def bmp_entry(rows):
    """A 32-bit BGRA DIB as an icon entry: header, colour rows and AND mask, both bottom-up."""
    size = len(rows)
    mask_stride = ((size + 31) // 32) * 4
    pixels = bytearray()
    mask = bytearray()
    for row in reversed(rows):
        for r, g, b, a in row:
            pixels += bytes((b, g, r, a))
        bits = bytearray(mask_stride)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0,
                         len(pixels) + len(mask), 0, 0, 0, 0)
    return header + bytes(pixels) + bytes(mask)


def icon_file(images, cursor_hotspot=None):
    """An ICO container (a CUR one when a hotspot is given) of square images, largest first."""
    kind = 2 if cursor_hotspot else 1
    directory = struct.pack("<HHH", 0, kind, len(images))
    offset = len(directory) + 16 * len(images)
    entries = bytearray()
    data = bytearray()
    for rows in images:
        blob = bmp_entry(rows)
        size = len(rows)
        if cursor_hotspot:
            field1, field2 = cursor_hotspot  # hotspot x, y
        else:
            field1, field2 = 1, 32  # planes, bits per pixel
        entries += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, field1, field2,
                               len(blob), offset + len(data))
        data += blob
    return directory + bytes(entries) + bytes(data)


# ---------------------------------------------------------------------------------------------
# Sounds

SAMPLE_RATE = 22050
AMPLITUDE = 0.55 * 32767


def envelope(i, count, fade):
    """Short linear fades at both ends keep the tones free of clicks."""
    return min(1.0, i / fade, (count - 1 - i) / fade) if fade > 0 else 1.0


def tone(frequency, seconds):
    count = int(SAMPLE_RATE * seconds)
    fade = int(SAMPLE_RATE * 0.006)
    out = []
    for i in range(count):
        t = i / SAMPLE_RATE
        # A touch of the third harmonic makes the beep carry on small speakers.
        v = math.sin(2 * math.pi * frequency * t) + 0.25 * math.sin(6 * math.pi * frequency * t)
        out.append(v / 1.25 * envelope(i, count, fade))
    return out


def chirp(start_hz, end_hz, seconds):
    count = int(SAMPLE_RATE * seconds)
    fade = int(SAMPLE_RATE * 0.01)
    out = []
    phase = 0.0
    for i in range(count):
        frequency = start_hz * (end_hz / start_hz) ** (i / count)  # even steps in pitch
        phase += 2 * math.pi * frequency / SAMPLE_RATE
        out.append(math.sin(phase) * envelope(i, count, fade))
    return out


def silence(seconds):
    return [0.0] * int(SAMPLE_RATE * seconds)


def write_wav(path, samples):
    frames = b"".join(struct.pack("<h", int(round(s * AMPLITUDE))) for s in samples)
    with wave.open(path, "wb") as out:
        out.setnchannels(1)
        out.setsampwidth(2)
        out.setframerate(SAMPLE_RATE)
        out.writeframes(frames)


# ---------------------------------------------------------------------------------------------


def write_bytes(path, data):
    with open(path, "wb") as out:
        out.write(data)


def main(argv):
    if len(argv) != 2:
        sys.stderr.write("usage: make_assets.py OUTPUT_FOLDER\n")
        return 2
    folder = argv[1]
    os.makedirs(folder, exist_ok=True)
    write_bytes(os.path.join(folder, "eyerun.ico"),
                icon_file([render(open_eye_layers(s), s) for s in (32, 16)]))
    write_bytes(os.path.join(folder, "eyestop.ico"),
                icon_file([render(closed_eye_layers(s), s) for s in (32, 16)]))
    write_bytes(os.path.join(folder, "Hand-m.cur"),
                icon_file([render(hand_layers(), 32)], cursor_hotspot=HAND_HOTSPOT))
    write_wav(os.path.join(folder, "alert.wav"),
              tone(880, 0.2) + silence(0.04) + tone(660, 0.2) + silence(0.06))
    write_wav(os.path.join(folder, "alert1.wav"), chirp(520, 1560, 0.45) + silence(0.05))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
