// SPDX-License-Identifier: MIT
// Bringing every global back to zero (the game state itself is in
// game/state.h). The shared containers and the fixed cell styles
// are declared with the records they hold; they too are defined in
// shell/state.cpp, zeroed there, and owned for the whole run.
#pragma once
#include <cstdint>

#include "game/state.h"

// Start-up steps 1 to 7 without the platform: every global of every
// subsystem back to zero, containers created, fixed styles set. Tests call
// this to start each case from a fresh program.
void ZeroGlobalState();
