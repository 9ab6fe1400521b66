// SPDX-License-Identifier: MIT
// The playfield: settled cells, bounds, moves, rotation, locking, full rows.
#pragma once
#include <cstdint>

#include "game/figure.h"

struct Playfield {
  CellStyle* cells[256][256];  // [row][column]; owned by the playfield
  uint8_t minCol;
  uint8_t maxCol;
  uint8_t minRow;
  uint8_t maxRow;
  uint8_t colSpan;
  uint8_t rowSpan;
};

constexpr int32_t KeepCoordinate = -65535;

bool SetupPlayfield(Playfield& field, int32_t width, int32_t height);
bool OutOfField(const Figure* figure, const Playfield& field, int32_t x, int32_t y);
bool Collides(const Figure* figure, const Playfield& field, int32_t x, int32_t y);
bool TryMove(Playfield& field, Figure* figure, int32_t x, int32_t y, bool force);
bool IsResting(const Figure* figure, const Playfield& field);
void LockFigure(Playfield& field, Figure* figure);
void RotateCells(const Figure* source, Figure* target);
bool RotateFigure(Playfield& field, Figure* figure, bool noCheck, bool keepInside, bool keepPivot);
void RotateTimes(Playfield& field, Figure* figure, int32_t n, bool noCheck, bool keepInside,
                 bool keepPivot);
int32_t ClearFullRows(Playfield& field, int32_t mode);
