#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""The window on desktops of several shapes: the start scale follows the width
unless the screen is too short, and Right on "Scale:" grows the window only
while it still fits the screen. Without a window manager (Xvfb alone) the
usable area is the whole screen; under openbox the whole frame, title bar
included, must lie on the screen too. The window carries the game's icon."""

import contextlib
import os
import re
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from xharness import Display, wait_until  # noqa: E402

# screen, window manager, window at start, the windows each accepted Right gives
SHAPES = [
    ((1600, 900), None, (684, 702), [(722, 741), (798, 819), (836, 858)]),
    ((3440, 1440), None, (1368, 1404), []),  # 2.365 by width would be 1444 x 1482
    ((1024, 768), None, (418, 429), [(494, 507), (532, 546), (608, 624), (684, 702), (722, 741)]),
    ((800, 600), None, (342, 351), [(380, 390), (456, 468), (532, 546), (570, 585)]),
    # openbox's frame is 20 pixels of title bar and 1 of border
    ((3440, 1440), "openbox", (1368, 1404), []),
    ((1366, 768), "openbox", (570, 585), [(646, 663), (684, 702)]),
]


def placement(display, window):
    info = display.run("xwininfo", "-id", window)
    return tuple(int(re.search(rf"Absolute upper-left {axis}:\s+(-?\d+)", info).group(1))
                 for axis in "XY")


def frame_extents(display, window):
    """left, right, top, bottom of the window manager's frame; 0s without one."""
    found = re.search(r"= (\d+), (\d+), (\d+), (\d+)",
                      display.run("xprop", "-id", window, "_NET_FRAME_EXTENTS", check=False))
    return tuple(int(v) for v in found.groups()) if found else (0, 0, 0, 0)


def check_on_screen(display, window, screen, what):
    (x, y), (w, h) = placement(display, window), display.window_size(window)
    left, right, top, bottom = frame_extents(display, window)
    x, y, w, h = x - left, y - top, w + left + right, h + top + bottom
    assert x >= 0 and y >= 0 and x + w <= screen[0] and y + h <= screen[1], \
        f"{what}: frame {w} x {h} at ({x}, {y}) leaves the {screen[0]} x {screen[1]} screen"


@contextlib.contextmanager
def managed(display, manager):
    """The display with the window manager running (None: without one), both
    ended afterwards."""
    manager_process = start_window_manager(display, manager) if manager else None
    try:
        yield display
    finally:
        if manager_process:
            manager_process.terminate()
            manager_process.wait()
        display.close()


def desktop(screen, manager):
    """An Xvfb of the screen's size, managed as above."""
    return managed(Display(*screen), manager)


def start_window_manager(display, name):
    manager = subprocess.Popen([name], env=display.env, stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL)
    ready = lambda: "window id" in display.run("xprop", "-root", "_NET_SUPPORTING_WM_CHECK",
                                               check=False)
    assert wait_until(ready), f"{name} did not start"
    return manager


def press_right(display, process, window):
    """Right on "Scale:"; returns the window afterwards, a new one when the
    display was reopened, the same when the step was refused."""
    display.key("Right", pause=0.1)
    changed = wait_until(lambda: display.find_window(process) != window, timeout=3.0)
    if changed:
        window = display.find_window(process)
        display.focus(window)
    return window


def check_shape(program, artifacts, screen, manager, start, steps):
    name = f"{screen[0]}x{screen[1]}" + (f"-{manager}" if manager else "")
    with desktop(screen, manager) as display:
        process = display.launch(program)
        window = display.find_window(process)
        assert display.window_size(window) == start, \
            f"{name}: start window {display.window_size(window)}, expected {start}"
        check_on_screen(display, window, screen, f"{name} at start")
        icon = display.run("xprop", "-id", window, "_NET_WM_ICON")
        assert "Icon (64 x 64)" in icon, f"{name}: the window has no 64-pixel icon: {icon[:80]!r}"
        display.focus(window)
        display.screenshot(window, os.path.join(artifacts, f"fit-{name}-start.png"))

        display.key("Down", "Down", "Return")  # Options, "Scale:" selected
        for size in steps:
            window = press_right(display, process, window)
            assert display.window_size(window) == size, \
                f"{name}: Right gave {display.window_size(window)}, expected {size}"
            check_on_screen(display, window, screen, f"{name} at {size}")
        largest = steps[-1] if steps else start
        refused = press_right(display, process, window)
        assert refused == window and display.window_size(window) == largest, \
            f"{name}: Right past {largest} changed the window to {display.window_size(refused)}"
        display.screenshot(window, os.path.join(artifacts, f"fit-{name}-largest.png"))

        display.close_window(process, window, f"{name}: close request")
        print(f"ok: {name} starts at {start[0]} x {start[1]}, grows to {largest[0]} x {largest[1]}")


def main():
    program, artifacts = sys.argv[1], sys.argv[2]
    os.makedirs(artifacts, exist_ok=True)
    started = time.time()
    for screen, manager, start, steps in SHAPES:
        check_shape(program, artifacts, screen, manager, start, steps)
    print(f"{len(SHAPES)} desktop shapes in {time.time() - started:.0f} s")


if __name__ == "__main__":
    main()
