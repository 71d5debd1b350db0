#!/usr/bin/env python3
"""Makes the pictures that the main window's form description stores with its
title-bar buttons and sections, from the MacOS style's built-in bitmaps:
the three state frames of each button (17 x 17, 32 bits per pixel) and the
left, right and middle title pieces (8 bits per pixel, copied as they are).

Run from the repository root:  python3 tools/formpictures/make_form_pictures.py
"""
import os
import shutil
import struct

SKIN = "resources/skin"
OUT = "resources/forms/pictures"

# Button kind -> first frame in the 18-frame strip (normal, mouse on, mouse down follow).
BUTTONS = {"controlbox": 1, "close": 16, "max": 7, "min": 13}
STATES = ["normal", "mouseon", "mousedown"]
SECTIONS = {"left": "MACOS_TITLE_LEFT", "right": "MACOS_TITLE_RIGHT", "client": "MACOS_TITLE_CLIENT"}


def read_bmp24(path):
    data = open(path, "rb").read()
    offset, = struct.unpack_from("<I", data, 10)
    width, height, _, bpp, compression = struct.unpack_from("<iiHHI", data, 18)
    if bpp != 24 or compression != 0:
        raise SystemExit(f"{path}: expected an uncompressed 24-bit bitmap")
    stride = (width * 3 + 3) & ~3
    rows = []
    for y in range(abs(height)):
        row_index = abs(height) - 1 - y if height > 0 else y
        start = offset + row_index * stride
        rows.append([tuple(data[start + 3 * x:start + 3 * x + 3]) for x in range(width)])
    return width, abs(height), rows  # rows top-down, pixels as (b, g, r)


def write_bmp32(path, rows):
    height, width = len(rows), len(rows[0])
    pixels = b"".join(bytes((b, g, r, 0)) for row in reversed(rows) for (b, g, r) in row)
    header = struct.pack("<2sIHHI", b"BM", 54 + len(pixels), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 32, 0, len(pixels), 2835, 2835, 0, 0)
    with open(path, "wb") as out:
        out.write(header + info + pixels)


def main():
    os.makedirs(OUT, exist_ok=True)
    width, height, rows = read_bmp24(os.path.join(SKIN, "MACOS_TITLEBTN.bmp"))
    frame = width // 18
    for kind, first in BUTTONS.items():
        for i, state in enumerate(STATES):
            left = (first - 1 + i) * frame
            write_bmp32(os.path.join(OUT, f"titlebtn_{kind}_{state}.bmp"), [r[left:left + frame] for r in rows])
    for name, source in SECTIONS.items():
        shutil.copyfile(os.path.join(SKIN, source + ".bmp"), os.path.join(OUT, f"section_{name}.bmp"))


if __name__ == "__main__":
    main()
