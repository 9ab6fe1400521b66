// SPDX-License-Identifier: MIT
// What Wayland's own file (wayland.cpp) offers the Linux side of
// runtime/native.h (posix.cpp), beside X11's (x11.h). Each procedure answers
// false or does nothing for a window on another window system, so the Linux
// side asks X11 first and Wayland next. Nothing else includes this header.
#pragma once
#include <cstdint>

struct SDL_Window;
struct SDL_Rect;

// native.h's AskFullscreenBeforeShowing: the window is made fullscreen as
// SDL first shows it.
bool WaylandAskFullscreenBeforeShowing(SDL_Window* window);

// Destroys a window SDL made on Wayland; false, and nothing done, for
// another window system's.
bool WaylandDestroyWindow(SDL_Window* window);

// Shared presenting (native.h), done with buffers of the compositor's shared
// memory (wl_shm) attached to the surface SDL made for the window.
bool WaylandPaintMargin(SDL_Window* window, uint32_t pixel, const SDL_Rect* bands, int count);
bool WaylandBindSharedImage(SDL_Window* window, int width, int height, uint32_t*& pixels, int& pitch);
void WaylandPutSharedImage(const SDL_Rect* rects, int count, int left, int top);
void WaylandReleaseSharedImage();
void WaylandStopSharedPresenting();  // and the window kept by WaylandDestroyWindow
// Whether the window is on a Wayland display.
bool IsWaylandWindow(SDL_Window* window);
