/* SPDX-License-Identifier: MIT */
/* Loaded with LD_PRELOAD into the real game by an end-to-end test, to make a
   rare shutdown race happen every time. SDL wakes its own wait by sending a
   client message to its window over a second X connection. When the server
   gets to it only after the window is destroyed, it answers BadWindow, and
   that answer is read when SDL closes the connection in SDL_Quit. Here the
   first wake-up of the run is held back until then: once its window has
   been destroyed, it is sent as the connection closes. A program whose X
   error handling lets that through to Xlib's default ends with status 1.
   SDL sends a wake-up only when an event arrives while it waits; "replayed"
   is written to the file named by LATE_WAKEUP_LOG once one has gone out, so
   that a run in which none was sent is not taken for a pass. */
#define _GNU_SOURCE
#include <X11/Xlib.h>
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static Display* heldDisplay;
static Window heldWindow;
static XEvent heldEvent;
static int heldOnce;
static int windowDestroyed;

static void* Real(const char* name) { return dlsym(RTLD_NEXT, name); }

static int IsWakeUp(Display* display, const XEvent* event) {
  if (event->type != ClientMessage) return 0;
  const Atom wakeUp = XInternAtom(display, "_SDL_WAKEUP", True);
  return wakeUp != None && event->xclient.message_type == wakeUp;
}

Status XSendEvent(Display* display, Window window, Bool propagate, long mask, XEvent* event) {
  static Status (*real)(Display*, Window, Bool, long, XEvent*);
  if (!real) real = Real("XSendEvent");
  if (!heldOnce && IsWakeUp(display, event)) {
    heldOnce = 1;
    heldDisplay = display;
    heldWindow = window;
    memcpy(&heldEvent, event, sizeof heldEvent);
    return 1;  /* as if sent */
  }
  return real(display, window, propagate, mask, event);
}

int XDestroyWindow(Display* display, Window window) {
  static int (*real)(Display*, Window);
  if (!real) real = Real("XDestroyWindow");
  const int result = real(display, window);
  if (heldDisplay && window == heldWindow) {
    XSync(display, False);  /* gone on the server before the wake-up can arrive */
    windowDestroyed = 1;
  }
  return result;
}

int XCloseDisplay(Display* display) {
  static int (*real)(Display*);
  if (!real) real = Real("XCloseDisplay");
  if (display == heldDisplay && windowDestroyed) {
    heldDisplay = NULL;
    XSendEvent(display, heldWindow, False, NoEventMask, &heldEvent);
    const char* log = getenv("LATE_WAKEUP_LOG");
    FILE* file = log ? fopen(log, "w") : NULL;
    if (file) {
      fputs("replayed\n", file);
      fclose(file);
    }
  }
  return real(display);
}
