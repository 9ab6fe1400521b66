// SPDX-License-Identifier: MIT
// The menu screen: a panel, the entries of the menu shown stacked in the
// middle with a bar behind the selected one, and the header.
#include "menu/menu.h"
#include "game/cell.h"
#include "render/frame.h"
#include "render/label.h"
#include "runtime/clock.h"
#include "runtime/text.h"
#include "render/display.h"

constexpr uint8_t PanelPriority = 0;
constexpr uint8_t CursorPriority = 9;
constexpr int32_t EntrySpacing = 3;  // rows from one entry to the next

static int32_t Rnd(float value) { return static_cast<int32_t>(RoundEven(value)); }

// A bar three rows high behind the selected entry, as wide as its text plus
// about one cell. The text's width is taken in fractions of a cell, so a
// label a little wider than a whole number of cells still gets its margin.
static void PaintCursorBar(FrameGrid& grid, const TextLabel* label, int32_t y) {
  const float middle = static_cast<float>(screenState.columns) * 0.5f;
  const float half =
      (static_cast<float>(label->spriteWidth) / static_cast<float>(screenState.cellWidth) +
       1.0f) *
      0.5f;
  PaintRect(grid, Rnd(middle - half), y - 1, Rnd(middle + half), y + 1, &MenuCursorStyle,
            CursorPriority);
}

static void PlaceEntries(FrameGrid& grid, LabelList& labels) {
  OrderedList<MenuItem*>& entries = menuState.entries;
  const int32_t count = static_cast<int32_t>(ListCount(entries));
  if (count < 1) return;

  int32_t y = Rnd(static_cast<float>(screenState.rows) * 0.5f -
                  static_cast<float>(count * EntrySpacing) * 0.5f);
  const int16_t x = static_cast<int16_t>(Rnd(static_cast<float>(screenState.columns) * 0.5f));

  // The walk moves the list's current element, which is the selection: keep
  // it and put it back afterwards.
  MenuItem** selected = ListCurrent(entries);
  const TextLabel* selectedLabel = selected && *selected ? (*selected)->label : nullptr;

  for (MenuItem** entry = ListFirst(entries); entry; entry = ListNext(entries)) {
    TextLabel* label = *entry ? (*entry)->label : nullptr;
    if (label) {
      UpdateLabel(label);  // its width places the bar
      labels.push_back(label);
      label->x = x;
      label->y = static_cast<int16_t>(y);
      if (label == selectedLabel) PaintCursorBar(grid, label, y);
    }
    y += EntrySpacing;
  }

  if (selected) ListSeek(entries, static_cast<MenuItem* const*>(selected));
}

int64_t DrawMenuScreen() {
  const int64_t start = ReadClock();
  FrameGrid grid;
  CreateFrameGrid(grid);
  LabelList labels;

  PaintRect(grid, 3, 3, screenState.columns - 4, screenState.rows - 4, &MenuFrameStyle,
            PanelPriority);
  PlaceEntries(grid, labels);

  if (MenuItem* header = MapFind(menuState.items, "v")) {
    if (header->label) labels.push_back(header->label);
  }

  DrawScreen(grid, labels);
  return ReadClock() - start;
}
