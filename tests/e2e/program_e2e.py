#!/usr/bin/env python3
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
        display.key("Escape", "Down", "Down", "Return", "Right")
        window = display.find_window(process)
        assert display.window_size(window) == (722, 741), display.window_size(window)
        display.focus(window)
        display.screenshot(window, shot("scale-1.2.png"))
        display.key("Left")
        window = display.find_window(process)
        assert display.window_size(window) == (684, 702), display.window_size(window)
        display.focus(window)

        # Back to the main menu, then a two-player game.
        display.key("Escape", "Down", "Return", "Down", "Return")
        two = display.screenshot(window, shot("two-players.png"))
        expect(two, 7, 15, FLAT4, 18, "two players: player 1 inner frame")
        expect(two, 19, 15, FLAT4, 18, "two players: column 19 is player 2's inner frame")
        expect(two, 30, 15, FLAT4, 18, "two players: player 2 inner frame right")
        expect(two, 6, 15, FLAT3, 18, "two players: player 1 outer frame")
        expect(two, 8, 26, EMPTY_FIELD, 18, "two players: player 1 field")

        # Escape, Up to "Quit" (wrapping), Enter: the process ends with 0.
        display.key("Escape", "Up", "Return", pause=0.5)
        status = wait_exit(process, 10)
        assert status == 0, f"Quit: exit status {status}"
        print("ok: menus, one- and two-player games, pause, scale and quit")
    finally:
        display.close()


if __name__ == "__main__":
    main()
