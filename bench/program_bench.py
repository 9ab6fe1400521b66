#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Whole-program measurement of the real `pellovar` binary under a private Xvfb.

Usage:
    python3 bench/program_bench.py BUILD/pellovar [--screen 1600x900] [--runs 5]
                                   [--seconds 10] [--json FILE] [--fullscreen]
                                   [--no-scale-change]

Each run starts a fresh Xvfb of the given screen size (the game derives its
scale from the screen width: 1600 gives 1.1, 2560 gives 1.76), launches the
game with default settings and measures, in this order:

  1. launch: from process start until the window is mapped, and until it shows
     the menu's picture (pixels of the menu panel read back every 2 ms);
  2. three steady states, each for --seconds after a 2 s settle: idle in the
     main menu; a two-player game started through the menus and left running
     with no key held; the same game with Left held down. For each: CPU of the
     game and of the X server (utime + stime from /proc, % of one core), CPU
     of everything else on the machine (a noise indicator), FPS and the L and V
     figures from every title the game writes during the window, and VmRSS and
     VmHWM of the game at the end of the window;
  3. a scale change: Options, "Scale:", Right, from the key press until the
     window has its new size and shows the panel again; then Left, back.

With --fullscreen, F11 is pressed once the window shows the menu, timed from
the key press until the fullscreen window shows the panel at its centred
place, and everything after runs in fullscreen; the scale change goes Left
first, then Right back, as Right is refused at the largest scale that fits.

It prints median, min and max over the runs of each figure (per-run FPS, L
and V are the medians of that run's titles) and writes every raw value to
--json FILE if asked. Hold the shared build lock while it runs, so no build
competes for the CPU:

    flock /tmp/pellovar-build.lock python3 bench/program_bench.py build/pellovar

Needs Xvfb, xdotool, x11-utils and libX11/libXtst (pulled in by xdotool).
SDL_* variables in the environment are passed to the game (e.g.
SDL_VIDEODRIVER) and shown in the header.
"""

import argparse
import ctypes
import json
import os
import re
import select
import signal
import statistics
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
from xharness import Display, blend, close_to  # noqa: E402

CLEAR = (187, 204, 187)
FLAT4 = (168, 185, 168)
PANEL = blend(FLAT4, 192, CLEAR)
# Panel cells of every menu that no entry, selection bar or header covers.
PANEL_CELLS = [(4, 4), (33, 4), (4, 30), (33, 30), (6, 10), (31, 24)]
COLUMNS, ROWS = 38, 39

POLL = 0.002  # seconds between two looks at the window while timing
SETTLE = 2.0  # seconds a state runs before its window starts
HOLD = 0.06   # how long a timed key stays down: the game polls every 16 ms
TIMEOUT = 20.0
NOISY = 15.0  # % of a core used by everything else above which a window is suspect

CLK_TCK = os.sysconf("SC_CLK_TCK")


class BenchError(Exception):
    pass


# --- Xlib through ctypes ------------------------------------------------------

class XWindowAttributes(ctypes.Structure):
    _fields_ = [("x", ctypes.c_int), ("y", ctypes.c_int),
                ("width", ctypes.c_int), ("height", ctypes.c_int),
                ("border_width", ctypes.c_int), ("depth", ctypes.c_int),
                ("visual", ctypes.c_void_p), ("root", ctypes.c_ulong),
                ("class_", ctypes.c_int), ("bit_gravity", ctypes.c_int),
                ("win_gravity", ctypes.c_int), ("backing_store", ctypes.c_int),
                ("backing_planes", ctypes.c_ulong), ("backing_pixel", ctypes.c_ulong),
                ("save_under", ctypes.c_int), ("colormap", ctypes.c_ulong),
                ("map_installed", ctypes.c_int), ("map_state", ctypes.c_int),
                ("all_event_masks", ctypes.c_long), ("your_event_mask", ctypes.c_long),
                ("do_not_propagate_mask", ctypes.c_long), ("override_redirect", ctypes.c_int),
                ("screen", ctypes.c_void_p)]


class XPropertyEvent(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong),
                ("send_event", ctypes.c_int), ("display", ctypes.c_void_p),
                ("window", ctypes.c_ulong), ("atom", ctypes.c_ulong),
                ("time", ctypes.c_ulong), ("state", ctypes.c_int)]


class XEvent(ctypes.Union):
    _fields_ = [("type", ctypes.c_int), ("property", XPropertyEvent), ("pad", ctypes.c_long * 24)]


ERROR_HANDLER = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p)

IS_VIEWABLE = 2
PROPERTY_NOTIFY = 28
PROPERTY_CHANGE_MASK = 1 << 22
XA_WM_NAME = 39
Z_PIXMAP = 2
ALL_PLANES = ctypes.c_ulong(-1).value


def load_xlib():
    x11 = ctypes.cdll.LoadLibrary("libX11.so.6")
    sig = {
        "XOpenDisplay": (ctypes.c_void_p, [ctypes.c_char_p]),
        "XCloseDisplay": (ctypes.c_int, [ctypes.c_void_p]),
        "XDefaultRootWindow": (ctypes.c_ulong, [ctypes.c_void_p]),
        "XSetErrorHandler": (ctypes.c_void_p, [ERROR_HANDLER]),
        "XQueryTree": (ctypes.c_int, [ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(ctypes.c_ulong),
                                      ctypes.POINTER(ctypes.c_ulong),
                                      ctypes.POINTER(ctypes.POINTER(ctypes.c_ulong)),
                                      ctypes.POINTER(ctypes.c_uint)]),
        "XFetchName": (ctypes.c_int, [ctypes.c_void_p, ctypes.c_ulong,
                                      ctypes.POINTER(ctypes.c_char_p)]),
        "XFree": (ctypes.c_int, [ctypes.c_void_p]),
        "XGetWindowAttributes": (ctypes.c_int, [ctypes.c_void_p, ctypes.c_ulong,
                                                ctypes.POINTER(XWindowAttributes)]),
        "XGetImage": (ctypes.c_void_p, [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
                                        ctypes.c_uint, ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]),
        "XGetPixel": (ctypes.c_ulong, [ctypes.c_void_p, ctypes.c_int, ctypes.c_int]),
        "XDestroyImage": (ctypes.c_int, [ctypes.c_void_p]),
        "XSelectInput": (ctypes.c_int, [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_long]),
        "XPending": (ctypes.c_int, [ctypes.c_void_p]),
        "XNextEvent": (ctypes.c_int, [ctypes.c_void_p, ctypes.POINTER(XEvent)]),
        "XConnectionNumber": (ctypes.c_int, [ctypes.c_void_p]),
        "XSync": (ctypes.c_int, [ctypes.c_void_p, ctypes.c_int]),
        "XFlush": (ctypes.c_int, [ctypes.c_void_p]),
        "XStringToKeysym": (ctypes.c_ulong, [ctypes.c_char_p]),
        "XKeysymToKeycode": (ctypes.c_ubyte, [ctypes.c_void_p, ctypes.c_ulong]),
    }
    for name, (restype, argtypes) in sig.items():
        function = getattr(x11, name)
        function.restype, function.argtypes = restype, argtypes
    xtst = ctypes.cdll.LoadLibrary("libXtst.so.6")
    xtst.XTestFakeKeyEvent.restype = ctypes.c_int
    xtst.XTestFakeKeyEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int, ctypes.c_ulong]
    return x11, xtst


class XConnection:
    """One Xlib connection to the private server: quick looks at the game's
    window, its pixels and its title, and keys sent with XTest."""

    def __init__(self, name):
        self.x11, self.xtst = load_xlib()
        # A window can vanish between two requests (a scale change destroys
        # it): count the error instead of letting Xlib end the process.
        self.errors = 0

        def on_error(_display, _event):
            self.errors += 1
            return 0

        self.handler = ERROR_HANDLER(on_error)
        self.x11.XSetErrorHandler(self.handler)
        self.display = self.x11.XOpenDisplay(name.encode())
        if not self.display:
            raise BenchError(f"cannot open the X display {name}")
        self.root = self.x11.XDefaultRootWindow(self.display)
        self.watched = None

    def close(self):
        if self.display:
            self.x11.XCloseDisplay(self.display)
            self.display = None

    def name_of(self, window):
        text = ctypes.c_char_p()
        if not self.x11.XFetchName(self.display, window, ctypes.byref(text)) or not text.value:
            return None
        value = text.value.decode("latin-1")
        self.x11.XFree(text)
        return value

    def game_windows(self):
        """(window, width, height, viewable) of every top-level window whose
        title starts with "Pellovar"."""
        root, parent = ctypes.c_ulong(), ctypes.c_ulong()
        children, count = ctypes.POINTER(ctypes.c_ulong)(), ctypes.c_uint()
        if not self.x11.XQueryTree(self.display, self.root, ctypes.byref(root), ctypes.byref(parent),
                                   ctypes.byref(children), ctypes.byref(count)):
            return []
        ids = [children[i] for i in range(count.value)]
        if children:
            self.x11.XFree(children)
        found = []
        for window in ids:
            name = self.name_of(window)
            if not name or not name.startswith("Pellovar"):
                continue
            attributes = XWindowAttributes()
            if self.x11.XGetWindowAttributes(self.display, window, ctypes.byref(attributes)):
                found.append((window, attributes.width, attributes.height,
                              attributes.map_state == IS_VIEWABLE))
        return found

    def pixel(self, window, x, y):
        image = self.x11.XGetImage(self.display, window, x, y, 1, 1, ALL_PLANES, Z_PIXMAP)
        if not image:
            return None
        value = self.x11.XGetPixel(image, 0, 0)
        self.x11.XDestroyImage(image)
        return ((value >> 16) & 255, (value >> 8) & 255, value & 255)

    def shows_panel(self, window, width, height):
        """True when the window shows the menu panel at every sample cell: the
        display fills a window, or lies centred at the largest cell that fits
        in a fullscreen one."""
        cell = min(width // COLUMNS, height // ROWS)
        if cell < 1:
            return False
        left, top = (width - COLUMNS * cell) // 2, (height - ROWS * cell) // 2
        for column, row in PANEL_CELLS:
            colour = self.pixel(window, left + column * cell + cell // 2,
                                top + row * cell + cell // 2)
            if colour is None or not close_to(colour, PANEL):
                return False
        return True

    def shown_window(self, other_than=None):
        """The game's window once it is viewable and shows the panel, as
        (window, width, height); None before. With other_than, that window
        does not count."""
        for window, width, height, viewable in self.game_windows():
            if not viewable or window == other_than:
                continue
            if self.shows_panel(window, width, height):
                return window, width, height
        return None

    def key(self, keysym, down):
        code = self.x11.XKeysymToKeycode(self.display, self.x11.XStringToKeysym(keysym.encode()))
        if not code:
            raise BenchError(f"no key code for {keysym}")
        self.xtst.XTestFakeKeyEvent(self.display, code, 1 if down else 0, 0)
        self.x11.XFlush(self.display)

    def watch_titles(self, window):
        self.x11.XSelectInput(self.display, window, PROPERTY_CHANGE_MASK)
        self.x11.XSync(self.display, 0)
        self.watched = window

    def drain_events(self, titles):
        """Reads queued events; appends every title the watched window got."""
        event = XEvent()
        while self.x11.XPending(self.display):
            self.x11.XNextEvent(self.display, ctypes.byref(event))
            if (event.type == PROPERTY_NOTIFY and event.property.atom == XA_WM_NAME
                    and event.property.window == self.watched):
                name = self.name_of(self.watched)
                if name:
                    titles.append(name)

    def collect_titles(self, seconds):
        """Sleeps for the window, waking only when the title changes."""
        titles = []
        self.drain_events([])  # titles written before the window do not count
        fd = self.x11.XConnectionNumber(self.display)
        deadline = time.monotonic() + seconds
        while True:
            left = deadline - time.monotonic()
            if left <= 0:
                break
            select.select([fd], [], [], left)
            self.drain_events(titles)
        return titles


# --- /proc readings -------------------------------------------------------------

def cpu_ticks(pid):
    """utime + stime of a process (all its threads), in clock ticks."""
    try:
        with open(f"/proc/{pid}/stat") as f:
            fields = f.read().rsplit(")", 1)[1].split()
    except FileNotFoundError:
        raise BenchError(f"process {pid} is gone") from None
    return int(fields[11]) + int(fields[12])


def wake_ups(pid):
    """Voluntary context switches of every thread of a process: each is a
    sleep the process chose, so each later wake-up counts once."""
    total = 0
    for task in os.listdir(f"/proc/{pid}/task"):
        try:
            with open(f"/proc/{pid}/task/{task}/status") as f:
                for line in f:
                    if line.startswith("voluntary_ctxt_switches:"):
                        total += int(line.split()[1])
        except FileNotFoundError:
            pass  # a thread that ended meanwhile
    return total


def machine_busy_ticks():
    with open("/proc/stat") as f:
        values = [int(v) for v in f.readline().split()[1:]]
    idle = values[3] + values[4]  # idle, iowait
    return sum(values[:8]) - idle


def memory_mb(pid):
    found = {}
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            key, _, rest = line.partition(":")
            if key in ("VmRSS", "VmHWM"):
                found[key] = int(rest.split()[0]) / 1024.0
    return found["VmRSS"], found["VmHWM"]


def load_average():
    with open("/proc/loadavg") as f:
        return " ".join(f.read().split()[:3])


TITLE = re.compile(r"FPS:(\d+).*?, L([-+\w.]+), V([-+\w.]+)")


def title_figures(titles):
    fps, logic, video = [], [], []
    for title in titles:
        match = TITLE.search(title)
        if match:
            fps.append(int(match.group(1)))
            logic.append(float(match.group(2)))
            video.append(float(match.group(3)))
    return fps, logic, video


# --- one run ------------------------------------------------------------------

class Run:
    def __init__(self, program, width, height, seconds, shots=None, fullscreen=False,
                 scale_change=True):
        self.program, self.width, self.height, self.seconds = program, width, height, seconds
        self.scale_change = scale_change
        self.shots = shots
        self.fullscreen = fullscreen
        self.display = self.x = self.process = None
        self.window = None
        self.size = None
        self.errors = tempfile.TemporaryFile()

    def wait_for(self, what, condition, timeout=TIMEOUT):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            self.check_alive(what)
            result = condition()
            if result:
                return result
            time.sleep(POLL)
        raise BenchError(f"{what}: nothing after {timeout:.0f} s")

    def check_alive(self, what):
        if self.process.poll() is not None:
            self.errors.seek(0)
            text = self.errors.read().decode(errors="replace").strip()
            raise BenchError(f"{what}: the game ended with status {self.process.returncode}"
                             + (f": {text}" if text else ""))

    def launch(self):
        start = time.monotonic()
        self.process = subprocess.Popen([self.program], env=self.display.env,
                                        stdout=subprocess.DEVNULL, stderr=self.errors)
        self.wait_for("launch", lambda: any(v for _, _, _, v in self.x.game_windows()))
        mapped = time.monotonic()
        self.window, w, h = self.wait_for("first frame", self.x.shown_window)
        shown = time.monotonic()
        self.size = (w, h)
        return {"mapped_ms": (mapped - start) * 1000, "first_frame_ms": (shown - start) * 1000}

    def focus(self):
        self.display.focus(str(self.window))
        self.x.watch_titles(self.window)

    def measure(self, what):
        self.check_alive(what)
        time.sleep(SETTLE)
        game, server = self.process.pid, self.display.server.pid
        t0 = time.monotonic()
        g0, s0, m0, w0 = cpu_ticks(game), cpu_ticks(server), machine_busy_ticks(), wake_ups(game)
        titles = self.x.collect_titles(self.seconds)
        g1, s1, m1, w1 = cpu_ticks(game), cpu_ticks(server), machine_busy_ticks(), wake_ups(game)
        elapsed = time.monotonic() - t0
        self.check_alive(what)
        rss, hwm = memory_mb(game)
        if self.shots:
            name = re.sub(r"\W+", "-", what).strip("-") + ".png"
            self.display.screenshot(str(self.window), os.path.join(self.shots, name))
        percent = lambda ticks: ticks / CLK_TCK / elapsed * 100.0
        fps, logic, video = title_figures(titles)
        if not fps:
            raise BenchError(f"{what}: the title carried no FPS figure during the window "
                             f"(titles seen: {titles!r})")
        return {
            "game_cpu": percent(g1 - g0), "x_cpu": percent(s1 - s0),
            # /proc/stat is sampled per tick, the processes' times are exact: the
            # difference is rough and can dip below zero.
            "other_cpu": max(0.0, percent((m1 - m0) - (g1 - g0) - (s1 - s0))),
            "fps": statistics.median(fps), "L": statistics.median(logic),
            "V": statistics.median(video), "wakeups": (w1 - w0) / elapsed, "rss_mb": rss, "hwm_mb": hwm, "titles": titles,
        }

    def timed_scale_change(self, key):
        """From pressing key on "Scale:" (or F11) until a new window shows
        the panel."""
        old = self.window
        self.x.key(key, True)
        start = time.monotonic()
        released = False

        def new_window():
            nonlocal released
            if not released and time.monotonic() - start >= HOLD:
                self.x.key(key, False)
                released = True
            return self.x.shown_window(other_than=old)

        try:
            self.window, w, h = self.wait_for(f"scale change ({key})", new_window)
        finally:
            if not released:
                self.x.key(key, False)
        elapsed = (time.monotonic() - start) * 1000
        self.size = (w, h)
        if self.shots:
            self.display.screenshot(str(self.window),
                                    os.path.join(self.shots, f"scale-{key}-{w}x{h}.png"))
        return elapsed

    def execute(self):
        result = {}
        self.display = Display(self.width, self.height)
        self.x = XConnection(self.display.name)
        result.update(self.launch())
        if self.fullscreen:
            self.focus()
            result["fullscreen_ms"] = self.timed_scale_change("F11")
        result["window"] = "%dx%d" % self.size
        self.focus()
        result["menu"] = self.measure("idle in the main menu")

        # New Game, then 2-P/classic.
        self.display.key("Down", "Return", "Down", "Return")
        result["game"] = self.measure("two-player game")

        self.display.run("xdotool", "keydown", "Left")
        try:
            result["left"] = self.measure("two-player game with Left held")
        finally:
            self.display.run("xdotool", "keyup", "Left", check=False)

        if not self.scale_change:
            return self.close(result)

        # Escape pauses into the main menu; Down, Down, Return opens Options
        # with "Scale:" selected. The menu ignores keys for 200 ms after one.
        self.display.key("Escape", "Down", "Down", "Return", pause=0.4)
        there, back = ("Left", "Right") if self.fullscreen else ("Right", "Left")
        result["scale_up_ms"] = self.timed_scale_change(there)
        result["scaled_window"] = "%dx%d" % self.size
        self.focus()
        time.sleep(0.4)
        result["scale_back_ms"] = self.timed_scale_change(back)
        if "%dx%d" % self.size != result["window"]:
            raise BenchError(f"scale back: window is {self.size}, expected {result['window']}")
        return self.close(result)

    def close(self, result):
        self.display.request_close(str(self.window))
        try:
            self.process.wait(10)
        except subprocess.TimeoutExpired:
            raise BenchError("the game did not end within 10 s of a close request") from None
        return result

    def cleanup(self):
        if self.process and self.process.poll() is None:
            self.process.kill()
            self.process.wait()
        if self.x:
            self.x.close()
        if self.display:
            self.display.server.kill()
            self.display.server.wait()
        self.errors.close()


# --- summary ------------------------------------------------------------------

STATES = [("menu", "menu idle"), ("game", "2-P game"), ("left", "2-P game, Left held")]
STATE_FIGURES = [("game_cpu", "game CPU (% of a core)"), ("x_cpu", "X server CPU (% of a core)"),
                 ("other_cpu", "rest of machine CPU (%)"), ("fps", "FPS (title)"),
                 ("L", "L (title, ms)"), ("V", "V (title, ms)"),
                 ("wakeups", "wake-ups a second"),
                 ("rss_mb", "VmRSS (MB)"), ("hwm_mb", "VmHWM (MB)")]


def figures(runs):
    """(label, key, values) of every reported figure, in table order."""
    rows = [("launch to window mapped (ms)", "mapped_ms", [r["mapped_ms"] for r in runs]),
            ("launch to first frame (ms)", "first_frame_ms", [r["first_frame_ms"] for r in runs])]
    for state, state_label in STATES:
        for key, label in STATE_FIGURES:
            rows.append((f"{state_label}: {label}", f"{state}.{key}", [r[state][key] for r in runs]))
    if "scale_up_ms" in runs[0]:
        rows.append(("scale change there (ms)", "scale_up_ms", [r["scale_up_ms"] for r in runs]))
        rows.append(("scale change back (ms)", "scale_back_ms", [r["scale_back_ms"] for r in runs]))
    if "fullscreen_ms" in runs[0]:
        rows.insert(2, ("F11 to fullscreen picture (ms)", "fullscreen_ms",
                        [r["fullscreen_ms"] for r in runs]))
    return rows


def table(rows):
    lines = [f"{'figure':<44}{'median':>9}{'min':>9}{'max':>9}"]
    for label, _, values in rows:
        lines.append(f"{label:<44}{statistics.median(values):>9.1f}{min(values):>9.1f}"
                     f"{max(values):>9.1f}")
    return "\n".join(lines)


def parse_screen(text):
    match = re.fullmatch(r"(\d+)x(\d+)", text)
    if not match:
        raise argparse.ArgumentTypeError("expected WIDTHxHEIGHT, e.g. 1600x900")
    return int(match.group(1)), int(match.group(2))


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("program", help="path of the pellovar binary")
    parser.add_argument("--screen", type=parse_screen, default=(1600, 900),
                        help="Xvfb screen size WIDTHxHEIGHT (default 1600x900)")
    parser.add_argument("--runs", type=int, default=5, help="number of runs (default 5)")
    parser.add_argument("--seconds", type=float, default=10.0,
                        help="length of each measuring window in seconds (default 10)")
    parser.add_argument("--json", metavar="FILE", help="also write every figure and raw value here")
    parser.add_argument("--screenshots", metavar="DIR",
                        help="save a PNG of each state after its window (last run's are kept)")
    parser.add_argument("--fullscreen", action="store_true",
                        help="press F11 once the menu shows and measure in fullscreen")
    parser.add_argument("--no-scale-change", action="store_true",
                        help="end after the steady states (Wine without a window manager keeps "
                             "a replaced window up for 2 s, which the timing cannot tell apart)")
    args = parser.parse_args()
    program = os.path.abspath(args.program)
    if not os.access(program, os.X_OK):
        parser.error(f"{args.program} is not an executable file")
    if args.runs < 1 or args.seconds <= 0:
        parser.error("--runs must be at least 1 and --seconds above 0")
    if args.screenshots:
        os.makedirs(args.screenshots, exist_ok=True)

    # A terminating signal unwinds through the clean-up like an error does.
    def stop(signum, _frame):
        print(f"stopped by signal {signum}", file=sys.stderr)
        raise SystemExit(128 + signum)

    for signum in (signal.SIGTERM, signal.SIGHUP, signal.SIGINT):
        signal.signal(signum, stop)

    width, height = args.screen
    sdl = {k: v for k, v in os.environ.items() if k.startswith("SDL_")}
    header = [f"program: {program}",
              f"screen: {width}x{height}{' fullscreen' if args.fullscreen else ''}, "
              f"runs: {args.runs}, window: {args.seconds:g} s "
              f"(after {SETTLE:g} s settling), cores: {os.cpu_count()}",
              f"environment: {sdl or 'no SDL_ variables'}",
              f"load average before: {load_average()}"]
    print("\n".join(header), flush=True)

    runs = []
    for number in range(1, args.runs + 1):
        run = Run(program, width, height, args.seconds, args.screenshots, args.fullscreen,
                  not args.no_scale_change)
        try:
            result = run.execute()
        except (BenchError, AssertionError, RuntimeError, OSError,
                subprocess.CalledProcessError) as error:
            print(f"run {number}: FAILED: {error}", file=sys.stderr)
            return 1
        finally:
            run.cleanup()
        runs.append(result)
        print(f"run {number}: window {result['window']}, first frame {result['first_frame_ms']:.0f} ms, "
              f"menu/game/left game CPU {result['menu']['game_cpu']:.1f}/"
              f"{result['game']['game_cpu']:.1f}/{result['left']['game_cpu']:.1f} %, "
              f"FPS {result['menu']['fps']:g}/{result['game']['fps']:g}/{result['left']['fps']:g}, "
              f"scale up {result.get('scale_up_ms', float('nan')):.0f} ms, rest of machine up to "
              f"{max(result[state]['other_cpu'] for state, _ in STATES):.0f} %", flush=True)

    rows = figures(runs)
    after = load_average()
    print(f"load average after: {after}")
    busiest = max(r[state]["other_cpu"] for r in runs for state, _ in STATES)
    if busiest > NOISY:
        print(f"WARNING: other processes used up to {busiest:.0f} % of a core during a window; "
              "the figures are disturbed")
    print(f"window {runs[0]['window']}, after the scale change {runs[0].get('scaled_window', '-')}")
    print(table(rows))
    if args.json:
        summary = {key: {"label": label, "median": statistics.median(values), "min": min(values),
                         "max": max(values), "values": values} for label, key, values in rows}
        with open(args.json, "w") as f:
            json.dump({"program": program, "screen": f"{width}x{height}", "runs": args.runs,
                       "seconds": args.seconds, "settle_seconds": SETTLE, "environment": sdl,
                       "load_before": header[-1].split(": ", 1)[1], "load_after": after,
                       "summary": summary, "raw": runs}, f, indent=1)
    return 0


if __name__ == "__main__":
    sys.exit(main())
