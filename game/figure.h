// SPDX-License-Identifier: MIT
// Figures: up to sixteen cells in a 4 × 4 box, the shape catalogue, colours.
#pragma once
#include <algorithm>
#include <cstdint>

#include "game/cell.h"

struct Figure {
  CellStyle* cells[4][4];  // [row][column], row 0 at the top; null = empty
  uint8_t minCol;
  uint8_t maxCol;
  uint8_t minRow;
  uint8_t maxRow;
  uint8_t colSpan;
  uint8_t rowSpan;
  uint8_t pivotCol;
  uint8_t pivotRow;
  uint8_t type;
  int32_t colour;
  int16_t x;  // playfield column of the occupied box's left column
  int16_t y;  // playfield row of the occupied box's top row
};

extern KeyedMap<Figure*> FigureRegistry;  // every figure alive, under its IdentityKey

// Calls test(cell, column, row) for each cell in the figure's occupied box
// (its bounds are bytes: clipped to the 4 × 4 array, a damaged record can
// never send the walk past it),
// top row first and each row left to right, until a call returns true;
// column and row count from the box's top-left corner, where the figure's x
// and y lie. True when a call did.
template <typename Test>
bool AnyFigureCell(const Figure& figure, Test test) {
  for (int row = figure.minRow; row <= std::min<int>(figure.maxRow, 3); ++row) {
    for (int column = figure.minCol; column <= std::min<int>(figure.maxCol, 3); ++column) {
      CellStyle* cell = figure.cells[row][column];
      if (cell && test(cell, column - figure.minCol, row - figure.minRow)) return true;
    }
  }
  return false;
}

template <typename Visit>
void ForEachFigureCell(const Figure& figure, Visit visit) {
  AnyFigureCell(figure, [&](CellStyle* cell, int column, int row) {
    visit(cell, column, row);
    return false;
  });
}

Figure* CreateFigure(int32_t type, int32_t colour);
void ScatterCells(Figure* figure, int32_t n, int32_t colour);
void UpdateBounds(Figure* figure);
void DestroyFigure(Figure* figure);
int32_t RandomBlockColour();
void NudgeColour(Figure* figure, int32_t chance);

// Destroys every object of the previous game and zeroes the game state.
void ResetGame();
