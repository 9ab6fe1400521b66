// SPDX-License-Identifier: MIT
#include "game/figure.h"

#include <new>

#include "runtime/random.h"
#include "render/display.h"

namespace {

struct BoxPosition {
  int row;
  int column;
};

struct Shape {
  int count;
  BoxPosition cells[5];
};

// The fixed shapes, types 1 to 9, as box positions (row, column).
const Shape shapeCatalogue[9] = {
    {4, {{0, 0}, {1, 0}, {2, 0}, {2, 1}}},          // 1 L
    {4, {{0, 1}, {1, 1}, {2, 0}, {2, 1}}},          // 2 J
    {4, {{0, 0}, {0, 1}, {1, 0}, {1, 1}}},          // 3 square
    {4, {{0, 1}, {1, 1}, {2, 1}, {3, 1}}},          // 4 bar of four, upright
    {4, {{0, 0}, {1, 0}, {1, 1}, {2, 1}}},          // 5 S, upright
    {4, {{0, 1}, {1, 0}, {1, 1}, {2, 0}}},          // 6 Z, upright
    {4, {{0, 0}, {0, 1}, {0, 2}, {1, 1}}},          // 7 T, stem down
    {1, {{0, 0}}},                                  // 8 single cell
    {5, {{0, 0}, {0, 1}, {0, 2}, {1, 1}, {2, 1}}},  // 9 T of five
};

constexpr int32_t FirstScatterType = 11;
constexpr int32_t LastScatterType = 26;

// Puts a fresh game cell of the given colour into the box. False when the
// cell could not be allocated.
bool PlaceCell(Figure* figure, int row, int column, int32_t colour) {
  CellStyle* cell = CreateCellStyle(GameCellTag);
  if (!cell) return false;
  figure->cells[row][column] = cell;
  SetCellKind(cell, colour);
  return true;
}

bool HasCells(const Figure* figure) {
  for (auto& row : figure->cells) {
    for (const CellStyle* cell : row) {
      if (cell) return true;
    }
  }
  return false;
}

}  // namespace

Figure* CreateFigure(int32_t type, int32_t colour) {
  Figure* figure = AllocationFails() ? nullptr : new (std::nothrow) Figure{};
  if (!figure) return nullptr;
  MapAddOrFind(FigureRegistry, IdentityKey(figure)) = figure;

  if (type >= 1 && type <= 9) {
    const Shape& shape = shapeCatalogue[type - 1];
    for (int n = 0; n < shape.count; ++n) {
      if (!PlaceCell(figure, shape.cells[n].row, shape.cells[n].column, colour)) {
        // Out of memory: a half-built figure is of no use to anyone.
        DestroyFigure(figure);
        return nullptr;
      }
    }
  } else if (type >= FirstScatterType && type <= LastScatterType) {
    ScatterCells(figure, type - 10, colour);
    if (!HasCells(figure)) {
      // Every placement ran out of memory. An empty figure in play would
      // fall to the floor and never lock, so there is no figure at all.
      DestroyFigure(figure);
      return nullptr;
    }
  } else {
    return figure;  // unknown type: registered, empty, every field 0
  }

  UpdateBounds(figure);
  figure->pivotCol = static_cast<uint8_t>(figure->colSpan / 2 + 1);
  figure->pivotRow = static_cast<uint8_t>(figure->rowSpan / 2 + 1);
  figure->type = static_cast<uint8_t>(type);
  figure->colour = colour;
  return figure;
}

void ScatterCells(Figure* figure, int32_t n, int32_t colour) {
  if (!figure) return;
  for (int32_t placement = 0; placement < n; ++placement) {
    int column = static_cast<int>(RandomInt(0, 3));
    int row = static_cast<int>(RandomInt(0, 3));
    CellStyle*& slot = figure->cells[row][column];
    if (slot) {
      DestroyCellStyle(slot);
      slot = nullptr;
    }
    // A failed allocation leaves the position empty; the remaining
    // placements still draw, so the random sequence stays the same.
    PlaceCell(figure, row, column, colour);
  }
}

void UpdateBounds(Figure* figure) {
  if (!figure) return;
  int lowCol = -1, highCol = -1, lowRow = -1, highRow = -1;
  for (int row = 0; row < 4; ++row) {
    for (int column = 0; column < 4; ++column) {
      if (!figure->cells[row][column]) continue;
      if (lowCol == -1 || column < lowCol) lowCol = column;
      if (column > highCol) highCol = column;
      if (lowRow == -1) lowRow = row;
      highRow = row;
    }
  }
  // An empty box keeps its previous bounds.
  if (lowCol != -1) figure->minCol = static_cast<uint8_t>(lowCol);
  if (highCol != -1) figure->maxCol = static_cast<uint8_t>(highCol);
  if (lowRow != -1) figure->minRow = static_cast<uint8_t>(lowRow);
  if (highRow != -1) figure->maxRow = static_cast<uint8_t>(highRow);
  figure->colSpan = static_cast<uint8_t>(figure->maxCol - figure->minCol);
  figure->rowSpan = static_cast<uint8_t>(figure->maxRow - figure->minRow);
}

void DestroyFigure(Figure* figure) {
  if (!figure) return;
  const std::string key = IdentityKey(figure);
  if (!MapFind(FigureRegistry, key)) return;
  for (auto& row : figure->cells) {
    for (CellStyle*& cell : row) {
      if (cell) DestroyCellStyle(cell);
      cell = nullptr;
    }
  }
  MapRemove(FigureRegistry, key);
  delete figure;
}

int32_t RandomBlockColour() {
  const std::size_t count = ListCount(BlockColourList);
  // Without a palette there is nothing to choose from; drawing from
  // 0 to count - 1 would wrap round to the whole 32-bit range.
  if (count == 0) return 0;
  uint32_t index = RandomInt(0, static_cast<uint32_t>(count - 1));
  uint32_t* colour = ListFirst(BlockColourList);
  for (uint32_t step = 0; step < index && colour; ++step) colour = ListNext(BlockColourList);
  return colour ? static_cast<int32_t>(*colour) : 0;
}

void NudgeColour(Figure* figure, int32_t chance) {
  if (!figure) return;
  int column = static_cast<int>(RandomInt(figure->minCol, figure->maxCol));
  int row = static_cast<int>(RandomInt(figure->minRow, figure->maxRow));
  if (column > 3 || row > 3) return;
  CellStyle* cell = figure->cells[row][column];
  if (!cell) return;
  if (static_cast<int32_t>(RandomInt(0, 100)) > chance) return;

  uint32_t kind = static_cast<uint32_t>(cell->kind);
  for (int shift = 0; shift < 24; shift += 8) {
    uint32_t channel = (kind >> shift) & 0xFF;
    // Both coins are tossed every time so the sequence of draws does not
    // depend on the colour.
    if (RandomInt(0, 1) == 1 && channel > 32) channel -= 32;
    if (RandomInt(0, 1) == 1 && channel <= 223) channel += 32;
    kind = (kind & ~(0xFFu << shift)) | (channel << shift);
  }
  SetCellKind(cell, static_cast<int32_t>(kind));
}
