// SPDX-License-Identifier: MIT
// Helpers shared by the game model and effect tests: reading a figure's box,
// and (through palette.h) the block colours.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "game/figure.h"
#include "tests/support/palette.h"

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

// A figure's box picture, spans and pivots, as a row of a test's table gives them.
struct FigureShape {
  const char* picture;
  int colSpan, rowSpan, pivotCol, pivotRow;
};

inline void ExpectShape(const Figure* figure, const FigureShape& shape) {
  EXPECT_EQ(BoxPicture(figure), shape.picture);
  EXPECT_EQ(figure->colSpan, shape.colSpan) << shape.picture;
  EXPECT_EQ(figure->rowSpan, shape.rowSpan) << shape.picture;
  EXPECT_EQ(figure->pivotCol, shape.pivotCol) << shape.picture;
  EXPECT_EQ(figure->pivotRow, shape.pivotRow) << shape.picture;
}

inline int CellCount(const Figure* figure) {
  int count = 0;
  for (auto& row : figure->cells) {
    for (CellStyle* cell : row) count += cell != nullptr;
  }
  return count;
}
