// SPDX-License-Identifier: MIT
// X11's own calls for the windows, beyond what SDL does: the window
// manager's fullscreen and frame (EWMH), F11 as the server has it, keys and
// close requests sent to a window the program has since replaced, what SDL
// 2.26 leaves behind when a window goes, and the X errors let pass.
#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xproto.h>
#include <X11/keysym.h>
#include <unistd.h>

#include <algorithm>

#include "runtime/native.h"
#include "runtime/wayland.h"
#include "runtime/x11.h"

// What the windows' X11 side keeps: the keys down as the focused window
// went, and the error handler in place. StopPlatform's HandleWindowSystemErrors(false)
// starts it afresh.
struct X11WindowState {
  char keysDownAtHandOver[32] = {};
  bool handlingErrors = false;
  XErrorHandler earlierHandler = nullptr;  // Xlib's default prints and exits 1
};

static X11WindowState x11Windows;

bool WantsWindowSystemEvents() { return true; }

uint64_t NativeWindowId(SDL_Window* window) {
  Display* display;
  Window xWindow;
  return X11Handles(window, display, xWindow) ? static_cast<uint64_t>(xWindow) : 0;
}

// SDL wakes its own wait for events by sending an event to one of its
// windows over a second connection to the X server. When a close request
// ends that wait and the window is destroyed before the server gets to the
// wake-up, the server answers BadWindow, and the answer is read only when
// SDL_Quit closes that connection. Only that error is let pass, and a
// colormap freed twice, should an SDL that frees its windows' colormaps
// itself be found (the windows free theirs); every other one goes on to the
// handler that was there before.
static int IgnoreLateWakeUps(Display* display, XErrorEvent* error) {
  if (error->error_code == BadWindow && error->request_code == X_SendEvent) return 0;
  if (error->error_code == BadColor && error->request_code == X_FreeColormap) return 0;
  return x11Windows.earlierHandler ? x11Windows.earlierHandler(display, error) : 0;
}

// SDL keeps the handler it finds at SDL_Init under its own and puts it back
// before SDL_Quit closes its connections, so the program's handler has to be
// in place before the first SDL_Init and stay until after the last SDL_Quit.
void HandleWindowSystemErrors(bool on) {
  if (on == x11Windows.handlingErrors) return;
  if (on) {
    x11Windows.earlierHandler = XSetErrorHandler(IgnoreLateWakeUps);
  } else {
    XSetErrorHandler(x11Windows.earlierHandler);
    x11Windows = X11WindowState{};
    return;
  }
  x11Windows.handlingErrors = on;
}

// SDL 2.26 makes an X colormap for every window and never frees it: one
// more with each scale change and F11. It goes with its window here. A
// Wayland window goes Wayland's way (wayland.h).
void DestroySdlWindow(SDL_Window* window) {
  Display* display;
  Window xWindow;
  XWindowAttributes attributes{};
  const bool x11 = X11Handles(window, display, xWindow) &&
                   XGetWindowAttributes(display, xWindow, &attributes) != 0;
  if (!x11 && WaylandDestroyWindow(window)) return;
  SDL_DestroyWindow(window);
  if (x11 && attributes.colormap != None &&
      attributes.colormap != DefaultColormapOfScreen(attributes.screen)) {
    XFreeColormap(display, attributes.colormap);
    XFlush(display);
  }
}

// Puts _NET_WM_STATE_FULLSCREEN in the state of a window not yet shown, as
// EWMH has a client do: the window manager takes the window fullscreen as it
// maps it. Without a window manager nobody reads it, and the borderless
// window covering the desktop is all there is to fullscreen.
bool X11AskFullscreenBeforeShowing(SDL_Window* window) {
  Display* display;
  Window xWindow;
  if (!X11Handles(window, display, xWindow)) return false;
  const Atom state = XInternAtom(display, "_NET_WM_STATE", False);
  const Atom fullscreen = XInternAtom(display, "_NET_WM_STATE_FULLSCREEN", False);
  XChangeProperty(display, xWindow, state, XA_ATOM, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(&fullscreen), 1);
  return true;
}

// Whether the atom list `property` of an X window holds `wanted`.
static bool AtomListHolds(Display* display, Window window, const char* property, Atom wanted) {
  Atom type = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  const Atom name = XInternAtom(display, property, False);
  if (XGetWindowProperty(display, window, name, 0, 4096, False, XA_ATOM, &type, &format, &count,
                         &after, &data) != Success || !data) {
    return false;
  }
  bool found = false;
  if (type == XA_ATOM && format == 32) {
    const Atom* atoms = reinterpret_cast<const Atom*>(data);
    for (unsigned long k = 0; k < count && !found; ++k) found = atoms[k] == wanted;
  }
  XFree(data);
  return found;
}

// Whether the window manager announces the atom in _NET_SUPPORTED.
static bool WindowManagerSupports(Display* display, Atom wanted) {
  return AtomListHolds(display, DefaultRootWindow(display), "_NET_SUPPORTED", wanted);
}

// Whether the window manager holds the window in fullscreen: its
// _NET_WM_STATE lists _NET_WM_STATE_FULLSCREEN. False where no window
// manager keeps that state (nobody else can change it then).
bool WindowManagerHoldsFullscreen(SDL_Window* window, bool& holds) {
  Display* display;
  Window xWindow;
  if (!X11Handles(window, display, xWindow)) return false;
  const Atom fullscreen = XInternAtom(display, "_NET_WM_STATE_FULLSCREEN", False);
  if (!WindowManagerSupports(display, fullscreen)) return false;
  holds = AtomListHolds(display, xWindow, "_NET_WM_STATE", fullscreen);
  return true;
}

// A window manager that cannot resize the window (its size is fixed) still
// sets _NET_WM_STATE; SDL passes that on only as the window system's own
// event. Whether it concerns the game window and that property.
bool IsWindowStateChange(const SDL_Event& event, SDL_Window* window) {
  if (event.type != SDL_SYSWMEVENT || !window) return false;
  const SDL_SysWMmsg* message = event.syswm.msg;
  if (!message || message->subsystem != SDL_SYSWM_X11) return false;
  const XEvent& x = message->msg.x11.event;
  Display* display;
  Window xWindow;
  if (x.type != PropertyNotify || !X11Handles(window, display, xWindow)) return false;
  return x.xproperty.window == xWindow &&
         x.xproperty.atom == XInternAtom(display, "_NET_WM_STATE", False);
}

// Whether the window system has F11 down now; false where it cannot tell.
bool FullscreenKeyDownNow(SDL_Window* window) {
  Display* display;
  Window xWindow;
  if (!X11Handles(window, display, xWindow)) return false;
  const KeyCode code = XKeysymToKeycode(display, XK_F11);
  char keys[32];
  XQueryKeymap(display, keys);
  return code != 0 && (keys[code / 8] >> (code % 8) & 1) != 0;
}

bool IsFullscreenKeyRelease(const SDL_Event& event) {
  const SDL_SysWMmsg* message = event.type == SDL_SYSWMEVENT ? event.syswm.msg : nullptr;
  if (!message || message->subsystem != SDL_SYSWM_X11) return false;
  const XEvent& x = message->msg.x11.event;
  return x.type == KeyRelease && x.xkey.keycode == XKeysymToKeycode(x.xkey.display, XK_F11);
}

void NoteKeysDown(SDL_Window* window) {
  Display* display;
  Window xWindow;
  if (X11Handles(window, display, xWindow)) XQueryKeymap(display, x11Windows.keysDownAtHandOver);
}

// SDL forgets every key as the focused window goes, and on the focus coming
// back learns only the modifiers that are down: a key held all along would
// read up until pressed again. Those still down are pressed again for SDL,
// put in the queue as the window system would send them.
void PressKeysStillDown(SDL_Window* window) {
  Display* display;
  Window xWindow;
  if (!X11Handles(window, display, xWindow)) return;
  char down[32];
  XQueryKeymap(display, down);
  // F11 held is no game key: pressed again it would toggle fullscreen back.
  const int fullscreenKey = XKeysymToKeycode(display, XK_F11);
  for (int code = 8; code < 256; ++code) {
    const int bit = 1 << (code % 8);
    if (!(down[code / 8] & bit) || !(x11Windows.keysDownAtHandOver[code / 8] & bit)) continue;
    if (code == fullscreenKey) continue;
    XEvent press{};
    press.xkey.type = KeyPress;
    press.xkey.display = display;
    press.xkey.window = xWindow;
    press.xkey.root = DefaultRootWindow(display);
    press.xkey.same_screen = True;
    press.xkey.keycode = static_cast<unsigned>(code);
    XPutBackEvent(display, &press);
  }
}

bool KeyLetGoSinceHandOver(SDL_Window* window) {
  Display* display;
  Window xWindow;
  if (!X11Handles(window, display, xWindow)) return false;
  char down[32];
  XQueryKeymap(display, down);
  for (int k = 0; k < 32; ++k)
    if (x11Windows.keysDownAtHandOver[k] & ~down[k]) return true;
  return false;
}

// What the window system sent a window the program has closed since: a
// close request still ends the game, and a key still reaches the game, put
// back in the queue as sent to the window that took the closed one's place.
bool AnswerClosedWindow(const SDL_Event& event, const std::vector<uint64_t>& closed,
                            SDL_Window* game) {
  const SDL_SysWMmsg* message = event.type == SDL_SYSWMEVENT ? event.syswm.msg : nullptr;
  if (!message || message->subsystem != SDL_SYSWM_X11) return false;
  XEvent x = message->msg.x11.event;
  if (std::find(closed.begin(), closed.end(), x.xany.window) == closed.end()) return false;
  Display* display = x.xany.display;
  if (x.type == ClientMessage && x.xclient.format == 32 &&
      x.xclient.message_type == XInternAtom(display, "WM_PROTOCOLS", False) &&
      static_cast<Atom>(x.xclient.data.l[0]) == XInternAtom(display, "WM_DELETE_WINDOW", False)) {
    return true;
  }
  Display* gameDisplay;
  Window gameWindow;
  if ((x.type == KeyPress || x.type == KeyRelease) && X11Handles(game, gameDisplay, gameWindow)) {
    x.xkey.window = gameWindow;
    XPutBackEvent(gameDisplay, &x);
  }
  return false;
}

// _NET_FRAME_EXTENTS of a window: left, right, top, bottom. False while unset.
static bool ReadFrameExtents(Display* display, Window window, long extents[4]) {
  Atom type = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  const Atom name = XInternAtom(display, "_NET_FRAME_EXTENTS", False);
  if (XGetWindowProperty(display, window, name, 0, 4, False, XA_CARDINAL, &type, &format, &count,
                         &after, &data) != Success || !data) {
    return false;
  }
  const bool whole = type == XA_CARDINAL && format == 32 && count == 4;
  if (whole)
    for (int k = 0; k < 4; ++k) extents[k] = reinterpret_cast<const long*>(data)[k];
  XFree(data);
  return whole;
}

bool AskWindowManagerForFrame(SDL_Window* probe, int& top, int& left, int& bottom, int& right) {
  Display* display;
  Window window;
  if (!X11Handles(probe, display, window)) return false;
  const Atom request = XInternAtom(display, "_NET_REQUEST_FRAME_EXTENTS", False);
  // A window manager that announces the request answers it at once by
  // setting the property; one that does not is not asked at all, so a
  // desktop without one costs nothing here.
  if (!WindowManagerSupports(display, request)) return false;
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = request;
  event.xclient.format = 32;
  XSendEvent(display, DefaultRootWindow(display), False,
             SubstructureNotifyMask | SubstructureRedirectMask, &event);
  XFlush(display);
  // It answers within milliseconds; a loaded machine may keep it waiting a
  // while, and a window placed without its frame would not fit.
  long extents[4] = {0, 0, 0, 0};
  bool known = false;
  for (int wait = 0; wait < 500 && !known; ++wait) {  // up to 1 s
    known = ReadFrameExtents(display, window, extents);
    if (!known) usleep(2000);
  }
  if (!known) return false;
  left = static_cast<int>(extents[0]);
  right = static_cast<int>(extents[1]);
  top = static_cast<int>(extents[2]);
  bottom = static_cast<int>(extents[3]);
  return true;
}
