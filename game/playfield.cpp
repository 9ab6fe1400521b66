// SPDX-License-Identifier: MIT
#include "game/playfield.h"

#include "game/cell.h"

namespace {

constexpr int GridSize = 256;

bool InsideGrid(int row, int column) {
  return row >= 0 && column >= 0 && row < GridSize && column < GridSize;
}

// The settled cell at (row, column); positions outside the grid hold none.
CellStyle* GridCell(const Playfield& field, int row, int column) {
  return InsideGrid(row, column) ? field.cells[row][column] : nullptr;
}

}  // namespace

bool SetupPlayfield(Playfield& field, int32_t width, int32_t height) {
  if (width < 1 || width > 255 || height < 1 || height + 2 > 255) return false;
  field.colSpan = static_cast<uint8_t>(width - 1);
  field.rowSpan = static_cast<uint8_t>(height - 1);
  field.minCol = 0;
  field.maxCol = static_cast<uint8_t>(width - 1);
  field.minRow = 2;  // rows 0 and 1 lie above the visible field
  field.maxRow = static_cast<uint8_t>(height + 1);
  return true;
}

bool OutOfField(const Figure* figure, const Playfield& field, int32_t x, int32_t y) {
  if (!figure) return true;
  return x < 0 || y < 0 || x + figure->colSpan > field.maxCol ||
         y + figure->rowSpan > field.maxRow;
}

bool Collides(const Figure* figure, const Playfield& field, int32_t x, int32_t y) {
  if (!figure) return false;
  return AnyFigureCell(*figure, [&](CellStyle*, int k, int r) {
    const int column = x + k, row = y + r;
    return column < 0 || row < 0 || GridCell(field, row, column) != nullptr;
  });
}

bool TryMove(Playfield& field, Figure* figure, int32_t x, int32_t y, bool force) {
  if (!figure) return false;
  if (x == KeepCoordinate && y == KeepCoordinate) return false;
  if (x == KeepCoordinate) x = figure->x;
  if (y == KeepCoordinate) y = figure->y;
  if (OutOfField(figure, field, x, y)) return false;
  if (!force && Collides(figure, field, x, y)) return false;
  figure->x = static_cast<int16_t>(x);
  figure->y = static_cast<int16_t>(y);
  return true;
}

bool IsResting(const Figure* figure, const Playfield& field) {
  if (!figure) return false;
  return AnyFigureCell(*figure, [&](CellStyle*, int k, int r) {
    const int below = figure->y + r + 1, column = figure->x + k;
    return below > field.maxRow || GridCell(field, below, column) != nullptr;
  });
}

void LockFigure(Playfield& field, Figure* figure) {
  if (!figure) return;
  ForEachFigureCell(*figure, [&](CellStyle* cell, int k, int r) {
    const int row = figure->y + r, column = figure->x + k;
    // Every position reached through TryMove is inside; a figure placed
    // by hand somewhere else simply leaves nothing behind off the grid.
    if (!InsideGrid(row, column)) return;
    CellStyle*& target = field.cells[row][column];
    if (target) DestroyCellStyle(target);
    target = CopyCellStyle(cell);
  });
}

void RotateCells(const Figure* source, Figure* target) {
  if (!source || !target) return;
  // Read from a copy so rotating a figure onto itself also works.
  CellStyle* box[4][4];
  for (int r = 0; r < 4; ++r) {
    for (int k = 0; k < 4; ++k) box[r][k] = source->cells[r][k];
  }
  for (int r = 0; r < 4; ++r) {
    for (int k = 0; k < 4; ++k) target->cells[r][k] = box[3 - k][r];
  }
  UpdateBounds(target);
}

bool RotateFigure(Playfield& field, Figure* figure, bool noCheck, bool keepInside,
                  bool keepPivot) {
  if (!figure) return false;
  Figure trial = *figure;
  RotateCells(figure, &trial);
  trial.pivotCol = figure->pivotRow;
  trial.pivotRow = figure->pivotCol;

  int x = trial.x;
  int y = trial.y;
  if (keepPivot) {
    x = figure->x + figure->pivotCol - trial.pivotCol;
    y = figure->y + figure->pivotRow - trial.pivotRow;
  }

  if (!noCheck) {
    if (keepInside) {
      // Only the column is pushed back from a wall, never the row.
      if (x < 0) x = 0;
      if (x + trial.colSpan > field.colSpan) x = field.colSpan - trial.colSpan;
    }
    if (OutOfField(&trial, field, x, y) || Collides(&trial, field, x, y)) return false;
  } else {
    // A figure not yet in play is only kept roughly inside; it is placed
    // afresh when it enters the field.
    if (x < 0) x = 0;
    if (y < 0) y = 0;
    if (x + trial.colSpan > field.colSpan) x = field.colSpan - trial.colSpan;
    if (y + trial.rowSpan > field.rowSpan) y = field.rowSpan - trial.rowSpan;
  }
  trial.x = static_cast<int16_t>(x);
  trial.y = static_cast<int16_t>(y);
  *figure = trial;
  return true;
}

void RotateTimes(Playfield& field, Figure* figure, int32_t n, bool noCheck, bool keepInside,
                 bool keepPivot) {
  for (int32_t turn = 0; turn < n; ++turn) RotateFigure(field, figure, noCheck, keepInside, keepPivot);
}

int32_t ClearFullRows(Playfield& field, int32_t mode) {
  int32_t count = 0;
  for (int r = 0; r <= field.maxRow; ++r) {
    int filled = 0;
    for (int c = field.minCol; c <= field.maxCol && field.cells[r][c]; ++c) ++filled;
    if (filled != field.colSpan + 1) continue;
    ++count;
    if (mode != 0 && mode != 1) continue;  // other modes only count

    for (int c = field.minCol; c <= field.maxCol; ++c) {
      DestroyCellStyle(field.cells[r][c]);
      field.cells[r][c] = nullptr;
    }
    if (mode == 0) {
      // Everything above drops one row; the cells keep their identity.
      for (int q = r; q >= 1; --q) {
        for (int c = field.minCol; c <= field.maxCol; ++c) {
          field.cells[q][c] = field.cells[q - 1][c];
          field.cells[q - 1][c] = nullptr;
        }
      }
    }
  }
  return count;
}
