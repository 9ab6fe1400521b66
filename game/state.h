// SPDX-License-Identifier: MIT
// The game state: both players, how many play, the mode and the tick's time.
// Every subsystem above the runtime reads it; shell/state.cpp defines it and
// brings it back to zero with every other global.
#pragma once
#include <cstdint>

#include "play/player.h"

enum Mode : uint8_t { Menu = 0, Game = 1, Quit = 2 };

struct GameState {
  Player players[2];
  uint8_t playerCount;  // 0 no game, 1 or 2
  uint8_t mode;         // Menu, Game or Quit
  int64_t now;          // time of the current tick; every game timer compares with it
};

extern GameState gameState;

// Zeroes the game state (both players, count, mode, time): the record
// `ResetGame` and start-up begin from.
void ZeroGameState();
