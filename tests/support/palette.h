// SPDX-License-Identifier: MIT
// The block colours the game model draws from, for tests that run the model
// without opening the display.
#pragma once
#include <cstdint>

#include "render/display.h"
#include "shell/blocks.h"
#include "shell/state.h"
#include "tests/support/pixels.h"

// The 512 block colours in the game's own order (red slowest, blue fastest):
// which colour a draw picks depends on it. The shell fills the list when the
// display opens; the model only needs the values, so the tests take them from
// the shell's own FillBlockColourList rather than a list of their own.
inline void FillTestPalette() {
  ListCreate(BlockColourList);
  FillBlockColourList(BlockColourList);
}
