#!/usr/bin/env python3
"""Draws the tray icon of the monitor (a mouse with its wheel lit) and writes
it as a Windows .ico file in the sizes Windows shows: 16 and 20 (small icons,
the tray, at 100 % and 125 %), 24, 32 and 48 (lists, the desktop, Alt+Tab),
256 (large views). Every image is an uncompressed 32-bit bitmap with alpha,
which Windows XP reads too (it cannot read PNG images in an icon)."""
import struct
import sys


def pixel(x, y, size):
    """BGRA of the icon at (x, y), y counted from the top."""
    s = size / 32.0
    cx, cy = 16 * s, 17 * s
    rx, ry = 10 * s, 14 * s
    inside = ((x + 0.5 - cx) / rx) ** 2 + ((y + 0.5 - cy) / ry) ** 2 <= 1.0
    if not inside:
        return (0, 0, 0, 0)
    wheel = abs(x + 0.5 - cx) <= 1.6 * s and 7 * s <= y + 0.5 <= 13 * s
    split = abs(x + 0.5 - cx) <= 0.6 * s and y + 0.5 <= 15 * s
    if wheel:
        return (40, 40, 255, 255)  # red wheel light
    if split:
        return (20, 20, 20, 255)
    shade = int(60 + 50 * (y / size))
    return (shade, shade, shade + 10, 255)


def image(size):
    rows = []
    for y in reversed(range(size)):  # bottom-up
        rows.append(b"".join(struct.pack("BBBB", *pixel(x, y, size)) for x in range(size)))
    xor = b"".join(rows)
    # The AND mask marks the transparent pixels too, for displays that do not
    # use the alpha channel (fewer than 32 bits of colour).
    mask_row = ((size + 31) // 32) * 4
    and_mask = bytearray(mask_row * size)
    for row, y in enumerate(reversed(range(size))):  # bottom-up, most significant bit first
        for x in range(size):
            if pixel(x, y, size)[3] == 0:
                and_mask[row * mask_row + x // 8] |= 0x80 >> (x % 8)
    and_mask = bytes(and_mask)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(xor) + len(and_mask), 0, 0, 0, 0)
    return header + xor + and_mask


def main(out):
    sizes = [16, 20, 24, 32, 48, 256]
    images = [image(s) for s in sizes]
    data = struct.pack("<HHH", 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for s, img in zip(sizes, images):
        # The directory stores a size of 256 as 0.
        data += struct.pack("<BBBBHHII", s % 256, s % 256, 0, 0, 1, 32, len(img), offset)
        offset += len(img)
    with open(out, "wb") as f:
        f.write(data + b"".join(images))


if __name__ == "__main__":
    main(sys.argv[1])
