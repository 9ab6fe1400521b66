// SPDX-License-Identifier: MIT
// Composition of one frame on the cell grid, and the draw that shows it.
#pragma once
#include <cstdint>
#include <vector>

#include "runtime/containers.h"

struct CellStyle;
struct TextLabel;

// One frame's cells, (columns + 1) × (rows + 1); null = empty.
using FrameGrid = Array2D<CellStyle*>;
using LabelList = std::vector<TextLabel*>;

void CreateFrameGrid(FrameGrid& grid);  // empty, sized from the screen
void PaintCell(FrameGrid& grid, int32_t x, int32_t y, CellStyle* style, uint8_t priority);
void PaintRect(FrameGrid& grid, int32_t x1, int32_t y1, int32_t x2, int32_t y2, CellStyle* style,
               uint8_t priority);
void PaintOutline(FrameGrid& grid, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                  CellStyle* style, uint8_t priority);
// Clears the display, draws the grid's cells (the background layer where the
// grid is empty) and the labels, and presents the frame. After a scale change
// it also renders the labels it draws that still wait, first, and once the
// frame is on screen the rest that wait, stopping as soon as a close request
// is pending so that the program can end at once.
void DrawScreen(FrameGrid& grid, const LabelList& labels);
