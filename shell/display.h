// SPDX-License-Identifier: MIT
// The window and screen at a display scale, the block sprites and the
// decorative background layer.
#pragma once
#include <cstdint>

#include "runtime/colour.h"
#include "runtime/containers.h"

struct ScreenState {
  uint8_t screenMode;  // 1 windowed screen, 2 fullscreen; 0 while none is open
  int32_t window;
  float scaleX;
  float scaleY;
  int16_t cellWidth;
  int16_t cellHeight;
  int16_t baseCell;
  int32_t columns;
  int32_t rows;
  int32_t width;
  int32_t height;
  int32_t left;  // where the display lies in its window: 0, 0 in a window,
  int32_t top;   // centred on the desktop in fullscreen
};

extern ScreenState screenState;

struct CellStyle;

// Made when a screen opens: the block sprites by key ("1" to "6" and the 512
// colour keys) and the colours behind them; the decorative background layer
// and the priorities a frame paints with, one more than the grid each way.
extern KeyedMap<int> SpriteTable;
extern OrderedList<uint32_t> BlockColourList;
extern Array2D<CellStyle*> BackgroundLayer;
extern Array2D<uint8_t> LayerPriority;

// The pale green-grey of the display: the faces and edges of the panel
// blocks, the brighter frame blocks, and the backdrop between the cells,
// which is the bright face.
constexpr uint32_t PaleFace = Rgb(179, 196, 179);
constexpr uint32_t PaleEdge = Rgb(168, 185, 168);
constexpr uint32_t BrightFace = Rgb(187, 204, 187);
constexpr uint32_t DarkEdge = Rgb(131, 143, 131);

constexpr uintptr_t TimerId = 109;
constexpr int16_t BaseCell = 16;  // pixels per cell at scale 1
constexpr uint8_t WindowedMode = 1;
constexpr uint8_t FullscreenMode = 2;

// Opens the windowed display (mode 1); any other mode returns the window open
// now and changes nothing: fullscreen is reached through EnterFullscreen.
int32_t OpenDisplay(uint8_t screenMode, int16_t baseCell, float scaleX, float scaleY,
                    bool createBackground);
// False when neither the new scale nor the previous one could be opened.
bool ReopenDisplay(float scaleX, float scaleY);
void FillBlockColourList(OrderedList<uint32_t>& list);
void MakeBlockSprites(KeyedMap<int>& table, OrderedList<uint32_t>& list, int width, int height);
void DrawBlockImage(int image, uint32_t colourA, uint32_t colourB);
uint32_t ScaleColour(uint32_t colour, float factor);
void FillBackgroundLayer();
void ZeroScreenState();

// The window's client size at a scale: 38 × 39 cells whose side is the base
// cell times the scale (lifted as OpenDisplay lifts it), rounded.
void WindowSizeAt(int16_t baseCell, float scaleX, float scaleY, int32_t& width, int32_t& height);
bool WindowFits(int16_t baseCell, float scaleX, float scaleY, int32_t roomWidth, int32_t roomHeight);
// One step of the Left key: the scale less ScaleStep, or the scale unchanged
// where that would reach the lower limit of 0.4.
constexpr float ScaleStep = 0.1f;
float ScaleDown(float scale);

// The scale lowered in steps of 0.1, as the Left key would lower it, until the
// window fits the room; never below the Left key's lower limit, even when the
// window then still does not fit.
float LowerScaleToFit(int16_t baseCell, float scale, int32_t roomWidth, int32_t roomHeight);

// The frame the window system draws around a window, and the room a window
// with that frame may take in a desktop's usable area. A frame measured as
// all 0 is one not known yet: the one learnt before stands.
struct WindowFrame {
  int top, left, bottom, right;
};
WindowFrame KnownFrame(const WindowFrame& learnt, const WindowFrame& measured);
void RoomForWindow(int32_t usableWidth, int32_t usableHeight, const WindowFrame& frame,
                   int32_t& width, int32_t& height);

// The same rules against the desktop the window opens on: its usable area less
// the frame around the window open now. Both answer as if the room were
// unlimited when the desktop cannot tell its size.
bool ScaleFitsDesktop(float scaleX, float scaleY);
float FitStartScale(float scale);

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

// F11: fullscreen on the desktop the window is on at the largest scale that
// fits, or back to the window at the scale and place it had. Both rebuild the
// display as a scale change does; false when no display could be opened.
bool EnterFullscreen();
bool LeaveFullscreen();
// Fullscreen the window manager asked for: as F11, but the window goes back
// to where it was opened, its own place being the desktop's corner by now.
bool FollowWindowManagerFullscreen();
bool ToggleFullscreen();
