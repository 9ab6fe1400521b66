// SPDX-License-Identifier: MIT
// What the runtime asks of X11 itself, beyond SDL. Nothing outside runtime/
// includes this header; on any other window system every procedure answers
// false or does nothing, and the runtime goes through SDL alone.
#pragma once
#include <cstdint>
#include <vector>

struct SDL_Window;
struct SDL_Rect;
union SDL_Event;
typedef struct _XDisplay Display;  // as Xlib declares it, so that this header needs no Xlib

// The window's X display and X window (an Xlib Window); false on another
// window system.
bool X11Handles(SDL_Window* window, Display*& display, unsigned long& xWindow);
// The window's X id; 0 where it is not an X11 window.
uint64_t X11WindowOf(SDL_Window* window);

// ---- windows (x11_window.cpp) ---------------------------------------------

// SDL keeps the X error handler it finds at SDL_Init and puts it back before
// SDL_Quit, so the program's goes in before the first SDL_Init and out after
// the last SDL_Quit. It lets pass only the errors SDL itself causes late.
void HandleX11Errors(bool on);
// Destroys the window with what SDL 2.26 leaves of it on X11.
void DestroySdlWindow(SDL_Window* window);
// Asks the window manager to take a window not yet shown fullscreen as it
// maps it (EWMH). Nothing where the window is not an X11 window.
void AskX11Fullscreen(SDL_Window* window);
// Whether the window manager holds the window fullscreen, in `holds`; false
// where no window manager keeps that state.
bool X11WindowManagerFullscreen(SDL_Window* window, bool& holds);
// Whether the event is the window manager changing the window's state.
bool IsX11StateChange(const SDL_Event& event, SDL_Window* window);
// Whether the server has F11 down now; false where it cannot tell.
bool X11FullscreenKeyDown(SDL_Window* window);
// Whether the event is the server's own release of F11, which SDL passes on
// for no window when it already counts the key up.
bool IsX11FullscreenKeyRelease(const SDL_Event& event);
// The keys down as the focused window goes; once the focus has reached the
// window that replaced it, those still down are pressed again for SDL.
void NoteX11KeysDown(SDL_Window* window);
void PressX11KeysStillDown(SDL_Window* window);
// What the window system sent an X window in `closed` (windows the program
// has closed since): true for a close request; a key is put back in the
// queue as sent to `game`.
bool AnswerX11ClosedWindow(const SDL_Event& event, const std::vector<uint64_t>& closed,
                           SDL_Window* game);
// The frame the window manager will draw around the hidden window `probe`,
// asked of it; false where it does not say.
bool AskX11FrameExtents(SDL_Window* probe, int& top, int& left, int& bottom, int& right);

// ---- presenting (x11.cpp) --------------------------------------------------

// The window's background takes `pixel` (in the window's visual) and the
// rectangles are cleared to it: the server paints them, now and whenever
// they are uncovered. False where the window is not an X11 window.
bool PaintX11Margin(SDL_Window* window, uint32_t pixel, const SDL_Rect* bands, int count);

// Shared memory of width × height x8r8g8b8 pixels (pitch bytes a row) that
// the X server reads straight into the window. False, and nothing held,
// where the window is not on a local X server with MIT-SHM and a visual of
// that layout. One image at a time: binding another releases the first.
bool BindSharedImage(SDL_Window* window, int width, int height, uint32_t*& pixels, int& pitch);
// Puts the image's rectangles into the window, each at (left, top) further,
// and returns without waiting for the server to read them.
void PutSharedImage(const SDL_Rect* rects, int count, int left, int top);
// Returns once the server has read what was put: before the pixels are
// written again. Waits only while a put is really still outstanding.
void AwaitSharedPut();
// Gives the image back; the window must still exist.
void ReleaseSharedImage();
// The image and the connection it is put through: StopPlatform.
void StopSharedPresenting();
