// SPDX-License-Identifier: MIT
// The game screen: one or two playfields with their frames, falling figures,
// next-figure boxes and name patterns, and the game's labels.
#include "render/frame.h"
#include "render/label.h"
#include "render/screens.h"
#include "runtime/clock.h"
#include "render/display.h"
#include "game/state.h"

// Who wins a cell where two items meet; 5 is left free.
constexpr uint8_t FieldPriority = 1;
constexpr uint8_t FallingPriority = 2;
constexpr uint8_t OuterFramePriority = 3;
constexpr uint8_t InnerFramePriority = 4;
constexpr uint8_t PatternPriority = 6;
constexpr uint8_t BoxPriority = 7;
constexpr uint8_t NextFigurePriority = 8;

// Where one player's field and next-figure box lie, in screen cells.
struct FieldLayout {
  int32_t left;
  int32_t right;
  int32_t top;
  int32_t bottom;
  int32_t boxLeft;  // the 4 × 4 box below the field
  int32_t boxTop;
};

static FieldLayout LayOut(const Playfield& field, int playerIndex, int drawnPlayers) {
  const int32_t span = field.colSpan;
  const int32_t middle = screenState.columns / 2;
  FieldLayout layout{};
  if (drawnPlayers == 1) {
    layout.left = middle - (span + 2) / 2;
  } else if (playerIndex == 0) {
    layout.left = middle - 2 - span;
  } else {
    layout.left = middle + 1;
  }
  layout.right = layout.left + span;
  layout.top = 7;
  layout.bottom = layout.top + field.rowSpan;
  layout.boxLeft = layout.left + (layout.right - layout.left) / 2 - 1;
  layout.boxTop = layout.bottom + 2;
  return layout;
}

static void PaintField(FrameGrid& grid, const Playfield& field, const FieldLayout& at) {
  for (int32_t r = field.minRow; r <= field.maxRow; ++r) {
    for (int32_t k = field.minCol; k <= field.maxCol; ++k) {
      CellStyle* cell = field.cells[r][k];
      PaintCell(grid, at.left + k - field.minCol, at.top + r - field.minRow,
                cell ? cell : &Kind2Alpha127, FieldPriority);
    }
  }
}

static void PaintFrames(FrameGrid& grid, const FieldLayout& at) {
  PaintOutline(grid, at.left - 2, at.top - 2, at.right + 2, at.boxTop + 4, &Kind3Alpha255,
               OuterFramePriority);
  PaintOutline(grid, at.left - 1, at.top - 1, at.right + 1, at.bottom + 1, &Kind4Alpha255,
               InnerFramePriority);
}

// The parts of a figure above the first visible row stay hidden.
static void PaintFalling(FrameGrid& grid, const Playfield& field, const Figure& figure,
                         const FieldLayout& at) {
  ForEachFigureCell(figure, [&](CellStyle* cell, int k, int r) {
    const int32_t x = at.left + (figure.x - field.minCol) + k;
    const int32_t y = at.top + (figure.y - field.minRow) + r;
    if (x < at.left || x > at.right || y < at.top || y > at.bottom) return;
    PaintCell(grid, x, y, cell, FallingPriority);
  });
}

// Narrow figures are shifted right so that they sit in the middle of the box.
static void PaintNext(FrameGrid& grid, const Figure& figure, const FieldLayout& at) {
  ForEachFigureCell(figure, [&](CellStyle* cell, int k, int r) {
    PaintCell(grid, at.boxLeft + k - figure.colSpan / 2 + 1, at.boxTop + r, cell,
              NextFigurePriority);
  });
}

// The name's 64 bits, row by row across the width of the inner frame; the
// box and the next figure cover its middle.
static void PaintNamePattern(FrameGrid& grid, uint64_t pattern, int playerIndex,
                             const FieldLayout& at) {
  CellStyle* setStyle = playerIndex == 0 ? &Kind3Alpha222 : &Kind4Alpha222;
  CellStyle* clearStyle = playerIndex == 0 ? &Kind4Alpha222 : &Kind3Alpha222;
  int bit = 0;
  for (int32_t y = at.boxTop; y <= at.boxTop + 3; ++y) {
    for (int32_t x = at.left - 1; x <= at.right + 1; ++x) {
      const bool set = (pattern >> bit) & 1u;
      PaintCell(grid, x, y, set ? setStyle : clearStyle, PatternPriority);
      bit = (bit + 1) % 64;
    }
  }
}

int64_t DrawGameScreen() {
  const int64_t start = ReadClock();
  FrameGrid grid;
  CreateFrameGrid(grid);
  LabelList labels;

  const int drawn = gameState.playerCount == 1 || gameState.playerCount == 2
                        ? gameState.playerCount
                        : 0;
  FieldLayout layouts[2]{};
  for (int i = 0; i < drawn; ++i) layouts[i] = LayOut(gameState.players[i].field, i, drawn);

  for (int i = 0; i < drawn; ++i) PaintField(grid, gameState.players[i].field, layouts[i]);
  for (int i = 0; i < drawn; ++i) PaintFrames(grid, layouts[i]);
  for (int i = 0; i < drawn; ++i) {
    const Player& player = gameState.players[i];
    if (player.current) PaintFalling(grid, player.field, *player.current, layouts[i]);
  }
  for (int i = 0; i < drawn; ++i) {
    const Player& player = gameState.players[i];
    if (player.next) PaintNext(grid, *player.next, layouts[i]);
  }
  for (int i = 0; i < drawn; ++i) {
    if (!gameState.players[i].current) continue;
    const FieldLayout& at = layouts[i];
    PaintRect(grid, at.boxLeft, at.boxTop, at.boxLeft + 3, at.boxTop + 3, &Kind3Alpha64,
              BoxPriority);
  }
  for (int i = 0; i < drawn; ++i) {
    const Player& player = gameState.players[i];
    if (player.next) PaintNamePattern(grid, player.namePattern, i, layouts[i]);
  }

  MapReset(TextLabelMap);
  while (TextLabel** label = MapNext(TextLabelMap)) {
    if (*label && (*label)->layer == GameLabelLayer) labels.push_back(*label);
  }

  DrawScreen(grid, labels);
  return ReadClock() - start;
}
