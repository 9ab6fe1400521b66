#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""The whole program driven with the keyboard in Xvfb: menus, a one-player
game, pausing and continuing, the scale option, a two-player game, quitting.
Screenshots are kept in the artefacts folder."""

import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from xharness import Display, blend, close_to, wait_exit  # noqa: E402

CLEAR = (187, 204, 187)
FLAT3 = (179, 196, 179)  # block kind 3
FLAT4 = (168, 185, 168)  # block kind 4
PANEL = blend(FLAT4, 192, CLEAR)
BAR = blend(FLAT3, 192, CLEAR)
EMPTY_FIELD = blend(FLAT4, 127, CLEAR)  # centre of a kind-2 block at alpha 127


def expect(picture, column, row, colour, cell, what):
    actual = picture.cell(column, row, cell)
    assert close_to(actual, colour), f"{what}: cell ({column}, {row}) is {actual}, expected {colour}"


def expect_menu(picture, cell, what):
    # First entry "Continue" on row 14 with the bar behind it (rows 13 to 15),
    # reaching past the text; the panel shows where nothing else is.
    expect(picture, 12, 14, BAR, cell, f"{what}: highlight bar")
    expect(picture, 12, 17, PANEL, cell, f"{what}: panel")
    expect(picture, 4, 4, PANEL, cell, f"{what}: panel corner")


def falling(picture, left, right, rows=range(7, 27)):
    """The cells of a field (18-pixel cells) that are not empty."""
    return [(c, r) for r in rows for c in range(left, right + 1)
            if not close_to(picture.cell(c, r, 18), EMPTY_FIELD, 12)]


def shape(cells):
    """Cells as rows of '#' and '.', independent of where they lie."""
    if not cells:
        return ()
    left = min(c for c, _ in cells)
    top = min(r for _, r in cells)
    right = max(c for c, _ in cells)
    bottom = max(r for _, r in cells)
    return tuple("".join("#" if (c, r) in cells else "." for c in range(left, right + 1))
                 for r in range(top, bottom + 1))


def main():
    program, artifacts = sys.argv[1], sys.argv[2]
    os.makedirs(artifacts, exist_ok=True)
    shot = lambda name: os.path.join(artifacts, name)
    display = Display(1600, 1000)
    try:
        process = display.launch(program)
        window = display.find_window(process)
        display.focus(window)
        menu = display.screenshot(window, shot("menu.png"))
        expect_menu(menu, 18, "main menu at start-up")

        # Down, Enter, Enter: New Game, then 1-P/classic.
        display.key("Down", "Return", "Return")
        game = display.screenshot(window, shot("one-player.png"))
        expect(game, 13, 15, FLAT4, 18, "one player: inner frame left")
        expect(game, 24, 15, FLAT4, 18, "one player: inner frame right")
        expect(game, 12, 15, FLAT3, 18, "one player: outer frame left")
        expect(game, 25, 30, FLAT3, 18, "one player: outer frame right")
        expect(game, 14, 26, EMPTY_FIELD, 18, "one player: empty bottom-left field cell")

        display.hold("Down", 6)
        dropped = display.screenshot(window, shot("one-player-dropped.png"))
        bottom = [dropped.cell(c, 26, 18) for c in range(14, 24)]
        assert any(not close_to(p, EMPTY_FIELD, 12) for p in bottom), \
            f"holding Down left the bottom row empty: {bottom}"

        # Escape pauses into the main menu, Enter on "Continue" resumes.
        display.key("Escape")
        paused = display.screenshot(window, shot("paused.png"))
        expect_menu(paused, 18, "main menu after Escape")
        display.key("Return")
        resumed = display.screenshot(window, shot("resumed.png"))
        expect(resumed, 13, 15, FLAT4, 18, "resumed game: inner frame")
        for c in range(14, 24):
            before, after = dropped.cell(c, 26, 18), resumed.cell(c, 26, 18)
            assert close_to(before, after, 12), f"bottom row changed across the pause at column {c}"

        # Options: Right grows the window to the 1.2 scale, Left shrinks it back.
        # Each change makes a new window, which must take the keyboard by
        # itself: nothing here focuses it by hand.
        display.key("Escape", "Down", "Down", "Return", "Right")
        window = display.find_window(process)
        assert display.window_size(window) == (722, 741), display.window_size(window)
        display.screenshot(window, shot("scale-1.2.png"))
        display.key("Left")
        window = display.find_window(process)
        assert display.window_size(window) == (684, 702), display.window_size(window)

        # Back to the main menu, then a two-player game.
        display.key("Escape", "Down", "Return", "Down", "Return")
        two = display.screenshot(window, shot("two-players.png"))
        expect(two, 7, 15, FLAT4, 18, "two players: player 1 inner frame")
        expect(two, 19, 15, FLAT4, 18, "two players: column 19 is player 2's inner frame")
        expect(two, 30, 15, FLAT4, 18, "two players: player 2 inner frame right")
        expect(two, 6, 15, FLAT3, 18, "two players: player 1 outer frame")
        expect(two, 8, 26, EMPTY_FIELD, 18, "two players: player 1 field")

        # Player 2 steers with the keypad (the keys as they read with Num Lock off).
        display.hold("KP_Left", 1.2)
        cells = falling(display.screenshot(window, shot("p2-left.png")), 20, 29)
        assert cells and min(c for c, _ in cells) == 20, f"KP_Left: player 2's figure at {cells}"
        display.hold("KP_Right", 1.2)
        cells = falling(display.screenshot(window, shot("p2-right.png")), 20, 29)
        assert cells and max(c for c, _ in cells) == 29, f"KP_Right: player 2's figure at {cells}"
        display.key("KP_Up")
        turned = falling(display.screenshot(window, shot("p2-rotated.png")), 20, 29)
        assert shape(turned) != shape(cells) or shape(cells) == ("##", "##"), \
            f"KP_Up: player 2's figure {shape(cells)} did not turn: {shape(turned)}"
        display.hold("KP_Begin", 2.5)
        landed = display.screenshot(window, shot("p2-down.png"))
        assert falling(landed, 20, 29, rows=range(24, 27)), "KP_Begin: nothing reached player 2's floor"
        assert not falling(landed, 8, 17, rows=range(25, 27)), "player 2's keys moved player 1"

        # Escape, Up to "Quit" (wrapping), Enter: the process ends with 0.
        display.key("Escape", "Up", "Return", pause=0.5)
        status = wait_exit(process, 10)
        assert status == 0, f"Quit: exit status {status}"
        print("ok: menus, one- and two-player games, pause, scale and quit")
    finally:
        display.close()


if __name__ == "__main__":
    main()
