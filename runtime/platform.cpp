// SPDX-License-Identifier: MIT
#include "runtime/platform.h"

#include <SDL.h>

#include <malloc.h>

#include <cstring>
#include <string>

#include "runtime/screen.h"
#include "runtime/native.h"
#include "runtime/service_links.h"

// Whether SDL runs. StopPlatform ends it and leaves the record as it
// started; the window system's error handler around it is runtime/native.h's.
struct PlatformState {
  bool started = false;
  std::string failure;  // why the last start failed, in SDL's words
};

static PlatformState platform;


// Drivers that put a window on a real display. Anything else (offscreen,
// dummy, a bare framebuffer) would run the game where nobody can see it.
static bool ShowsRealWindows(const char* driver) {
  if (!driver || !driver[0]) return false;
  const std::string drivers = std::string(",") + RealWindowDrivers() + ",";
  return drivers.find(std::string(",") + driver + ",") != std::string::npos;
}

const char* ChosenVideoDriver() {
  const char* named = SDL_getenv("SDL_VIDEODRIVER");
  return named && named[0] != '\0' ? named : nullptr;
}

const char* PlatformFailure() { return platform.failure.c_str(); }

// One attempt at starting SDL on an acceptable driver; false leaves SDL down.
static bool TryStart() {
  // Only the drivers that can put a window on a display are tried. A driver
  // the user names in SDL_VIDEODRIVER takes precedence over this hint.
  SDL_SetHint(SDL_HINT_VIDEODRIVER, RealWindowDrivers());
  // Windows would otherwise scale a window on a 125 %, 150 % or 200 %
  // desktop as a bitmap, blurring it; the game sizes itself in real pixels.
  SDL_SetHint(SDL_HINT_WINDOWS_DPI_AWARENESS, "permonitorv2");
  // The program turns SIGINT and SIGTERM into close requests itself, with a
  // way out when the loop is stuck.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  // A close request must reach the game once, as a window event; SDL would
  // otherwise add a quit event of its own when the last window is closed.
  SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
  // Frames are composed in memory and put into the window's surface. Without
  // this SDL would first open a hidden OpenGL window to decide how to put
  // them there, loading the whole GL stack for nothing.
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  // SDL would keep the screensaver off for as long as the program runs; the
  // game holds it off only while someone plays (AllowScreenSaver).
  SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
  // The desktop finds the menu entry, and with it the game's name and icon,
  // by the window's app id. SDL 2.26 takes it from the environment only; a
  // value the user set stays.
  SDL_setenv("SDL_VIDEO_WAYLAND_WMCLASS", PELLOVAR_APP_ID, 0);

  if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS | SDL_INIT_TIMER) != 0) {
    platform.failure = SDL_GetError();
    SDL_Quit();  // whatever part of the start succeeded
    return false;
  }
  if (!ChosenVideoDriver() && !ShowsRealWindows(SDL_GetCurrentVideoDriver())) {
    platform.failure = std::string("only the ") + SDL_GetCurrentVideoDriver() + " driver started";
    SDL_Quit();
    return false;
  }
  // SDL 2.26 has no window surface of its own on Wayland, nor for a desktop
  // whose pixels it cannot name (X screens of depth 30 or 8: "Unknown window
  // pixel format"). Where the program's own presenting cannot serve either
  // (native.h), SDL then makes one through OpenGL, which works at depth 30;
  // where that fails too, the start-up failure says why. SDL reads this once,
  // as it makes the first window surface.
  SDL_DisplayMode desktop{};
  if (std::strcmp(SDL_GetCurrentVideoDriver(), "wayland") == 0 ||
      (SDL_GetDesktopDisplayMode(0, &desktop) == 0 && desktop.format == SDL_PIXELFORMAT_UNKNOWN))
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "1");
  return true;
}

// glibc gives blocks from 128 KB on straight back to the kernel and trims
// the heap's top once a little is free, so each label, drawn at four times
// its size into pictures of up to a megabyte a glyph, took fresh pages: their
// faults and zeroing were half of a label's time at large scales. Freed
// picture memory is kept for the next label instead, up to these amounts.
static void KeepFreedPictureMemory() {
#ifdef __GLIBC__
  mallopt(M_MMAP_THRESHOLD, 16 << 20);
  mallopt(M_TRIM_THRESHOLD, 32 << 20);
#endif
}

bool StartPlatform() {
  if (platform.started) return true;
  KeepFreedPictureMemory();
  // A busy X server can refuse a connection for a moment (the connect fails
  // with EAGAIN); SDL then reports the driver unavailable or silently takes
  // another one. A few short retries ride that out; a machine without any
  // display fails after about 0.2 s. A driver the user chose other than X11
  // is tried once: its failure is no refused connection, and libwayland
  // would say why on every attempt.
  platform.failure.clear();
  const char* chosen = ChosenVideoDriver();
  const int attempts = chosen && std::strcmp(chosen, "x11") != 0 ? 1 : 5;
  HandleWindowSystemErrors(true);
  for (int attempt = 0; attempt < attempts; ++attempt) {
    if (attempt > 0) SDL_Delay(20 * attempt);
    if (TryStart()) {
      platform.started = true;
      WatchEndSignals();
      return true;
    }
  }
  HandleWindowSystemErrors(false);
  if (chosen) platform.failure += MissingDisplayReason(chosen);
  return false;
}

void StopPlatform() {
  // The screen goes before the windows it draws into.
  ResetScreenService();
  StopSharedPresenting();
  ResetSpriteService();
  CloseAllAppWindows();
  ResetKeyboardService();
  ResetGamepadService();  // before SDL_Quit, which would leave its controllers dangling
  if (platform.started) {
    SDL_Quit();  // a stuck window system can hold this too: the alarm still runs
    UnwatchEndSignals();
    HandleWindowSystemErrors(false);
    platform = PlatformState{};
  }
}

void UseParentConsole() { AttachParentConsole(); }
