#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Independent model of the colour crossover, the colour nudge and the scatter
placements, written from their descriptions on top of the generator model in
tests/runtime/random_reference.py. Produces the known answers of
effects_test.cpp and figure_test.cpp."""

import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "runtime"))
from random_reference import Generator  # noqa: E402

PALETTE_BITS = 0x1F1F1F


def crossover(g, a, b, p):
    h = p // 2
    for i in range(32):
        x, y = (a >> i) & 1, (b >> i) & 1
        if x != y:
            r1 = g.int(0, 100 - p)
            r2 = g.int(0, p)
            if r1 > r2:
                y = x
            elif r2 > r1:
                x = y
        elif x == 1:
            r1 = g.int(0, 100 - h)
            r2 = g.int(0, h)
            r3 = g.int(0, max(100 - h, h))
            if r1 > r2 and r1 > r3:
                y = g.int(0, 1)
            elif r2 > r1 and r2 > r3:
                x = g.int(0, 1)
        a = (a & ~(1 << i)) | (x << i)
        b = (b & ~(1 << i)) | (y << i)
    return a | PALETTE_BITS, b | PALETTE_BITS


L_CELLS = {(0, 0), (1, 0), (2, 0), (2, 1)}  # type 1, bounds columns 0-1, rows 0-2


def nudge_l(g, colour, chance):
    """Returns ((row, column), new colour) or None when nothing changes hands."""
    column = g.int(0, 1)
    row = g.int(0, 2)
    if (row, column) not in L_CELLS:
        return None
    if g.int(0, 100) > chance:
        return None
    return (row, column), nudged_colour(g, colour)


def nudged_colour(g, colour):
    """Each channel: a coin to step down by 32 (when above 32), then a coin
    to step up by 32 (when at most 223); both coins always drawn."""
    out = 0
    for shift in (0, 8, 16):
        c = (colour >> shift) & 0xFF
        if g.int(0, 1) == 1 and c > 32:
            c -= 32
        if g.int(0, 1) == 1 and c <= 223:
            c += 32
        out |= c << shift
    return out


def scatter(g, n):
    cells = set()
    for _ in range(n):
        column = g.int(0, 3)
        row = g.int(0, 3)
        cells.add((row, column))
    return cells


if __name__ == "__main__":
    for seed, a, b in [(5, 0x3F9FDF, 0xDF3F1F), (6, 0, 0xFF7F1F), (9, 0xFFFFFF, 0xFFFFFF),
                       (10, 0x12345678, 0x9ABCDEF0)]:
        g = Generator(seed)
        ra, rb = crossover(g, a, b, 90)
        print(f"crossover seed {seed} {a:#x} x {b:#x}: a={ra:#x} b={rb:#x}")
    g = Generator(40)
    ra, _ = crossover(g, 0x1F1FFF, 0xFF1F1F, 90)  # spread: (3, 11) first
    rb, _ = crossover(g, 0x1FFF1F, 0xFF1F1F, 90)  # then (5, 9)
    print(f"spread seed 40: first={ra:#x} second={rb:#x}")
    for seed in range(1, 40):
        result = nudge_l(Generator(seed), 0x7F7F7F, 100)
        if result:
            print(f"nudge seed {seed}: {result[0]} -> {result[1]:#x}")
    for seed in (3, 4):
        print(f"scatter 5, seed {seed}:", sorted(scatter(Generator(seed), 5)))
