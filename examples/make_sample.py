#!/usr/bin/env python3
"""Writes examples/sample.png, bright objects on an unevenly lit background
(8-bit gray, deterministic), and examples/sample-cooccurrence.txt, its
co-occurrence matrix: one "row column count" line per non-zero cell, counting
each pixel with its right and with its lower neighbour. Rerun only to change
the picture."""
import math
import struct
import zlib
from pathlib import Path

WIDTH, HEIGHT = 192, 128
OBJECTS = [  # (centre x, centre y, radius, level)
    (40, 40, 22, 205), (110, 30, 14, 190), (150, 85, 28, 215),
    (70, 95, 18, 180), (125, 110, 8, 200), (20, 110, 10, 195),
]


def pixel(x, y, noise):
    # Light falls off from the top left corner: 150 down to about 40.
    level = 150 - 0.45 * x - 0.25 * y + 12 * math.sin(x / 23.0) * math.cos(y / 31.0)
    for cx, cy, r, value in OBJECTS:
        d = math.hypot(x - cx, y - cy)
        if d < r:
            level = value - 12 * (d / r) ** 2 - 0.2 * x
    return max(0, min(255, round(level + noise)))


def main():
    seed = 12345
    rows = []
    for y in range(HEIGHT):
        row = bytearray([0])  # filter byte: none
        for x in range(WIDTH):
            seed = (seed * 1103515245 + 12345) % 2**31
            row.append(pixel(x, y, (seed >> 16) % 5 - 2))
        rows.append(bytes(row))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", WIDTH, HEIGHT, 8, 0, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(b"".join(rows), 9))
    png += chunk(b"IEND", b"")
    Path(__file__).with_name("sample.png").write_bytes(png)

    levels = [row[1:] for row in rows]
    counts = {}
    for y in range(HEIGHT):
        for x in range(WIDTH):
            a = levels[y][x]
            for nx, ny in ((x + 1, y), (x, y + 1)):
                if nx < WIDTH and ny < HEIGHT:
                    key = (a, levels[ny][nx])
                    counts[key] = counts.get(key, 0) + 1
    lines = [f"{a} {b} {n}\n" for (a, b), n in sorted(counts.items())]
    Path(__file__).with_name("sample-cooccurrence.txt").write_text("".join(lines))


if __name__ == "__main__":
    main()
