#!/usr/bin/env python3
"""Writes arcula.ico, the self-extractor's icon: one 32x32 image in 16
colours (a closed box with a zipper down its front), kept small because
every byte of the stub counts. The .ico is committed; run this again after
changing the picture:  python3 stub/make_icon.py stub/arcula.ico
"""
import struct
import sys

SIZE = 32
# The 16-colour palette: index -> (red, green, blue).
PALETTE = [
    (0, 0, 0),        # 0 outline
    (196, 150, 90),   # 1 box
    (150, 104, 52),   # 2 box shade
    (235, 205, 150),  # 3 lid
    (60, 60, 70),     # 4 zipper teeth
    (220, 220, 225),  # 5 zipper pull
] + [(0, 0, 0)] * 10


def pixel(x, y):
    """Palette index at (x, y), y from the top; None where transparent."""
    if not (3 <= x <= 28 and 4 <= y <= 28):
        return None
    if x in (3, 28) or y in (4, 28) or y == 11:
        return 0
    if 15 <= x <= 16:
        if y == 13:
            return 5                      # the pull
        return 4 if (x + y) % 2 == 0 else 5
    if y < 11:
        return 3                          # the lid
    return 2 if x > 22 else 1


def icon_bytes():
    # XOR image: 4 bits per pixel, rows bottom-up, each row 16 bytes.
    xor_rows = []
    and_rows = []
    for y in reversed(range(SIZE)):
        nibbles = [pixel(x, y) or 0 for x in range(SIZE)]
        xor_rows.append(bytes((nibbles[i] << 4) | nibbles[i + 1] for i in range(0, SIZE, 2)))
        mask = 0
        for x in range(SIZE):
            mask = (mask << 1) | (1 if pixel(x, y) is None else 0)
        and_rows.append(struct.pack(">I", mask))  # 32 bits: a row is already 4-byte aligned
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    image = b"".join(xor_rows) + b"".join(and_rows)
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 4, 0, len(image), 0, 0, 16, 0)
    bitmap = header + palette + image
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 16, 0, 1, 4, len(bitmap), 6 + 16)
    return directory + entry + bitmap


def main(argv):
    if len(argv) != 2:
        print("usage: make_icon.py OUT.ico", file=sys.stderr)
        return 2
    with open(argv[1], "wb") as out:
        out.write(icon_bytes())
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
