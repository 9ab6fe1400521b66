// SPDX-License-Identifier: MIT
// Helpers shared by the game model and effect tests.
#pragma once
#include <cstdint>
#include <string>

#include "game/figure.h"
#include "runtime/colour.h"
#include "shell/display.h"
#include "shell/state.h"

// The 512 block colours in the game's own order (red slowest, blue fastest):
// which colour a draw picks depends on it. The shell fills the list when the
// display opens; the model only needs the values.
inline void FillTestPalette() {
  ListCreate(BlockColourList);
  FillBlockColourList(BlockColourList);
}

// The occupied part of a figure's box, top row first, rows joined by "/":
// an L reads "#./#./##".
inline std::string BoxPicture(const Figure* figure) {
  int lowRow = 4, highRow = -1, lowCol = 4, highCol = -1;
  for (int r = 0; r < 4; ++r) {
    for (int k = 0; k < 4; ++k) {
      if (!figure->cells[r][k]) continue;
      lowRow = r < lowRow ? r : lowRow;
      highRow = r > highRow ? r : highRow;
      lowCol = k < lowCol ? k : lowCol;
      highCol = k > highCol ? k : highCol;
    }
  }
  std::string picture;
  for (int r = lowRow; r <= highRow; ++r) {
    if (!picture.empty()) picture += '/';
    for (int k = lowCol; k <= highCol; ++k) picture += figure->cells[r][k] ? '#' : '.';
  }
  return picture;
}

inline int CellCount(const Figure* figure) {
  int count = 0;
  for (auto& row : figure->cells) {
    for (CellStyle* cell : row) count += cell != nullptr;
  }
  return count;
}
