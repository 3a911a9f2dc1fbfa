#!/usr/bin/env python3
"""Draws tren's pictures as pixel art and writes them as PNG and SVG files, and
as the icon and cursor files the Windows program carries as resources.

The pictures are small on purpose: a 16-colour look, crisp at their own size.
Larger theme sizes are the same pixels scaled up without smoothing, and the
scalable icon is the 16 x 16 drawing as SVG squares. Icon and cursor images are
palette DIBs with an AND mask, the form every Windows loader reads.

    tools/draw_artwork.py [OUTPUT_FOLDER]   (default: art/)
"""
import os
import struct
import sys
import zlib

PALETTE = {
    ".": None,
    "k": (0, 0, 0),
    "w": (255, 255, 255),
    "l": (192, 192, 192),
    "g": (128, 128, 128),
    "y": (255, 255, 0),
    "o": (128, 128, 0),
    "r": (255, 0, 0),
    "R": (128, 0, 0),
    "b": (0, 0, 255),
    "B": (0, 0, 128),
    "G": (0, 128, 0),
    "e": (0, 255, 0),
    "c": (0, 255, 255),
}

# A small stack of white sheets crossed by a yellow band.
WINDOW_ICON = """
................
.......kkkkkkkk.
.......kwwwwwwkk
.....kkkkkkkkwkk
.....kwwwwwwkwkk
...kkkkkkkkwkwkk
...kwwwwwwkwkwkk
...kwggggwkwkwkk
oooooooooooooooo
yyyyyyyyyyyyyyyy
yyyyyyyyyyyyyyyy
oooooooooooooooo
...kwggggwkkkk..
...kwwwwwwkkk...
...kwggggwkk....
...kkkkkkkk.....
"""

# A white pointing hand with a black outline; the fingertip is at (5, 0).
HAND_CURSOR = """
.....kk.........
....kwwk........
....kwwk........
....kwwk........
....kwwk........
....kwwkkk......
....kwwkwwkkk...
....kwwkwwkwwkk.
.kk.kwwkwwkwwkwk
kwwkkwwwwwwwwkwk
kwwwkwwwwwwwwwwk
.kwwkwwwwwwwwwwk
..kwwwwwwwwwwwwk
..kwwwwwwwwwwwwk
...kwwwwwwwwwwwk
...kwwwwwwwwwwk.
....kwwwwwwwwwk.
....kwwwwwwwwk..
.....kwwwwwwwk..
.....kkkkkkkkk..
"""

# A grey box with coloured pieces leaving it and a pair of opposite arrows.
TREN_16 = """
...........rr...
...........rr.ee
........bb....ee
........bb......
.kkkkkkk...yy...
.klllllgk..yy...
.klllllgk.......
.klllllgk.......
.klllllgk.......
.kgggggggk......
..kkkkkkkk......
................
..k.........k...
.kk.........kk..
kkkkkkkkkkkkkkk.
.kk.........kk..
"""
HAND_HOT_SPOT = (5, 0)


def parse(art):
    rows = [row for row in art.strip("\n").split("\n")]
    width = max(len(row) for row in rows)
    return [[PALETTE[c] for c in row.ljust(width, ".")] for row in rows]


def canvas(width, height):
    return [[None] * width for _ in range(height)]


def paste(target, picture, left, top, scale=1):
    for y, row in enumerate(picture):
        for x, colour in enumerate(row):
            if colour is None:
                continue
            for dy in range(scale):
                for dx in range(scale):
                    target[top + y * scale + dy][left + x * scale + dx] = colour


def fill(target, left, top, width, height, colour):
    for y in range(top, top + height):
        for x in range(left, left + width):
            target[y][x] = colour


def box(target, left, top, size, face, light, dark):
    """A square with a black outline and a bevel, as 16-colour pictures had."""
    fill(target, left, top, size, size, PALETTE["k"])
    fill(target, left + 1, top + 1, size - 2, size - 2, face)
    fill(target, left + 1, top + 1, size - 2, 1, light)
    fill(target, left + 1, top + 1, 1, size - 2, light)
    fill(target, left + 1, top + size - 2, size - 2, 1, dark)
    fill(target, left + size - 2, top + 1, 1, size - 2, dark)


def build_picture():
    """Four coloured squares, red, blue, green and yellow, fitted into one block."""
    picture = canvas(32, 32)
    white = PALETTE["w"]
    box(picture, 2, 2, 14, PALETTE["r"], white, PALETTE["R"])
    box(picture, 15, 2, 14, PALETTE["b"], white, PALETTE["B"])
    box(picture, 2, 15, 14, PALETTE["G"], white, (0, 64, 0))
    box(picture, 15, 15, 14, PALETTE["y"], white, PALETTE["o"])
    fill(picture, 4, 29, 26, 1, PALETTE["g"])  # the block's shadow
    fill(picture, 29, 4, 1, 26, PALETTE["g"])
    return picture


def tren_picture_32():
    picture = canvas(32, 32)
    # The box.
    fill(picture, 2, 9, 16, 13, PALETTE["k"])
    fill(picture, 3, 10, 14, 11, PALETTE["l"])
    fill(picture, 3, 19, 14, 2, PALETTE["g"])
    fill(picture, 15, 10, 2, 11, PALETTE["g"])
    fill(picture, 4, 11, 10, 1, PALETTE["w"])
    # Pieces leaving it, up and to the right.
    for left, top, name in ((18, 5, "y"), (24, 0, "r"), (26, 7, "e"), (21, 12, "b")):
        box(picture, left, top, 6, PALETTE[name], PALETTE[name], PALETTE[name])
    # A pair of opposite arrows under the box.
    fill(picture, 4, 26, 24, 2, PALETTE["k"])
    for i in range(1, 5):
        fill(picture, 4 + i, 26 - i, 1, 2 + 2 * i, PALETTE["k"])
        fill(picture, 27 - i, 26 - i, 1, 2 + 2 * i, PALETTE["k"])
    return picture


def monochrome(picture):
    """Light colours become white, dark ones black; transparency stays."""
    def level(colour):
        if colour is None:
            return None
        return PALETTE["w"] if sum(colour) > 382 else PALETTE["k"]
    return [[level(colour) for colour in row] for row in picture]


def scaled(picture, scale):
    return [[colour for colour in row for _ in range(scale)] for row in picture for _ in range(scale)]


def write_png(path, picture, scale=1):
    height = len(picture) * scale
    width = len(picture[0]) * scale
    raw = bytearray()
    for y in range(height):
        raw.append(0)
        for x in range(width):
            colour = picture[y // scale][x // scale]
            if colour is None:
                raw += b"\0\0\0\0"
            else:
                raw += bytes(colour) + b"\xff"

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    with open(path, "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
                  + chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


def write_svg(path, picture):
    height, width = len(picture), len(picture[0])
    parts = [f'<svg xmlns="http://www.w3.org/2000/svg" width="{width}" height="{height}" '
             f'viewBox="0 0 {width} {height}" shape-rendering="crispEdges">']
    for y, row in enumerate(picture):
        x = 0
        while x < width:
            colour = row[x]
            run = 1
            while x + run < width and row[x + run] == colour:
                run += 1
            if colour is not None:
                parts.append(f'<rect x="{x}" y="{y}" width="{run}" height="1" '
                             f'fill="#{colour[0]:02x}{colour[1]:02x}{colour[2]:02x}"/>')
            x += run
    parts.append("</svg>\n")
    with open(path, "w") as out:
        out.write("\n".join(parts))


def dib(picture):
    """One image of an icon or cursor file: a bottom-up bitmap of palette indices,
    twice as high as the picture in its header, followed by the AND mask."""
    height, width = len(picture), len(picture[0])
    # Transparent pixels are black under a set mask bit, which leaves the screen as it is.
    colours = [PALETTE["k"]]
    for row in picture:
        for colour in row:
            if colour is not None and colour not in colours:
                colours.append(colour)
    bits = next((b for b in (1, 4, 8) if len(colours) <= 1 << b), None)
    if bits is None:
        raise ValueError("an icon image takes at most 256 colours")

    def packed(values, depth):
        number = 0
        for value in values:
            number = (number << depth) | value
        stride = (width * depth + 31) // 32 * 4
        return (number << (stride * 8 - width * depth)).to_bytes(stride, "big")

    indices = b"".join(packed([0 if c is None else colours.index(c) for c in row], bits)
                       for row in reversed(picture))
    mask = b"".join(packed([c is None for c in row], 1) for row in reversed(picture))
    palette = b"".join(bytes((c[2], c[1], c[0], 0)) for c in colours)
    palette += bytes(4 * ((1 << bits) - len(colours)))
    header = struct.pack("<IiiHHIIiiII", 40, width, 2 * height, 1, bits, 0,
                         len(indices) + len(mask), 0, 0, 0, 0)
    return bits, header + palette + indices + mask


def write_icon_file(path, pictures, hot_spot=None):
    """An .ico file, or a .cur file when the pictures have a hot spot."""
    images = [dib(picture) for picture in pictures]
    offset = 6 + 16 * len(images)
    directory = struct.pack("<HHH", 0, 1 if hot_spot is None else 2, len(images))
    for picture, (bits, data) in zip(pictures, images):
        width, height = len(picture[0]), len(picture)
        colour_count = 1 << bits if bits < 8 else 0
        planes_or_x, bits_or_y = (1, bits) if hot_spot is None else hot_spot
        directory += struct.pack("<BBBBHHII", width % 256, height % 256, colour_count, 0,
                                 planes_or_x, bits_or_y, len(data), offset)
        offset += len(data)
    with open(path, "wb") as out:
        out.write(directory + b"".join(data for _, data in images))


def pad(picture, width, height):
    padded = canvas(width, height)
    paste(padded, picture, 0, 0)
    return padded


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "art")
    os.makedirs(out, exist_ok=True)
    icon = parse(WINDOW_ICON)
    for size in (16, 32, 48, 64, 128):
        write_png(os.path.join(out, f"tren-{size}.png"), icon, scale=size // 16)
    write_svg(os.path.join(out, "tren.svg"), icon)
    write_icon_file(os.path.join(out, "tren.ico"), [scaled(icon, size // 16) for size in (16, 32, 48)])
    build = build_picture()
    write_png(os.path.join(out, "build-32.png"), build)
    write_icon_file(os.path.join(out, "build.ico"), [build])
    tren_pictures = [parse(TREN_16), tren_picture_32()]
    write_png(os.path.join(out, "tren-picture-16.png"), tren_pictures[0])
    write_png(os.path.join(out, "tren-picture-32.png"), tren_pictures[1])
    write_icon_file(os.path.join(out, "tren-picture.ico"), tren_pictures)
    hand = monochrome(pad(parse(HAND_CURSOR), 32, 32))
    write_png(os.path.join(out, "hand-cursor.png"), hand)
    write_icon_file(os.path.join(out, "hand.cur"), [hand], hot_spot=HAND_HOT_SPOT)


if __name__ == "__main__":
    main()
