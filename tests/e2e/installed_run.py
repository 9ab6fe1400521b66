#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Starts a command (the installed game) in Xvfb, waits for its main menu,
checks the window's class is the one the menu entry names (StartupWMClass, by
which the desktop ties the window to its entry), asks the window to close as
a window manager would, and checks the game ends with status 0.
    installed_run.py COMMAND ARTIFACTS_DIR WM_CLASS"""

import os
import re
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from program_e2e import expect_menu  # noqa: E402
from xharness import Display, wait_until  # noqa: E402


def main():
    command, artifacts, wm_class = sys.argv[1], sys.argv[2], sys.argv[3]
    os.makedirs(artifacts, exist_ok=True)
    display = Display(1600, 900)
    try:
        process = display.launch(command)
        window = display.find_window(process)
        assert display.window_size(window) == (684, 702), display.window_size(window)
        # The window shows before the first frame is in it; the statistics in
        # the title come after the first tick, which presents the menu.
        assert wait_until(lambda: "FPS:" in display.title(window)), "the title never showed statistics"
        menu = display.screenshot(window, os.path.join(artifacts, "installed-menu.png"))
        expect_menu(menu, 18, "installed game's main menu")
        classes = re.findall(r'"([^"]*)"', display.run("xprop", "-id", window, "WM_CLASS"))
        assert classes[-1:] == [wm_class], f"WM_CLASS {classes}, the menu entry names {wm_class!r}"
        display.close_window(process, window)
        print(f"ok: {command} showed its main menu and ended with status 0 on a close request")
    finally:
        display.close()


if __name__ == "__main__":
    main()
