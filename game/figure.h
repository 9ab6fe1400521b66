// SPDX-License-Identifier: MIT
// Figures: up to sixteen cells in a 4 × 4 box, the shape catalogue, colours.
#pragma once
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

Figure* CreateFigure(int32_t type, int32_t colour);
void ScatterCells(Figure* figure, int32_t n, int32_t colour);
void UpdateBounds(Figure* figure);
void DestroyFigure(Figure* figure);
int32_t RandomBlockColour();
void NudgeColour(Figure* figure, int32_t chance);

// Destroys every object of the previous game and zeroes the game state.
void ResetGame();
