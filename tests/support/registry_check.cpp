// SPDX-License-Identifier: MIT
#include "tests/support/registry_check.h"

#include <algorithm>

#include "play/effects.h"
#include "runtime/text.h"

namespace {

template <typename T>
bool Registered(KeyedMap<T*>& map, const T* record) {
  auto it = map.slots.find(IdentityKey(record));
  return it != map.slots.end() && it->second == record;
}

std::string Number(size_t n) { return DecimalText(static_cast<int64_t>(n)); }

}  // namespace

RegistryCheck::RegistryCheck() {
  for (const EffectRecord& record : EffectList.items) listed_.insert(&record);
}

void RegistryCheck::Fail(const std::string& what) {
  if (failure_.empty()) failure_ = what;
}

void RegistryCheck::Effect(const EffectRecord* effect, const char* where) {
  if (!effect) return;
  if (!effects_.insert(effect).second) Fail(std::string("an effect record is shared (") + where + ")");
  if (!listed_.count(effect)) Fail(std::string("an effect record outside EffectList (") + where + ")");
}

void RegistryCheck::Cell(const CellStyle* cell, uint8_t tag, const char* where) {
  if (!cells_.insert(cell).second) Fail(std::string("a cell is referenced twice (") + where + ")");
  if (!Registered(CellStyleRegistry, cell)) Fail(std::string("an unregistered cell in ") + where);
  if (cell->tag != tag) {
    Fail(std::string("a cell in ") + where + " has tag " + Number(cell->tag));
  }
  if (cell->spriteKey != DecimalText(cell->kind)) {
    Fail(std::string("a cell in ") + where + " has kind " + DecimalText(cell->kind) + ", key \"" +
         cell->spriteKey + "\"");
  }
  if (tag == GameCellTag) {
    if (!IsPaletteColour(static_cast<uint32_t>(cell->kind))) {
      Fail(std::string("a game cell in ") + where + " has colour " + DecimalText(cell->kind));
    }
    if (cell->effect && cell->effect->shiftEnd != 0 &&
        !IsPaletteColour(cell->effect->shownColour)) {
      Fail(std::string("a game cell in ") + where + " shows colour " +
           DecimalText(cell->effect->shownColour));
    }
  }
  Effect(cell->effect, where);
}

void RegistryCheck::Label(const TextLabel* label, const char* where) {
  if (!label) return;
  if (!Registered(TextLabelMap, label)) Fail(std::string("an unregistered label (") + where + ")");
  ++labels_;
  Effect(label->effect, where);
}

void RegistryCheck::Field(const Playfield& field, bool wholeGrid) {
  const int rows = wholeGrid ? 255 : std::min(255, field.maxRow + 3);
  const int columns = wholeGrid ? 255 : std::min(255, field.maxCol + 3);
  for (int row = 0; row <= rows; ++row) {
    for (int column = 0; column <= columns; ++column) {
      const CellStyle* cell = field.cells[row][column];
      if (!cell) continue;
      if (row > field.maxRow || column > field.maxCol) {
        Fail("a settled cell outside its field at row " + Number(row) + ", column " +
             Number(column));
      }
      Cell(cell, GameCellTag, "a field");
    }
  }
}

void RegistryCheck::FigureInPlay(const Figure* figure, bool mayBeEmpty) {
  if (!figure) return;
  if (!figures_.insert(figure).second) Fail("a figure is in play twice");
  if (!Registered(FigureRegistry, figure)) Fail("a figure in play is not registered");
  int lowRow = 4, highRow = -1, lowCol = 4, highCol = -1;
  for (int r = 0; r < 4; ++r) {
    for (int k = 0; k < 4; ++k) {
      const CellStyle* cell = figure->cells[r][k];
      if (!cell) continue;
      lowRow = std::min(lowRow, r);
      highRow = std::max(highRow, r);
      lowCol = std::min(lowCol, k);
      highCol = std::max(highCol, k);
      Cell(cell, GameCellTag, "a figure");
    }
  }
  if (highRow < 0) {
    if (!mayBeEmpty) Fail("an empty figure in play");
    if (figure->minCol | figure->maxCol | figure->minRow | figure->maxRow | figure->colSpan |
        figure->rowSpan) {
      Fail("an empty figure has bounds");
    }
    return;
  }
  if (figure->minRow != lowRow || figure->maxRow != highRow || figure->minCol != lowCol ||
      figure->maxCol != highCol) {
    Fail("bounds rows " + Number(figure->minRow) + "-" + Number(figure->maxRow) + " columns " +
         Number(figure->minCol) + "-" + Number(figure->maxCol) + ", cells occupy rows " +
         Number(lowRow) + "-" + Number(highRow) + " columns " + Number(lowCol) + "-" +
         Number(highCol));
  }
  if (figure->colSpan != highCol - lowCol || figure->rowSpan != highRow - lowRow) {
    Fail("spans do not match the bounds");
  }
  if (figure->pivotCol != figure->colSpan / 2 + 1 || figure->pivotRow != figure->rowSpan / 2 + 1) {
    Fail("pivots (" + Number(figure->pivotCol) + ", " + Number(figure->pivotRow) + ") for spans (" +
         Number(figure->colSpan) + ", " + Number(figure->rowSpan) + ")");
  }
}

void RegistryCheck::Finish() {
  if (CellStyleRegistry.slots.size() != cells_.size()) {
    Fail(Number(CellStyleRegistry.slots.size()) + " cells registered, " + Number(cells_.size()) +
         " reachable");
  }
  if (FigureRegistry.slots.size() != figures_.size()) {
    Fail(Number(FigureRegistry.slots.size()) + " figures registered, " + Number(figures_.size()) +
         " reachable");
  }
  if (TextLabelMap.slots.size() != labels_) {
    Fail(Number(TextLabelMap.slots.size()) + " labels registered, " + Number(labels_) +
         " reachable");
  }
  if (EffectList.items.size() != effects_.size()) {
    Fail(Number(EffectList.items.size()) + " effect records, " + Number(effects_.size()) +
         " reachable");
  }
  for (const EffectRecord& record : EffectList.items) {
    if (!effects_.count(&record)) Fail("an effect record nobody carries");
  }
}
