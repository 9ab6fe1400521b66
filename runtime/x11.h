// SPDX-License-Identifier: MIT
// What X11's own files share (x11.cpp, x11_window.cpp), which implement
// runtime/native.h on Linux. Nothing else includes this header.
#pragma once
struct SDL_Window;
typedef struct _XDisplay Display;  // as Xlib declares it, so that this header needs no Xlib

// The window's X display and X window (an Xlib Window); false on another
// window system.
bool X11Handles(SDL_Window* window, Display*& display, unsigned long& xWindow);
