#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""The real program where only a Wayland display answers: weston's x11
backend inside Xvfb, the game started with DISPLAY unset. It starts, shows
the picture the X11 build shows (read back through the host Xvfb), held keys
start a two-player game, F11 goes fullscreen and back without a crash, and
SIGTERM ends it with status 0. Frames reach the compositor through the
program's own shared-memory buffers (their memfd is in /proc/<pid>/maps).
Skips, saying so, where weston cannot start."""

import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from xharness import Display, close_to, wait_exit, wait_until  # noqa: E402

CLEAR = (187, 204, 187)
OUTPUT = (1600, 900)  # weston's output: the width the X11 reference gets too
SAME_PICTURE = 0.99   # share of the menu panel's pixels alike (blocks move only around it)
PANEL = (4, 4, 34, 31)  # the menu panel's cells: left, top, right, bottom (exclusive)


def skip(why):
    print(f"skip: {why}")
    sys.exit(0)


def start_weston(display, runtime):
    socket = "pellovar-test"
    log = open(os.path.join(runtime, "weston.log"), "w")
    weston = subprocess.Popen(
        ["weston", "--backend=x11-backend.so", "--use-pixman", f"--socket={socket}",
         f"--width={OUTPUT[0]}", f"--height={OUTPUT[1]}", "--idle-time=0"],
        env=dict(display.env, XDG_RUNTIME_DIR=runtime), stdout=log, stderr=subprocess.STDOUT)
    ready = wait_until(lambda: os.path.exists(os.path.join(runtime, socket)) or
                       weston.poll() is not None, timeout=20)
    if not ready or weston.poll() is not None:
        weston.kill()
        weston.wait()
        skip("weston could not start: " + open(os.path.join(runtime, "weston.log")).read()[-300:])
    ids = []
    wait_until(lambda: ids.extend(display.run("xdotool", "search", "--class", "^weston",
                                              check=False).split()) or ids, timeout=10)
    if not ids:
        weston.kill()
        weston.wait()
        skip("weston started but showed no window in Xvfb")
    return weston, socket, ids[0]


def clear_box(picture):
    """The smallest rectangle holding every pixel of the game's clear colour:
    the game's client area, wherever the compositor put it."""
    left, top, right, bottom = picture.width, picture.height, -1, -1
    row_bytes = picture.width * 3
    needle = bytes(CLEAR)
    for y in range(picture.height):
        row = picture.data[y * row_bytes:(y + 1) * row_bytes]
        x = row.find(needle)
        while x >= 0 and x % 3:
            x = row.find(needle, x + 1)
        if x < 0:
            continue
        last = row.rfind(needle)
        while last >= 0 and last % 3:
            last = row.rfind(needle, 0, last)
        top, bottom = min(top, y), y
        left, right = min(left, x // 3), max(right, last // 3)
    return left, top, right + 1, bottom + 1


def alike(reference, picture, left, top):
    """The share of the menu panel's pixels that match the reference."""
    cell = reference.width // 38
    xs = range(PANEL[0] * cell, PANEL[2] * cell)
    ys = range(PANEL[1] * cell, PANEL[3] * cell)
    same = sum(close_to(reference.pixel(x, y), picture.pixel(left + x, top + y)) for y in ys for x in xs)
    return same / (len(xs) * len(ys))


def x11_reference(display, program, shot):
    """The X11 build's window at start-up, and its picture."""
    process = display.launch(program)
    window = display.find_window(process)
    assert wait_until(lambda: "FPS:" in display.title(window)), "X11: the title never showed statistics"
    time.sleep(1)
    picture = display.screenshot(window, shot("x11-menu.png"))
    display.close_window(process, window, "X11 reference close")
    return picture


def main():
    program, artifacts = sys.argv[1], sys.argv[2]
    os.makedirs(artifacts, exist_ok=True)

    def shot(name):
        return os.path.join(artifacts, "wayland-" + name)

    if not shutil.which("weston"):
        skip("weston is not installed")
    display = Display(*OUTPUT)
    runtime = tempfile.mkdtemp(prefix="pellovar-wayland-")
    os.chmod(runtime, 0o700)
    weston = None
    try:
        reference = x11_reference(display, program, shot)
        weston, socket, output = start_weston(display, runtime)
        env = dict(display.env, XDG_RUNTIME_DIR=runtime, WAYLAND_DISPLAY=socket)
        env.pop("DISPLAY")
        env.pop("SDL_VIDEODRIVER")  # as a player starts it: SDL tries X11, then Wayland
        process = subprocess.Popen([program], env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                   text=True)

        def look(name):
            assert process.poll() is None, f"{name}: the program ended with status {process.returncode}"
            return display.screenshot(output, shot(name))

        # Started and showing the X11 build's picture.
        box = None

        def shown():
            nonlocal box
            box = clear_box(look("menu.png"))
            return box[2] - box[0] == reference.width and box[3] - box[1] == reference.height

        assert wait_until(shown, timeout=20), \
            f"the game's area in weston is {box}, the X11 window {reference.width}x{reference.height}"
        share = alike(reference, look("menu.png"), box[0], box[1])
        assert share >= SAME_PICTURE, f"menu: {share:.3f} of the pixels as on X11"
        print(f"ok: started under weston, {share:.3f} of the menu panel's pixels as on X11")

        maps = open(f"/proc/{process.pid}/maps").read()
        assert "/memfd:pellovar-frame" in maps, "frames do not go through the program's wl_shm buffers"
        gl = sorted({line.split()[-1] for line in maps.splitlines() if "/libGL" in line or "/libEGL" in line})
        print(f"ok: frames through wl_shm; GL libraries SDL mapped itself: {gl or 'none'}")

        # Held keys, sent to weston's window, start a two-player game.
        for key in ("Down", "Return", "Down", "Return"):
            display.run("xdotool", "keydown", "--window", output, key)
            time.sleep(0.08)
            display.run("xdotool", "keyup", "--window", output, key)
            time.sleep(0.35)
        game = look("two-players.png")
        menu = alike(reference, game, box[0], box[1])
        assert menu < SAME_PICTURE, f"the keys did not leave the menu ({menu:.3f} alike)"
        print(f"ok: the keys started a game ({menu:.3f} of the panel's pixels as the menu)")

        # F11: fullscreen covers weston's panel; F11 again: back in a window of
        # the size it had (Wayland has the compositor place it). Twice, as the
        # windows replaced go only once later ones were shown.
        for round in (1, 2):
            display.run("xdotool", "key", "--window", output, "F11")
            assert wait_until(lambda: clear_box(look("fullscreen.png"))[:2] == (0, 0), timeout=10), \
                f"round {round}: F11 did not take the game fullscreen"
            display.run("xdotool", "key", "--window", output, "F11")

            def windowed():
                left, top, right, bottom = clear_box(look("back.png"))
                return (right - left, bottom - top) == (reference.width, reference.height)

            assert wait_until(windowed, timeout=10), f"round {round}: F11 again did not bring the window back"
        print("ok: F11 went fullscreen and back, twice")

        process.send_signal(signal.SIGTERM)
        status = wait_exit(process, 10)
        assert status == 0, f"SIGTERM: exit status {status}"
        errors = process.stderr.read()
        print(f"ok: SIGTERM ended it with 0{'; it wrote ' + repr(errors) if errors else ''}")
    finally:
        if weston:
            weston.terminate()
            weston.wait()
        display.close()
        shutil.rmtree(runtime, ignore_errors=True)


if __name__ == "__main__":
    main()
