// SPDX-License-Identifier: MIT
// Opening the display at a scale: geometry, block sprites, the background
// layer, and reopening at another scale.
#include <gtest/gtest.h>

#include <SDL.h>

#include <set>
#include <string>
#include <vector>

#include "play/effects.h"
#include "render/frame.h"
#include "render/label.h"
#include "runtime/text.h"
#include "runtime/vector.h"
#include "runtime/window.h"
#include "shell/blocks.h"
#include "shell/fullscreen.h"
#include "shell/version.h"
#include "tests/support/screen_fixture.h"

using probe::Near;

namespace {

class DisplayOpen : public probe::PlatformTest {
 protected:
  void SetUp() override {
    PlatformTest::SetUp();
    SeedRandom(77);
  }
};

struct GeometryCase {
  float scale;
  float storedScale;
  int cell;
  int width;
  int height;
};

TEST_F(DisplayOpen, GeometryFollowsTheScale) {
  const GeometryCase cases[] = {
      {1.1f, 1.1f, 18, 684, 702},    // 17.6 rounds up
      {1.32f, 1.32f, 21, 798, 819},  // 21.12
      {1.0f, 1.0f, 16, 608, 624},
      {0.35f, 0.45f, 7, 266, 273},  // lifted once: 0.45, 7.2 cells
      {0.2f, 0.3f, 5, 190, 195},    // lifted once only: 0.3, not 0.4
      {0.4f, 0.4f, 6, 228, 234},    // 6.4: not lifted
  };
  for (const GeometryCase& c : cases) {
    SCOPED_TRACE("scale " + FixedText(c.scale, 2));
    ZeroGlobalState();
    ASSERT_NE(OpenDisplay(1, 16, c.scale, c.scale, true), 0);
    EXPECT_EQ(screenState.screenMode, 1);
    EXPECT_FLOAT_EQ(screenState.scaleX, c.storedScale);
    EXPECT_FLOAT_EQ(screenState.scaleY, c.storedScale);
    EXPECT_EQ(screenState.baseCell, 16);
    EXPECT_EQ(screenState.cellWidth, c.cell);
    EXPECT_EQ(screenState.cellHeight, c.cell);
    EXPECT_EQ(screenState.columns, 38);
    EXPECT_EQ(screenState.rows, 39);
    EXPECT_EQ(screenState.width, c.width);
    EXPECT_EQ(screenState.height, c.height);
    EXPECT_EQ(BackgroundLayer.columns, 39);
    EXPECT_EQ(BackgroundLayer.rows, 40);
    EXPECT_EQ(LayerPriority.columns, 39);
    EXPECT_EQ(LayerPriority.rows, 40);
    EXPECT_EQ(GetTitleText(screenState.window), ProductTitle);
    KillTimer(GetNativeWindow(screenState.window), TimerId);
    CloseGlScreen();
    CloseAppWindow(screenState.window);
  }
}

TEST_F(DisplayOpen, ScalesDifferPerAxis) {
  ASSERT_NE(OpenDisplay(1, 16, 1.0f, 1.5f, true), 0);
  EXPECT_EQ(screenState.cellWidth, 16);
  EXPECT_EQ(screenState.cellHeight, 24);
  EXPECT_EQ(screenState.width, 608);
  EXPECT_EQ(screenState.height, 936);
}

TEST_F(DisplayOpen, ModeOtherThanWindowedDoesNothing) {
  EXPECT_EQ(OpenDisplay(0, 16, 1.1f, 1.1f, true), 0) << "no window is open yet";
  EXPECT_EQ(screenState.screenMode, 0);
  EXPECT_EQ(MapCount(SpriteTable), 0u);
  ASSERT_NE(OpenDisplay(1, 16, 1.1f, 1.1f, true), 0);
  const int window = screenState.window;
  EXPECT_EQ(OpenDisplay(2, 16, 2.0f, 2.0f, true), window) << "returns the open window";
  EXPECT_EQ(screenState.cellWidth, 18) << "and changes nothing";
}

TEST_F(DisplayOpen, SpriteTableHoldsEveryBlock) {
  ASSERT_NE(OpenDisplay(1, 16, 1.1f, 1.1f, true), 0);
  EXPECT_EQ(MapCount(SpriteTable), 518u);
  std::vector<std::string> keys = {"1", "2", "3", "4", "5", "6"};
  for (uint32_t* colour = ListFirst(BlockColourList); colour; colour = ListNext(BlockColourList)) {
    keys.push_back(DecimalText(*colour));
  }
  std::set<int> sprites;
  for (const std::string& key : keys) {
    const int* sprite = MapFind(SpriteTable, key);
    ASSERT_NE(sprite, nullptr) << "no sprite under key " << key;
    EXPECT_TRUE(SpriteExists(*sprite)) << "key " << key << " sprite " << *sprite;
    sprites.insert(*sprite);
  }
  EXPECT_EQ(sprites.size(), 518u) << "every key has its own sprite";
}

TEST(BlockColours, FiveHundredTwelveWithRedSlowest) {
  OrderedList<uint32_t> list;
  ListCreate(list);
  ListAppend(list) = 12345;  // the list is emptied first
  FillBlockColourList(list);
  ASSERT_EQ(ListCount(list), 512u);
  std::vector<uint32_t> colours(list.items.begin(), list.items.end());
  EXPECT_EQ(colours[0], Rgb(31, 31, 31));
  EXPECT_EQ(colours[1], Rgb(31, 31, 63)) << "blue varies fastest";
  EXPECT_EQ(colours[8], Rgb(31, 63, 31));
  EXPECT_EQ(colours[64], Rgb(63, 31, 31)) << "red varies slowest";
  EXPECT_EQ(colours[511], Rgb(255, 255, 255));
  std::set<uint32_t> distinct(colours.begin(), colours.end());
  EXPECT_EQ(distinct.size(), 512u);
  for (uint32_t c : colours) {
    EXPECT_EQ(c & 0xFF1F1F1Fu, 0x1F1F1Fu) << "low five bits set, alpha 0: " << c;
  }
}

TEST(BlockColours, ScaleColourRoundsAndCaps) {
  // The dark edge of every channel level at 0.7, in single precision.
  const uint32_t levels[] = {31, 63, 95, 127, 159, 191, 223, 255};
  const uint32_t dark[] = {22, 44, 66, 89, 111, 134, 156, 178};
  for (int i = 0; i < 8; ++i) {
    const uint32_t v = levels[i];
    EXPECT_EQ(ScaleColour(Rgb(v, v, v), 0.7f), Rgb(dark[i], dark[i], dark[i]))
        << "level " << v << " expected " << dark[i];
  }
  struct Case {
    uint32_t colour;
    float factor;
    uint32_t expected;
  };
  const Case cases[] = {
      {Rgb(179, 196, 179), 0.8f, Rgb(143, 157, 143)},
      {Rgb(187, 204, 187), 1.2f, Rgb(224, 245, 224)},
      {Rgb(255, 230, 10), 1.2f, Rgb(255, 255, 12)},    // capped at 255
      {0xFF00001Fu, 1.0f, 0x1Fu},                     // the alpha byte is dropped
      {Rgb(5, 15, 25), 0.5f, Rgb(2, 8, 12)},          // 2.5, 7.5, 12.5: halves to even
      {Rgb(1, 2, 3), 0.0f, 0u},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ScaleColour(c.colour, c.factor), c.expected)
        << probe::ColourText(c.colour) << " x " << c.factor << ": expected "
        << probe::ColourText(c.expected) << " got "
        << probe::ColourText(ScaleColour(c.colour, c.factor));
  }
}

// Across an 18-pixel block each 7-unit step is 2.57 pixels: columns 0-1 and
// 16-17 are edge, 3-4 and 13-14 face, 6-11 the inner square; the others are
// mixed by anti-aliasing.
struct Band {
  int from;
  int to;
  bool face;
};
const Band blockBands[] = {{0, 1, false}, {3, 4, true}, {6, 11, false}, {13, 14, true},
                           {16, 17, false}};

TEST(BlockImage, ThreeNestedSquaresAtEighteenPixels) {
  ZeroGlobalState();
  const int image = NewImage(18, 18, 0xFFFFFFFFu);
  ASSERT_NE(image, 0);
  const uint32_t face = Rgb(200, 40, 90);
  const uint32_t edge = Rgb(20, 110, 30);
  DrawBlockImage(image, face, edge);  // alpha bytes 0: drawn opaque all the same
  for (int y = 0; y < 18; ++y) {
    for (int x = 0; x < 18; ++x) {
      EXPECT_EQ(ImagePixel(image, x, y) >> 24, 255u) << "pixel " << x << "," << y;
    }
  }
  for (const Band& band : blockBands) {
    for (int x = band.from; x <= band.to; ++x) {
      const uint32_t expected = band.face ? face : edge;
      const uint32_t got = ImagePixel(image, x, 9) & 0xFFFFFF;
      EXPECT_TRUE(Near(got, expected)) << "column " << x << " expected "
                                       << probe::ColourText(expected) << " got "
                                       << probe::ColourText(got);
      const uint32_t down = ImagePixel(image, 9, x) & 0xFFFFFF;
      EXPECT_TRUE(Near(down, expected)) << "row " << x << " expected "
                                        << probe::ColourText(expected) << " got "
                                        << probe::ColourText(down);
    }
  }
  // The face ring at a corner: (3, 3) lies inside the 5 x 5 square only.
  EXPECT_TRUE(Near(ImagePixel(image, 3, 3) & 0xFFFFFF, face));
  DisposeImage(image);
}

class BlockSprites : public probe::ScreenTest {};

TEST_F(BlockSprites, KindBlocksShowTheirColoursOnScreen) {
  struct Case {
    int32_t kind;
    uint32_t face;
    uint32_t edge;
  };
  const Case cases[] = {
      {2, Rgb(179, 196, 179), Rgb(168, 185, 168)}, {1, Rgb(143, 157, 143), Rgb(168, 185, 168)},
      {5, Rgb(187, 204, 187), Rgb(131, 143, 131)}, {6, Rgb(224, 245, 224), Rgb(131, 143, 131)},
      {3, Rgb(179, 196, 179), Rgb(179, 196, 179)}, {4, Rgb(168, 185, 168), Rgb(168, 185, 168)},
      {static_cast<int32_t>(Rgb(95, 255, 31)), Rgb(95, 255, 31), Rgb(66, 178, 22)},
  };
  FrameGrid grid;
  CreateFrameGrid(grid);
  std::vector<CellStyle> styles;
  styles.reserve(std::size(cases));
  for (const Case& c : cases) styles.push_back(probe::MakeStyle(c.kind, 255));
  for (size_t i = 0; i < styles.size(); ++i) {
    PaintCell(grid, 2 + 2 * static_cast<int>(i), 3, &styles[i], 1);
  }
  DrawScreen(grid, {});
  const probe::Frame frame = probe::LastFrame();
  for (size_t i = 0; i < std::size(cases); ++i) {
    const int left = (2 + 2 * static_cast<int>(i)) * 18;
    const int top = 3 * 18;
    for (const Band& band : blockBands) {
      for (int x = band.from; x <= band.to; ++x) {
        const uint32_t expected = band.face ? cases[i].face : cases[i].edge;
        const uint32_t got = frame.At(left + x, top + 9);
        EXPECT_TRUE(Near(got, expected))
            << "kind " << cases[i].kind << " column " << x << " expected "
            << probe::ColourText(expected) << " got " << probe::ColourText(got);
      }
    }
  }
}

// ---- background layer ------------------------------------------------------

TEST_F(DisplayOpen, BackgroundCellsFollowTheirRules) {
  ASSERT_NE(OpenDisplay(1, 16, 1.1f, 1.1f, true), 0);
  int filled = 0, spinning = 0, scaled = 0, faint = 0;
  for (int y = 0; y <= 39; ++y) {
    for (int x = 0; x <= 38; ++x) {
      CellStyle* cell = *Array2DAt(BackgroundLayer, x, y);
      if (!cell) continue;
      ++filled;
      SCOPED_TRACE("cell " + std::to_string(x) + "," + std::to_string(y));
      EXPECT_EQ(cell->tag, 3);
      EXPECT_TRUE(cell->kind == 3 || cell->kind == 4) << cell->kind;
      EXPECT_EQ(cell->spriteKey, DecimalText(cell->kind));
      EXPECT_NE(MapFind(CellStyleRegistry, IdentityKey(cell)), nullptr) << "registered";
      const bool isFaint = cell->alpha >= 32 && cell->alpha <= 64;
      EXPECT_TRUE(isFaint || (cell->alpha >= 164 && cell->alpha <= 192)) << int(cell->alpha);
      faint += isFaint;
      const EffectRecord* effect = cell->effect;
      if (!effect) continue;
      if (effect->spinEnd == Forever) {
        ++spinning;
        EXPECT_TRUE(isFaint) << "only faint cells spin";
        EXPECT_EQ(effect->spinPeriod, 32);
        EXPECT_EQ(effect->angle, 0.0f);
        const float step = effect->angleStep < 0 ? -effect->angleStep : effect->angleStep;
        EXPECT_TRUE(step >= 30 && step <= 45 && step == static_cast<int>(step)) << step;
      }
      if (effect->scaleEnd == Forever) {
        ++scaled;
        const float tenths = effect->scale * 10.0f;
        EXPECT_TRUE(tenths >= 4.99f && tenths <= 18.01f) << effect->scale;
        EXPECT_NEAR(tenths, RoundEven(tenths), 1e-4) << effect->scale;
      }
    }
  }
  // 1560 cells, one in nine filled; three in four of those faint, half of the
  // faint ones spinning; one in four scaled. Wide bounds: a fixed seed.
  EXPECT_GT(filled, 120);
  EXPECT_LT(filled, 230);
  EXPECT_GT(faint, filled / 2);
  EXPECT_GT(spinning, faint / 4);
  EXPECT_LT(spinning, faint * 3 / 4);
  EXPECT_GT(scaled, filled / 8);
  EXPECT_LT(scaled, filled / 2);
  EXPECT_EQ(MapCount(CellStyleRegistry), static_cast<size_t>(filled));
}

TEST_F(DisplayOpen, SameSeedSameBackground) {
  auto snapshot = [] {
    std::vector<std::string> cells;
    for (CellStyle* cell : BackgroundLayer.cells) {
      cells.push_back(cell ? cell->spriteKey + "/" + std::to_string(cell->alpha) + "/" +
                                 (cell->effect ? FixedText(cell->effect->angleStep, 0) + "/" +
                                                     FixedText(cell->effect->scale, 1)
                                               : "-")
                           : "");
    }
    return cells;
  };
  SeedRandom(5);
  ASSERT_NE(OpenDisplay(1, 16, 1.1f, 1.1f, true), 0);
  const auto first = snapshot();
  KillTimer(GetNativeWindow(screenState.window), TimerId);
  CloseGlScreen();
  CloseAppWindow(screenState.window);
  ZeroGlobalState();
  SeedRandom(5);
  ASSERT_NE(OpenDisplay(1, 16, 1.1f, 1.1f, true), 0);
  EXPECT_EQ(snapshot(), first);
}

TEST_F(DisplayOpen, RecreatingTheBackgroundDestroysTheOldCells) {
  ASSERT_NE(OpenDisplay(1, 16, 1.1f, 1.1f, true), 0);
  const size_t effects = ListCount(EffectList);
  KillTimer(GetNativeWindow(screenState.window), TimerId);
  CloseGlScreen();
  CloseAppWindow(screenState.window);
  ASSERT_NE(OpenDisplay(1, 16, 1.1f, 1.1f, true), 0);
  size_t filled = 0;
  for (CellStyle* cell : BackgroundLayer.cells) filled += cell != nullptr;
  EXPECT_EQ(MapCount(CellStyleRegistry), filled) << "no cells of the old layer remain";
  size_t withEffect = 0;
  for (CellStyle* cell : BackgroundLayer.cells) withEffect += cell && cell->effect;
  EXPECT_EQ(ListCount(EffectList), withEffect) << "nor their effects (first layer had "
                                               << effects << ")";
}

// ---- reopening -------------------------------------------------------------

struct CellRecord {
  CellStyle* cell;
  int32_t kind;
  uint8_t alpha;
  EffectRecord* effect;
  float angleStep;
  float scale;
};

std::vector<CellRecord> RecordBackground() {
  std::vector<CellRecord> records;
  for (CellStyle* cell : BackgroundLayer.cells) {
    if (!cell) {
      records.push_back({});
      continue;
    }
    records.push_back({cell, cell->kind, cell->alpha, cell->effect,
                       cell->effect ? cell->effect->angleStep : 0.0f,
                       cell->effect ? cell->effect->scale : 0.0f});
  }
  return records;
}

TEST_F(DisplayOpen, ReopeningKeepsTheBackgroundAndRebuildsSprites) {
  ASSERT_NE(OpenDisplay(1, 16, 1.1f, 1.1f, true), 0);
  const std::vector<CellRecord> before = RecordBackground();
  const size_t cells = MapCount(CellStyleRegistry);
  const size_t effects = ListCount(EffectList);

  ASSERT_TRUE(ReopenDisplay(1.32f, 1.32f));
  EXPECT_EQ(screenState.screenMode, 1);
  EXPECT_EQ(screenState.cellWidth, 21);
  EXPECT_EQ(screenState.width, 798);
  EXPECT_EQ(screenState.height, 819);
  EXPECT_NE(GetNativeWindow(screenState.window), nullptr);
  EXPECT_EQ(MapCount(SpriteTable), 518u);
  MapReset(SpriteTable);
  while (int* sprite = MapNext(SpriteTable)) EXPECT_TRUE(SpriteExists(*sprite));

  const std::vector<CellRecord> after = RecordBackground();
  ASSERT_EQ(after.size(), before.size());
  for (size_t i = 0; i < before.size(); ++i) {
    SCOPED_TRACE("cell index " + std::to_string(i));
    EXPECT_EQ(after[i].cell, before[i].cell);
    EXPECT_EQ(after[i].kind, before[i].kind);
    EXPECT_EQ(after[i].alpha, before[i].alpha);
    EXPECT_EQ(after[i].effect, before[i].effect);
    EXPECT_EQ(after[i].angleStep, before[i].angleStep);
    EXPECT_EQ(after[i].scale, before[i].scale);
  }
  EXPECT_EQ(MapCount(CellStyleRegistry), cells);
  EXPECT_EQ(ListCount(EffectList), effects);
  EXPECT_EQ(LayerPriority.columns, 39);
  EXPECT_EQ(LayerPriority.rows, 40);
}

TEST_F(DisplayOpen, ReopeningRefreshesEveryLabelAtTheNewScale) {
  ASSERT_NE(OpenDisplay(1, 16, 1.0f, 1.0f, true), 0);
  TextLabel* label = CreateTextLabel(GameLabelLayer);
  ASSERT_NE(label, nullptr);
  RefreshTextLabel(label, "M", 2.5f, 2.0f, 0xF6FFF6);
  ASSERT_NE(label->sprite, 0) << "the font must render M";
  const int width = label->spriteWidth;
  const int height = label->spriteHeight;
  TextLabel* blank = CreateTextLabel(MenuLabelLayer);  // never given a text
  TextLabel* unshown = CreateTextLabel(MenuLabelLayer);
  RefreshTextLabel(unshown, "M", 2.5f, 2.0f, 0xF6FFF6);

  ASSERT_TRUE(ReopenDisplay(2.0f, 2.0f));
  EXPECT_EQ(label->sprite, 0) << "drawn again as frames need it, not all at once";
  RefreshTextLabel(unshown, "MM", 2.5f, 2.0f, 0xF6FFF6);  // as the scale caption is
  EXPECT_EQ(unshown->sprite, 0) << "a new text for a label no frame needs yet waits for one";
  // The first frame shows the label it draws; the rest follow once it is on
  // screen. Without the label the same frame differs.
  FrameGrid grid;
  CreateFrameGrid(grid);
  std::vector<uint32_t> shown, bare;
  int width2 = 0, height2 = 0;
  label->alpha = 255;
  CaptureFrames(true);
  DrawScreen(grid, {label});
  ASSERT_TRUE(LastFramePixels(shown, width2, height2));
  DrawScreen(grid, {});
  ASSERT_TRUE(LastFramePixels(bare, width2, height2));
  CaptureFrames(false);
  EXPECT_TRUE(shown != bare) << "the label was missing from the first frame";
  EXPECT_FALSE(label->stale || unshown->stale) << "drawn again, still waiting: every frame redraws it";
  EXPECT_EQ(unshown->text, "MM");
  EXPECT_GT(unshown->spriteWidth, 2 * width) << "a label no frame showed was not drawn again";

  EXPECT_NE(label->sprite, 0);
  EXPECT_TRUE(SpriteExists(label->sprite));
  EXPECT_EQ(label->text, "M");
  EXPECT_EQ(label->colour, 0xF6FFF6u);
  EXPECT_EQ(label->sizeX, 2.5f);
  EXPECT_EQ(label->sizeY, 2.0f);
  EXPECT_EQ(label->spriteWidth, 2 * width) << "was " << width;
  EXPECT_EQ(label->spriteHeight, 2 * height) << "was " << height;
  EXPECT_EQ(blank->sprite, 0);

  // The label's sprite number is its own, not a block sprite's.
  MapReset(SpriteTable);
  while (int* sprite = MapNext(SpriteTable)) EXPECT_NE(*sprite, label->sprite);
}

TEST_F(DisplayOpen, AProgramAboutToEndRendersNoWaitingLabel) {
  ASSERT_NE(OpenDisplay(1, 16, 1.0f, 1.0f, true), 0);
  TextLabel* unshown = CreateTextLabel(MenuLabelLayer);
  RefreshTextLabel(unshown, "M", 2.5f, 2.0f, 0xF6FFF6);
  ASSERT_TRUE(ReopenDisplay(2.0f, 2.0f));
  SDL_Event quit{};
  quit.type = SDL_QUIT;  // the session is ending, right after the scale change
  SDL_PushEvent(&quit);
  FrameGrid grid;
  CreateFrameGrid(grid);
  DrawScreen(grid, {});
  EXPECT_TRUE(unshown->stale) << "rendered though the program is to end";
  int code = 0;
  for (int k = 0; k < 100 && (code = WaitEvent(0)) != 0 && code != CloseWindowEvent; ++k) {
  }
  EXPECT_EQ(code, CloseWindowEvent);
}

TEST_F(DisplayOpen, AScaleIsLiftedOnceThroughFullscreen) {
  // A 400-pixel-wide desktop's start scale.
  ASSERT_NE(OpenDisplay(1, 16, 0.275f, 0.275f, true), 0);
  EXPECT_FLOAT_EQ(screenState.scaleX, 0.375f);
  ASSERT_TRUE(EnterFullscreen());
  ASSERT_TRUE(LeaveFullscreen());
  EXPECT_FLOAT_EQ(screenState.scaleX, 0.375f) << "lifted again: the window outgrows a small desktop";
  EXPECT_EQ(screenState.width, 38 * 6);
}

TEST_F(DisplayOpen, ReopeningWithoutAScreenDoesNothing) {
  EXPECT_TRUE(ReopenDisplay(1.32f, 1.32f));
  EXPECT_EQ(screenState.screenMode, 0);
  EXPECT_EQ(screenState.window, 0);
  EXPECT_EQ(MapCount(SpriteTable), 0u);
}

TEST_F(DisplayOpen, FailedOpenLeavesEverythingClosed) {
  EXPECT_EQ(OpenDisplay(1, 16, 1000.0f, 1000.0f, true), 0);
  EXPECT_EQ(screenState.screenMode, 0);
  EXPECT_EQ(screenState.window, 0);
  EXPECT_EQ(screenState.cellWidth, 0);
  EXPECT_EQ(screenState.width, 0);
  EXPECT_EQ(MapCount(SpriteTable), 0u);
  EXPECT_EQ(BackgroundLayer.columns, 1) << "the background is made only on success";
  for (int number = 1; number <= 4; ++number) {
    EXPECT_EQ(GetNativeWindow(number), nullptr) << "window " << number << " left open";
  }
  // And the display opens normally afterwards.
  EXPECT_NE(OpenDisplay(1, 16, 1.1f, 1.1f, true), 0);
  EXPECT_EQ(MapCount(SpriteTable), 518u);
}

TEST_F(DisplayOpen, ReopeningAtAnImpossibleScaleFallsBackToThePreviousOne) {
  ASSERT_NE(OpenDisplay(1, 16, 1.1f, 1.1f, true), 0);
  // Cells of 16000 pixels: a window far beyond what any screen can hold.
  ASSERT_TRUE(ReopenDisplay(1000.0f, 1000.0f));
  EXPECT_EQ(screenState.screenMode, 1);
  EXPECT_EQ(screenState.cellWidth, 18);
  EXPECT_FLOAT_EQ(screenState.scaleX, 1.1f);
  EXPECT_EQ(MapCount(SpriteTable), 518u);
}

TEST_F(DisplayOpen, SpritesThatCannotBeMadeAreSkippedUntilTheNextReopening) {
  FailNextSprites(1);
  ASSERT_NE(OpenDisplay(1, 16, 1.0f, 1.0f, true), 0);
  auto missing = [] {
    int count = 0;
    for (auto& [key, sprite] : SpriteTable.slots) count += sprite == 0 ? 1 : 0;
    return count;
  };
  EXPECT_EQ(missing(), 1) << "one block sprite could not be made";

  TextLabel* label = CreateTextLabel(GameLabelLayer);
  RefreshTextLabel(label, "00000000", 2.0f, 2.0f, 0xF6FFF6);
  FailNextSprites(1);
  RefreshTextLabel(label, "00000120", 2.0f, 2.0f, 0xE0F5E0);
  EXPECT_EQ(label->sprite, 0) << "nothing left to show";
  EXPECT_EQ(label->text, "00000120") << "the label must still know what it should say";

  // A frame is drawn without what is missing.
  FrameGrid grid;
  CreateFrameGrid(grid);
  PaintRect(grid, 0, 0, screenState.columns, screenState.rows, &Kind2Alpha127, 1);
  DrawScreen(grid, {label});

  ASSERT_TRUE(ReopenDisplay(1.1f, 1.1f));
  DrawScreen(grid, {});  // labels are drawn again once a frame is on screen
  EXPECT_EQ(missing(), 0);
  EXPECT_NE(label->sprite, 0);
  EXPECT_EQ(label->text, "00000120");
  EXPECT_EQ(label->colour, 0xE0F5E0u);
}

}  // namespace
