#!/usr/bin/env python3
"""Writes the fuzzer's seed corpus: a few RGNDATA blocks, valid and broken."""
import os
import struct
import sys


def rgndata(rects, size=32, count=None, bound=None):
    if bound is None:
        bound = (min((r[0] for r in rects), default=0), min((r[1] for r in rects), default=0),
                 max((r[2] for r in rects), default=0), max((r[3] for r in rects), default=0))
    count = len(rects) if count is None else count
    header = struct.pack("<IIII4i", size, 1, count, 16 * len(rects), *bound)
    return header + b"".join(struct.pack("<4i", *r) for r in rects)


# Four bands, the second and fourth with two rectangles each.
SIX = [(2, 0, 6, 1), (0, 1, 3, 3), (5, 1, 8, 3), (1, 3, 7, 4), (0, 4, 2, 6), (6, 4, 8, 6)]

SEEDS = {
    "empty": rgndata([]),
    "one_rect": rgndata([(0, 0, 10, 10)]),
    "six_rects": rgndata(SIX),
    "six_rects_cut_in_last_rect": rgndata(SIX)[:-5],
    "six_rects_count_too_high": rgndata(SIX, count=7),
    "header_only_cut": rgndata([])[:31],
    "overlapping_unsorted": rgndata([(5, 5, 20, 20), (0, 0, 10, 10), (3, 3, 3, 9), (-4, 8, 2, 2)]),
    "wrong_header_size": rgndata([(0, 0, 1, 1)], size=33),
    "extreme_coordinates": rgndata([(-2**31, -2**31, 2**31 - 1, 2**31 - 1), (0, 0, 1, 1)]),
}

folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "corpus")
os.makedirs(folder, exist_ok=True)
for name, data in SEEDS.items():
    with open(os.path.join(folder, name + ".rgn"), "wb") as out:
        out.write(data)
