// SPDX-License-Identifier: MIT
// Kept apart from the rest of the game model: it is the one place that
// reaches into the text labels, and tests of cells and figures should not
// have to link the label and sprite code.
#include <vector>

#include "game/figure.h"
#include "render/label.h"
#include "game/state.h"

void ResetGame() {
  // Each destruction removes its record from the very map being searched, so
  // the victims are gathered first and destroyed afterwards; the walk never
  // depends on how a map behaves when its current element disappears.
  std::vector<Figure*> figures;
  MapReset(FigureRegistry);
  while (Figure** figure = MapNext(FigureRegistry)) figures.push_back(*figure);
  for (Figure* figure : figures) DestroyFigure(figure);

  // After the figures, whose own cells are already gone: what is left with
  // the game's tag are the settled cells of the playfields.
  std::vector<CellStyle*> cells;
  MapReset(CellStyleRegistry);
  while (CellStyle** cell = MapNext(CellStyleRegistry)) {
    if (*cell && (*cell)->tag == GameCellTag) cells.push_back(*cell);
  }
  for (CellStyle* cell : cells) DestroyCellStyle(cell);

  std::vector<TextLabel*> labels;
  MapReset(TextLabelMap);
  while (TextLabel** label = MapNext(TextLabelMap)) {
    if (*label && (*label)->layer == GameLabelLayer) labels.push_back(*label);
  }
  for (TextLabel* label : labels) DestroyTextLabel(label);

  // The playfield grids still point at the cells destroyed above; zeroing
  // the record forgets them along with the players' figures and labels.
  ZeroGameState();
}
