// SPDX-License-Identifier: MIT
// Cells: how one screen cell is drawn, and the registry that keeps each
// run-time cell alive.
#pragma once
#include <cstdint>
#include <string>

#include "runtime/containers.h"

struct EffectRecord;

struct CellStyle {
  int32_t kind;           // block kind 1 to 6, or a palette colour value
  std::string spriteKey;  // decimal text of kind: the SpriteTable key
  uint8_t alpha;          // 0 is drawn as 255
  EffectRecord* effect;   // entry of EffectList, or null
  uint8_t tag;            // 1 game cells, 3 background cells, 0 fixed styles
};

constexpr uint8_t GameCellTag = 1;
constexpr uint8_t BackgroundCellTag = 3;

// Every cell made at run time, under its IdentityKey.
extern KeyedMap<CellStyle*> CellStyleRegistry;

// Fixed cell styles, made at start-up and never registered.
extern CellStyle Kind2Alpha127;
extern CellStyle Kind3Alpha64;
extern CellStyle Kind3Alpha255;
extern CellStyle Kind4Alpha255;
extern CellStyle Kind3Alpha222;
extern CellStyle Kind4Alpha222;
extern CellStyle MenuFrameStyle;
extern CellStyle MenuCursorStyle;

// Registry key of any registered record: the decimal text of its address.
std::string IdentityKey(const void* record);

CellStyle* CreateCellStyle(uint8_t tag);
void SetCellKind(CellStyle* style, int32_t kind);
CellStyle* CopyCellStyle(const CellStyle* style);
bool DestroyCellStyle(CellStyle* style);
void DetachEffect(CellStyle* style);

// For tests: after `after` more allocations of cells and figures succeed,
// the next `count` fail as if memory ran out. AllocationFails is how the
// creators ask.
void FailNextAllocations(int count, int after = 0);
bool AllocationFails();
