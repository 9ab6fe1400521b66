# SPDX-License-Identifier: MIT
"""Driving the real game in a private Xvfb server: start it, find its window,
type keys, read the title, take screenshots and read their pixels, and ask
the window to close the way a window manager would."""

import ctypes
import os
import re
import signal
import subprocess
import time


class Display:
    def __init__(self, width, height, depth=24):
        read_fd, write_fd = os.pipe()
        self.server = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_fd), "-screen", "0", f"{width}x{height}x{depth}",
             "-nolisten", "tcp"],
            pass_fds=(write_fd,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_fd)
        number = b""
        with os.fdopen(read_fd, "rb") as pipe:
            while not number.endswith(b"\n"):
                chunk = pipe.read(1)
                if not chunk:
                    raise RuntimeError("Xvfb did not start")
                number += chunk
        self.name = ":" + number.decode().strip()
        self.env = dict(os.environ, DISPLAY=self.name, SDL_VIDEODRIVER="x11")
        self.env.pop("WAYLAND_DISPLAY", None)

    def close(self):
        self.server.terminate()
        self.server.wait()

    def run(self, *args, check=True):
        return subprocess.run(args, env=self.env, check=check, capture_output=True, text=True).stdout

    def launch(self, program, **extra_env):
        # Whoever started the tests may have left SIGINT or SIGHUP ignored; the
        # program keeps an ignored signal ignored, as a user would expect.
        def default_signals():
            for number in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP):
                signal.signal(number, signal.SIG_DFL)

        return subprocess.Popen([program], env=dict(self.env, **extra_env), stdout=subprocess.PIPE,
                                stderr=subprocess.PIPE, text=True, preexec_fn=default_signals)

    def find_window(self, process, timeout=20.0):
        """The id of the program's visible top-level window."""
        deadline = time.time() + timeout
        while time.time() < deadline:
            if process.poll() is not None:
                raise AssertionError(f"the program ended early with status {process.returncode}")
            # Only this process's windows: one of a program that has just
            # ended can outlive it for a moment, until the server notices.
            out = self.run("xdotool", "search", "--all", "--onlyvisible", "--pid", str(process.pid),
                           "--name", "^Pellovar", check=False)
            ids = out.split()
            if ids:
                return ids[-1]
            time.sleep(0.1)
        raise AssertionError("no Pellovar window appeared")

    def window_size(self, window):
        info = self.run("xwininfo", "-id", window)
        width = int(re.search(r"Width: (\d+)", info).group(1))
        height = int(re.search(r"Height: (\d+)", info).group(1))
        return width, height

    def title(self, window):
        return self.run("xdotool", "getwindowname", window).strip()

    def focus(self, window):
        self.run("xdotool", "windowfocus", "--sync", window, check=False)
        time.sleep(0.2)

    def key(self, *names, pause=0.3):
        """Taps each key in turn. The game samples the keyboard every 16 ms, so
        each key stays down for a few polls; the menus ignore keys for 200 ms
        after one."""
        for name in names:
            self.run("xdotool", "keydown", name)
            time.sleep(0.06)
            self.run("xdotool", "keyup", name)
            time.sleep(pause)

    def hold(self, name, seconds):
        self.run("xdotool", "keydown", name)
        time.sleep(seconds)
        self.run("xdotool", "keyup", name)

    def screenshot(self, window, path):
        """Saves a PNG of the window and returns its pixels as rows of (r, g, b)."""
        self.run("import", "-window", window, path)
        ppm = subprocess.run(["convert", path, "-depth", "8", "ppm:-"], check=True,
                             capture_output=True).stdout
        return Picture(ppm)

    def send_client_message(self, window, target, message, data, mask=0):
        """Sends a 32-bit ClientMessage about `window` to `target` (a window id,
        or None for the root window) with up to five values of data, each
        value either a number or the name of an atom."""
        x11 = ctypes.cdll.LoadLibrary("libX11.so.6")
        x11.XOpenDisplay.restype = ctypes.c_void_p
        x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
        x11.XInternAtom.restype = ctypes.c_ulong
        x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
        x11.XDefaultRootWindow.restype = ctypes.c_ulong
        x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        x11.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                                   ctypes.c_void_p]
        x11.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
        x11.XCloseDisplay.argtypes = [ctypes.c_void_p]

        class ClientMessage(ctypes.Structure):
            _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong),
                        ("send_event", ctypes.c_int), ("display", ctypes.c_void_p),
                        ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                        ("format", ctypes.c_int), ("data", ctypes.c_long * 5)]

        class Event(ctypes.Union):
            _fields_ = [("client", ClientMessage), ("pad", ctypes.c_long * 24)]

        display = x11.XOpenDisplay(self.name.encode())
        if not display:
            raise AssertionError("cannot open the X display")
        event = Event()
        event.client.type = 33  # ClientMessage
        event.client.window = int(window)
        event.client.message_type = x11.XInternAtom(display, message.encode(), 0)
        event.client.format = 32
        for k, value in enumerate(data):
            event.client.data[k] = (x11.XInternAtom(display, value.encode(), 0)
                                    if isinstance(value, str) else value)
        destination = x11.XDefaultRootWindow(display) if target is None else int(target)
        # Xlib's default handler would end this script with status 1 and no
        # word of which step failed; a missing window is an assertion instead.
        errors = []
        handler_type = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p)
        handler = handler_type(lambda _display, _error: errors.append(1) or 0)
        x11.XSetErrorHandler.argtypes = [handler_type]
        x11.XSetErrorHandler.restype = ctypes.c_void_p
        earlier = x11.XSetErrorHandler(handler)
        x11.XSendEvent(display, destination, 0, mask, ctypes.byref(event))
        x11.XSync(display, 0)
        x11.XCloseDisplay(display)
        x11.XSetErrorHandler.argtypes = [ctypes.c_void_p]
        x11.XSetErrorHandler(earlier)
        assert not errors, f"{message} to window {window}: the X server refused it"

    def request_close(self, window):
        """Sends WM_DELETE_WINDOW, as the close box of a window manager does."""
        self.send_client_message(window, window, "WM_PROTOCOLS", ["WM_DELETE_WINDOW", 0])

    def request_fullscreen(self, window, on):
        """Asks the window manager to put the window into fullscreen or take it
        out (_NET_WM_STATE), as its own shortcut or a pager does."""
        substructure = (1 << 19) | (1 << 20)  # SubstructureNotify | SubstructureRedirect
        self.send_client_message(window, None, "_NET_WM_STATE",
                                 [1 if on else 0, "_NET_WM_STATE_FULLSCREEN", 0, 1],
                                 substructure)

    def close_window(self, process, window, what="close request", timeout=10.0):
        """Asks the window to close as a window manager would; the program must
        end with status 0 within `timeout` s. Returns how long it took, in ms."""
        start = time.monotonic()
        self.request_close(window)
        status = wait_exit(process, timeout)
        assert status == 0, f"{what}: exit status {status}"
        return (time.monotonic() - start) * 1000


class Picture:
    def __init__(self, ppm):
        parts = ppm.split(maxsplit=4)
        if parts[0] != b"P6":
            raise ValueError("not a binary PPM")
        self.width, self.height = int(parts[1]), int(parts[2])
        self.data = parts[4][: self.width * self.height * 3]

    def pixel(self, x, y):
        i = (y * self.width + x) * 3
        return tuple(self.data[i:i + 3])

    def cell(self, column, row, cell_size):
        """The colour at the centre of a screen cell."""
        return self.pixel(column * cell_size + cell_size // 2, row * cell_size + cell_size // 2)


def close_to(actual, expected, tolerance=4):
    return all(abs(a - e) <= tolerance for a, e in zip(actual, expected))


def blend(top, alpha, bottom):
    return tuple(round(t * alpha / 255 + b * (255 - alpha) / 255) for t, b in zip(top, bottom))


def wait_until(condition, timeout=10.0, step=0.1):
    deadline = time.time() + timeout
    while time.time() < deadline:
        if condition():
            return True
        time.sleep(step)
    return condition()


def wait_exit(process, timeout=10.0):
    try:
        return process.wait(timeout)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()
        raise AssertionError(f"the program did not end within {timeout} s")
