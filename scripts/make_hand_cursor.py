#!/usr/bin/env python3
"""Draws the program's hand pointer and writes it as a Windows cursor file.

The result is committed as src/shell/resources/HAND-M.CUR; run this again only
to change the drawing:  python3 scripts/make_hand_cursor.py OUT.CUR
"""
import struct
import sys

# 32 x 32, '#' outline, '.' white fill, ' ' transparent. Hotspot: the fingertip.
ART = """
      ##
     #..#
     #..#
     #..#
     #..#
     #..###
     #..#..###
     #..#..#..##
  ## #..#..#..#.#
 #..##........#..#
 #...#...........#
  #..............#
  #..............#
   #.............#
   #............#
    #...........#
    #..........#
     #.........#
     #.........#
     ###########
""".strip("\n").split("\n")
HOT_X, HOT_Y = 6, 0
W = H = 32


def pixel(x, y):
    row = ART[y] if y < len(ART) else ""
    ch = row[x] if x < len(row) else " "
    return {"#": (0, 0, 0, 255), ".": (255, 255, 255, 255)}.get(ch, (0, 0, 0, 0))


def main(out):
    xor = bytearray()
    mask = bytearray()
    for y in reversed(range(H)):  # bottom-up rows
        bits = 0
        for x in range(W):
            r, g, b, a = pixel(x, y)
            xor += bytes((b, g, r, a))
            bits = (bits << 1) | (0 if a else 1)
        mask += struct.pack(">I", bits)
    header = struct.pack("<IiiHHIIiiII", 40, W, H * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
    image = header + xor + mask
    directory = struct.pack("<HHH", 0, 2, 1)
    entry = struct.pack("<BBBBHHII", W, H, 0, 0, HOT_X, HOT_Y, len(image), 6 + 16)
    with open(out, "wb") as f:
        f.write(directory + entry + image)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "HAND-M.CUR")
