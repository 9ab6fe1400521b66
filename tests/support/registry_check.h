// SPDX-License-Identifier: MIT
// One checker of the game's registries against what the program can reach,
// for the model soak (two bare fields) and the whole-program soak (the
// background, menus, players and labels). The caller walks its own records
// into the check; Finish() then demands that every registry holds exactly
// what was reached: a record registered and unreachable is a leak, one
// reachable and unregistered (or reached twice) is a fault in ownership.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_set>

#include "game/cell.h"
#include "game/figure.h"
#include "game/playfield.h"
#include "render/label.h"
#include "shell/state.h"

class RegistryCheck {
 public:
  RegistryCheck();

  // A record somewhere other than a field or a figure: the background, say.
  void Cell(const CellStyle* cell, uint8_t tag, const char* where);
  void Label(const TextLabel* label, const char* where);
  // The settled cells: none outside the field's bounds, looked for in a
  // margin of three rows and columns, or in the whole grid.
  void Field(const Playfield& field, bool wholeGrid);
  // A figure in play: registered, bounds, spans and pivots that match its
  // cells, and its cells. Only the model soak plays empty figures.
  void FigureInPlay(const Figure* figure, bool mayBeEmpty);
  // The registries against all that was reached.
  void Finish();

  bool Ok() const { return failure_.empty(); }
  // The first fault found; empty while there is none.
  const std::string& Failure() const { return failure_; }

  size_t Cells() const { return cells_.size(); }
  size_t Labels() const { return labels_; }

 private:
  void Fail(const std::string& what);
  void Effect(const EffectRecord* effect, const char* where);

  std::unordered_set<const CellStyle*> cells_;
  std::unordered_set<const EffectRecord*> listed_;  // EffectList, as the check began
  std::unordered_set<const EffectRecord*> effects_;
  std::unordered_set<const Figure*> figures_;
  size_t labels_ = 0;
  std::string failure_;
};
