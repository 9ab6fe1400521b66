// SPDX-License-Identifier: MIT
// The frame grid painters and DrawScreen, read back from real frames.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "play/effects.h"
#include "render/frame.h"
#include "tests/support/screen_fixture.h"

using probe::Backdrop;
using probe::ColourText;
using probe::MakeStyle;
using probe::Near;

namespace {

// ---- painting: no screen needed, only its grid size -------------------------

class Painting : public testing::Test {
 protected:
  FrameGrid grid;
  CellStyle a = MakeStyle(3, 0);
  CellStyle b = MakeStyle(4, 0);
  CellStyle c = MakeStyle(2, 0);

  void SetUp() override {
    ZeroGlobalState();
    screenState.columns = 38;
    screenState.rows = 39;
    Array2DCreate(LayerPriority, 39, 40);
    CreateFrameGrid(grid);
  }

  CellStyle* At(int x, int y) { return *Array2DAt(grid, x, y); }

  // The painted cells as "x,y" texts, row by row.
  std::vector<std::string> Painted() {
    std::vector<std::string> cells;
    for (int y = 0; y < grid.rows; ++y) {
      for (int x = 0; x < grid.columns; ++x) {
        if (At(x, y)) cells.push_back(std::to_string(x) + "," + std::to_string(y));
      }
    }
    return cells;
  }
};

TEST_F(Painting, HigherOrEqualPriorityWins) {
  struct Step {
    CellStyle* style;
    uint8_t priority;
    CellStyle* shown;  // after this paint
  };
  const Step steps[] = {
      {&a, 5, &a},  // an empty cell always takes the paint
      {&b, 3, &a},  // lower: ignored
      {&c, 5, &c},  // equal: the later paint wins
      {&a, 9, &a},
      {&b, 0, &a},
  };
  for (const Step& step : steps) {
    PaintCell(grid, 4, 6, step.style, step.priority);
    EXPECT_EQ(At(4, 6), step.shown) << "after painting kind " << step.style->kind
                                    << " at priority " << int(step.priority);
  }
  EXPECT_EQ(*Array2DAt(LayerPriority, 4, 6), 9);
}

TEST_F(Painting, StalePriorityDoesNotBlockAnEmptyCell) {
  *Array2DAt(LayerPriority, 7, 7) = 200;  // left over from an earlier frame
  PaintCell(grid, 7, 7, &a, 1);
  EXPECT_EQ(At(7, 7), &a);
  EXPECT_EQ(*Array2DAt(LayerPriority, 7, 7), 1);
  PaintCell(grid, 7, 7, &b, 0);
  EXPECT_EQ(At(7, 7), &a) << "now the fresh priority 1 counts";
}

TEST_F(Painting, CellsOutsideTheGridAreIgnored) {
  struct Case {
    int x, y;
    bool painted;
  };
  const Case cases[] = {{38, 0, true},  {39, 0, false}, {0, 39, true}, {0, 40, false},
                        {-1, 0, false}, {0, -1, false}, {38, 39, true}, {-5, 45, false}};
  for (const Case& cell : cases) {
    CreateFrameGrid(grid);
    PaintCell(grid, cell.x, cell.y, &a, 1);
    EXPECT_EQ(Painted().size(), cell.painted ? 1u : 0u) << "at " << cell.x << "," << cell.y;
  }
}

TEST_F(Painting, RectangleCornersInEitherOrder) {
  PaintRect(grid, 2, 1, 10, 5, &a, 1);
  const std::vector<std::string> forward = Painted();
  EXPECT_EQ(forward.size(), 45u);
  EXPECT_EQ(forward.front(), "2,1");
  EXPECT_EQ(forward.back(), "10,5");
  const int corners[][4] = {{10, 5, 2, 1}, {10, 1, 2, 5}, {2, 5, 10, 1}};
  for (const auto& c : corners) {
    CreateFrameGrid(grid);
    PaintRect(grid, c[0], c[1], c[2], c[3], &a, 1);
    EXPECT_EQ(Painted(), forward) << "corners " << c[0] << "," << c[1] << " " << c[2] << ","
                                  << c[3];
  }
}

TEST_F(Painting, RectangleIsClippedToTheGrid) {
  PaintRect(grid, -3, -3, 100, 100, &a, 1);
  EXPECT_EQ(Painted().size(), 39u * 40u) << "exactly the whole grid";
  CreateFrameGrid(grid);
  PaintRect(grid, 100, 100, -3, -3, &a, 1);
  EXPECT_EQ(Painted().size(), 39u * 40u) << "corners swapped";
  CreateFrameGrid(grid);
  PaintRect(grid, 36, 37, 45, 50, &a, 1);
  EXPECT_EQ(Painted(), (std::vector<std::string>{"36,37", "37,37", "38,37", "36,38", "37,38",
                                                  "38,38", "36,39", "37,39", "38,39"}));
  CreateFrameGrid(grid);
  PaintRect(grid, 40, 2, 45, 4, &a, 1);
  EXPECT_TRUE(Painted().empty()) << "entirely to the right";
  CreateFrameGrid(grid);
  PaintRect(grid, -9, -9, -1, -1, &a, 1);
  EXPECT_TRUE(Painted().empty()) << "entirely above and left";
}

TEST_F(Painting, OutlinePaintsOnlyTheBorder) {
  PaintOutline(grid, 10, 5, 2, 1, &a, 1);
  std::vector<std::string> painted = Painted();
  EXPECT_EQ(painted.size(), 2u * 9 + 2u * 5 - 4) << "perimeter of 9 x 5";
  for (int y = 1; y <= 5; ++y) {
    for (int x = 2; x <= 10; ++x) {
      const bool border = x == 2 || x == 10 || y == 1 || y == 5;
      EXPECT_EQ(At(x, y) != nullptr, border) << "at " << x << "," << y;
    }
  }
  CreateFrameGrid(grid);
  PaintOutline(grid, -1, -1, 100, 100, &a, 1);
  EXPECT_EQ(Painted().size(), 2u * 39 + 2u * 40 - 4) << "clipped to the grid's own edge";
  EXPECT_EQ(At(0, 0), &a);
  EXPECT_EQ(At(38, 39), &a);
  EXPECT_EQ(At(1, 1), nullptr);
}

TEST_F(Painting, OutlineRespectsPriority) {
  PaintRect(grid, 0, 0, 10, 10, &b, 5);
  PaintOutline(grid, 0, 0, 10, 10, &a, 4);
  EXPECT_EQ(At(0, 0), &b);
  PaintOutline(grid, 0, 0, 10, 10, &a, 5);
  EXPECT_EQ(At(0, 0), &a);
  EXPECT_EQ(At(5, 0), &a);
  EXPECT_EQ(At(5, 5), &b);
}

// ---- drawing -----------------------------------------------------------------

class Drawing : public probe::ScreenTest {
 protected:
  FrameGrid grid;
  void SetUp() override {
    probe::ScreenTest::SetUp();
    CreateFrameGrid(grid);
  }

  probe::Frame Draw(const LabelList& labels = {}) {
    DrawScreen(grid, labels);
    return probe::LastFrame();
  }

  // Colour at a pixel inside cell (x, y).
  static uint32_t InCell(const probe::Frame& frame, int x, int y, int dx, int dy) {
    return frame.At(x * 18 + dx, y * 18 + dy);
  }
};

// A colour block's face (pixel 3 of 18) and inner edge (pixel 9).
const uint32_t red = Rgb(255, 31, 31);
const uint32_t redFace = red;
const uint32_t redEdge = Rgb(178, 22, 22);
const uint32_t blue = Rgb(31, 31, 255);
const uint32_t blueEdge = Rgb(22, 22, 178);

TEST_F(Drawing, EmptyFrameIsTheBackdrop) {
  const probe::Frame frame = Draw();
  ASSERT_EQ(frame.width, 684);
  ASSERT_EQ(frame.height, 702);
  const int points[][2] = {{0, 0}, {683, 0}, {0, 701}, {683, 701}, {342, 351}};
  for (const auto& p : points) {
    EXPECT_TRUE(Near(frame.At(p[0], p[1]), Backdrop))
        << "at " << p[0] << "," << p[1] << ": " << ColourText(frame.At(p[0], p[1]));
  }
}

TEST_F(Drawing, BackgroundShowsWhereNothingIsPainted) {
  CellStyle under = MakeStyle(red, 255);
  CellStyle over = MakeStyle(blue, 255);
  *Array2DAt(BackgroundLayer, 2, 3) = &under;
  *Array2DAt(BackgroundLayer, 5, 3) = &under;
  PaintCell(grid, 5, 3, &over, 0);
  const probe::Frame frame = Draw();
  EXPECT_TRUE(Near(InCell(frame, 2, 3, 9, 9), redEdge)) << ColourText(InCell(frame, 2, 3, 9, 9));
  EXPECT_TRUE(Near(InCell(frame, 2, 3, 3, 3), redFace)) << ColourText(InCell(frame, 2, 3, 3, 3));
  EXPECT_TRUE(Near(InCell(frame, 5, 3, 9, 9), blueEdge))
      << "a painted cell hides the background: " << ColourText(InCell(frame, 5, 3, 9, 9));
  EXPECT_TRUE(Near(InCell(frame, 3, 3, 9, 9), Backdrop));
}

TEST_F(Drawing, CellAlphaRules) {
  struct Case {
    const char* what;
    uint8_t alpha;
    uint8_t overrideActive, overrideAlpha;
    uint8_t blinkActive, blinkVisible;
    int shown;  // alpha expected on screen, 0 for not drawn
  };
  const Case cases[] = {
      {"alpha 0 is opaque", 0, 0, 0, 0, 0, 255},
      {"own alpha", 100, 0, 0, 0, 0, 100},
      {"override replaces it", 100, 1, 200, 0, 0, 200},
      {"inactive override ignored", 100, 0, 200, 0, 0, 100},
      {"blink hidden", 100, 0, 0, 1, 0, 0},
      {"blink shown", 100, 0, 0, 1, 1, 100},
      {"inactive blink ignored", 100, 0, 0, 0, 0, 100},
      {"override 0 hides", 100, 1, 0, 0, 0, 0},
  };
  std::vector<CellStyle> styles;
  std::vector<EffectRecord> effects(std::size(cases));
  styles.reserve(std::size(cases));
  for (size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    styles.push_back(MakeStyle(Rgb(255, 255, 255), c.alpha));
    EffectRecord& e = effects[i];
    e.overrideActive = c.overrideActive;
    e.overrideAlpha = c.overrideAlpha;
    e.overrideEnd = Forever;  // cells go by the flags, not the end times
    e.blinkActive = c.blinkActive;
    e.blinkVisible = c.blinkVisible;
    e.blinkEnd = Forever;
    styles.back().effect = &e;
    PaintCell(grid, 1 + 2 * static_cast<int>(i), 1, &styles.back(), 1);
  }
  const probe::Frame frame = Draw();
  for (size_t i = 0; i < std::size(cases); ++i) {
    const uint32_t expected =
        probe::Blend(Rgb(255, 255, 255), Backdrop, cases[i].shown);
    const uint32_t got = InCell(frame, 1 + 2 * static_cast<int>(i), 1, 3, 3);
    EXPECT_TRUE(Near(got, expected)) << cases[i].what << ": expected " << ColourText(expected)
                                     << " got " << ColourText(got);
  }
}

TEST_F(Drawing, ColourShiftShowsTheShownKey) {
  CellStyle cell = MakeStyle(red, 255);
  EffectRecord effect{};
  effect.shownColour = blue;
  effect.shownKey = std::to_string(blue);
  effect.shiftActive = 1;
  cell.effect = &effect;
  PaintCell(grid, 4, 4, &cell, 1);
  probe::Frame frame = Draw();
  EXPECT_TRUE(Near(InCell(frame, 4, 4, 9, 9), blueEdge)) << ColourText(InCell(frame, 4, 4, 9, 9));
  effect.shiftActive = 0;
  frame = Draw();
  EXPECT_TRUE(Near(InCell(frame, 4, 4, 9, 9), redEdge)) << "shift over: own key again";
  effect.shiftActive = 1;
  effect.shownKey = "no such sprite";
  frame = Draw();
  EXPECT_TRUE(Near(InCell(frame, 4, 4, 9, 9), Backdrop)) << "a missing sprite is skipped";
}

// Where along a row of the frame the sprite colour (not the backdrop) shows.
std::string Coverage(const probe::Frame& frame, int y, int from, int to) {
  std::string marks;
  for (int x = from; x <= to; ++x) marks += Near(frame.At(x, y), Backdrop, probe::BarelyCovered) ? '.' : '#';
  return marks;
}

TEST_F(Drawing, ScaledCellIsCentredOnItsCell) {
  struct Case {
    float scale;
    std::string row;  // pixels 81 to 116 along the middle of cell (5, 5), 90 to 107
  };
  const Case cases[] = {
      // 9 pixels at rnd(90 + 4.5) = 94: pixels 94 to 102
      {0.5f, "............." "#########" ".............."},
      // 27 pixels at rnd(90 - 4.5) = 86: pixels 86 to 112
      {1.5f, "....." "###########################" "...."},
      {1.0f, "........." "##################" "........."},
  };
  CellStyle cell = MakeStyle(red, 255);
  CellStyle plain = MakeStyle(red, 255);  // drawn after it with the same sprite
  EffectRecord effect{};
  effect.scaleActive = 1;
  cell.effect = &effect;
  *Array2DAt(BackgroundLayer, 5, 5) = &cell;
  *Array2DAt(BackgroundLayer, 5, 8) = &plain;
  for (const Case& c : cases) {
    effect.scale = c.scale;
    const probe::Frame frame = Draw();
    EXPECT_EQ(Coverage(frame, 5 * 18 + 9, 81, 116), c.row) << "scale " << c.scale;
    EXPECT_EQ(Coverage(frame, 8 * 18 + 9, 81, 116),
              std::string(9, '.') + std::string(18, '#') + std::string(9, '.'))
        << "the next cell with the same sprite is drawn at full size again, after scale "
        << c.scale;
  }
}

TEST_F(Drawing, SpinningCellIsTurnedAboutItsCentre) {
  CellStyle cell = MakeStyle(red, 255);
  CellStyle plain = MakeStyle(red, 255);
  EffectRecord effect{};
  effect.spinActive = 1;
  effect.angle = 45.0f;
  cell.effect = &effect;
  *Array2DAt(BackgroundLayer, 5, 5) = &cell;
  *Array2DAt(BackgroundLayer, 5, 8) = &plain;
  const probe::Frame frame = Draw();
  // Turned 45 degrees the square becomes a diamond reaching 12.7 pixels from
  // the centre (99, 99) along the axes: past the cell's own edges, while its
  // corners are bare.
  // The screen decides the outermost pixel of each slanted edge itself:
  // check inside and outside it.
  const std::string row = Coverage(frame, 99, 84, 114);  // pixels 84 to 114
  EXPECT_EQ(row.substr(0, 2), "..") << row;
  EXPECT_EQ(row.substr(4, 23), std::string(23, '#')) << "pixels 88 to 110: " << row;
  EXPECT_EQ(row.substr(29), "..") << row;
  const std::string column = [&] {
    std::string marks;
    for (int y = 84; y <= 114; ++y) marks += Near(frame.At(99, y), Backdrop, probe::BarelyCovered) ? '.' : '#';
    return marks;
  }();
  EXPECT_EQ(column.substr(4, 23), std::string(23, '#')) << "pixels 88 to 110: " << column;
  EXPECT_TRUE(Near(frame.At(91, 91), Backdrop)) << ColourText(frame.At(91, 91));
  EXPECT_TRUE(Near(frame.At(106, 106), Backdrop)) << ColourText(frame.At(106, 106));
  EXPECT_FALSE(Near(frame.At(99, 99), Backdrop));
  // The sprite is shared: the next cell of the same colour stands upright.
  EXPECT_TRUE(Near(frame.At(5 * 18 + 1, 8 * 18 + 1), redEdge))
      << ColourText(frame.At(5 * 18 + 1, 8 * 18 + 1));
}

TEST_F(Drawing, NothingIsDrawnWithoutAScreen) {
  CellStyle cell = MakeStyle(red, 255);
  Draw();  // a frame of the backdrop only
  PaintCell(grid, 0, 0, &cell, 1);
  screenState.screenMode = 0;
  DrawScreen(grid, {});
  screenState.screenMode = 1;
  const probe::Frame frame = probe::LastFrame();
  EXPECT_TRUE(Near(frame.At(9, 9), Backdrop)) << "no new frame was presented";
}

// ---- labels ------------------------------------------------------------------

struct Box {
  int left, top, right, bottom;  // inclusive pixels
};

// The box of label-coloured pixels in the frame.
Box FindColour(const probe::Frame& frame, uint32_t colour) {
  Box box{frame.width, frame.height, -1, -1};
  for (int y = 0; y < frame.height; ++y) {
    for (int x = 0; x < frame.width; ++x) {
      if (!Near(frame.At(x, y), colour)) continue;
      box.left = std::min(box.left, x);
      box.top = std::min(box.top, y);
      box.right = std::max(box.right, x);
      box.bottom = std::max(box.bottom, y);
    }
  }
  return box;
}

std::string BoxText(const Box& b) {
  return std::to_string(b.left) + "," + std::to_string(b.top) + " to " +
         std::to_string(b.right) + "," + std::to_string(b.bottom);
}

TEST_F(Drawing, LabelPlacementByAlignment) {
  struct Case {
    uint8_t align;
    int width, height;
    Box expected;  // the label at cell (5, 5): pixels 90 to 107 both ways
  };
  const Case cases[] = {
      {0, 10, 6, {94, 96, 103, 101}},             // centred: rnd(99 - 5), rnd(99 - 3)
      {0, 9, 7, {94, 96, 102, 102}},              // rnd(94.5) = 94, rnd(95.5) = 96
      {AlignRight | AlignTop, 10, 6, {98, 90, 107, 95}},
      {AlignLeft | AlignBottom, 10, 6, {90, 102, 99, 107}},
      {AlignRight | AlignLeft, 10, 6, {98, 96, 107, 101}},  // right wins over left
      {AlignTop | AlignBottom, 10, 6, {94, 90, 103, 95}},   // top wins over bottom
      {AlignLeft | AlignTop, 40, 30, {90, 90, 129, 119}},   // larger than the cell
  };
  const uint32_t colour = Rgb(20, 40, 240);
  for (const Case& c : cases) {
    TextLabel* label = probe::SolidLabel(GameLabelLayer, c.width, c.height, colour);
    ASSERT_NE(label, nullptr);
    label->x = 5;
    label->y = 5;
    label->align = c.align;
    const probe::Frame frame = Draw({label});
    const Box got = FindColour(frame, colour);
    EXPECT_EQ(BoxText(got), BoxText(c.expected))
        << "align " << int(c.align) << ", " << c.width << " x " << c.height;
    DestroyTextLabel(label);
  }
}

// Cells of 21 pixels: the centre of a cell falls between two pixels, and
// each of the two centring steps rounds on its own.
class DrawingOddCells : public probe::ScreenTest {
 protected:
  void SetUp() override {
    scale = 1.32f;
    probe::ScreenTest::SetUp();
  }
};

TEST_F(DrawingOddCells, LabelCentringRoundsTwice) {
  struct Case {
    int width, height;
    Box expected;  // the label at cell (5, 5): pixels 105 to 125 both ways
  };
  const Case cases[] = {
      // rnd(105 + 10.5) = 116, then 116 - 5 = 111: not rnd(110.5) = 110
      {10, 10, {111, 111, 120, 120}},
      // rnd(115.5) = 116, rnd(116 - 4.5) = 112 (111.5 to even)
      {9, 11, {112, 110, 120, 120}},
  };
  const uint32_t colour = Rgb(20, 40, 240);
  for (const Case& c : cases) {
    TextLabel* label = probe::SolidLabel(GameLabelLayer, c.width, c.height, colour);
    label->x = 5;
    label->y = 5;
    DrawScreen(*[] {
      static FrameGrid grid;
      CreateFrameGrid(grid);
      return &grid;
    }(), {label});
    EXPECT_EQ(BoxText(FindColour(probe::LastFrame(), colour)), BoxText(c.expected))
        << c.width << " x " << c.height;
    DestroyTextLabel(label);
  }
}

TEST_F(Drawing, LabelTakesItsColourAndAlpha) {
  TextLabel* label = probe::SolidLabel(GameLabelLayer, 20, 10, Rgb(31, 200, 90));
  label->x = 10;
  label->y = 10;
  probe::Frame frame = Draw({label});
  EXPECT_TRUE(Near(frame.At(189, 189), Rgb(31, 200, 90))) << ColourText(frame.At(189, 189));
  label->alpha = 128;
  frame = Draw({label});
  const uint32_t expected = probe::Blend(Rgb(31, 200, 90), Backdrop, 128);
  EXPECT_TRUE(Near(frame.At(189, 189), expected))
      << "expected " << ColourText(expected) << " got " << ColourText(frame.At(189, 189));
  label->alpha = 0;
  frame = Draw({label});
  EXPECT_TRUE(Near(frame.At(189, 189), Backdrop)) << "alpha 0 hides it";
}

TEST_F(Drawing, LabelEffectsGoByEndTimesAgainstTheClock) {
  // The frame's clock reads 10000.
  struct Case {
    const char* what;
    int64_t overrideEnd;
    uint8_t overrideActive;
    int64_t blinkEnd;
    uint8_t blinkActive, blinkVisible;
    int shown;
  };
  const Case cases[] = {
      {"blink running, hidden phase", 0, 0, 10000, 0, 0, 0},
      {"blink forever, hidden phase", 0, 0, Forever, 0, 0, 0},
      {"blink running, shown phase", 0, 0, 10000, 1, 1, 255},
      {"blink over though its flag is still set", 0, 0, 9999, 1, 0, 255},
      {"override running", 10000, 0, 0, 0, 1, 60},
      {"override forever", Forever, 0, 0, 0, 1, 60},
      {"override over though its flag is still set", 9999, 1, 0, 0, 1, 255},
  };
  const uint32_t colour = Rgb(240, 30, 30);
  for (const Case& c : cases) {
    TextLabel* label = probe::SolidLabel(GameLabelLayer, 20, 10, colour);
    label->x = 10;
    label->y = 10;
    EffectRecord effect{};
    effect.overrideAlpha = 60;
    effect.overrideEnd = c.overrideEnd;
    effect.overrideActive = c.overrideActive;
    effect.blinkEnd = c.blinkEnd;
    effect.blinkActive = c.blinkActive;
    effect.blinkVisible = c.blinkVisible;
    label->effect = &effect;
    const probe::Frame frame = Draw({label});
    const uint32_t expected = probe::Blend(colour, Backdrop, c.shown);
    EXPECT_TRUE(Near(frame.At(189, 189), expected))
        << c.what << ": expected " << ColourText(expected) << " got "
        << ColourText(frame.At(189, 189));
    label->effect = nullptr;
    DestroyTextLabel(label);
  }
}

TEST_F(Drawing, LabelsAreDrawnInListOrderOverTheCells) {
  CellStyle cell = MakeStyle(red, 255);
  PaintRect(grid, 8, 8, 12, 12, &cell, 1);
  TextLabel* first = probe::SolidLabel(GameLabelLayer, 30, 30, Rgb(0, 0, 255));
  TextLabel* second = probe::SolidLabel(GameLabelLayer, 10, 10, Rgb(0, 255, 0));
  first->x = second->x = 10;
  first->y = second->y = 10;
  TextLabel* hidden = probe::SolidLabel(GameLabelLayer, 10, 10, Rgb(0, 255, 0));
  hidden->sprite = 0;  // a label without a sprite is skipped
  probe::Frame frame = Draw({first, second, hidden});
  EXPECT_TRUE(Near(frame.At(189, 189), Rgb(0, 255, 0))) << ColourText(frame.At(189, 189));
  EXPECT_TRUE(Near(frame.At(177, 177), Rgb(0, 0, 255))) << ColourText(frame.At(177, 177));
  frame = Draw({second, first});
  EXPECT_TRUE(Near(frame.At(189, 189), Rgb(0, 0, 255))) << ColourText(frame.At(189, 189));
}

}  // namespace
