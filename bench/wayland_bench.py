#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""The whole program on Wayland: weston's x11 backend in a private Xvfb, the
game started without DISPLAY, as program_bench.py measures it on X11.

Usage:
    python3 bench/wayland_bench.py BUILD/pellovar [--screen 1600x900] [--seconds 10]

Idle in the main menu, then a two-player game started with the keys: for
each, after a 2 s settle, the CPU of the game and of weston (% of one core)
over --seconds, and the game's VmRSS and VmHWM at the end. The title, which
only the compositor sees on Wayland, is read in a second run from
libwayland's own log of the requests (WAYLAND_DEBUG=client), whose writing
would weigh on the CPU figures: that run gives the FPS only. Hold the shared
build lock while it runs, as for program_bench.py.
"""

import argparse
import os
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
from program_bench import CLK_TCK, SETTLE, cpu_ticks, memory_mb, parse_screen  # noqa: E402
from xharness import Display, wait_until  # noqa: E402

SOCKET = "pellovar-bench"
TITLE_FPS = re.compile(r'set_title\("Pellovar \[[^]]*\] \| FPS:(\d+)')


def start(display, runtime, program, width, height, log=None):
    weston = subprocess.Popen(
        ["weston", "--backend=x11-backend.so", "--use-pixman", f"--socket={SOCKET}",
         f"--width={width}", f"--height={height}", "--idle-time=0"],
        env=dict(display.env, XDG_RUNTIME_DIR=runtime), stdout=subprocess.DEVNULL,
        stderr=subprocess.DEVNULL)
    if not wait_until(lambda: os.path.exists(os.path.join(runtime, SOCKET)), timeout=20):
        raise SystemExit("weston did not start")
    output = []
    wait_until(lambda: output.extend(display.run("xdotool", "search", "--class", "^weston",
                                                 check=False).split()) or output)
    env = dict(display.env, XDG_RUNTIME_DIR=runtime, WAYLAND_DISPLAY=SOCKET)
    env.pop("DISPLAY")
    env.pop("SDL_VIDEODRIVER")
    if log:
        env["WAYLAND_DEBUG"] = "client"
    game = subprocess.Popen([program], env=env, stdout=subprocess.DEVNULL,
                            stderr=log or subprocess.DEVNULL)
    time.sleep(SETTLE)
    return weston, game, output[0]


def keys(display, output, *names):
    for name in names:
        display.run("xdotool", "keydown", "--window", output, name)
        time.sleep(0.08)
        display.run("xdotool", "keyup", "--window", output, name)
        time.sleep(0.35)


def measure(game, weston, seconds):
    time.sleep(SETTLE)
    t0, g0, w0 = time.monotonic(), cpu_ticks(game.pid), cpu_ticks(weston.pid)
    time.sleep(seconds)
    g1, w1 = cpu_ticks(game.pid), cpu_ticks(weston.pid)
    elapsed = time.monotonic() - t0
    rss, hwm = memory_mb(game.pid)
    percent = lambda ticks: ticks / CLK_TCK / elapsed * 100.0
    return {"game_cpu": percent(g1 - g0), "weston_cpu": percent(w1 - w0), "rss_mb": rss, "hwm_mb": hwm}


def session(program, width, height, seconds, log=None):
    display = Display(width, height)
    runtime = tempfile.mkdtemp(prefix="pellovar-wayland-bench-")
    os.chmod(runtime, 0o700)
    weston = game = None
    try:
        weston, game, output = start(display, runtime, program, width, height, log)
        result = {"menu": measure(game, weston, seconds)}
        keys(display, output, "Down", "Return", "Down", "Return")
        result["game"] = measure(game, weston, seconds)
        return result
    finally:
        for process in (game, weston):
            if process and process.poll() is None:
                process.terminate()
                process.wait()
        display.close()
        shutil.rmtree(runtime, ignore_errors=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("program")
    parser.add_argument("--screen", type=parse_screen, default=(1600, 900))
    parser.add_argument("--seconds", type=float, default=10.0)
    args = parser.parse_args()
    width, height = args.screen
    figures = session(args.program, width, height, args.seconds)
    with tempfile.TemporaryFile() as log:
        session(args.program, width, height, args.seconds, log)
        log.seek(0)
        fps = [int(m) for m in TITLE_FPS.findall(log.read().decode(errors="replace"))]
    print(f"weston {width}x{height} in Xvfb, {args.seconds:.0f} s windows")
    for state in ("menu", "game"):
        f = figures[state]
        print(f"{state}: game CPU {f['game_cpu']:.1f} %, weston CPU {f['weston_cpu']:.1f} %, "
              f"VmRSS {f['rss_mb']:.1f} MB, VmHWM {f['hwm_mb']:.1f} MB")
    print(f"FPS in the titles (the logged run): median {statistics.median(fps) if fps else 'none'}, "
          f"{min(fps, default=0)}-{max(fps, default=0)} over {len(fps)} titles")


if __name__ == "__main__":
    main()
