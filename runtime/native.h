// SPDX-License-Identifier: MIT
// What the runtime asks of the window system beyond SDL: one contract, built
// once per platform (runtime/x11*.cpp, wayland.cpp and posix.cpp on Linux,
// where posix.cpp asks X11 or Wayland by the window; runtime/win32.cpp on
// Windows), so that window.cpp, screen.cpp and platform.cpp are plain SDL and
// read the same everywhere. Where the window system at hand has nothing to
// offer (the offscreen driver, much of it on Wayland), a procedure answers
// false or does nothing, and the runtime goes through SDL alone. Nothing
// outside runtime/ includes this header.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

struct SDL_Window;
struct SDL_Rect;
union SDL_Event;

// The window system's own id of the window (its X window); 0 where it has
// none the program uses.
uint64_t NativeWindowId(SDL_Window* window);

// The SDL video drivers that put a window on a real display here, in the
// order to try them, as SDL's driver hint takes them ("x11,wayland").
const char* RealWindowDrivers();
// What is known to keep a driver the user chose from starting, to add to
// SDL's own reason; empty when nothing more is known.
const char* MissingDisplayReason(const char* chosenDriver);

// Standard output and error to the console the program was started from,
// where they lead nowhere yet (Windows); nothing elsewhere.
void AttachParentConsole();

// Whether waits for the window system's messages should go through
// WaitFinely: where a wait in whole milliseconds lands late often enough
// (Windows, on average by half a millisecond or more) that a tick due in a
// given millisecond would start in the next one.
bool FineWaits();
// Waits until a window-system message arrives or `ms` (fractional) have
// passed, to a fraction of a millisecond.
void WaitFinely(double ms);

// ---- windows -------------------------------------------------------------

// Whether the window system's own events are wanted (X11: the window
// manager's state and what reaches a replaced window). On Windows every
// window message would be queued for nothing.
bool WantsWindowSystemEvents();

// The window system's error handler around SDL, on before the first SDL_Init
// and off after the last SDL_Quit (X11: SDL keeps the handler it finds and
// puts it back before quitting). It lets pass only errors SDL causes late.
void HandleWindowSystemErrors(bool on);
// Destroys the window with what SDL 2.26 leaves of it (X11: its colormap).
void DestroySdlWindow(SDL_Window* window);
// Asks the window manager to take a window not yet shown fullscreen as it
// shows it (X11: EWMH's state property).
void AskFullscreenBeforeShowing(SDL_Window* window);
// Whether the window manager holds the window fullscreen, in `holds`; false
// where no window manager keeps that state.
bool WindowManagerHoldsFullscreen(SDL_Window* window, bool& holds);
// Whether the event is the window manager changing the window's state.
bool IsWindowStateChange(const SDL_Event& event, SDL_Window* window);
// Whether F11 is down now, as the window system has it; false where it
// cannot tell.
bool FullscreenKeyDownNow(SDL_Window* window);
// Whether the event is the window system's own release of F11, which SDL
// passes on for no window when it already counts the key up.
bool IsFullscreenKeyRelease(const SDL_Event& event);
// The keys down as the focused window goes; once the focus has reached the
// window that replaced it, those still down are pressed again for SDL.
void NoteKeysDown(SDL_Window* window);
void PressKeysStillDown(SDL_Window* window);
// Whether one of the keys noted down as the focus went is up now; false
// where the window system cannot tell.
bool KeyLetGoSinceHandOver(SDL_Window* window);
// What the window system sent a window whose id is in `closed` (windows the
// program has closed since): true for a close request; a key is put back in
// the queue as sent to `game`.
bool AnswerClosedWindow(const SDL_Event& event, const std::vector<uint64_t>& closed,
                           SDL_Window* game);
// The frame the window manager will draw around the hidden window `probe`,
// asked of it; false where it does not say.
bool AskWindowManagerForFrame(SDL_Window* probe, int& top, int& left, int& bottom, int& right);

// ---- presenting ----------------------------------------------------------

// The window's background takes `pixel` (in the window's own pixel format)
// and the rectangles are cleared to it: the window system paints them, now
// and whenever they are uncovered. False where it cannot: the caller fills
// them in the window surface.
bool PaintMarginByWindowSystem(SDL_Window* window, uint32_t pixel, const SDL_Rect* bands, int count);

// Memory of width × height x8r8g8b8 pixels (pitch bytes a row) that the
// window system reads straight into the window, without a round trip a frame
// (X11: MIT-SHM on a local server with a visual of that layout; Wayland: the
// program's own memory, copied into the compositor's shared buffers as put). False, and
// nothing held, where there is none: SDL's window surface serves. One image
// at a time: binding another releases the first.
bool BindSharedImage(SDL_Window* window, int width, int height, uint32_t*& pixels, int& pitch);
// Puts the image's rectangles into the window, each at (left, top) further,
// and returns without waiting for the server to read them.
void PutSharedImage(const SDL_Rect* rects, int count, int left, int top);
// Returns once the window system has read what was put: before the pixels are
// written again. Waits only while a put is really still outstanding.
void AwaitSharedPut();
// Gives the image back; the window must still exist.
void ReleaseSharedImage();
// The image and the connection it is put through: StopPlatform.
void StopSharedPresenting();

// The pages of `rows` rows of rowBytes bytes from `origin`, pitch bytes
// apart, taken in on another core, so that the first frame into fresh
// window memory does not take them one fault at a time. Nothing where the
// system cannot; FinishTakingInRows waits for it before the memory goes.
void TakeInRows(uint8_t* origin, int rows, size_t rowBytes, int pitch);
void FinishTakingInRows();

// ---- ending --------------------------------------------------------------

// What ends the program from outside as a close request does (POSIX: SIGHUP,
// SIGINT, SIGTERM, unless ignored when the game started). One the event
// loop does not take up within two seconds ends the process at once.
void WatchEndSignals();
void UnwatchEndSignals();  // back to their defaults, the grace taken back
bool EndRequested();       // one came and is not taken up yet
bool TakeEndRequest();     // the same, taking it up
