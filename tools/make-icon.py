#!/usr/bin/env python3
"""Draws the program's icon: one 16 x 16, 256-colour image of a closed box with a stop bar."""
import struct
import sys

W = H = 16
palette = [(0, 0, 0)] * 256
palette[1] = (0x1F, 0x4E, 0x9C)   # box
palette[2] = (0x10, 0x2A, 0x5C)   # outline
palette[3] = (0xFF, 0xFF, 0xFF)   # bar
palette[4] = (0xD8, 0x2B, 0x2B)   # stop disc

rows = [
    "................",
    "..222222222222..",
    ".21111111111112.",
    ".21111111111112.",
    ".22222222222222.",
    ".21111144111112.",
    ".21111444411112.",
    ".21114444441112.",
    ".21114333341112.",
    ".21114444441112.",
    ".21111444411112.",
    ".21111144111112.",
    ".21111111111112.",
    ".21111111111112.",
    "..222222222222..",
    "................",
]

xor = bytearray()
mask = bytearray()
for row in reversed(rows):  # bottom-up, as DIBs are
    xor += bytes(0 if c == "." else int(c) for c in row)
    bits = 0
    for x, c in enumerate(row):
        if c == ".":
            bits |= 1 << (15 - x)
    mask += struct.pack(">H", bits) + b"\0\0"  # rows padded to 4 bytes

header = struct.pack("<IiiHHIIiiII", 40, W, H * 2, 1, 8, 0, len(xor) + len(mask), 0, 0, 256, 0)
colours = b"".join(struct.pack("BBBB", b, g, r, 0) for (r, g, b) in palette)
image = header + colours + xor + mask
icon = struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", W, H, 0, 0, 1, 8, len(image), 22)
sys.stdout.buffer.write(icon + image)
