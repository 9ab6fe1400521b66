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
void DrawScreen(FrameGrid& grid, const LabelList& labels);
