// SPDX-License-Identifier: MIT
// What X11's own files share (x11.cpp, x11_window.cpp), which implement
// runtime/native.h on Linux, and what x11.cpp offers the Linux side of
// native.h (posix.cpp), which asks X11 before Wayland (wayland.h). Nothing
// else includes this header.
#pragma once
#include <cstdint>

struct SDL_Window;
struct SDL_Rect;
typedef struct _XDisplay Display;  // as Xlib declares it, so that this header needs no Xlib

// The window's X display and X window (an Xlib Window); false on another
// window system.
bool X11Handles(SDL_Window* window, Display*& display, unsigned long& xWindow);

// native.h's AskFullscreenBeforeShowing, through EWMH; false for a window
// that is not X11's.
bool X11AskFullscreenBeforeShowing(SDL_Window* window);

// Shared presenting (native.h) through MIT-SHM; false or nothing for a
// window that is not X11's.
bool X11PaintMargin(SDL_Window* window, uint32_t pixel, const SDL_Rect* bands, int count);
bool X11BindSharedImage(SDL_Window* window, int width, int height, uint32_t*& pixels, int& pitch);
void X11PutSharedImage(const SDL_Rect* rects, int count, int left, int top);
void X11AwaitSharedPut();
void X11ReleaseSharedImage();
void X11StopSharedPresenting();
