// SPDX-License-Identifier: MIT
// Frames put into an X11 window from shared memory without waiting for the
// server. SDL's own window surface puts its pixels the same way (MIT-SHM)
// but then waits for the server's answer (XSync), so each frame shown woke
// the program once more, for that answer. Not waiting needs the server to
// say when it has read the memory (a completion event), or the next frame
// would be written while the last is still being read. On SDL's connection
// that event would wake the program's wait for input all the same, so the
// puts go over a connection of their own that nothing waits on: the event
// lies in its socket until the next frame is about to be written, and is
// read then without sleeping.
#include "runtime/x11.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <sys/ipc.h>
#include <sys/shm.h>

// The image of the open screen. X11ReleaseSharedImage gives it back and starts
// the record afresh in one statement.
struct SharedImage {
  Window window = 0;
  GC gc = nullptr;
  XImage* image = nullptr;
  XShmSegmentInfo segment{};
  bool attached = false;      // the server has the segment too
  unsigned long lastPut = 0;  // the request of a put not yet seen read; 0 when none
};

struct X11State {
  // Opened with the first image and kept until StopSharedPresenting:
  // connecting is a few round trips, and every fullscreen switch opens a
  // screen.
  Display* connection = nullptr;
  SharedImage shared;
  // Set by the error handler while an attach is tried.
  bool attachRefused = false;
  XErrorHandler earlierHandler = nullptr;
};

static X11State x11;

bool X11Handles(SDL_Window* window, Display*& display, Window& xWindow) {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!window || !SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return false;
  display = info.info.x11.display;
  xWindow = info.info.x11.window;
  return true;
}

bool X11PaintMargin(SDL_Window* window, uint32_t pixel, const SDL_Rect* bands, int count) {
  Display* display;
  Window xWindow;
  if (!X11Handles(window, display, xWindow)) return false;
  XSetWindowBackground(display, xWindow, pixel);
  for (int k = 0; k < count; ++k) {
    const SDL_Rect& band = bands[k];
    if (band.w > 0 && band.h > 0) XClearArea(display, xWindow, band.x, band.y, band.w, band.h, False);
  }
  return true;
}

// A server that cannot reach the memory (a remote one) refuses the attach
// with an error, which must not end the program: it only means SDL's window
// surface is used instead.
static int NoteRefusedAttach(Display* display, XErrorEvent* error) {
  if (display == x11.connection) {
    x11.attachRefused = true;
    return 0;
  }
  return x11.earlierHandler ? x11.earlierHandler(display, error) : 0;
}

static bool AttachSegment() {
  x11.attachRefused = false;
  x11.earlierHandler = XSetErrorHandler(NoteRefusedAttach);
  XShmAttach(x11.connection, &x11.shared.segment);
  XSync(x11.connection, False);
  XSetErrorHandler(x11.earlierHandler);
  x11.earlierHandler = nullptr;
  return !x11.attachRefused;
}

static bool Connect(Display* sdlDisplay) {
  if (!x11.connection) x11.connection = XOpenDisplay(DisplayString(sdlDisplay));
  return x11.connection && XShmQueryExtension(x11.connection);
}

// The window's visual as the presenting connection knows it, if its pixels
// are laid out as the frame's: 32 bits, red, green and blue bytes from the
// high end.
static Visual* FrameVisual(Display* sdlDisplay, Window xWindow) {
  XWindowAttributes attributes;
  // A round trip on SDL's own connection, so the window it made has surely
  // reached the server before the other connection names it.
  if (!XGetWindowAttributes(sdlDisplay, xWindow, &attributes) || attributes.depth != 24) return nullptr;
  XVisualInfo wanted{};
  wanted.visualid = XVisualIDFromVisual(attributes.visual);
  int count = 0;
  XVisualInfo* found = XGetVisualInfo(x11.connection, VisualIDMask, &wanted, &count);
  if (!found) return nullptr;
  Visual* visual = found[0].visual;
  // SDL takes a DirectColor visual where there is one, its colour map set
  // to show each value as itself: as good as TrueColor here.
  const bool fits = found[0].red_mask == 0xFF0000 && found[0].green_mask == 0xFF00 &&
                    found[0].blue_mask == 0xFF;
  XFree(found);
  return fits ? visual : nullptr;
}

bool X11BindSharedImage(SDL_Window* window, int width, int height, uint32_t*& pixels, int& pitch) {
  X11ReleaseSharedImage();
  Display* sdlDisplay;
  Window xWindow;
  if (width <= 0 || height <= 0 || !X11Handles(window, sdlDisplay, xWindow) || !Connect(sdlDisplay))
    return false;
  Visual* visual = FrameVisual(sdlDisplay, xWindow);
  if (!visual) return false;
  SharedImage& s = x11.shared;
  s.image = XShmCreateImage(x11.connection, visual, 24, ZPixmap, nullptr, &s.segment, width, height);
  if (!s.image || s.image->bits_per_pixel != 32) {
    X11ReleaseSharedImage();
    return false;
  }
  // Only the program's own user may touch the frame; the server is told
  // who the client is by the local socket.
  s.segment.shmid = shmget(IPC_PRIVATE, static_cast<size_t>(s.image->bytes_per_line) * height,
                           IPC_CREAT | 0600);
  if (s.segment.shmid < 0) {
    X11ReleaseSharedImage();
    return false;
  }
  void* memory = shmat(s.segment.shmid, nullptr, 0);
  s.segment.shmaddr = s.image->data = memory == reinterpret_cast<void*>(-1) ? nullptr : static_cast<char*>(memory);
  s.segment.readOnly = True;  // the server only ever reads it
  s.attached = s.segment.shmaddr && AttachSegment();
  // Marked for removal at once: it goes when the program and the server have
  // both let go, however the program ends.
  shmctl(s.segment.shmid, IPC_RMID, nullptr);
  if (!s.attached) {
    X11ReleaseSharedImage();
    return false;
  }
  XGCValues values{};
  values.graphics_exposures = False;
  s.gc = XCreateGC(x11.connection, xWindow, GCGraphicsExposures, &values);
  s.window = xWindow;
  pixels = reinterpret_cast<uint32_t*>(s.segment.shmaddr);
  pitch = s.image->bytes_per_line;
  return true;
}

void X11PutSharedImage(const SDL_Rect* rects, int count, int left, int top) {
  SharedImage& s = x11.shared;
  if (!s.gc) return;
  int last = count - 1;
  while (last >= 0 && (rects[last].w <= 0 || rects[last].h <= 0)) --last;
  for (int k = 0; k <= last; ++k) {
    const SDL_Rect& r = rects[k];
    if (r.w <= 0 || r.h <= 0) continue;
    // The server reads requests in order: once the last put is done, so
    // are those before it. Only that one asks for a completion event.
    if (k == last) s.lastPut = NextRequest(x11.connection);
    XShmPutImage(x11.connection, s.window, s.gc, s.image, r.x, r.y, r.x + left, r.y + top,
                 static_cast<unsigned>(r.w), static_cast<unsigned>(r.h), k == last ? True : False);
  }
  XFlush(x11.connection);
}

void X11AwaitSharedPut() {
  SharedImage& s = x11.shared;
  if (!s.lastPut) return;
  // Every event and error read moves LastKnownRequestProcessed on; a
  // completion already in the socket is read without sleeping.
  XEvent event;
  while (LastKnownRequestProcessed(x11.connection) < s.lastPut && XPending(x11.connection))
    XNextEvent(x11.connection, &event);
  while (LastKnownRequestProcessed(x11.connection) < s.lastPut) XNextEvent(x11.connection, &event);
  s.lastPut = 0;
}

void X11ReleaseSharedImage() {
  SharedImage& s = x11.shared;
  // A put still on its way when the window goes would be an error.
  X11AwaitSharedPut();
  if (s.gc) XFreeGC(x11.connection, s.gc);
  if (s.attached) XShmDetach(x11.connection, &s.segment);
  if (s.image) {
    s.image->data = nullptr;
    XDestroyImage(s.image);
  }
  if (s.segment.shmaddr) shmdt(s.segment.shmaddr);
  // The window may go next, through SDL's connection, which the server may
  // read before this one: a GC still on its way to a window gone by then is
  // an error that ends the program. So all sent here is done first.
  if (x11.connection && s.gc) XSync(x11.connection, False);
  else if (x11.connection) XFlush(x11.connection);
  x11.shared = SharedImage{};
}

void X11StopSharedPresenting() {
  X11ReleaseSharedImage();
  if (x11.connection) XCloseDisplay(x11.connection);
  x11 = X11State{};
}
