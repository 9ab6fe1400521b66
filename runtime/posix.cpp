// SPDX-License-Identifier: MIT
// runtime/native.h's parts that are the Linux desktop's, not X11's: which
// drivers show a window, the signals that end the program, presenting
// through whichever window system the window is on (X11 first, then
// Wayland), and a new window surface's pages taken in.
#include <SDL.h>
#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstring>
#include <iterator>
#include <system_error>
#include <thread>

#include "runtime/native.h"
#include "runtime/wayland.h"
#include "runtime/x11.h"

// libwayland looks for a Wayland display named relatively (WAYLAND_DISPLAY, or
// wayland-0 when that is unset) in XDG_RUNTIME_DIR. Without that folder the
// connection cannot succeed, and libwayland says so on standard error each
// time SDL probes for Wayland: five times over the start-up retries on a
// machine with no display at all.
static bool WaylandReachable() {
  if (const char* socket = SDL_getenv("WAYLAND_SOCKET"); socket && socket[0] != '\0') return true;
  const char* name = SDL_getenv("WAYLAND_DISPLAY");
  if (name && name[0] == '/') return true;
  const char* runtimeDir = SDL_getenv("XDG_RUNTIME_DIR");
  return runtimeDir && runtimeDir[0] == '/';
}

void AttachParentConsole() {}

// poll() here ends within a few hundredths of a millisecond of its timeout.
bool FineWaits() { return false; }
void WaitFinely(double) {}

const char* RealWindowDrivers() {
  // In SDL's own order, and Wayland only where it might answer.
  return WaylandReachable() ? "x11,wayland" : "x11";
}

const char* MissingDisplayReason(const char* chosenDriver) {
  if (std::strcmp(chosenDriver, "wayland") == 0 && !WaylandReachable())
    return " (XDG_RUNTIME_DIR unset: no Wayland display can be found)";
  return "";
}

void AskFullscreenBeforeShowing(SDL_Window* window) {
  if (!X11AskFullscreenBeforeShowing(window)) WaylandAskFullscreenBeforeShowing(window);
}

// ---- presenting: a window is X11's or Wayland's, and each side does
// nothing for the other's.

bool PaintMarginByWindowSystem(SDL_Window* window, uint32_t pixel, const SDL_Rect* bands, int count) {
  return X11PaintMargin(window, pixel, bands, count) || WaylandPaintMargin(window, pixel, bands, count);
}

bool BindSharedImage(SDL_Window* window, int width, int height, uint32_t*& pixels, int& pitch) {
  ReleaseSharedImage();
  return X11BindSharedImage(window, width, height, pixels, pitch) ||
         WaylandBindSharedImage(window, width, height, pixels, pitch);
}

void PutSharedImage(const SDL_Rect* rects, int count, int left, int top) {
  X11PutSharedImage(rects, count, left, top);
  WaylandPutSharedImage(rects, count, left, top);
}

// Wayland's frame is the program's own memory, copied into the compositor's
// buffers as it is put: there is nothing to wait for.
void AwaitSharedPut() { X11AwaitSharedPut(); }

void ReleaseSharedImage() {
  X11ReleaseSharedImage();
  WaylandReleaseSharedImage();
}

void StopSharedPresenting() {
  X11StopSharedPresenting();
  WaylandStopSharedPresenting();
}

// A hang-up (the terminal or session going away), an interrupt (Ctrl+C) and a
// termination request (a service manager's stop, `timeout`) end the program
// as a close request does: the handler raises a flag that WaitEvent turns
// into the close event. The loop may be stuck in the window system, though
// (an X server that stopped answering), and then would never get to it: the
// first such signal also sets an alarm, and when the program is still there
// that long after, the alarm ends it from its handler, by the signal's own
// default action, so the status says it was no clean close. StopPlatform
// takes the alarm back once all is released.
// Lone statics on purpose, not one record: the flags are written by signal
// handlers, which may touch nothing but lone volatile sig_atomic_t.
constexpr int EndSignals[] = {SIGHUP, SIGINT, SIGTERM};
constexpr unsigned EndGraceSeconds = 2;
static volatile sig_atomic_t endRequested = 0;  // waiting for WaitEvent
static volatile sig_atomic_t endingSignal = 0;  // the first one, for the alarm
static bool watching[std::size(EndSignals)] = {};

static void OnEndSignal(int signal) {
  endRequested = 1;
  if (endingSignal == 0) {
    endingSignal = signal;
    alarm(EndGraceSeconds);
  }
}

static void OnEndGraceOver(int) {
  static const char message[] = "pellovar: the window system did not let the game end; ending at once\n";
  ssize_t written = write(STDERR_FILENO, message, sizeof message - 1);
  (void)written;
  struct sigaction fallback {};
  fallback.sa_handler = SIG_DFL;
  sigaction(endingSignal, &fallback, nullptr);
  raise(endingSignal);
  _exit(128 + endingSignal);  // should the signal not end it after all
}

static bool Handle(int signal, void (*handler)(int)) {
  struct sigaction action {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  return sigaction(signal, &action, nullptr) == 0;
}

void WatchEndSignals() {
  for (size_t k = 0; k < std::size(EndSignals); ++k) {
    if (watching[k]) continue;
    struct sigaction current {};
    // A signal the user chose to ignore (nohup, a background job) stays ignored.
    if (sigaction(EndSignals[k], nullptr, &current) != 0 || current.sa_handler != SIG_DFL) continue;
    watching[k] = Handle(EndSignals[k], OnEndSignal);
  }
  Handle(SIGALRM, OnEndGraceOver);
}

void UnwatchEndSignals() {
  alarm(0);
  Handle(SIGALRM, SIG_DFL);
  for (size_t k = 0; k < std::size(EndSignals); ++k) {
    if (watching[k]) Handle(EndSignals[k], SIG_DFL);
    watching[k] = false;
  }
  endRequested = 0;
  endingSignal = 0;
}

bool EndRequested() { return endRequested != 0; }

bool TakeEndRequest() {
  if (!endRequested) return false;
  endRequested = 0;
  return true;
}

// A window surface just made has no pages yet: the first frame took them one
// fault at a time as it filled them, a good part of the wait for the first
// fullscreen picture on a large screen (docs/performance.md has the
// figures). The second core takes them in instead while the first frame's
// labels render. Only the rows' parts the frame
// covers: the margin is the server's, and pages of it would be memory for
// nothing.
// Lone on purpose: a thread, joined by FinishTakingInRows.
static std::jthread framePrefault;

void TakeInRows(uint8_t* origin, int rows, size_t rowBytes, int pitch) {
#ifdef MADV_POPULATE_WRITE
  framePrefault = {};  // one at a time
  try {
    framePrefault = std::jthread([=] {
      const uintptr_t page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
      for (int y = 0; y < rows; ++y) {
        const uintptr_t start = reinterpret_cast<uintptr_t>(origin) + size_t(y) * pitch;
        const uintptr_t begin = start & ~(page - 1);
        const uintptr_t end = (start + rowBytes + page - 1) & ~(page - 1);
        // Fails harmlessly where the kernel predates it: the faults come back.
        madvise(reinterpret_cast<void*>(begin), end - begin, MADV_POPULATE_WRITE);
      }
    });
  } catch (const std::system_error&) {
    // No thread to be had: the first frame takes the faults as before.
  }
#endif
}

void FinishTakingInRows() { framePrefault = {}; }
