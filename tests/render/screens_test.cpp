// SPDX-License-Identifier: MIT
// The game and menu screens, read back cell by cell from real frames.
//
// Most cases give every fixed style its own bright colour and full alpha, so
// that each screen cell of the read-back frame names the item that won it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "game/figure.h"
#include "game/playfield.h"
#include "menu/menu.h"
#include "play/effects.h"
#include "render/frame.h"
#include "render/screens.h"
#include "runtime/text.h"
#include "shell/version.h"
#include "tests/support/screen_fixture.h"

using probe::Backdrop;
using probe::ColourText;
using probe::Near;

namespace {

const uint32_t emptyField = Rgb(31, 31, 255);
const uint32_t outerFrame = Rgb(255, 31, 31);
const uint32_t innerFrame = Rgb(31, 255, 31);
const uint32_t patternA = Rgb(255, 255, 31);  // Kind3Alpha222
const uint32_t patternB = Rgb(31, 255, 255);  // Kind4Alpha222
const uint32_t boxBack = Rgb(255, 31, 255);
const uint32_t falling = Rgb(127, 127, 127);
const uint32_t nextColour = Rgb(255, 255, 255);
const uint32_t settled = Rgb(191, 95, 31);
const uint32_t panel = Rgb(95, 31, 159);
const uint32_t cursor = Rgb(223, 159, 31);

// Sampled at pixel (3, 3) of each cell: a colour block's face there.
const std::vector<probe::Legend> legend = {
    {'.', Backdrop}, {'e', emptyField}, {'O', outerFrame}, {'I', innerFrame},
    {'#', patternA}, {'-', patternB},   {'b', boxBack},    {'c', falling},
    {'n', nextColour}, {'s', settled},  {'p', panel},      {'h', cursor},
    {'v', Rgb(10, 10, 10)},
};

void Recolour(CellStyle& style, uint32_t colour) {
  SetCellKind(&style, static_cast<int32_t>(colour));
  style.alpha = 255;
}

class ScreenCells : public probe::ScreenTest {
 protected:
  void SetUp() override {
    probe::ScreenTest::SetUp();
    Recolour(Kind2Alpha127, emptyField);
    Recolour(Kind3Alpha255, outerFrame);
    Recolour(Kind4Alpha255, innerFrame);
    Recolour(Kind3Alpha222, patternA);
    Recolour(Kind4Alpha222, patternB);
    Recolour(Kind3Alpha64, boxBack);
    Recolour(MenuFrameStyle, panel);
    Recolour(MenuCursorStyle, cursor);
  }

  std::vector<std::string> Cells() {
    return probe::CellMap(probe::LastFrame(), legend, 3, 3);
  }

  // Compares the read-back cells with the expected picture, rows 0 to 39.
  void ExpectCells(const std::vector<std::string>& expected) {
    const std::vector<std::string> got = Cells();
    EXPECT_EQ(got, expected) << "expected:\n"
                             << probe::MapText(expected) << "got:\n"
                             << probe::MapText(got);
  }
};

Player& PlayerWithField(int index) {
  Player& player = gameState.players[index];
  EXPECT_TRUE(SetupPlayfield(player.field, 10, 20));
  return player;
}

CellStyle* SettledCell(uint32_t colour) {
  CellStyle* cell = CreateCellStyle(GameCellTag);
  SetCellKind(cell, static_cast<int32_t>(colour));
  return cell;
}

// Rows of the whole grid: '.' everywhere, ' ' for column 38 and row 39,
// which lie beyond the window.
std::vector<std::string> BlankCells() {
  std::vector<std::string> rows(40, std::string(38, '.') + " ");
  rows[39] = std::string(39, ' ');
  return rows;
}

void Put(std::vector<std::string>& rows, int x, int y, const std::string& text) {
  rows[y].replace(x, text.size(), text);
}

// ---- game screen -------------------------------------------------------------

class GameScreen : public ScreenCells {};

TEST_F(GameScreen, OnePlayerLayout) {
  gameState.playerCount = 1;
  Player& player = PlayerWithField(0);
  player.field.cells[21][0] = SettledCell(settled);  // bottom left
  player.field.cells[2][9] = SettledCell(settled);   // first visible row, right
  player.field.cells[1][5] = SettledCell(settled);   // above the visible rows
  // A T whose bar lies one row above the field: only its stem shows.
  player.current = CreateFigure(7, static_cast<int32_t>(falling));
  player.current->x = 3;
  player.current->y = 1;
  // An upright bar of four: one cell wide, shown in the box's second column.
  player.next = CreateFigure(4, static_cast<int32_t>(nextColour));
  player.namePattern = 1ull << 0 | 1ull << 2 | 1ull << 9 | 1ull << 13 | 1ull << 23 |
                       1ull << 24 | 1ull << 35 | 1ull << 39 | 1ull << 44 | 1ull << 50;
  DrawGameScreen();

  std::vector<std::string> rows = BlankCells();
  //                      col 12
  Put(rows, 12, 5, "OOOOOOOOOOOOOO");
  Put(rows, 12, 6, "OIIIIIIIIIIIIO");
  for (int y = 8; y <= 25; ++y) Put(rows, 12, y, "OIeeeeeeeeeeIO");
  Put(rows, 12, 7, "OIeeeeceeeesIO");
  Put(rows, 12, 26, "OIseeeeeeeeeIO");
  Put(rows, 12, 27, "OIIIIIIIIIIIIO");
  // Bits 0-3 and 8-11 of each 12-bit row show beside the box.
  Put(rows, 12, 28, "O#-#-bnbb-#--O");
  Put(rows, 12, 29, "O-#--bnbb---#O");
  Put(rows, 12, 30, "O#---bnbb---#O");
  Put(rows, 12, 31, "O---#bnbb#---O");
  Put(rows, 12, 32, "OOOOOOOOOOOOOO");
  ExpectCells(rows);
}

TEST_F(GameScreen, TwoPlayersSideBySide) {
  gameState.playerCount = 2;
  Player& one = PlayerWithField(0);
  Player& two = PlayerWithField(1);
  one.current = CreateFigure(8, static_cast<int32_t>(falling));  // at field (0, 2)
  one.current->x = 0;
  one.current->y = 2;
  one.next = CreateFigure(7, static_cast<int32_t>(nextColour));  // three wide: from bx1
  one.namePattern = 0;
  // No current figure: no box background, the pattern shows under the next
  // figure instead. Player 2's pattern styles are the other way round.
  two.next = CreateFigure(3, static_cast<int32_t>(nextColour));
  two.namePattern = 1;
  DrawGameScreen();

  std::vector<std::string> rows = BlankCells();
  Put(rows, 6, 5, "OOOOOOOOOOOOOOOOOOOOOOOOOO");
  Put(rows, 6, 6, "OIIIIIIIIIIIIIIIIIIIIIIIIO");
  Put(rows, 6, 7, "OIceeeeeeeeeIIeeeeeeeeeeIO");
  for (int y = 8; y <= 26; ++y) Put(rows, 6, y, "OIeeeeeeeeeeIIeeeeeeeeeeIO");
  Put(rows, 6, 27, "OIIIIIIIIIIIIIIIIIIIIIIIIO");
  Put(rows, 6, 28, "O----nnnb-----####nn#####O");
  Put(rows, 6, 29, "O----bnbb----#####nn#####O");
  Put(rows, 6, 30, "O----bbbb----############O");
  Put(rows, 6, 31, "O----bbbb----############O");
  Put(rows, 6, 32, "OOOOOOOOOOOOOOOOOOOOOOOOOO");
  ExpectCells(rows);
  // Column 19 is player 1's outer frame and player 2's inner frame: the
  // inner frame wins.
  const std::vector<std::string> cells = Cells();
  for (int y = 6; y <= 27; ++y) EXPECT_EQ(cells[y][19], 'I') << "row " << y;
}

TEST_F(GameScreen, FigureCellsOutsideTheFieldAreNotPainted) {
  gameState.playerCount = 1;
  Player& player = PlayerWithField(0);
  // A T pushed past the right edge (columns 9 to 11 of the field) and a bar
  // reaching from above the field into its first two rows.
  player.current = CreateFigure(7, static_cast<int32_t>(falling));
  player.current->x = 9;
  player.current->y = 10;
  DrawGameScreen();
  std::vector<std::string> cells = Cells();
  EXPECT_EQ(cells[15].substr(22, 4), "ecIO") << "row 15 from column 22:\n" << probe::MapText(cells);
  EXPECT_EQ(cells[16].substr(22, 4), "eeIO") << "the stem is in column 10: not shown";

  // Far beyond the right edge and below the bottom, where no frame covers.
  player.current->x = 14;
  DrawGameScreen();
  cells = Cells();
  EXPECT_EQ(cells[15].substr(22, 10), "eeIO......") << "columns 28 to 30 stay empty";
  player.current->x = 0;
  player.current->y = 24;  // rows 24 and 25: screen rows 29 and 30
  DrawGameScreen();
  cells = Cells();
  EXPECT_EQ(cells[29].substr(12, 4), "O...") << "below the field:\n" << probe::MapText(cells);
  EXPECT_EQ(cells[30].substr(12, 4), "O...");

  DestroyFigure(player.current);
  player.current = CreateFigure(4, static_cast<int32_t>(falling));
  player.current->x = 0;
  player.current->y = 0;  // rows 0 to 3 of the field: the top two hidden
  DrawGameScreen();
  cells = Cells();
  std::string column;
  for (int y = 4; y <= 10; ++y) column += cells[y][14];
  EXPECT_EQ(column, ".OIccee") << "column 14, rows 4 to 10";
}

TEST_F(GameScreen, NoGameShowsOnlyTheBackgroundAndGameLabels) {
  CellStyle backgroundCell = probe::MakeStyle(static_cast<int32_t>(outerFrame), 255);
  *Array2DAt(BackgroundLayer, 2, 2) = &backgroundCell;
  TextLabel* gameLabel = probe::SolidLabel(GameLabelLayer, 20, 8, Rgb(10, 10, 10));
  gameLabel->x = 30;
  gameLabel->y = 30;
  TextLabel* otherGameLabel = probe::SolidLabel(GameLabelLayer, 20, 8, Rgb(10, 10, 10));
  otherGameLabel->x = 30;
  otherGameLabel->y = 33;
  TextLabel* menuLabel = probe::SolidLabel(MenuLabelLayer, 20, 8, Rgb(10, 10, 10));
  menuLabel->x = 30;
  menuLabel->y = 36;
  PlayerWithField(0).next = CreateFigure(3, static_cast<int32_t>(nextColour));
  PlayerWithField(1);

  for (uint8_t count : {0, 3, 255}) {
    gameState.playerCount = count;
    DrawGameScreen();
    std::vector<std::string> expected = BlankCells();
    expected[2][2] = 'O';
    ExpectCells(expected);
    const probe::Frame frame = probe::LastFrame();
    const int cx = 30 * 18 + 9;
    EXPECT_TRUE(Near(frame.At(cx, 30 * 18 + 9), Rgb(10, 10, 10))) << "playerCount " << +count;
    EXPECT_TRUE(Near(frame.At(cx, 33 * 18 + 9), Rgb(10, 10, 10))) << "playerCount " << +count;
    EXPECT_TRUE(Near(frame.At(cx, 36 * 18 + 9), Backdrop)) << "menu labels stay hidden";
  }
}

// ---- game screen with the real styles ------------------------------------------

// The random background with its spins and zooms under way.
class GameScreenLook : public probe::ScreenTest {
 protected:
  void SetUp() override {
    keepBackground = true;
    probe::ScreenTest::SetUp();
    gameState.now = 1000;
    AdvanceEffects();
  }
};

TextLabel* TextAt(const std::string& text, float size, uint32_t colour, uint8_t layer,
                  uint8_t align, int x, int y) {
  TextLabel* label = CreateTextLabel(layer);
  RefreshTextLabel(label, text, size, size, colour);
  label->align = align;
  label->alpha = 222;
  label->x = static_cast<int16_t>(x);
  label->y = static_cast<int16_t>(y);
  return label;
}

void SetUpPlayer(Player& player, uint64_t pattern) {
  SetupPlayfield(player.field, 10, 20);
  const uint32_t colours[] = {Rgb(255, 63, 31), Rgb(31, 159, 255), Rgb(223, 223, 31),
                              Rgb(127, 255, 95)};
  for (int r = 14; r <= 21; ++r) {
    for (int k = 0; k < 10; ++k) {
      if ((r * 7 + k * 3) % 5 == 0 || (r > 17 && k != (r % 10))) {
        player.field.cells[r][k] = SettledCell(colours[(r + k) % 4]);
      }
    }
  }
  player.current = CreateFigure(7, static_cast<int32_t>(Rgb(191, 63, 255)));
  player.current->x = 4;
  player.current->y = 6;
  player.next = CreateFigure(2, static_cast<int32_t>(Rgb(255, 191, 31)));
  player.namePattern = pattern;
}

TEST_F(GameScreenLook, OneAndTwoPlayersWithTheRealStyles) {
  gameState.playerCount = 1;
  SetUpPlayer(gameState.players[0], 0x5A3C96E1F00F33CCull);
  TextAt("Player 1", 2.0f, 0xF6FFF6, GameLabelLayer, AlignLeft | AlignTop, 1, 1);
  TextAt("00001230", 2.0f, 0xE0F5E0, GameLabelLayer, AlignLeft | AlignTop, 1, 3);
  DrawGameScreen();
  probe::Frame frame = probe::LastFrame();
  probe::DumpFrame(frame, "game_one_player");
  // Outer frame, kind 3 opaque; inner frame, kind 4 opaque.
  EXPECT_TRUE(Near(frame.At(12 * 18 + 9, 5 * 18 + 9), Rgb(179, 196, 179)))
      << ColourText(frame.At(12 * 18 + 9, 5 * 18 + 9));
  EXPECT_TRUE(Near(frame.At(13 * 18 + 9, 6 * 18 + 9), Rgb(168, 185, 168)))
      << ColourText(frame.At(13 * 18 + 9, 6 * 18 + 9));
  // An empty field cell: kind 2 at alpha 127 (its inner edge at the centre).
  const uint32_t expected = probe::Blend(Rgb(168, 185, 168), Backdrop, 127);
  EXPECT_TRUE(Near(frame.At(15 * 18 + 9, 8 * 18 + 9), expected))
      << "expected " << ColourText(expected) << " got "
      << ColourText(frame.At(15 * 18 + 9, 8 * 18 + 9));

  gameState.playerCount = 2;
  SetUpPlayer(gameState.players[1], 0x0123456789ABCDEFull);
  TextAt("Player 2", 2.0f, 0xF6FFF6, GameLabelLayer, AlignRight | AlignTop, 37, 1);
  TextAt("00000040", 2.0f, 0xE0F5E0, GameLabelLayer, AlignRight | AlignTop, 37, 3);
  DrawGameScreen();
  frame = probe::LastFrame();
  probe::DumpFrame(frame, "game_two_players");
  EXPECT_TRUE(Near(frame.At(19 * 18 + 9, 10 * 18 + 9), Rgb(168, 185, 168)))
      << "column 19 shows player 2's inner frame: " << ColourText(frame.At(19 * 18 + 9, 10 * 18 + 9));
}

// ---- menu screen ---------------------------------------------------------------

class MenuScreen : public ScreenCells {
 protected:
  // Entries whose labels are `widths` pixels wide and 4 high (clear of the
  // sampled pixel of their cells).
  std::vector<MenuItem*> AddEntries(const std::vector<int>& widths) {
    std::vector<MenuItem*> items;
    for (size_t i = 0; i < widths.size(); ++i) {
      MenuItem& item = MapAddOrFind(menuState.items, "entry" + std::to_string(i));
      item.label = probe::SolidLabel(MenuLabelLayer, widths[i], 4, Rgb(250, 250, 250));
      ListAppend(menuState.entries) = &item;
      items.push_back(&item);
    }
    ListFirst(menuState.entries);
    return items;
  }

  static void Select(MenuItem* item) {
    for (MenuItem*& entry : menuState.entries.items) {
      if (entry == item) {
        ASSERT_TRUE(ListSeek(menuState.entries, &entry));
      }
    }
  }

  static std::vector<std::string> PanelCells() {
    std::vector<std::string> rows = BlankCells();
    for (int y = 3; y <= 35; ++y) Put(rows, 3, y, std::string(32, 'p'));
    return rows;
  }
};

TEST_F(MenuScreen, EntriesAreStackedAroundTheMiddle) {
  struct Case {
    int count;
    std::vector<int> rows;
  };
  const Case cases[] = {
      {1, {18}}, {2, {16, 19}}, {3, {15, 18, 21}}, {4, {14, 17, 20, 23}},
      {5, {12, 15, 18, 21, 24}},
  };
  for (const Case& c : cases) {
    ListClear(menuState.entries);
    const std::vector<MenuItem*> items = AddEntries(std::vector<int>(c.count, 36));
    DrawMenuScreen();
    for (int i = 0; i < c.count; ++i) {
      EXPECT_EQ(items[i]->label->y, c.rows[i]) << c.count << " entries, entry " << i;
      EXPECT_EQ(items[i]->label->x, 19) << c.count << " entries, entry " << i;
    }
    // The labels are centred on their cells: 36 pixels across column 19.
    const probe::Frame frame = probe::LastFrame();
    for (int i = 0; i < c.count; ++i) {
      const int y = c.rows[i] * 18 + 9;
      EXPECT_TRUE(Near(frame.At(19 * 18 + 9 - 18, y), Rgb(250, 250, 250)))
          << "entry " << i << " of " << c.count;
      EXPECT_FALSE(Near(frame.At(19 * 18 + 9 - 19, y), Rgb(250, 250, 250)));
    }
  }
}

TEST_F(MenuScreen, BarBehindTheSelectedEntry) {
  struct Case {
    int width;  // of the selected entry's sprite, in pixels (cells of 18)
    int from, to;
  };
  const Case cases[] = {
      {90, 16, 22},   // 5 cells: h = 3, rnd(16) to rnd(22)
      {117, 15, 23},  // 6.5 cells: h = 3.75, rnd(15.25) to rnd(22.75)
      {108, 16, 22},  // 6 cells: h = 3.5, rnd(15.5) = 16, rnd(22.5) = 22
      {18, 18, 20},   // 1 cell: h = 1
      {0, 18, 20},    // no width: h = 0.5, rnd(18.5) = 18, rnd(19.5) = 20
  };
  for (const Case& c : cases) {
    ListClear(menuState.entries);
    const std::vector<MenuItem*> items = AddEntries({200, c.width, 200});
    Select(items[1]);
    DrawMenuScreen();
    std::vector<std::string> expected = PanelCells();
    for (int y = 17; y <= 19; ++y) {
      Put(expected, c.from, y, std::string(c.to - c.from + 1, 'h'));
    }
    SCOPED_TRACE("sprite width " + std::to_string(c.width));
    ExpectCells(expected);
  }
}

TEST_F(MenuScreen, SelectionSurvivesTheDrawAndMovesTheBar) {
  const std::vector<MenuItem*> items = AddEntries({90, 90, 90, 90});
  Select(items[2]);
  DrawMenuScreen();
  ASSERT_NE(ListCurrent(menuState.entries), nullptr);
  EXPECT_EQ(*ListCurrent(menuState.entries), items[2]) << "the selection is left where it was";
  std::vector<std::string> cells = Cells();
  EXPECT_EQ(cells[20].substr(15, 9), "phhhhhhhp");
  EXPECT_EQ(cells[14].substr(15, 9), "ppppppppp");

  Select(items[0]);
  DrawMenuScreen();
  EXPECT_EQ(*ListCurrent(menuState.entries), items[0]);
  cells = Cells();
  EXPECT_EQ(cells[14].substr(15, 9), "phhhhhhhp");
  EXPECT_EQ(cells[20].substr(15, 9), "ppppppppp");
  for (int i = 0; i < 4; ++i) EXPECT_EQ(items[i]->label->y, 14 + 3 * i) << "entry " << i;

  // No selection at all: no bar, and still none afterwards.
  ListNext(menuState.entries);
  ListLast(menuState.entries);
  ListNext(menuState.entries);
  ASSERT_EQ(ListCurrent(menuState.entries), nullptr);
  DrawMenuScreen();
  EXPECT_EQ(ListCurrent(menuState.entries), nullptr);
  ExpectCells(PanelCells());
}

TEST_F(MenuScreen, EmptyMenuShowsPanelAndHeader) {
  MenuItem& header = MapAddOrFind(menuState.items, "v");
  header.label = probe::SolidLabel(MenuLabelLayer, 30, 5, Rgb(10, 10, 10));
  header.label->align = AlignLeft | AlignTop;
  header.label->x = 4;
  header.label->y = 34;
  DrawMenuScreen();
  std::vector<std::string> expected = PanelCells();
  Put(expected, 4, 34, "vv");  // pixels 72 to 101 across, 612 to 616 down
  ExpectCells(expected);

  MapRemove(menuState.items, "v");
  DrawMenuScreen();
  SCOPED_TRACE("no header item, no header");
  ExpectCells(PanelCells());
}

class MenuScreenLook : public GameScreenLook {};

TEST_F(MenuScreenLook, MainMenuWithTheRealStyles) {
  const char* const texts[] = {"Continue", "New Game", "Options", "Quit"};
  for (int i = 0; i < 4; ++i) {
    MenuItem& item = MapAddOrFind(menuState.items, "entry" + std::to_string(i));
    item.label = CreateTextLabel(MenuLabelLayer);
    RefreshTextLabel(item.label, texts[i], 3.5f, 3.0f, 0xF6FFF6);
    item.label->alpha = 222;
    ListAppend(menuState.entries) = &item;
  }
  ListFirst(menuState.entries);
  ListNext(menuState.entries);  // the second entry is selected
  MenuItem& header = MapAddOrFind(menuState.items, "v");
  header.label = TextAt(ProductTitle, 1.5f, 0xF6FFF6, MenuLabelLayer,
                        AlignLeft | AlignTop, 4, 34);
  header.label->alpha = 88;
  DrawMenuScreen();
  const probe::Frame frame = probe::LastFrame();
  probe::DumpFrame(frame, "menu");
  // The bar is kind 3 at alpha 192 over the backdrop.
  const uint32_t bar = probe::Blend(Rgb(179, 196, 179), Backdrop, 192);
  // Sampled in the bar's first column, left of where the text begins.
  MenuItem* selected = *ListCurrent(menuState.entries);
  ASSERT_GT(selected->label->spriteWidth, 0) << "the font must render the entry";
  const double half = (selected->label->spriteWidth / 18.0 + 1) * 0.5;
  const int x = static_cast<int>(RoundEven(19 - half)) * 18 + 2;
  EXPECT_TRUE(Near(frame.At(x, 16 * 18 + 2), bar, probe::BlendedRounding))
      << "expected " << ColourText(bar) << " got " << ColourText(frame.At(x, 16 * 18 + 2));
}

}  // namespace
