// SPDX-License-Identifier: MIT
#include "shell/state.h"

#include "game/cell.h"
#include "game/figure.h"
#include "menu/menu.h"
#include "play/effects.h"
#include "play/keys.h"
#include "render/glyphs.h"
#include "render/label.h"
#include "runtime/random.h"
#include "shell/display.h"
#include "shell/tick.h"

GameState gameState;
ScreenState screenState;

KeyedMap<X16FILE> GlyphTable;
KeyedMap<int> SpriteTable;
OrderedList<uint32_t> BlockColourList;
OrderedList<EffectRecord> EffectList;
KeyedMap<CellStyle*> CellStyleRegistry;
KeyedMap<TextLabel*> TextLabelMap;
KeyedMap<Figure*> FigureRegistry;
Array2D<CellStyle*> BackgroundLayer;
Array2D<uint8_t> LayerPriority;

CellStyle Kind2Alpha127;
CellStyle Kind3Alpha64;
CellStyle Kind3Alpha255;
CellStyle Kind4Alpha255;
CellStyle Kind3Alpha222;
CellStyle Kind4Alpha222;
CellStyle MenuFrameStyle;
CellStyle MenuCursorStyle;

// A zeroed record to copy from: GameState holds two 256 × 256 grids, too
// large to build as a temporary on the stack every time.
static const GameState zeroGameState{};

void ZeroGameState() { gameState = zeroGameState; }

static void SetFixedStyle(CellStyle& style, int32_t kind, uint8_t alpha) {
  style = CellStyle{};
  SetCellKind(&style, kind);
  style.alpha = alpha;
}

void ZeroGlobalState() {
  ZeroGameState();
  ZeroTickState();
  ZeroScreenState();
  ZeroGlyphState();
  ZeroLabelState();
  ResetRandom();
  FailNextAllocations(0);  // one test's injected shortage must not reach the next
  keyBindingTable = KeyBindingTable{};

  MapCreate(GlyphTable);
  InitMenuState();
  MapCreate(SpriteTable);
  ListCreate(BlockColourList);
  ListCreate(EffectList);
  MapCreate(CellStyleRegistry);
  MapCreate(TextLabelMap);
  MapCreate(FigureRegistry);
  Array2DCreate(BackgroundLayer, 1, 1);
  Array2DCreate(LayerPriority, 1, 1);

  SetFixedStyle(Kind2Alpha127, 2, 127);
  SetFixedStyle(Kind3Alpha64, 3, 64);
  SetFixedStyle(Kind3Alpha255, 3, 255);
  SetFixedStyle(Kind4Alpha255, 4, 255);
  SetFixedStyle(Kind3Alpha222, 3, 222);
  SetFixedStyle(Kind4Alpha222, 4, 222);
  SetFixedStyle(MenuFrameStyle, 4, 192);
  SetFixedStyle(MenuCursorStyle, 3, 192);
}
