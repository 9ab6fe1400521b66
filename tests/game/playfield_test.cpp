// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "game/playfield.h"
#include "shell/state.h"
#include "tests/support/model.h"

namespace {

const int32_t Grey = Rgb(95, 95, 95);

// A fresh program with player 1's field set up at the game's size.
Playfield& GameField() {
  ZeroGlobalState();
  Playfield& field = gameState.players[0].field;
  EXPECT_TRUE(SetupPlayfield(field, 10, 20));
  return field;
}

CellStyle* Settle(Playfield& field, int row, int column, int32_t colour = Grey) {
  CellStyle* cell = CreateCellStyle(GameCellTag);
  SetCellKind(cell, colour);
  field.cells[row][column] = cell;
  return cell;
}

void FillRow(Playfield& field, int row) {
  for (int column = field.minCol; column <= field.maxCol; ++column) Settle(field, row, column);
}

int RowCount(const Playfield& field, int row) {
  int count = 0;
  for (int column = 0; column < 256; ++column) count += field.cells[row][column] != nullptr;
  return count;
}

Figure* FlatBar(Playfield& field) {
  Figure* bar = CreateFigure(4, Grey);
  EXPECT_TRUE(RotateFigure(field, bar, true, false, false));
  EXPECT_EQ(BoxPicture(bar), "####");
  return bar;
}

bool SameFigure(const Figure& a, const Figure& b) {
  return std::memcmp(a.cells, b.cells, sizeof a.cells) == 0 && a.minCol == b.minCol &&
         a.maxCol == b.maxCol && a.minRow == b.minRow && a.maxRow == b.maxRow &&
         a.colSpan == b.colSpan && a.rowSpan == b.rowSpan && a.pivotCol == b.pivotCol &&
         a.pivotRow == b.pivotRow && a.type == b.type && a.colour == b.colour && a.x == b.x &&
         a.y == b.y;
}

}  // namespace

TEST(PlayfieldSetup, AcceptsOnlyFieldsThatFitTheGrid) {
  ZeroGlobalState();
  Playfield& field = gameState.players[0].field;
  struct Case {
    int width, height;
    bool accepted;
  };
  const Case cases[] = {{10, 20, true}, {1, 1, true},    {255, 253, true}, {0, 20, false},
                        {10, 254, false}, {256, 5, false}, {10, 0, false},   {-1, 5, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.width) + " x " + std::to_string(c.height));
    ASSERT_TRUE(SetupPlayfield(field, 7, 9));
    EXPECT_EQ(SetupPlayfield(field, c.width, c.height), c.accepted);
    const int width = c.accepted ? c.width : 7;
    const int height = c.accepted ? c.height : 9;
    EXPECT_EQ(field.minCol, 0);
    EXPECT_EQ(field.maxCol, width - 1);
    EXPECT_EQ(field.minRow, 2);
    EXPECT_EQ(field.maxRow, height + 1);
    EXPECT_EQ(field.colSpan, width - 1);
    EXPECT_EQ(field.rowSpan, height - 1);
  }
}

TEST(PlayfieldBounds, UprightAndFlatBarAgainstTheWalls) {
  Playfield& field = GameField();
  Figure* upright = CreateFigure(4, Grey);
  Figure* flat = FlatBar(field);
  struct Case {
    const char* name;
    const Figure* figure;
    int x, y;
    bool out;
  };
  const Case cases[] = {
      {"upright at the right wall", upright, 9, 5, false},
      {"upright past the right wall", upright, 10, 5, true},
      {"flat at the right wall", flat, 6, 5, false},
      {"flat past the right wall", flat, 7, 5, true},
      {"upright at the top, rows 0 to 3", upright, 0, 0, false},
      {"upright on the floor, rows 18 to 21", upright, 0, 18, false},
      {"upright through the floor", upright, 0, 19, true},
      {"flat on the floor", flat, 0, 21, false},
      {"flat below the floor", flat, 0, 22, true},
      {"left of the field", flat, -1, 5, true},
      {"above the grid", flat, 3, -1, true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(OutOfField(c.figure, field, c.x, c.y), c.out)
        << c.name << " at (" << c.x << ", " << c.y << ")";
  }
}

TEST(PlayfieldCollision, SettledCellsAndPositionsOffTheGrid) {
  Playfield& field = GameField();
  Figure* tee = CreateFigure(7, Grey);  // ### / .#.
  Settle(field, 11, 5);
  struct Case {
    int x, y;
    bool collides;
  };
  const Case cases[] = {
      {4, 10, true},     // stem lands on (11, 5)
      {3, 11, true},     // top row meets it
      {5, 10, false},    // stem at column 6 beside it
      {2, 10, false},    // top row ends at column 4
      {-1, 3, true},     // negative column
      {3, -1, true},     // negative row
      {300, 300, false}, // far outside: nothing there, and nothing read out of range
      {254, 254, false}, // straddles the grid's last row and column
      {20000, -5, true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Collides(tee, field, c.x, c.y), c.collides) << "at (" << c.x << ", " << c.y << ")";
  }
}

TEST(PlayfieldMoves, TryMoveKeepsRefusesAndForces) {
  Playfield& field = GameField();
  Figure* square = CreateFigure(3, Grey);
  ASSERT_TRUE(TryMove(field, square, 4, 6, false));
  EXPECT_EQ(square->x, 4);
  EXPECT_EQ(square->y, 6);

  EXPECT_FALSE(TryMove(field, square, KeepCoordinate, KeepCoordinate, false));
  EXPECT_FALSE(TryMove(field, square, KeepCoordinate, KeepCoordinate, true));
  EXPECT_EQ(square->x, 4);
  EXPECT_EQ(square->y, 6);

  EXPECT_TRUE(TryMove(field, square, KeepCoordinate, 7, false));
  EXPECT_EQ(square->x, 4);
  EXPECT_EQ(square->y, 7);
  EXPECT_TRUE(TryMove(field, square, 0, KeepCoordinate, false));
  EXPECT_EQ(square->x, 0);
  EXPECT_EQ(square->y, 7);

  EXPECT_FALSE(TryMove(field, square, 9, KeepCoordinate, true)) << "force never passes a wall";
  EXPECT_FALSE(TryMove(field, square, KeepCoordinate, 21, true));
  EXPECT_EQ(square->x, 0);
  EXPECT_EQ(square->y, 7);

  Settle(field, 9, 1);
  EXPECT_FALSE(TryMove(field, square, 0, 8, false));
  EXPECT_EQ(square->y, 7);
  EXPECT_TRUE(TryMove(field, square, 0, 8, true));
  EXPECT_EQ(square->y, 8);
  EXPECT_TRUE(Collides(square, field, square->x, square->y));
}

TEST(PlayfieldMoves, RestingOnTheFloorOrOnCells) {
  Playfield& field = GameField();
  Figure* ell = CreateFigure(1, Grey);  // #. / #. / ##
  struct Case {
    const char* name;
    int x, y;
    int settledRow, settledCol;  // -1 for none
    bool resting;
  };
  const Case cases[] = {
      {"bottom row on maxRow", 0, 19, -1, -1, true},
      {"bottom row on maxRow with cells beside", 3, 19, 21, 5, true},
      {"one row above the floor", 0, 18, -1, -1, false},
      {"cell under the left foot", 4, 10, 13, 4, true},
      {"cell under the right foot", 4, 10, 13, 5, true},
      {"forced over a settled cell", 4, 10, 11, 4, true},
      {"cell diagonally below", 4, 10, 13, 6, false},
      {"cell beside", 4, 10, 12, 6, false},
  };
  for (const Case& c : cases) {
    for (auto& row : field.cells) {
      for (CellStyle*& cell : row) {
        DestroyCellStyle(cell);
        cell = nullptr;
      }
    }
    if (c.settledRow >= 0) Settle(field, c.settledRow, c.settledCol);
    ASSERT_TRUE(TryMove(field, ell, c.x, c.y, true)) << c.name;
    EXPECT_EQ(IsResting(ell, field), c.resting) << c.name;
  }
}

TEST(PlayfieldRotation, BarTurnsAboutItsPivotAwayFromTheWalls) {
  Playfield& field = GameField();
  Figure* bar = CreateFigure(4, Grey);
  ASSERT_TRUE(TryMove(field, bar, 4, 5, false));
  // The state after each of two turns: flat, then upright where it began.
  struct Turned {
    FigureShape shape;
    int x, y;
  } turns[] = {{{"####", 3, 0, 2, 1}, 3, 6}, {{"#/#/#/#", 0, 3, 1, 2}, 4, 5}};
  for (const Turned& t : turns) {
    ASSERT_TRUE(RotateFigure(field, bar, false, true, true));
    ExpectShape(bar, t.shape);
    EXPECT_EQ(bar->x, t.x) << t.shape.picture;
    EXPECT_EQ(bar->y, t.y) << t.shape.picture;
  }
}

TEST(PlayfieldRotation, WallPushOnlyWhenAsked) {
  Playfield& field = GameField();
  Figure* bar = CreateFigure(4, Grey);
  ASSERT_TRUE(TryMove(field, bar, 0, 5, false));
  const Figure before = *bar;
  EXPECT_FALSE(RotateFigure(field, bar, false, false, true)) << "x would be -1";
  EXPECT_TRUE(SameFigure(*bar, before)) << "a refused rotation leaves the figure untouched";

  ASSERT_TRUE(RotateFigure(field, bar, false, true, true));
  EXPECT_EQ(bar->x, 0);
  EXPECT_EQ(bar->y, 6) << "on the row below the upright bar's top";

  ASSERT_TRUE(TryMove(field, bar, 6, KeepCoordinate, false));
  ASSERT_TRUE(RotateFigure(field, bar, false, true, true));  // upright again at x = 7
  ASSERT_TRUE(TryMove(field, bar, 9, KeepCoordinate, false));
  ASSERT_TRUE(RotateFigure(field, bar, false, true, true));
  EXPECT_EQ(bar->x, 6) << "pushed back from the right wall";
  EXPECT_EQ(bar->x + bar->colSpan, 9);

  // One column short of fitting: x = 7 would end on column 10.
  ASSERT_TRUE(RotateFigure(field, bar, false, true, true));  // upright at x = 7
  ASSERT_TRUE(TryMove(field, bar, 8, KeepCoordinate, false));
  ASSERT_TRUE(RotateFigure(field, bar, false, true, true));
  EXPECT_EQ(bar->x, 6);
  ASSERT_TRUE(TryMove(field, bar, 5, KeepCoordinate, false));
  ASSERT_TRUE(RotateFigure(field, bar, false, true, true));  // upright at x = 6
  ASSERT_TRUE(RotateFigure(field, bar, false, true, true));
  EXPECT_EQ(bar->x, 5) << "a turn that fits is not pushed";
}

// Turning the flat bar upright lifts it a row; the wall push moves columns
// only, so at the top (and likewise at the floor) the turn is refused.
TEST(PlayfieldRotation, WallPushNeverMovesTheRow) {
  struct Case {
    int32_t y;
    const char* where;
  } cases[] = {{0, "top row of the grid"}, {21, "floor"}};
  for (const Case& c : cases) {
    ZeroGlobalState();
    Playfield& field = gameState.players[0].field;
    ASSERT_TRUE(SetupPlayfield(field, 10, 20));
    Figure* bar = CreateFigure(4, 1);
    ASSERT_TRUE(RotateFigure(field, bar, true, true, true));
    ASSERT_EQ(bar->rowSpan, 0) << "flat";
    ASSERT_TRUE(TryMove(field, bar, 3, c.y, false));
    EXPECT_FALSE(RotateFigure(field, bar, false, true, true)) << c.where;
    EXPECT_EQ(bar->x, 3) << c.where;
    EXPECT_EQ(bar->y, c.y) << c.where;
    EXPECT_EQ(bar->rowSpan, 0) << c.where;
    DestroyFigure(bar);
  }
}

TEST(PlayfieldRotation, RefusedWhenTheTurnMeetsACell) {
  Playfield& field = GameField();
  Figure* bar = CreateFigure(4, Grey);
  ASSERT_TRUE(TryMove(field, bar, 4, 5, false));
  Settle(field, 6, 6);  // on the row the flat bar would take
  const Figure before = *bar;
  EXPECT_FALSE(RotateFigure(field, bar, false, true, true));
  EXPECT_TRUE(SameFigure(*bar, before));
  EXPECT_TRUE(RotateFigure(field, bar, true, false, true)) << "noCheck ignores settled cells";
}

TEST(PlayfieldRotation, TeeTurnsClockwise) {
  Playfield& field = GameField();
  Figure* tee = CreateFigure(7, Grey);
  ASSERT_TRUE(TryMove(field, tee, 4, 5, false));
  const char* pictures[] = {".#/##/.#", ".#./###", "#./##/#.", "###/.#."};
  for (const char* expected : pictures) {
    ASSERT_TRUE(RotateFigure(field, tee, false, true, true));
    EXPECT_EQ(BoxPicture(tee), expected);
    EXPECT_EQ(tee->pivotCol, tee->colSpan / 2 + 1);
    EXPECT_EQ(tee->pivotRow, tee->rowSpan / 2 + 1);
  }
}

TEST(PlayfieldRotation, FourTurnsRestoreEveryShape) {
  Playfield& field = GameField();
  for (int type = 1; type <= 9; ++type) {
    Figure* figure = CreateFigure(type, Grey);
    ASSERT_TRUE(TryMove(field, figure, 4, 8, false));
    const Figure before = *figure;
    const int cells = CellCount(figure);
    const size_t registered = MapCount(CellStyleRegistry);
    RotateTimes(field, figure, 4, false, true, true);
    EXPECT_TRUE(SameFigure(*figure, before)) << "type " << type << " at (" << figure->x << ", "
                                             << figure->y << ")";
    EXPECT_EQ(CellCount(figure), cells);
    EXPECT_EQ(MapCount(CellStyleRegistry), registered) << "a rotation never copies cells";
    RotateTimes(field, figure, 0, false, true, true);
    RotateTimes(field, figure, -3, false, true, true);
    EXPECT_TRUE(SameFigure(*figure, before)) << "type " << type;
    DestroyFigure(figure);
  }
}

TEST(PlayfieldRotation, NoCheckClampsToTheSpans) {
  Playfield& field = GameField();
  Figure* bar = FlatBar(field);
  bar->x = 6;
  bar->y = 19;
  // Upright again with its pivot kept: y = 18, which would end on row 21;
  // without checks it is clamped by the field's rowSpan (19), not maxRow.
  ASSERT_TRUE(RotateFigure(field, bar, true, false, true));
  EXPECT_EQ(bar->y, 16);
  EXPECT_EQ(bar->x, 7);
  bar->x = 0;
  ASSERT_TRUE(RotateFigure(field, bar, true, false, true));
  EXPECT_EQ(bar->x, 0) << "-1 clamped";
  EXPECT_EQ(bar->y, 17);
  bar->y = 0;
  bar->x = 9;
  ASSERT_TRUE(RotateFigure(field, bar, true, false, true));
  EXPECT_EQ(bar->y, 0) << "-1 clamped";
  EXPECT_EQ(bar->x, 9);
}

TEST(PlayfieldLock, CopiesCellsAndReplacesWhatWasThere) {
  Playfield& field = GameField();
  Figure* ell = CreateFigure(1, Rgb(31, 255, 31));
  ASSERT_TRUE(TryMove(field, ell, 2, 10, false));
  Settle(field, 12, 3, Rgb(255, 31, 31));
  ASSERT_TRUE(TryMove(field, ell, 2, 10, true));
  const size_t before = MapCount(CellStyleRegistry);
  LockFigure(field, ell);
  EXPECT_EQ(MapCount(CellStyleRegistry), before + 4 - 1) << "four copies, one cell replaced";
  const int positions[][2] = {{10, 2}, {11, 2}, {12, 2}, {12, 3}};
  for (const auto& p : positions) {
    CellStyle* cell = field.cells[p[0]][p[1]];
    ASSERT_NE(cell, nullptr) << "row " << p[0] << ", column " << p[1];
    EXPECT_EQ(cell->kind, Rgb(31, 255, 31));
    for (auto& row : ell->cells) {
      for (CellStyle* own : row) EXPECT_NE(cell, own) << "the field holds copies, not the figure's cells";
    }
  }
  EXPECT_EQ(RowCount(field, 11), 1);
  EXPECT_EQ(CellCount(ell), 4);
}

TEST(PlayfieldRows, FullRowsCollapseIntoTheGapBelow) {
  Playfield& field = GameField();
  FillRow(field, 20);
  FillRow(field, 21);
  CellStyle* a = Settle(field, 19, 0);
  CellStyle* b = Settle(field, 19, 7);
  CellStyle* high = Settle(field, 2, 4);
  const size_t before = MapCount(CellStyleRegistry);
  EXPECT_EQ(ClearFullRows(field, 0), 2);
  EXPECT_EQ(MapCount(CellStyleRegistry), before - 20);
  EXPECT_EQ(field.cells[21][0], a);
  EXPECT_EQ(field.cells[21][7], b);
  EXPECT_EQ(RowCount(field, 21), 2);
  EXPECT_EQ(RowCount(field, 20), 0);
  EXPECT_EQ(RowCount(field, 19), 0);
  EXPECT_EQ(field.cells[4][4], high);
  EXPECT_EQ(RowCount(field, 2), 0);
}

TEST(PlayfieldRows, RowsAboveTheVisibleFieldTakePart) {
  Playfield& field = GameField();
  FillRow(field, 1);
  CellStyle* top = Settle(field, 0, 3);
  EXPECT_EQ(ClearFullRows(field, 0), 1);
  EXPECT_EQ(field.cells[1][3], top);
  EXPECT_EQ(RowCount(field, 1), 1);
  EXPECT_EQ(RowCount(field, 0), 0);

  FillRow(field, 0);  // column 3 of row 1 is taken; row 0 is now full
  EXPECT_EQ(ClearFullRows(field, 0), 1);
  EXPECT_EQ(RowCount(field, 0), 0);
  EXPECT_EQ(field.cells[1][3], top);
}

TEST(PlayfieldRows, SeparateFullRowsAreAllFoundInOneCall) {
  Playfield& field = GameField();
  FillRow(field, 8);
  FillRow(field, 15);
  CellStyle* between = Settle(field, 12, 2);
  CellStyle* above = Settle(field, 5, 9);
  EXPECT_EQ(ClearFullRows(field, 0), 2);
  EXPECT_EQ(field.cells[13][2], between) << "dropped by the lower row only";
  EXPECT_EQ(field.cells[7][9], above) << "dropped by both rows";
  EXPECT_EQ(MapCount(CellStyleRegistry), 2u);
}

TEST(PlayfieldRows, ClearOnlyAndCountOnlyModes) {
  Playfield& field = GameField();
  FillRow(field, 21);
  FillRow(field, 18);
  CellStyle* above = Settle(field, 17, 5);
  Settle(field, 20, 0);
  EXPECT_EQ(ClearFullRows(field, 7), 2) << "other modes only count";
  EXPECT_EQ(RowCount(field, 21), 10);
  EXPECT_EQ(MapCount(CellStyleRegistry), 22u);

  EXPECT_EQ(ClearFullRows(field, 1), 2);
  EXPECT_EQ(RowCount(field, 21), 0);
  EXPECT_EQ(RowCount(field, 18), 0);
  EXPECT_EQ(field.cells[17][5], above) << "nothing moves in mode 1";
  EXPECT_EQ(RowCount(field, 20), 1);
  EXPECT_EQ(MapCount(CellStyleRegistry), 2u);
  EXPECT_EQ(ClearFullRows(field, 0), 0);
}

TEST(PlayfieldRows, CellsOutsideTheColumnsDoNotCount) {
  Playfield& field = GameField();
  for (int column = 0; column < 9; ++column) Settle(field, 21, column);
  Settle(field, 21, 10);  // beyond maxCol: not part of the field
  EXPECT_EQ(ClearFullRows(field, 0), 0);
  Settle(field, 21, 9);
  EXPECT_EQ(ClearFullRows(field, 0), 1);
}
