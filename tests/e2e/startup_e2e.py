#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""The real program at start-up: window size from the desktop width, the
statistics title, the first frame, a close request, no display at all, and
--version and --help."""

import os
import re
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from xharness import Display, close_to, wait_until  # noqa: E402

CLEAR = (187, 204, 187)
TITLE = re.compile(r"^Pellovar \[1\.0\.1\.8\] \| FPS:\d+, Gc\d+, Tc\d+, Fc\d+, Sc\d+, "
                   r"L\d+\.\d, V\d+\.\d$")


def check_desktop(program, artifacts, width, expected_size, cell, depth=24):
    display = Display(width, 1000, depth)
    try:
        process = display.launch(program)
        window = display.find_window(process)
        size = display.window_size(window)
        assert size == expected_size, f"{width}-wide desktop: window {size}, expected {expected_size}"
        assert wait_until(lambda: TITLE.match(display.title(window)) is not None), \
            f"title {display.title(window)!r} does not match the statistics format"
        fps = int(re.search(r"FPS:(\d+)", display.title(window)).group(1))
        picture = display.screenshot(window, os.path.join(artifacts, f"startup-{width}x{depth}.png"))
        assert (picture.width, picture.height) == expected_size
        # Somewhere outside the menu panel the clear colour shows between the
        # background blocks.
        border = [picture.cell(c, r, cell) for c in range(0, 3) for r in range(0, 39)]
        assert any(close_to(p, CLEAR, 2) for p in border), "no clear-colour cell at the left edge"
        display.close_window(process, window)
        print(f"ok: {width}-wide desktop of depth {depth} gives {size}, title ok (FPS {fps}), "
              "closed with 0")
    finally:
        display.close()


def check_no_display(program):
    # Without XDG_RUNTIME_DIR as well: SDL's Wayland probe then made libwayland
    # complain once per start-up attempt.
    env = {k: v for k, v in os.environ.items()
           if k not in ("DISPLAY", "WAYLAND_DISPLAY", "SDL_VIDEODRIVER", "XDG_RUNTIME_DIR")}
    result = subprocess.run([program], env=env, capture_output=True, text=True, timeout=30)
    assert result.returncode == 1, f"no display: exit status {result.returncode}, expected 1"
    expected = ["Zuz avido dovi: Failed to init base video stuff",
                "pellovar: no X11 or Wayland display could be reached "
                "(DISPLAY unset, WAYLAND_DISPLAY unset)"]
    assert result.stderr.splitlines() == expected, f"stderr was {result.stderr!r}"
    assert result.stdout == "", f"stdout was {result.stdout!r}"
    print("ok: without a display the failure and what is missing are reported, status 1")

    # --version and --help answer without any display, whatever else is given.
    run = lambda *args: subprocess.run([program, *args], env=env, capture_output=True,
                                       text=True, timeout=30)
    version = run("--version")
    assert (version.returncode, version.stdout, version.stderr) == (0, "Pellovar 1.0.1.8\n", ""), \
        f"--version: {version}"
    usage = run("stray", "--help")
    assert (usage.returncode, usage.stderr) == (0, "") and \
        usage.stdout.startswith("Usage: pellovar") and "Keypad 8" in usage.stdout, f"--help: {usage}"
    print("ok: --version and --help answer without a display")

    # An answer that cannot be written says so, as GNU tools do.
    with open("/dev/full", "w") as full:
        failed = subprocess.run([program, "--version"], env=env, stdout=full,
                                stderr=subprocess.PIPE, text=True, timeout=30)
    assert (failed.returncode, failed.stderr) == (1, "pellovar: write error: No space left on device\n"), \
        f"--version to a full disk: {failed}"

    # A driver the user named is the one the message names, once.
    for driver, cause in (("bogus", "bogus not available"), ("wayland", "XDG_RUNTIME_DIR unset")):
        run_env = dict(env, SDL_VIDEODRIVER=driver)
        result = subprocess.run([program], env=run_env, capture_output=True, text=True, timeout=30)
        ours = [line for line in result.stderr.splitlines() if line.startswith("pellovar:")]
        assert result.returncode == 1 and len(ours) == 1 and f'"{driver}"' in ours[0] and \
            cause in ours[0], f"SDL_VIDEODRIVER={driver}: {result.stderr!r}"
        assert result.stderr.count("\n") <= 3, f"SDL_VIDEODRIVER={driver} repeats itself: {result.stderr!r}"
    print("ok: a write error and a failing chosen driver are each said once")


def main():
    program, artifacts = sys.argv[1], sys.argv[2]
    os.makedirs(artifacts, exist_ok=True)
    check_desktop(program, artifacts, 1600, (684, 702), 18)
    check_desktop(program, artifacts, 1920, (798, 819), 21)
    # A depth SDL 2.26 makes no window surface for by itself.
    check_desktop(program, artifacts, 1920, (798, 819), 21, depth=30)
    check_no_display(program)


if __name__ == "__main__":
    main()
