#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""F11 and the window manager's own fullscreen request. In fullscreen the
window covers the screen, the display lies centred at the largest cell that
fits and the margin around it has the display's background colour; F11 again
gives back the window at its earlier size, place and scale. A close request
and each ending signal in fullscreen end the program with status 0 and nothing
on its error output. Under openbox, minimising and Alt+Tab away and back
leave the whole picture in place. With openbox and without a window manager."""

import os
import re
import signal
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from xharness import blend, close_to, wait_exit, wait_until  # noqa: E402
from desktop_fit_e2e import desktop, placement  # noqa: E402

BACKGROUND = (187, 204, 187)  # BrightFace
PANEL = blend((168, 185, 168), 192, BACKGROUND)
# Panel cells of every menu that no entry, selection bar or header covers.
PANEL_CELLS = [(4, 4), (33, 4), (4, 30), (33, 30), (6, 10), (31, 24)]

# screen, window manager, the fullscreen cell, the display's centred place, and
# the signal that ends a second run in fullscreen
CASES = [
    ((1920, 1080), None, 27, (447, 13), signal.SIGTERM),
    ((3840, 2160), None, 55, (875, 7), signal.SIGINT),
    ((1920, 1080), "openbox", 27, (447, 13), signal.SIGHUP),
    ((3840, 2160), "openbox", 55, (875, 7), signal.SIGTERM),
]


def shows_display_at(display, screen, cell, offset, path):
    """The root window shows the panel at the centred offset and the margin in
    the background colour: a list of what is wrong, empty when nothing is."""
    picture = display.screenshot("root", path)
    left, top = offset
    wrong = []
    for column, row in PANEL_CELLS:
        x, y = left + column * cell + cell // 2, top + row * cell + cell // 2
        if not close_to(picture.pixel(x, y), PANEL):
            wrong.append(f"panel cell {column},{row} at ({x}, {y}) is {picture.pixel(x, y)}")
    right, bottom = left + 38 * cell, top + 39 * cell
    margin = [(0, 0), (left - 1, screen[1] // 2), (right, screen[1] // 2),
              (screen[0] - 1, screen[1] - 1), (screen[0] // 2, top - 1), (screen[0] // 2, bottom)]
    for x, y in margin:
        if 0 <= x < screen[0] and 0 <= y < screen[1] and picture.pixel(x, y) != BACKGROUND:
            wrong.append(f"margin at ({x}, {y}) is {picture.pixel(x, y)}")
    return wrong


def new_window(display, process, old):
    assert wait_until(lambda: display.find_window(process) != old, timeout=5.0), \
        "the display was not reopened"
    window = display.find_window(process)
    display.focus(window)
    return window


def check_fullscreen(display, window, screen, cell, offset, name, what):
    """The window covers the screen and shows the display at cell and offset."""
    assert display.window_size(window) == screen, \
        f"{name} {what}: window {display.window_size(window)}, expected the screen {screen}"
    assert placement(display, window) == (0, 0), \
        f"{name} {what}: window at {placement(display, window)}, expected (0, 0)"
    path = os.path.join(ARTIFACTS, f"fullscreen-{name}-{what}.png")
    shown = wait_until(lambda: not shows_display_at(display, screen, cell, offset, path),
                       timeout=5.0)
    assert shown, f"{name} {what}: " + "; ".join(shows_display_at(display, screen, cell, offset,
                                                                   path))


def frames_per_second(display, window):
    found = re.search(r"FPS:(\d+)", display.title(window))
    return int(found.group(1)) if found else None


def check_game_and_scale(display, process, window, screen, cell, name):
    """A two-player game starts and runs in fullscreen (its frame rate is
    printed; the bench measures it on a quiet machine); then, on "Scale:",
    Left makes the display smaller and still centred, Right brings the
    fullscreen scale back and is refused past it. Returns the window."""
    before = display.title(window)
    display.key("Down", "Return", "Down", "Return")  # New Game, two players
    assert wait_until(lambda: display.title(window) != before, timeout=5.0), \
        f"{name}: the title stopped at {before!r}: the game does not run in fullscreen"
    time.sleep(2.0)  # the title's figure covers the second before it
    print(f"{name}: two-player game in fullscreen at {frames_per_second(display, window)} FPS")

    display.key("Escape", "Down", "Down", "Return", pause=0.4)  # Options, "Scale:"
    display.key("Left")
    window = new_window(display, process, window)
    centred = lambda side: ((screen[0] - 38 * side) // 2, (screen[1] - 39 * side) // 2)
    smaller = cell - 2  # 16 x (scale - 0.1): 1.6 pixels less, rounded
    check_fullscreen(display, window, screen, smaller, centred(smaller), name, "left")
    display.key("Right")
    window = new_window(display, process, window)
    check_fullscreen(display, window, screen, cell, centred(cell), name, "right")
    display.key("Right")
    assert not wait_until(lambda: display.find_window(process) != window, timeout=1.0), \
        f"{name}: Right past the largest scale that fits reopened the display"
    return window


def away_and_back(display, window, screen, cell, offset, name):
    """Minimised and restored; then another window takes the focus and Alt+Tab
    comes back: each time the whole picture is there again, still in
    fullscreen."""
    display.run("xdotool", "windowminimize", "--sync", window)
    display.run("xdotool", "windowactivate", "--sync", window)
    check_fullscreen(display, window, screen, cell, offset, name, "restored")
    other = subprocess.Popen(["xmessage", "-center", "elsewhere"], env=display.env)
    try:
        assert wait_until(lambda: display.run("xdotool", "getwindowfocus", check=False).strip()
                          != window, timeout=5.0), f"{name}: the other window took no focus"
        display.key("alt+Tab")
        assert wait_until(lambda: display.run("xdotool", "getwindowfocus", check=False).strip()
                          == window, timeout=5.0), f"{name}: Alt+Tab did not come back"
        check_fullscreen(display, window, screen, cell, offset, name, "alt-tab")
    finally:
        other.kill()
        other.wait()


def check_case(program, screen, manager, cell, offset, ending):
    name = f"{screen[0]}x{screen[1]}" + (f"-{manager}" if manager else "")
    with desktop(screen, manager) as display:
        process = display.launch(program)
        window = display.find_window(process)
        display.focus(window)
        size, place = display.window_size(window), placement(display, window)

        display.key("F11")
        window = new_window(display, process, window)
        check_fullscreen(display, window, screen, cell, offset, name, "F11")
        window = check_game_and_scale(display, process, window, screen, cell, name)

        display.key("F11")
        window = new_window(display, process, window)
        assert (display.window_size(window), placement(display, window)) == (size, place), \
            f"{name}: back from fullscreen {display.window_size(window)} at " \
            f"{placement(display, window)}, expected {size} at {place}"

        if manager:
            # The window manager's own fullscreen: treated as F11, both ways.
            display.request_fullscreen(window, True)
            window = new_window(display, process, window)
            check_fullscreen(display, window, screen, cell, offset, name, "wm-request")
            display.request_fullscreen(window, False)
            window = new_window(display, process, window)
            assert (display.window_size(window), placement(display, window)) == (size, place), \
                f"{name}: back from the window manager's fullscreen " \
                f"{display.window_size(window)} at {placement(display, window)}, " \
                f"expected {size} at {place}"

        # Held past the keyboard's repeat delay, F11 still toggles once: each
        # toggle replaces the window, and the held key's repeats reach the new
        # one as fresh presses unless the program knows better.
        display.run("xdotool", "keydown", "F11")
        window = new_window(display, process, window)
        time.sleep(1.5)
        held = display.find_window(process)
        display.run("xdotool", "keyup", "F11")
        assert held == window, f"{name}: F11 held down toggled fullscreen more than once"
        check_fullscreen(display, window, screen, cell, offset, name, "again")
        if manager:
            away_and_back(display, window, screen, cell, offset, name)
        display.close_window(process, window, f"{name}: close request in fullscreen")
        assert process.stderr.read() == "", f"{name}: the program wrote to its error output"

        process = display.launch(program)
        window = display.find_window(process)
        display.focus(window)
        display.key("F11")
        new_window(display, process, window)
        process.send_signal(ending)
        status = wait_exit(process, 10)
        errors = process.stderr.read()
        assert status == 0 and errors == "", \
            f"{name}: {signal.Signals(ending).name} in fullscreen: status {status}, wrote {errors!r}"
        print(f"ok: {name}: {cell}-pixel cells at {offset}, back to {size} at {place}, "
              f"{signal.Signals(ending).name} ends it with 0")


def main():
    global ARTIFACTS
    program, ARTIFACTS = sys.argv[1], sys.argv[2]
    os.makedirs(ARTIFACTS, exist_ok=True)
    for screen, manager, cell, offset, ending in CASES:
        check_case(program, screen, manager, cell, offset, ending)


if __name__ == "__main__":
    main()
