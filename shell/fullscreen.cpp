// SPDX-License-Identifier: MIT
#include "shell/fullscreen.h"

#include <algorithm>

#include "render/display.h"
#include "runtime/window.h"
#include "shell/display.h"
#include "shell/scale.h"
#include "shell/version.h"

// The game window's one story, from the first opening on. Kept apart from
// screenState on purpose: every opening of the display zeroes that, and all
// of this must outlive the openings. (What only the window system can tell,
// whether it holds the window fullscreen and whether F11 is still down, the
// runtime keeps with its windows.)
struct FullscreenState {
  // The frame the window system draws around the game window, once known:
  // from the window open now, or, before the first one opens, asked of the
  // window system. A new window is placed by the old one's.
  WindowFrame frame;
  // How the display open now was asked for. Its frame's corner is where to
  // go back to when the window manager, not F11, took the window fullscreen
  // and the window's own place is already the desktop's corner. Its scale is
  // the one asked for, before small scales are lifted: opening at it again
  // lifts it once, as it was, not once more.
  int32_t openedX, openedY;
  float askedScaleX, askedScaleY;
  // The desktop the game window was last seen on: a window reopened at
  // another scale is centred there, and measured against its room, rather
  // than jump to the first monitor.
  int desktop;
  // In fullscreen: the desktop it covers, and the window to go back to.
  int32_t desktopX, desktopY, desktopWidth, desktopHeight;
  float windowScaleX, windowScaleY;
  int32_t windowX, windowY;  // the corner of the window's frame
  bool placeWindow;          // the next window opens there, not centred
};

static FullscreenState fullscreen;

void ZeroFullscreenState() { fullscreen = FullscreenState{}; }

static void LearnWindowFrame() {
  WindowFrame frame{};
  if (screenState.window) {
    GetWindowFrame(screenState.window, frame.top, frame.left, frame.bottom, frame.right);
  } else {
    MeasureNewWindowFrame(frame.top, frame.left, frame.bottom, frame.right);
  }
  fullscreen.frame = KnownFrame(fullscreen.frame, frame);
}

// The desktop holding the game window's centre: the one F11 fills. With a
// window taken fullscreen by the window manager, the desktop it now covers.
static int WindowsDesktop() {
  constexpr int MostDesktops = 16;
  Area desktops[MostDesktops] = {};
  const int count = std::min(CountDesktops(), MostDesktops);
  for (int i = 0; i < count; ++i) {
    Area& d = desktops[i];
    GetDesktopBounds(i, d.x, d.y, d.width, d.height);  // one unknown stays 0 × 0
  }
  Area window{};
  if (!GetWindowArea(screenState.window, window.x, window.y, window.width, window.height)) return 0;
  return std::max(0, DisplayHoldingWindow(desktops, count, window));
}

void NoteWindowsDesktop() {
  if (screenState.window) fullscreen.desktop = WindowsDesktop();
}

// The room the game window may take on the desktop it opens on: the usable
// area less the window's frame (a window whose title bar is off the screen
// cannot be moved back). False when the desktop cannot say.
static bool WindowRoom(int32_t& width, int32_t& height) {
  int usableWidth = 0, usableHeight = 0;
  NoteWindowsDesktop();
  if (!GetDesktopUsableSize(fullscreen.desktop, usableWidth, usableHeight)) return false;
  LearnWindowFrame();
  RoomForWindow(usableWidth, usableHeight, fullscreen.frame, width, height);
  return true;
}

bool ScaleFitsDesktop(float scaleX, float scaleY) {
  if (screenState.screenMode == FullscreenMode) {
    return WindowFits(screenState.baseCell, scaleX, scaleY, fullscreen.desktopWidth,
                      fullscreen.desktopHeight);
  }
  int32_t width = 0, height = 0;
  if (!WindowRoom(width, height)) return true;  // nothing known to fit against
  const int16_t baseCell = screenState.baseCell ? screenState.baseCell : BaseCell;
  return WindowFits(baseCell, scaleX, scaleY, width, height);
}

float FitStartScale(float scale) {
  fullscreen.frame = WindowFrame{};
  int32_t width = 0, height = 0;
  if (!WindowRoom(width, height)) return scale;
  return LowerScaleToFit(BaseCell, scale, width, height);
}

// Opens the game window with its frame centred in the usable area. Window
// managers place the frame where a window asks to be, so a window centred
// by its client size alone would reach past the bottom by its title bar.
static int OpenGameWindow(int32_t width, int32_t height) {
  const WindowFrame& frame = fullscreen.frame;
  int x = 0, y = 0, roomWidth = 0, roomHeight = 0;
  uint32_t flags = WindowTitleBar | WindowHidden;
  if (fullscreen.placeWindow) {
    // Back from fullscreen: where the window was before.
    fullscreen.placeWindow = false;
    x = fullscreen.windowX;
    y = fullscreen.windowY;
  } else if (GetDesktopUsableArea(fullscreen.desktop, x, y, roomWidth, roomHeight)) {
    x += CentredOffset(roomWidth, width + frame.left + frame.right);
    y += CentredOffset(roomHeight, height + frame.top + frame.bottom);
  } else {
    flags |= WindowCentred;
  }
  fullscreen.openedX = x;
  fullscreen.openedY = y;
  return OpenAppWindow(AnyWindow, x, y, width, height, ProductTitle, flags);
}

int OpenDisplayWindow(int32_t width, int32_t height) {
  if (screenState.screenMode != FullscreenMode) return OpenGameWindow(width, height);
  // A borderless window covering the whole desktop fullscreen remembers.
  return OpenAppWindow(AnyWindow, fullscreen.desktopX, fullscreen.desktopY,
                       fullscreen.desktopWidth, fullscreen.desktopHeight, ProductTitle,
                       WindowFullscreen | WindowHidden);
}

void FullscreenDesktopSize(int32_t& width, int32_t& height) {
  width = fullscreen.desktopWidth;
  height = fullscreen.desktopHeight;
}

void NoteAskedScale(float scaleX, float scaleY) {
  fullscreen.askedScaleX = scaleX;
  fullscreen.askedScaleY = scaleY;
}

void AskedScale(float& scaleX, float& scaleY) {
  scaleX = fullscreen.askedScaleX;
  scaleY = fullscreen.askedScaleY;
}

static bool EnterFullscreenFrom(bool windowStillPlaced) {
  if (screenState.screenMode != WindowedMode) return true;
  int32_t x = 0, y = 0, width = 0, height = 0;
  NoteWindowsDesktop();
  if (!GetDesktopBounds(fullscreen.desktop, x, y, width, height)) {
    return true;  // no desktop known to fill
  }
  fullscreen.desktopX = x;
  fullscreen.desktopY = y;
  fullscreen.desktopWidth = width;
  fullscreen.desktopHeight = height;
  fullscreen.windowScaleX = fullscreen.askedScaleX;
  fullscreen.windowScaleY = fullscreen.askedScaleY;
  fullscreen.windowX = fullscreen.openedX;
  fullscreen.windowY = fullscreen.openedY;
  int clientX = 0, clientY = 0;
  if (windowStillPlaced && GetWindowPlace(screenState.window, clientX, clientY)) {
    // Window managers place the frame where a new window asks to be.
    LearnWindowFrame();
    fullscreen.windowX = clientX - fullscreen.frame.left;
    fullscreen.windowY = clientY - fullscreen.frame.top;
  }
  // The window comes back there: when F11 or the window manager gives it
  // back, or at once should fullscreen fail to open.
  fullscreen.placeWindow = true;
  const FullscreenFit fit = FitFullscreen(screenState.baseCell, width, height);
  return ReopenDisplayIn(FullscreenMode, fit.scale, fit.scale);
}

bool EnterFullscreen() { return EnterFullscreenFrom(true); }

bool FollowWindowManagerFullscreen() { return EnterFullscreenFrom(false); }

bool LeaveFullscreen() {
  if (screenState.screenMode != FullscreenMode) return true;
  return ReopenDisplayIn(WindowedMode, fullscreen.windowScaleX, fullscreen.windowScaleY);
}

bool ToggleFullscreen() {
  return screenState.screenMode == FullscreenMode ? LeaveFullscreen() : EnterFullscreen();
}
