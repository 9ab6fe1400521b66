// SPDX-License-Identifier: MIT
// The display scale's arithmetic: cell sides, window sizes, the Left key's
// step and its lower limit, fitting a window into the room a desktop leaves,
// and fullscreen's largest fitting cell. Pure: nothing here asks the window
// system anything.
#pragma once
#include <cstdint>

// One step of the scale option, and the limit it never steps down to. The
// limit is compared in double precision, as it always was: 0.5f less 0.1f is
// a little above 0.4 and still allowed.
constexpr float ScaleStep = 0.1f;
constexpr double LowestScale = 0.4;

// Scales below the limit are lifted once by a step, so that a cell never
// shrinks to a handful of pixels; 0.2 becomes 0.3, not 0.4.
float LiftSmallScale(float scale);
// The cell side at a scale, rounded (ties to even).
int16_t CellSide(int16_t baseCell, float scale);

// The window's client size at a scale: 38 × 39 cells whose side is the base
// cell times the scale (lifted as OpenDisplay lifts it), rounded.
void WindowSizeAt(int16_t baseCell, float scaleX, float scaleY, int32_t& width, int32_t& height);
bool WindowFits(int16_t baseCell, float scaleX, float scaleY, int32_t roomWidth, int32_t roomHeight);
// One step of the Left key: the scale less ScaleStep, or the scale unchanged
// where that would reach the lower limit.
float ScaleDown(float scale);
// The scale lowered in steps, as the Left key would lower it, until the
// window fits the room; never below the Left key's lower limit, even when the
// window then still does not fit.
float LowerScaleToFit(int16_t baseCell, float scale, int32_t roomWidth, int32_t roomHeight);

// A rectangle of the desktop, in the window system's pixels: a display's
// bounds, or a window's client area.
struct Area {
  int32_t x, y, width, height;
};
// The display that holds the window's centre, as an index into `displays`.
// A centre outside all of them (a window dragged mostly off the screens, or
// its display unplugged) takes the display nearest to it, the first of
// equally near ones; a display of no size holds nothing. -1 when no display
// has a size.
int DisplayHoldingWindow(const Area* displays, int count, const Area& window);

// The frame the window system draws around a window, and the room a window
// with that frame may take in a desktop's usable area. A frame measured as
// all 0 is one not known yet: the one learnt before stands.
struct WindowFrame {
  int top, left, bottom, right;
};
WindowFrame KnownFrame(const WindowFrame& learnt, const WindowFrame& measured);
void RoomForWindow(int32_t usableWidth, int32_t usableHeight, const WindowFrame& frame,
                   int32_t& width, int32_t& height);

// Where a display of `size` lies centred in `room`; at the edge when larger.
int32_t CentredOffset(int32_t room, int32_t size);

// Fullscreen on a desktop of width × height: the largest cell side at which
// the 38 × 39 cells fit (never below the Left key's lower limit), the scale
// that gives it, and the display's centred place.
struct FullscreenFit {
  int16_t cell;
  float scale;
  int32_t left;
  int32_t top;
};
FullscreenFit FitFullscreen(int16_t baseCell, int32_t width, int32_t height);
