#!/usr/bin/env python3
"""Draws the toolbar's 16 by 16 button pictures into this folder as PNG files.

Each command has two pictures: the coloured one (shown under the pointer)
and a plain one (grey, shown otherwise). The names are the icon resource
names the toolbar asks for ("Z100" coloured, "Z101" plain, ...). The PNG
files are kept in the tree; run this again only to change a picture:

    python3 addon/toolband/icons/DrawIcons.py

Needs nothing beyond Python's standard library.
"""

import math
import os
import struct
import zlib

SIZE = 16


class Canvas:
    def __init__(self):
        self.px = [[(0, 0, 0, 0) for _ in range(SIZE)] for _ in range(SIZE)]

    def put(self, x, y, colour):
        if 0 <= x < SIZE and 0 <= y < SIZE:
            self.px[y][x] = colour

    def rect(self, x0, y0, x1, y1, colour):
        """Fills x0..x1, y0..y1 (inclusive)."""
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                self.put(x, y, colour)

    def frame(self, x0, y0, x1, y1, colour):
        for x in range(x0, x1 + 1):
            self.put(x, y0, colour)
            self.put(x, y1, colour)
        for y in range(y0, y1 + 1):
            self.put(x0, y, colour)
            self.put(x1, y, colour)

    def disc(self, cx, cy, r, colour):
        for y in range(SIZE):
            for x in range(SIZE):
                if (x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2 <= r * r:
                    self.put(x, y, colour)

    def ring(self, cx, cy, r, width, colour):
        for y in range(SIZE):
            for x in range(SIZE):
                d = math.hypot(x + 0.5 - cx, y + 0.5 - cy)
                if r - width <= d <= r:
                    self.put(x, y, colour)

    def line(self, x0, y0, x1, y1, colour, width=1):
        steps = max(abs(x1 - x0), abs(y1 - y0), 1) * 2
        for i in range(steps + 1):
            t = i / steps
            x = x0 + (x1 - x0) * t
            y = y0 + (y1 - y0) * t
            for dy in range(width):
                for dx in range(width):
                    self.put(int(round(x)) + dx, int(round(y)) + dy, colour)

    def png(self):
        raw = b""
        for row in self.px:
            raw += b"\x00" + b"".join(bytes(p) for p in row)

        def chunk(kind, data):
            body = kind + data
            return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

        header = struct.pack(">IIBBBBB", SIZE, SIZE, 8, 6, 0, 0, 0)
        return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
                chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def plain(colour):
    """The grey of a colour, lightened: the picture of a button at rest."""
    r, g, b, a = colour
    grey = int(0.3 * r + 0.59 * g + 0.11 * b)
    grey = min(255, 70 + grey * 2 // 3)
    return (grey, grey, grey, a)


class Pen:
    """Hands out colours, coloured or plain."""

    def __init__(self, coloured):
        self.coloured = coloured

    def __call__(self, r, g, b, a=255):
        colour = (r, g, b, a)
        return colour if self.coloured else plain(colour)


OUTLINE = (40, 40, 40)
PAPER = (255, 255, 255)


def sheet(c, p):
    """A form sheet with text lines, the base of several pictures."""
    c.rect(2, 1, 11, 14, p(*PAPER))
    c.frame(2, 1, 11, 14, p(*OUTLINE))
    for y in (4, 7, 10):
        c.line(4, y, 9, y, p(120, 140, 170))


def activate(c, p):  # power switch
    c.ring(8, 8.5, 6.5, 2, p(30, 150, 60))
    c.rect(7, 1, 8, 8, p(255, 255, 255))
    c.rect(7, 1, 8, 7, p(30, 150, 60))


def login(c, p):  # key
    c.ring(5, 8, 4, 2, p(200, 150, 20))
    c.line(8, 8, 14, 8, p(200, 150, 20), 2)
    c.line(12, 9, 12, 11, p(200, 150, 20))
    c.line(14, 9, 14, 12, p(200, 150, 20))


def manager(c, p):  # the manager's store: a stack of cards
    for i, col in enumerate(((70, 110, 200), (90, 140, 230), (120, 170, 250))):
        y = 2 + i * 4
        c.rect(2, y, 13, y + 4, p(*col))
        c.frame(2, y, 13, y + 4, p(30, 50, 110))
    c.rect(5, 12, 10, 12, p(255, 255, 255))


def save_forms(c, p):  # disk
    c.rect(1, 1, 14, 14, p(40, 80, 170))
    c.rect(4, 1, 11, 6, p(230, 230, 235))
    c.rect(9, 2, 10, 5, p(40, 80, 170))
    c.rect(3, 9, 12, 14, p(250, 250, 250))
    c.frame(1, 1, 14, 14, p(20, 40, 100))


def fill_form(c, p):  # sheet and pencil
    sheet(c, p)
    c.line(8, 14, 14, 8, p(230, 160, 30), 2)
    c.put(7, 15, p(*OUTLINE))


def bind_field(c, p):  # two linked rings
    c.ring(5.5, 8, 4, 1.6, p(0, 140, 190))
    c.ring(10.5, 8, 4, 1.6, p(0, 90, 150))


def unbind_field(c, p):  # two rings apart, with a break mark
    c.ring(4.5, 8, 3.5, 1.6, p(0, 140, 190))
    c.ring(11.5, 8, 3.5, 1.6, p(0, 90, 150))
    c.line(8, 1, 8, 4, p(200, 40, 40))
    c.line(8, 12, 8, 15, p(200, 40, 40))


def add_to_field(c, p):  # a field with a plus
    c.rect(1, 4, 11, 11, p(*PAPER))
    c.frame(1, 4, 11, 11, p(*OUTLINE))
    c.line(3, 7, 7, 7, p(120, 140, 170))
    c.rect(11, 1, 12, 8, p(30, 150, 60))
    c.rect(8, 4, 15, 5, p(30, 150, 60))


def clear_forms(c, p):  # sheet with a red cross
    sheet(c, p)
    c.line(6, 6, 14, 14, p(210, 40, 40), 2)
    c.line(14, 6, 6, 14, p(210, 40, 40), 2)


def record(c, p):  # the record dot
    c.disc(8, 8, 6, p(210, 30, 30))
    c.disc(6.5, 6.5, 2, p(250, 130, 130))


def auto_fill(c, p):  # sheet with a flash
    sheet(c, p)
    bolt = p(240, 190, 0)
    c.line(13, 5, 10, 10, bolt, 2)
    c.line(10, 10, 14, 10, bolt, 2)
    c.line(14, 10, 11, 15, bolt, 2)


def auto_submit(c, p):  # sheet with an arrow out
    sheet(c, p)
    c.line(7, 11, 14, 11, p(30, 150, 60), 2)
    c.line(12, 8, 15, 11, p(30, 150, 60), 2)
    c.line(12, 14, 15, 11, p(30, 150, 60))


def options(c, p):  # gear
    metal = p(110, 110, 130)
    for k in range(8):
        a = k * math.pi / 4
        x = 8 + 6 * math.cos(a)
        y = 8 + 6 * math.sin(a)
        c.rect(int(round(x - 1)), int(round(y - 1)), int(round(x)), int(round(y)), metal)
    c.disc(8, 8, 5, metal)
    c.disc(8, 8, 2, (0, 0, 0, 0))  # the hole


PICTURES = [  # (coloured name, plain name, drawing)
    ("Z100", "Z101", activate),
    ("Z102", "Z103", login),
    ("Z104", "Z105", manager),
    ("Z106", "Z107", save_forms),
    ("Z108", "Z109", fill_form),
    ("Z110", "Z111", bind_field),
    ("Z112", "Z113", unbind_field),
    ("Z114", "Z115", add_to_field),
    ("Z116", "Z117", clear_forms),
    ("Z118", "Z119", record),
    ("Z120", "Z121", auto_fill),
    ("Z122", "Z123", auto_submit),
    ("Z124", "Z125", options),
]


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    for coloured, grey, draw in PICTURES:
        for name, is_coloured in ((coloured, True), (grey, False)):
            canvas = Canvas()
            draw(canvas, Pen(is_coloured))
            with open(os.path.join(here, name + ".png"), "wb") as f:
                f.write(canvas.png())


if __name__ == "__main__":
    main()
