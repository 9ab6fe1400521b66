#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Signals and close requests end the real program with status 0 and nothing
on its error output: in the menu, in a two-player game at the scale a
2560-wide desktop gives (whose frames take longer than a tick under Xvfb),
and while the scale changes. The time from the signal to the end is printed;
the game aims at under 100 ms."""

import os
import signal
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from xharness import Display, wait_exit, wait_until  # noqa: E402

TWO_PLAYERS = ("Down", "Return", "Down", "Return")
SCALE_UP = ("Escape", "Down", "Down", "Return")  # to the scale entry, Right follows


def ended(process, what, start):
    status = wait_exit(process, 10)
    assert status == 0, f"{what}: exit status {status}"
    quiet(process, what, (time.monotonic() - start) * 1000)


def closed(display, process, window, what):
    quiet(process, what, display.close_window(process, window, what))


def quiet(process, what, took):
    errors = process.stderr.read()
    assert errors == "", f"{what}: the program wrote {errors!r}"
    print(f"ok: {what}: ended with 0 after {took:.0f} ms")


def started(display, program, keys, **extra_env):
    process = display.launch(program, **extra_env)
    window = display.find_window(process)
    # The statistics in the title show the event loop is ticking.
    assert wait_until(lambda: "FPS:" in display.title(window)), "the title never showed statistics"
    display.focus(window)
    display.key(*keys)
    return process, window


def late_wake_up(display, program, artifacts):
    """SDL's wake-up message reaches the server only after the window is gone
    (late_wakeup.so holds it back), so the server answers BadWindow while SDL
    shuts down. Pointer motion while the game idles makes SDL send one."""
    preload = os.path.join(os.path.dirname(program), "late_wakeup.so")
    log = os.path.join(artifacts, "late-wakeup.log")
    for attempt in range(5):
        if os.path.exists(log):
            os.remove(log)
        process, window = started(display, program, (), LD_PRELOAD=preload, LATE_WAKEUP_LOG=log)
        for x in range(10, 200, 20):
            display.run("xdotool", "mousemove", "--window", window, str(x), str(x))
            time.sleep(0.05)
        closed(display, process, window, "close request with SDL's wake-up arriving after the window")
        if os.path.exists(log):
            return
    raise AssertionError("SDL sent no wake-up in five runs: the late wake-up was never tried")


def main():
    program, artifacts = sys.argv[1], sys.argv[2]
    os.makedirs(artifacts, exist_ok=True)
    display = Display(2560, 1600)
    try:
        late_wake_up(display, program, artifacts)

        process, _ = started(display, program, ())
        start = time.monotonic()
        process.send_signal(signal.SIGHUP)
        ended(process, "SIGHUP in the menu", start)

        process, window = started(display, program, ())
        closed(display, process, window, "close request in the menu")

        for number in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
            process, window = started(display, program, TWO_PLAYERS)
            time.sleep(1)
            assert display.window_size(window) == (1064, 1092), display.window_size(window)
            start = time.monotonic()
            process.send_signal(number)
            ended(process, f"{signal.Signals(number).name} in a two-player game at scale 1.76", start)

        process, window = started(display, program, TWO_PLAYERS)
        time.sleep(1)
        closed(display, process, window, "close request in a two-player game at scale 1.76")

        # The signal arrives while the window is being made again.
        process, _ = started(display, program, SCALE_UP)
        display.run("xdotool", "keydown", "Right")
        time.sleep(0.03)
        start = time.monotonic()
        process.send_signal(signal.SIGTERM)
        display.run("xdotool", "keyup", "Right")
        ended(process, "SIGTERM during a scale change", start)

        # A close request right after a scale change, to the new window.
        process, _ = started(display, program, SCALE_UP + ("Right",))
        window = display.find_window(process)
        assert display.window_size(window) == (1140, 1170), display.window_size(window)
        closed(display, process, window, "close request right after a scale change")
    finally:
        display.close()


if __name__ == "__main__":
    main()
