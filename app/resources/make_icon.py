#!/usr/bin/env python3
"""Draws Sonabar's icon, a small LED bar meter, and writes it as a Windows icon
file with two 256-colour images (32 x 32 and 16 x 16).

The generated sonabar.ico is committed beside this script, so building needs no
Python; run this again only to change the picture:
    python3 app/resources/make_icon.py app/resources/sonabar.ico
"""
import struct
import sys

# Palette indices; every other entry of the 256-colour palette stays black.
BLACK, CASE, DARK_GREEN, GREEN, DARK_AMBER, AMBER, DARK_RED, RED, GLINT = range(9)
PALETTE = {
    BLACK: (0, 0, 0),
    CASE: (48, 52, 58),
    DARK_GREEN: (16, 64, 24),
    GREEN: (40, 220, 70),
    DARK_AMBER: (72, 56, 8),
    AMBER: (250, 190, 30),
    DARK_RED: (72, 16, 16),
    RED: (240, 50, 40),
    GLINT: (220, 255, 220),
}

# A column of LEDs, bottom to top: five green, two amber, one red; the lower
# five are lit, as if the meter were showing a fairly loud sound.
LEDS = [(GREEN, DARK_GREEN)] * 5 + [(AMBER, DARK_AMBER)] * 2 + [(RED, DARK_RED)]
LIT = 5


def draw(size):
    """The picture as rows of palette indices (top row first) and a mask of
    transparent pixels (True = transparent)."""
    pixels = [[BLACK] * size for _ in range(size)]
    clear = [[True] * size for _ in range(size)]
    # The meter's case: a dark rounded rectangle, a little narrower than tall.
    margin_x, margin_y = size // 4, size // 16
    for y in range(margin_y, size - margin_y):
        for x in range(margin_x, size - margin_x):
            corner = (y in (margin_y, size - margin_y - 1)) and (x in (margin_x, size - margin_x - 1))
            if not corner:
                pixels[y][x] = CASE
                clear[y][x] = False
    # The LEDs: all eight on the large image; on the small one four (green,
    # green, amber, red), two lines high, so that each keeps a dark gap.
    leds = LEDS if size >= 32 else [LEDS[0], LEDS[4], LEDS[5], LEDS[7]]
    lit = LIT if size >= 32 else 2
    inner_top, inner_bottom = margin_y + 1, size - margin_y - 1
    pitch = (inner_bottom - inner_top) // len(leds)
    height = max(1, pitch - 1)
    left, right = margin_x + 2, size - margin_x - 2
    if size < 32:
        left, right = margin_x + 1, size - margin_x - 1
    for i, (on, off) in enumerate(leds):
        bottom = inner_bottom - 1 - i * pitch
        colour = on if i < lit else off
        for y in range(bottom - height + 1, bottom + 1):
            for x in range(left, right):
                pixels[y][x] = colour
        if i < lit and size >= 32:
            pixels[bottom - height + 1][left] = GLINT
    return pixels, clear


def icon_image(size):
    """One icon image: BITMAPINFOHEADER, palette, colour rows, mask rows (bottom-up)."""
    pixels, clear = draw(size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 8, 0, 0, 0, 0, 256, 0)
    palette = b"".join(struct.pack("<BBBB", *reversed(PALETTE.get(i, (0, 0, 0))), 0) for i in range(256))
    colour_stride = (size + 3) & ~3
    colour = b"".join(bytes(pixels[y]) + bytes(colour_stride - size) for y in reversed(range(size)))
    mask_stride = ((size + 31) // 32) * 4
    mask = b""
    for y in reversed(range(size)):
        row = bytearray(mask_stride)
        for x in range(size):
            if clear[y][x]:
                row[x // 8] |= 0x80 >> (x % 8)
        mask += bytes(row)
    return header + palette + colour + mask


def icon_file(sizes):
    images = [icon_image(s) for s in sizes]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, image in zip(sizes, images):
        # Width, height, colour count (0: 256 or more), reserved, planes, bits, bytes, offset.
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 8, len(image), offset)
        offset += len(image)
    return out + b"".join(images)


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: make_icon.py OUTPUT.ico")
    with open(sys.argv[1], "wb") as f:
        f.write(icon_file([32, 16]))


if __name__ == "__main__":
    main()
