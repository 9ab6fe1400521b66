// SPDX-License-Identifier: MIT
#include "shell/icon.h"

#include <cstdint>

#include "runtime/colour.h"
#include "runtime/image.h"
#include "runtime/text.h"
#include "render/display.h"
#include "shell/blocks.h"

static constexpr int IconCells = 4;

// A figure about to drop into the one gap of a nearly full field; '.' is an
// empty field cell, 'F' the falling figure, 'S' a settled block.
static const char* const IconRows[IconCells] = {
    ".FFF",
    "..F.",
    "S..S",
    "SS.S",
};

static void CellColours(char cell, uint32_t& face, uint32_t& edge) {
  // Colours from the block palette, shaded the way game cells are.
  uint32_t colour = 0;
  switch (cell) {
    case 'F': colour = Rgb(255, 159, 31); break;
    case 'S': colour = Rgb(63, 127, 223); break;
    default:  // the field's empty block
      face = PaleFace;
      edge = PaleEdge;
      return;
  }
  face = ScaleColour(colour, 1.0f);
  edge = ScaleColour(colour, 0.7f);
}

// Where cell edge i of n falls on a side of `size` pixels: sizes that four
// does not divide still tile without gaps.
static int CellEdge(int i, int size) { return static_cast<int>(RoundEven(double(i) * size / IconCells)); }

int MakeIconImage(int size) {
  if (size < IconCells) return 0;
  const int icon = NewImage(size, size, 0xFFFFFFFFu);
  if (!icon) return 0;

  int blocks[IconCells][IconCells] = {};
  bool made = true;
  for (int row = 0; row < IconCells; ++row) {
    for (int column = 0; column < IconCells; ++column) {
      const int width = CellEdge(column + 1, size) - CellEdge(column, size);
      const int height = CellEdge(row + 1, size) - CellEdge(row, size);
      uint32_t face = 0, edge = 0;
      CellColours(IconRows[row][column], face, edge);
      blocks[row][column] = NewImage(width, height, 0xFFFFFFFFu);
      if (blocks[row][column]) DrawBlockImage(blocks[row][column], face, edge);
      made = made && blocks[row][column];
    }
  }

  if (made && BeginImagePixels(icon)) {
    for (int row = 0; row < IconCells; ++row)
      for (int column = 0; column < IconCells; ++column)
        PutImageAt(blocks[row][column], CellEdge(column, size), CellEdge(row, size));
    EndImagePixels();
  } else {
    made = false;
  }
  for (auto& line : blocks)
    for (int block : line) DisposeImage(block);
  if (!made) {
    DisposeImage(icon);
    return 0;
  }
  return icon;
}
