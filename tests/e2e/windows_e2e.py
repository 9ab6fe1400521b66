#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""The Windows zip's pellovar.exe under Wine, in Xvfb with openbox, against the
Linux build on the same desktop: --version and the version information, the
same window size and menu
panel, held keys start a one-player game and move its figure, F11 fills the
screen and gives the window back, and a close request ends it with status 0.

Usage: windows_e2e.py ZIP LINUX_PROGRAM ARTIFACTS"""

import os
import subprocess
import sys
import tempfile
import time
import zipfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from xharness import blend, close_to, wait_exit, wait_until  # noqa: E402
from desktop_fit_e2e import desktop  # noqa: E402

SCREEN = (1600, 900)
CLEAR = (187, 204, 187)
PANEL = blend((168, 185, 168), 192, CLEAR)
PANEL_CELLS = [(4, 4), (33, 4), (4, 30), (33, 30), (6, 10), (31, 24)]
CELL = 18  # at 1600 pixels wide, scale 1.1
WINE_ENV = {"WINEDEBUG": "-all"}


def find_window_by_name(display, process, timeout=60.0):
    """Wine's window belongs to a process of Wine's own: found by its title."""
    deadline = time.time() + timeout
    while time.time() < deadline:
        assert process.poll() is None, f"the game ended early with status {process.returncode}"
        ids = display.run("xdotool", "search", "--onlyvisible", "--name", "^Pellovar",
                          check=False).split()
        if ids:
            return ids[-1]
        time.sleep(0.2)
    raise AssertionError("no Pellovar window appeared under Wine")


def panel(display, window, path):
    picture = display.screenshot(window, path)
    return [picture.cell(c, r, CELL) for c, r in PANEL_CELLS]


def check_linux(display, program, artifacts):
    process = display.launch(program)
    window = display.find_window(process)
    size = display.window_size(window)
    assert wait_until(lambda: all(close_to(p, PANEL) for p in
                                  panel(display, window, os.path.join(artifacts, "linux.png"))))
    display.close_window(process, window)
    return size


def check_windows(display, exe, size, artifacts):
    # The harness names SDL's X11 driver; Windows has its own.
    env = {k: v for k, v in dict(display.env, **WINE_ENV).items() if k != "SDL_VIDEODRIVER"}
    process = subprocess.Popen(["wine", exe], env=env, stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL)
    window = find_window_by_name(display, process)
    display.focus(window)
    assert display.window_size(window) == size, \
        f"under Wine the window is {display.window_size(window)}, the Linux build's {size}"
    shown = lambda: all(close_to(p, PANEL) for p in
                        panel(display, window, os.path.join(artifacts, "windows-menu.png")))
    assert wait_until(shown, timeout=20.0), "the menu panel is not the Linux build's"
    print(f"ok: under Wine the window is {size[0]} x {size[1]} and shows the menu panel")

    # New game, one player; then Left held moves the figure.
    display.key("Down", "Return", "Return", pause=0.5)
    assert wait_until(lambda: ", Fc2," in display.title(window), timeout=10.0), \
        f"no game started: {display.title(window)!r}"
    before = display.screenshot(window, os.path.join(artifacts, "windows-game.png"))
    display.hold("Left", 0.6)
    display.key("Up")
    after = display.screenshot(window, os.path.join(artifacts, "windows-moved.png"))
    field = [(x, y) for x in range(11 * CELL, 27 * CELL, CELL // 2)
             for y in range(7 * CELL, 20 * CELL, CELL // 2)]
    assert any(before.pixel(x, y) != after.pixel(x, y) for x, y in field), \
        "the figure did not move or turn"
    print("ok: keys start a one-player game and move and turn its figure")

    display.key("F11")
    assert wait_until(lambda: display.window_size(
        find_window_by_name(display, process)) == SCREEN, timeout=10.0), "F11 did not fill the screen"
    display.key("F11")
    assert wait_until(lambda: display.window_size(
        find_window_by_name(display, process)) == size, timeout=10.0), "F11 did not give the window back"
    print("ok: F11 fills the screen and gives the window back")

    window = find_window_by_name(display, process)
    display.request_close(window)
    status = wait_exit(process, 10.0)
    assert status == 0, f"a close request ended it with status {status}"
    print("ok: a close request ends it with status 0")


def main():
    zip_path, program, artifacts = sys.argv[1], sys.argv[2], sys.argv[3]
    os.makedirs(artifacts, exist_ok=True)
    with tempfile.TemporaryDirectory() as folder:
        with zipfile.ZipFile(zip_path) as archive:
            archive.extractall(folder)
        exe = next(os.path.join(root, "pellovar.exe") for root, _, files in os.walk(folder)
                   if "pellovar.exe" in files)
        version = subprocess.run(["wine", exe, "--version"], env=dict(os.environ, **WINE_ENV),
                                 capture_output=True, text=True, timeout=120)
        assert (version.returncode, version.stdout) == (0, "Pellovar 1.0.1.8\n"), f"--version: {version}"
        print("ok: --version answers under Wine")
        carried = open(exe, "rb").read()
        for text in ("ProductName", "Pellovar", "1.0.1.8", "MIT licence"):
            assert text.encode("utf-16-le") in carried, f"the version information lacks {text!r}"
        print("ok: the exe carries its version information")
        # A Wine session started without a display (the run above, or the unit
        # tests before it) lingers a while and would take the game's windows
        # nowhere: the game starts a session of its own, with the display.
        subprocess.run(["wineserver", "-w"], timeout=120)
        with desktop(SCREEN, "openbox") as display:
            size = check_linux(display, program, artifacts)
            check_windows(display, exe, size, artifacts)


if __name__ == "__main__":
    main()
