// SPDX-License-Identifier: MIT
// What the screen asks of X11 itself, beyond SDL. Nothing outside runtime/
// includes this header; on any other window system every procedure answers
// false or does nothing, and the screen goes through SDL alone.
#pragma once
#include <cstdint>

struct SDL_Window;
struct SDL_Rect;
typedef struct _XDisplay Display;  // as Xlib declares it, so that this header needs no Xlib

// The window's X display and X window (an Xlib Window); false on another
// window system.
bool X11Handles(SDL_Window* window, Display*& display, unsigned long& xWindow);

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
