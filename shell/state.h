// SPDX-License-Identifier: MIT
// The program's global state: the game state, the shared containers and the
// fixed cell styles. Everything here starts at zero and is owned for the
// whole run.
#pragma once
#include <cstdint>

#include "game/cell.h"
#include "play/effects.h"
#include "play/player.h"
#include "render/glyphs.h"
#include "runtime/containers.h"

struct TextLabel;

enum Mode : uint8_t { Menu = 0, Game = 1, Quit = 2 };

struct GameState {
  Player players[2];
  uint8_t playerCount;  // 0 no game, 1 or 2
  uint8_t mode;         // Menu, Game or Quit
  int64_t now;          // time of the current tick; every game timer compares with it
};

extern GameState gameState;

// Shared containers.
extern KeyedMap<X16FILE> GlyphTable;
extern KeyedMap<int> SpriteTable;  // sprite numbers: "1" to "6" and the 512 colour keys
extern OrderedList<uint32_t> BlockColourList;
extern OrderedList<EffectRecord> EffectList;
extern KeyedMap<CellStyle*> CellStyleRegistry;
extern KeyedMap<TextLabel*> TextLabelMap;
extern KeyedMap<Figure*> FigureRegistry;
extern Array2D<CellStyle*> BackgroundLayer;
extern Array2D<uint8_t> LayerPriority;

// Fixed cell styles.
extern CellStyle Kind2Alpha127;
extern CellStyle Kind3Alpha64;
extern CellStyle Kind3Alpha255;
extern CellStyle Kind4Alpha255;
extern CellStyle Kind3Alpha222;
extern CellStyle Kind4Alpha222;
extern CellStyle MenuFrameStyle;
extern CellStyle MenuCursorStyle;

// Zeroes the game state (both players, count, mode, time): the record
// `ResetGame` and start-up begin from.
void ZeroGameState();

// Start-up steps 1 to 7 without the platform: every global of every
// subsystem back to zero, containers created, fixed styles set. Tests call
// this to start each case from a fresh program.
void ZeroGlobalState();
