#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Independent model of a seeded one-player game, written from the rules of
the game step, the figures, the playfield and the colour effects, on top of
the generator model in tests/runtime/random_reference.py. It replays the
scripted game of step_test.cpp's SeededGameFollowsTheDrawOrder and prints the
figures the game makes, in order, and how the game ends: the known answers
of that test.

Only the random draws and what decides them are modelled; the colour
effects' timing is not (the replay never advances the effects)."""

import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "runtime"))
sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "play"))
from random_reference import Generator  # noqa: E402
from effects_reference import crossover, nudged_colour  # noqa: E402

LEVELS = [31, 63, 95, 127, 159, 191, 223, 255]
# Red varies slowest, blue fastest.
PALETTE = [r | g << 8 | b << 16 for r in LEVELS for g in LEVELS for b in LEVELS]
SHAPES = {
    1: [(0, 0), (1, 0), (2, 0), (2, 1)],
    2: [(0, 1), (1, 1), (2, 0), (2, 1)],
    3: [(0, 0), (0, 1), (1, 0), (1, 1)],
    4: [(0, 1), (1, 1), (2, 1), (3, 1)],
    5: [(0, 0), (1, 0), (1, 1), (2, 1)],
    6: [(0, 1), (1, 0), (1, 1), (2, 0)],
    7: [(0, 0), (0, 1), (0, 2), (1, 1)],
}
E = {1: 2.7182817459106445, 2: 7.389056205749512, 3: 20.08553695678711, 4: 54.598148345947266}
KEEP = -65535

# The field of the game: 10 columns, visible rows 2 to 21.
MIN_COL, MAX_COL, MIN_ROW, MAX_ROW, COL_SPAN, ROW_SPAN = 0, 9, 2, 21, 9, 19


class Figure:
    def __init__(self):
        self.cells = {}  # (row, column) in the 4 x 4 box -> colour
        self.min_col = self.max_col = self.min_row = self.max_row = 0
        self.col_span = self.row_span = self.pivot_col = self.pivot_row = 0
        self.type = self.colour = self.x = self.y = 0

    def copy(self):
        f = Figure()
        f.__dict__.update(self.__dict__)
        f.cells = dict(self.cells)
        return f

    def update_bounds(self):
        if self.cells:
            self.min_col = min(k for _, k in self.cells)
            self.max_col = max(k for _, k in self.cells)
            self.min_row = min(r for r, _ in self.cells)
            self.max_row = max(r for r, _ in self.cells)
        self.col_span = self.max_col - self.min_col
        self.row_span = self.max_row - self.min_row

    def box_order(self):
        return sorted(self.cells)

    def picture(self):
        return "/".join("".join("#" if (r, k) in self.cells else "." for k in range(self.min_col, self.max_col + 1))
                        for r in range(self.min_row, self.max_row + 1))


def create_figure(g, type_, colour):
    f = Figure()
    if type_ in SHAPES:
        for rk in SHAPES[type_]:
            f.cells[rk] = colour
    else:  # scatter: n placements, column drawn before row
        for _ in range(type_ - 10):
            column = g.int(0, 3)
            row = g.int(0, 3)
            f.cells[(row, column)] = colour
    f.update_bounds()
    f.pivot_col = f.col_span // 2 + 1
    f.pivot_row = f.row_span // 2 + 1
    f.type, f.colour = type_, colour
    return f


def out_of_field(f, x, y):
    return x < 0 or y < 0 or x + f.col_span > MAX_COL or y + f.row_span > MAX_ROW


def place(f, r, k, x=None, y=None):
    x = f.x if x is None else x
    y = f.y if y is None else y
    return y + r - f.min_row, x + k - f.min_col


def collides(f, field, x, y):
    for r, k in f.cells:
        row, column = place(f, r, k, x, y)
        if row < 0 or column < 0 or (row, column) in field:
            return True
    return False


def try_move(field, f, x, y, force):
    if x == KEEP and y == KEEP:
        return False
    x = f.x if x == KEEP else x
    y = f.y if y == KEEP else y
    if out_of_field(f, x, y) or (not force and collides(f, field, x, y)):
        return False
    f.x, f.y = x, y
    return True


def is_resting(f, field):
    for r, k in f.cells:
        row, column = place(f, r, k)
        if row + 1 > MAX_ROW or (row + 1, column) in field:
            return True
    return False


def rotate(field, f, no_check):
    """A quarter turn clockwise keeping the pivot, pushed inside sideways."""
    t = f.copy()
    # target (r, k) takes source (3 - k, r)
    t.cells = {(k, 3 - r): c for (r, k), c in f.cells.items()}
    t.update_bounds()
    t.pivot_col, t.pivot_row = f.pivot_row, f.pivot_col
    t.x = f.x + f.pivot_col - t.pivot_col
    t.y = f.y + f.pivot_row - t.pivot_row
    if not no_check:
        if t.x < 0:
            t.x = 0
        if t.x + t.col_span > COL_SPAN:
            t.x = COL_SPAN - t.col_span
        if out_of_field(t, t.x, t.y) or collides(t, field, t.x, t.y):
            return False
    else:
        t.x = max(t.x, 0)
        t.y = max(t.y, 0)
        if t.x + t.col_span > COL_SPAN:
            t.x = COL_SPAN - t.col_span
        if t.y + t.row_span > ROW_SPAN:
            t.y = ROW_SPAN - t.row_span
    f.__dict__.update(t.__dict__)
    return True


def random_figure(g, field, allow_scatter):
    scatter = allow_scatter and g.int(1, 512) == 1
    colour = PALETTE[g.int(0, len(PALETTE) - 1)]
    type_ = g.int(11, 15) if scatter else g.int(1, 7)
    f = create_figure(g, type_, colour)
    for _ in range(g.int(0, 3)):
        rotate(field, f, True)
    return f


def enter(field, f):
    x = round(COL_SPAN * 0.5 - f.col_span * 0.5 + MIN_COL)
    y = MIN_ROW - f.row_span + 1
    try_move(field, f, x, y, True)


def nudge(g, f, chance):
    column = g.int(f.min_col, f.max_col)
    row = g.int(f.min_row, f.max_row)
    if (row, column) not in f.cells:
        return
    if g.int(0, 100) > chance:
        return
    f.cells[(row, column)] = nudged_colour(g, f.cells[(row, column)])


def lock(field, f):
    for (r, k), c in f.cells.items():
        field[place(f, r, k)] = c


def clear_full_rows(field):
    count = 0
    for r in range(0, MAX_ROW + 1):
        if all((r, c) in field for c in range(MIN_COL, MAX_COL + 1)):
            count += 1
            for c in range(MIN_COL, MAX_COL + 1):
                del field[(r, c)]
            for q in range(r, 0, -1):
                for c in range(MIN_COL, MAX_COL + 1):
                    if (q - 1, c) in field:
                        field[(q, c)] = field.pop((q - 1, c))
    return count


def spread(g, field, f):
    for r, k in f.box_order():
        own = f.cells[(r, k)]
        if own == 0:
            continue
        y, x = place(f, r, k)
        for column in (x - 1, x, x + 1):
            for row in (y - 1, y, y + 1):
                if not (MIN_COL <= column <= MAX_COL and MIN_ROW <= row <= MAX_ROW):
                    continue
                old = field.get((row, column))
                if old is None or old == own:
                    continue
                field[(row, column)] = own
                crossover(g, old, own, 90)


def flash(g, f):
    for rk in f.box_order():
        crossover(g, 0, f.cells[rk], 90)


def counters(locks):
    """Held keys by figure: Left for every third, Right for the next, and
    Down and Rotate always, all held long (Rotate at the nudging level)."""
    return {"left": 2 if locks % 3 == 0 else 0, "right": 2 if locks % 3 == 1 else 0, "down": 2, "rotate": 100}


def replay(seed, start=10000, max_ticks=6000):
    g = Generator(seed)
    field = {}
    made = []
    current = random_figure(g, field, False)
    enter(field, current)
    next_ = random_figure(g, field, False)
    made += [describe(current), describe(next_)]
    p = dict(fall=0, down=0, lock=0, rotate=0, side=0, interval=640, score=0, alive=True, locks=0, rows=0,
             scatters=0)
    now = start
    for _ in range(max_ticks):
        if not p["alive"]:
            break
        now += 16
        held = counters(p["locks"])
        # sideways
        if now >= p["side"]:
            if held["left"] and try_move(field, current, current.x - 1, KEEP, False):
                p["side"] = now + (90 if held["left"] == 1 else 45)
            elif held["right"] and try_move(field, current, current.x + 1, KEEP, False):
                p["side"] = now + (90 if held["right"] == 1 else 45)
        # down
        if held["down"] and now >= p["down"]:
            try_move(field, current, KEEP, current.y + 1, False)
            p["down"] = now + (64 if held["down"] == 1 else 32)
            p["fall"] = now + p["interval"]
        # gravity
        if now >= p["fall"] and try_move(field, current, KEEP, current.y + 1, False):
            p["fall"] = now + p["interval"]
        # rotation
        if held["rotate"] and now >= p["rotate"] and rotate(field, current, False):
            p["rotate"] = now + 150
            if held["rotate"] == 100:
                nudge(g, current, 3)
        # resting and locking
        if not is_resting(current, field):
            p["lock"] = 0
            continue
        if p["lock"] == 0:
            flash(g, current)
            p["lock"] = now + 384
            continue
        if now < p["lock"]:
            continue
        lock(field, current)
        rows = clear_full_rows(field)
        if rows:
            factor = g.int(768, 1280)
            p["score"] += round(E[rows] * factor + 640 - p["interval"])
            p["interval"] = round(p["interval"] * 0.99 - 1)
            p["rows"] += rows
        spread(g, field, current)
        p["locks"] += 1
        current, next_ = next_, None
        enter(field, current)
        if collides(current, field, current.x, current.y):
            lock(field, current)
            p["alive"] = False
        else:
            next_ = random_figure(g, field, True)
            made.append(describe(next_))
            p["scatters"] += next_.type > 10
        p["fall"] = now + p["interval"]
        p["lock"] = 0
    return made, p, field, now


def describe(f):
    return f"{f.type} {f.colour} {f.picture()}"


if __name__ == "__main__":
    if len(sys.argv) > 1 and sys.argv[1] == "search":
        for seed in range(1, 4000):
            made, p, _, _ = replay(seed)
            if p["scatters"] and p["rows"]:
                print(seed, "figures", len(made), "locks", p["locks"], "rows", p["rows"], "alive", p["alive"])
        sys.exit()
    seed = int(sys.argv[1]) if len(sys.argv) > 1 else 208
    made, p, field, now = replay(seed)
    for line in made:
        print(f'      "{line}",')
    print("locks", p["locks"], "rows", p["rows"], "score", p["score"], "interval", p["interval"],
          "alive", p["alive"], "ended", now)
    for r in range(MIN_ROW, MAX_ROW + 1):
        print('      "' + "".join("#" if (r, c) in field else "." for c in range(MIN_COL, MAX_COL + 1)) + '"')
