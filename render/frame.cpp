// SPDX-License-Identifier: MIT
#include "render/frame.h"

#include <utility>

#include "game/cell.h"
#include "play/effects.h"
#include "render/label.h"
#include "runtime/clock.h"
#include "runtime/screen.h"
#include "runtime/text.h"
#include "render/display.h"
#include "game/state.h"

constexpr uint32_t BackdropColour = BrightFace;

void CreateFrameGrid(FrameGrid& grid) {
  Array2DCreate(grid, screenState.columns + 1, screenState.rows + 1);
}

void PaintCell(FrameGrid& grid, int32_t x, int32_t y, CellStyle* style, uint8_t priority) {
  if (x < 0 || y < 0 || x > screenState.columns || y > screenState.rows) return;
  CellStyle** cell = Array2DAt(grid, x, y);
  if (!cell) return;
  // LayerPriority is never cleared: a stale value only counts where this
  // frame has already put something.
  uint8_t* stored = Array2DAt(LayerPriority, x, y);
  if (*cell && stored && priority < *stored) return;
  *cell = style;
  if (stored) *stored = priority;
}

// Puts the corners in order and clips them to the grid.
static void OrderAndClip(int32_t& x1, int32_t& y1, int32_t& x2, int32_t& y2) {
  if (x1 > x2) std::swap(x1, x2);
  if (y1 > y2) std::swap(y1, y2);
  if (x1 < 0) x1 = 0;
  if (y1 < 0) y1 = 0;
  if (x2 > screenState.columns) x2 = screenState.columns;
  if (y2 > screenState.rows) y2 = screenState.rows;
}

void PaintRect(FrameGrid& grid, int32_t x1, int32_t y1, int32_t x2, int32_t y2, CellStyle* style,
               uint8_t priority) {
  OrderAndClip(x1, y1, x2, y2);
  for (int32_t y = y1; y <= y2; ++y) {
    for (int32_t x = x1; x <= x2; ++x) PaintCell(grid, x, y, style, priority);
  }
}

void PaintOutline(FrameGrid& grid, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                  CellStyle* style, uint8_t priority) {
  OrderAndClip(x1, y1, x2, y2);
  for (int32_t y = y1; y <= y2; ++y) {
    PaintCell(grid, x1, y, style, priority);
    PaintCell(grid, x2, y, style, priority);
  }
  for (int32_t x = x1; x <= x2; ++x) {
    PaintCell(grid, x, y1, style, priority);
    PaintCell(grid, x, y2, style, priority);
  }
}

static void DrawCell(const CellStyle* style, int32_t x, int32_t y) {
  const EffectRecord* effect = style->effect;
  const std::string& key =
      effect && effect->shiftActive ? effect->shownKey : style->spriteKey;
  const int* found = MapFind(SpriteTable, key);
  if (!found || !*found) return;
  const int sprite = *found;

  const int16_t cellWidth = screenState.cellWidth;
  const int16_t cellHeight = screenState.cellHeight;
  int px = x * cellWidth;
  int py = y * cellHeight;

  uint8_t alpha = style->alpha ? style->alpha : 255;
  if (effect) {
    if (effect->overrideActive) alpha = effect->overrideAlpha;
    if (effect->blinkActive && effect->blinkVisible == 0) alpha = 0;
  }
  if (alpha == 0) return;

  const bool zoomed = effect && effect->scaleActive;
  if (zoomed) {
    const float w = static_cast<float>(cellWidth) * effect->scale;
    const float h = static_cast<float>(cellHeight) * effect->scale;
    SetSpriteSize(sprite, static_cast<int>(RoundEven(w)), static_cast<int>(RoundEven(h)));
    px = static_cast<int>(RoundEven(static_cast<float>(px) + (cellWidth - w) * 0.5f));
    py = static_cast<int>(RoundEven(static_cast<float>(py) + (cellHeight - h) * 0.5f));
  }
  const bool turned = effect && effect->spinActive;
  if (turned) SetSpriteAngle(sprite, effect->angle, 0);

  DrawSpriteBlended(sprite, px, py, alpha);

  // Every cell of a kind shares one sprite: leave it as the next cell expects.
  if (zoomed) SetSpriteSize(sprite, cellWidth, cellHeight);
  if (turned) SetSpriteAngle(sprite, 0.0f, 0);
}

// Centres a length on a cell side; each step rounds as the screen always has.
static int Centred(int start, int cellSide, int length) {
  const int64_t middle = RoundEven(start + cellSide * 0.5);
  return static_cast<int>(RoundEven(middle - length * 0.5));
}

static void DrawLabel(const TextLabel* label, int64_t now) {
  if (!label->sprite || !label->alpha) return;
  const int16_t cellWidth = screenState.cellWidth;
  const int16_t cellHeight = screenState.cellHeight;
  int x = label->x * cellWidth;
  int y = label->y * cellHeight;

  // Labels decide from the end times themselves, against this frame's clock
  // reading, not from the flags of the last advance.
  uint8_t alpha = label->alpha;
  if (const EffectRecord* effect = label->effect) {
    if (EffectRunning(now, effect->overrideEnd)) alpha = effect->overrideAlpha;
    if (EffectRunning(now, effect->blinkEnd) && effect->blinkVisible == 0) alpha = 0;
  }
  if (alpha == 0) return;

  if (label->align & AlignRight) {
    x = x + cellWidth - label->spriteWidth;
  } else if (!(label->align & AlignLeft)) {
    x = Centred(x, cellWidth, label->spriteWidth);
  }
  if (label->align & AlignTop) {
    // the top edge stays on the cell's top edge
  } else if (label->align & AlignBottom) {
    y = y + cellHeight - label->spriteHeight;
  } else {
    y = Centred(y, cellHeight, label->spriteHeight);
  }
  DrawSpriteTinted(label->sprite, x, y, alpha, label->colour);
}

void DrawScreen(FrameGrid& grid, const LabelList& labels) {
  const int64_t now = ReadClock();
  if (screenState.screenMode == 0) return;  // no screen open
  ClearFrame(BackdropColour);

  for (int32_t y = 0; y <= screenState.rows; ++y) {
    for (int32_t x = 0; x <= screenState.columns; ++x) {
      CellStyle** painted = Array2DAt(grid, x, y);
      CellStyle* style = painted ? *painted : nullptr;
      if (!style) {
        CellStyle** background = Array2DAt(BackgroundLayer, x, y);
        style = background ? *background : nullptr;
      }
      if (style) DrawCell(style, x, y);
    }
  }

  for (TextLabel* label : labels) {
    if (!label) continue;
    UpdateLabel(label);
    DrawLabel(label, now);
  }
  PresentFrame();
  RefreshStaleLabels();  // with the picture already on screen
}
