#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Two monitors side by side, on an Xorg server of the dummy driver with two
of its outputs on (Xvfb shows SDL one display however its screens are laid
out). With the window moved onto the second monitor, F11 fills that one and
gives the window back where it was; a scale step keeps the window on it; a
window mostly on the first still fills the first. With openbox and without a
window manager."""

import contextlib
import os
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from xharness import Display, blend, close_to, wait_until  # noqa: E402
from desktop_fit_e2e import managed, placement  # noqa: E402
from fullscreen_e2e import new_window  # noqa: E402

PANEL = blend((168, 185, 168), 192, (187, 204, 187))
# (x, y, width, height) of each monitor, as xrandr lays them out.
FIRST = (0, 0, 1600, 900)
SECOND = (1600, 0, 1280, 1024)

# No input devices of the machine's: xdotool types through XTEST.
XORG_CONF = """
Section "ServerFlags"
  Option "AutoAddDevices" "false"
EndSection
Section "Device"
  Identifier "dummy"
  Driver "dummy"
  VideoRam 256000
EndSection
Section "Monitor"
  Identifier "monitor"
  HorizSync 5.0-1000.0
  VertRefresh 5.0-200.0
EndSection
Section "Screen"
  Identifier "screen"
  Device "dummy"
  Monitor "monitor"
  DefaultDepth 24
  SubSection "Display"
    Depth 24
    Virtual 4096 2048
  EndSubSection
EndSection
"""


class TwoMonitors(Display):
    """An Xorg server whose dummy outputs DUMMY0 and DUMMY1 are the monitors
    FIRST and SECOND."""

    def __init__(self, folder):
        config = os.path.join(folder, "xorg.conf")
        with open(config, "w") as f:
            f.write(XORG_CONF)
        os.makedirs(os.path.join(folder, "conf.d"), exist_ok=True)
        read_fd, write_fd = os.pipe()
        self.server = subprocess.Popen(
            ["Xorg", "-displayfd", str(write_fd), "-config", config, "-configdir",
             os.path.join(folder, "conf.d"), "-logfile", os.path.join(folder, "xorg.log"),
             "-noreset", "-nolisten", "tcp"],
            pass_fds=(write_fd,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_fd)
        with os.fdopen(read_fd, "rb") as pipe:
            number = pipe.readline()
        if not number.strip():
            raise AssertionError("Xorg with the dummy driver did not start: see "
                                 + os.path.join(folder, "xorg.log"))
        self.name = ":" + number.decode().strip()
        self.env = dict(os.environ, DISPLAY=self.name, SDL_VIDEODRIVER="x11")
        self.env.pop("WAYLAND_DISPLAY", None)
        second_mode = f"{SECOND[2]}x{SECOND[3]}"
        self.run("xrandr", "--addmode", "DUMMY1", second_mode)
        self.run("xrandr", "--output", "DUMMY0", "--mode", f"{FIRST[2]}x{FIRST[3]}", "--pos",
                 f"{FIRST[0]}x{FIRST[1]}", "--output", "DUMMY1", "--mode", second_mode, "--pos",
                 f"{SECOND[0]}x{SECOND[1]}")
        # The dummy driver reports its second output connected only once the
        # outputs are probed; until then SDL would find one display.
        self.run("xrandr")


@contextlib.contextmanager
def two_monitors(manager):
    with tempfile.TemporaryDirectory() as folder:
        with managed(TwoMonitors(folder), manager) as display:
            yield display


def area(display, window):
    return placement(display, window) + display.window_size(window)


def move_to(display, process, window, x, y):
    display.run("xdotool", "windowmove", "--sync", window, str(x), str(y), check=False)
    assert wait_until(lambda: placement(display, window)[0] >= x - 10), \
        f"the window did not move to ({x}, {y}): it is at {placement(display, window)}"
    display.focus(window)


def fills(display, window, monitor, name, what):
    """The window covers the monitor, and the display's panel shows centred
    on it."""
    assert area(display, window) == monitor, \
        f"{name} {what}: window {area(display, window)}, expected the monitor {monitor}"
    cell = min(monitor[2] // 38, monitor[3] // 39)
    left, top = (monitor[2] - 38 * cell) // 2, (monitor[3] - 39 * cell) // 2
    path = os.path.join(ARTIFACTS, f"two-monitors-{name}-{what.replace(' ', '-')}.png")
    panel = lambda: display.screenshot(window, path).pixel(left + 4 * cell + cell // 2,
                                                            top + 4 * cell + cell // 2)
    assert wait_until(lambda: close_to(panel(), PANEL), timeout=5.0), \
        f"{name} {what}: the panel cell shows {panel()}, expected {PANEL}"


def centre_on(display, window, monitor):
    x, y, width, height = area(display, window)
    cx, cy = x + width // 2, y + height // 2
    return monitor[0] <= cx < monitor[0] + monitor[2] and monitor[1] <= cy < monitor[1] + monitor[3]


def check_case(program, manager):
    name = manager or "no-wm"
    with two_monitors(manager) as display:
        process = display.launch(program)
        window = display.find_window(process)
        display.focus(window)
        assert centre_on(display, window, FIRST), f"{name}: opened at {area(display, window)}"

        move_to(display, process, window, SECOND[0] + 300, 100)
        place = placement(display, window)
        display.key("F11")
        window = new_window(display, process, window)
        fills(display, window, SECOND, name, "F11 on the second")
        display.key("F11")
        window = new_window(display, process, window)
        assert placement(display, window) == place, \
            f"{name}: back from fullscreen at {placement(display, window)}, expected {place}"

        display.key("Down", "Down", "Return", pause=0.4)  # Options, "Scale:"
        display.key("Left")
        window = new_window(display, process, window)
        assert centre_on(display, window, SECOND), \
            f"{name}: a scale step took the window to {area(display, window)}"

        # Straddling the seam, its centre still on the first monitor.
        move_to(display, process, window, FIRST[2] - 400, 100)
        assert centre_on(display, window, FIRST), f"{name}: moved to {area(display, window)}"
        display.key("F11")
        window = new_window(display, process, window)
        fills(display, window, FIRST, name, "F11 on the first")

        display.close_window(process, window, f"{name}: close request")
        assert process.stderr.read() == "", f"{name}: the program wrote to its error output"
        print(f"ok: {name}: F11 fills the monitor holding the window's centre, both ways")


def main():
    global ARTIFACTS
    program, ARTIFACTS = sys.argv[1], sys.argv[2]
    os.makedirs(ARTIFACTS, exist_ok=True)
    for manager in (None, "openbox"):
        check_case(program, manager)


if __name__ == "__main__":
    main()
