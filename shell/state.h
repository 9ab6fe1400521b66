// SPDX-License-Identifier: MIT
// The program's global state: the game state, and the procedures that bring
// every global back to zero. The shared containers and the fixed cell styles
// are declared with the records they hold; they too are defined in
// shell/state.cpp, zeroed there, and owned for the whole run.
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

// Start-up steps 1 to 7 without the platform: every global of every
// subsystem back to zero, containers created, fixed styles set. Tests call
// this to start each case from a fresh program.
void ZeroGlobalState();
