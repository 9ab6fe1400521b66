// SPDX-License-Identifier: MIT
// The display every screen draws on: its geometry at the current scale, the
// block sprites and the colours behind them, the decorative background layer
// with the priorities a frame paints by, and the display's fixed greys. The
// shell opens the display and fills these; everything that draws reads them.
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

constexpr int16_t BaseCell = 16;  // pixels per cell at scale 1
constexpr int32_t GridColumns = 38;
constexpr int32_t GridRows = 39;
constexpr uint8_t WindowedMode = 1;
constexpr uint8_t FullscreenMode = 2;
