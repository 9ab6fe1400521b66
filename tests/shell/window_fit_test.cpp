// SPDX-License-Identifier: MIT
// How the window's size follows from the scale, and how the scale is kept to
// what fits the desktop: the start scale lowered in the Left key's steps, the
// exact edge of fitting, and the lower limit that wins over fitting.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "runtime/text.h"
#include "render/display.h"
#include "shell/scale.h"

namespace {

struct StartCase {
  const char* desktop;
  int32_t roomWidth, roomHeight;
  float startScale;  // desktop width ÷ 1600 × 1.1, as start-up computes it
  float fitted;
  int32_t width, height;
};

TEST(WindowFit, StartScaleIsLoweredUntilTheWindowFits) {
  const StartCase cases[] = {
      {"1600 x 900", 1600, 900, 1.1f, 1.1f, 684, 702},
      {"1920 x 1080", 1920, 1080, 1.32f, 1.32f, 798, 819},
      {"1024 x 768", 1024, 768, 0.704f, 0.704f, 418, 429},
      {"800 x 600", 800, 600, 0.55f, 0.55f, 342, 351},
      // Too short for their width: 2.365 gives 1444 x 1482, one step down
      // 36-pixel cells.
      {"3440 x 1440", 3440, 1440, 2.365f, 2.365f - 0.1f, 1368, 1404},
      {"2560 x 1080", 2560, 1080, 1.76f, 1.76f - 0.1f, 1026, 1053},
      // Two steps, and the last fits with one pixel to spare.
      {"3840 x 1600", 3840, 1600, 2.64f, 2.64f - 0.1f, 1558, 1599},
      {"1024 x 300", 1024, 300, 0.704f, 0.704f - 0.1f - 0.1f - 0.1f, 228, 234},
  };
  for (const StartCase& c : cases) {
    SCOPED_TRACE(c.desktop);
    const float scale = LowerScaleToFit(BaseCell, c.startScale, c.roomWidth, c.roomHeight);
    EXPECT_FLOAT_EQ(scale, c.fitted);
    int32_t width = 0, height = 0;
    WindowSizeAt(BaseCell, scale, scale, width, height);
    EXPECT_EQ(width, c.width);
    EXPECT_EQ(height, c.height);
    EXPECT_LE(height, c.roomHeight);
  }
}

TEST(WindowFit, TheLowerLimitWinsOverFitting) {
  // Nothing fits 100 pixels; the scale stops where the Left key stops, above
  // 0.4, from either side of a tenth.
  EXPECT_FLOAT_EQ(LowerScaleToFit(BaseCell, 1.1f, 1024, 100), 0.49999991f);
  EXPECT_FLOAT_EQ(LowerScaleToFit(BaseCell, 1.32f, 1024, 100), 0.41999987f);
  // A scale already at or below the limit is left alone.
  EXPECT_FLOAT_EQ(LowerScaleToFit(BaseCell, 0.35f, 100, 100), 0.35f);
}

TEST(WindowFit, FittingIsInclusiveOnBothSides) {
  // 2.365: 38-pixel cells, 1444 x 1482.
  EXPECT_TRUE(WindowFits(BaseCell, 2.365f, 2.365f, 1444, 1482));
  EXPECT_FALSE(WindowFits(BaseCell, 2.365f, 2.365f, 1443, 1482)) << "one pixel too narrow";
  EXPECT_FALSE(WindowFits(BaseCell, 2.365f, 2.365f, 1444, 1481)) << "one pixel too short";
  // Small scales are measured as they will be opened: 0.35 opens at 0.45.
  int32_t width = 0, height = 0;
  WindowSizeAt(BaseCell, 0.35f, 0.35f, width, height);
  EXPECT_EQ(width, 266);
  EXPECT_EQ(height, 273);
}

TEST(WindowFit, RoomIsTheUsableAreaLessTheLastFrameKnown) {
  struct Case {
    const char* what;
    WindowFrame learnt, measured;
    int32_t width, height;
  };
  const Case cases[] = {
      {"no frame at all", {}, {}, 1920, 1050},
      {"a frame measured", {}, {24, 1, 1, 1}, 1918, 1025},
      {"a window not told its frame yet", {24, 1, 1, 1}, {}, 1918, 1025},
      {"a new frame", {24, 1, 1, 1}, {30, 2, 3, 4}, 1914, 1017},
  };
  for (const Case& c : cases) {
    int32_t width = 0, height = 0;
    RoomForWindow(1920, 1050, KnownFrame(c.learnt, c.measured), width, height);
    EXPECT_EQ(width, c.width) << c.what;
    EXPECT_EQ(height, c.height) << c.what;
  }
}

struct FullscreenCase {
  const char* desktop;
  int32_t width, height;
  int16_t cell;
  int32_t left, top;
};

TEST(WindowFit, FullscreenTakesTheLargestCellThatFitsCentred) {
  const FullscreenCase cases[] = {
      {"1920 x 1080", 1920, 1080, 27, 447, 13},  // 1026 x 1053
      {"3840 x 2160", 3840, 2160, 55, 875, 7},   // 2090 x 2145
      {"1600 x 900", 1600, 900, 23, 363, 1},     // 874 x 897
      {"1366 x 768", 1366, 768, 19, 322, 13},    // 722 x 741
      // Upright: the width decides.
      {"1080 x 1920", 1080, 1920, 28, 8, 414},  // 1064 x 1092
      // Exactly 38 x 39 cells of 20: no margin at all.
      {"760 x 780", 760, 780, 20, 0, 0},
      {"759 x 780", 759, 780, 19, 18, 19},
      // Nothing fits: the smallest cell the Left key allows, at the corner.
      {"200 x 200", 200, 200, 7, 0, 0},
  };
  for (const FullscreenCase& c : cases) {
    SCOPED_TRACE(c.desktop);
    const FullscreenFit fit = FitFullscreen(BaseCell, c.width, c.height);
    EXPECT_EQ(fit.cell, c.cell);
    EXPECT_EQ(fit.left, c.left);
    EXPECT_EQ(fit.top, c.top);
    // The scale opens at exactly that cell, as OpenDisplay rounds it.
    int32_t width = 0, height = 0;
    WindowSizeAt(BaseCell, fit.scale, fit.scale, width, height);
    EXPECT_EQ(width, 38 * c.cell) << "scale " << fit.scale;
    EXPECT_EQ(height, 39 * c.cell) << "scale " << fit.scale;
  }
}

TEST(WindowFit, FullscreenFillsTheDisplayHoldingTheWindowsCentre) {
  // Two 1920 x 1080 side by side, a 1280 x 1024 on the right with its top
  // aligned, and one left of the first at negative coordinates.
  const Area displays[] = {
      {0, 0, 1920, 1080}, {1920, 0, 1920, 1080}, {3840, 0, 1280, 1024}, {-1280, 56, 1280, 1024}};
  struct Case {
    const char* window;
    Area area;
    int count;  // of the displays above
    int display;
  };
  const Case cases[] = {
      {"on the first", {100, 100, 684, 702}, 4, 0},
      {"on the second", {2300, 100, 684, 702}, 4, 1},
      {"straddling, centre on the second", {1600, 100, 684, 702}, 4, 1},
      {"centre on the first's last column", {1577, 100, 684, 702}, 4, 0},
      {"centre on the second's first column", {1578, 100, 684, 702}, 4, 1},
      {"on the one left of the first", {-900, 300, 684, 702}, 4, 3},
      {"centre below the short one: it is nearest", {3800, 700, 684, 702}, 4, 2},
      {"centre above everything: nearest", {2500, -900, 684, 702}, 4, 1},
      {"centre far right: nearest", {6000, 100, 684, 702}, 4, 2},
      {"centre below the first's last column", {1577, 1200, 684, 702}, 2, 0},
      {"a single display", {5000, 5000, 684, 702}, 1, 0},
      {"no display", {100, 100, 684, 702}, 0, -1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DisplayHoldingWindow(displays, c.count, c.area), c.display) << c.window;
  }
  // A display whose size is not known holds nothing, not even a window at
  // its corner.
  const Area unknownFirst[] = {{0, 0, 0, 0}, {1920, 0, 1920, 1080}};
  EXPECT_EQ(DisplayHoldingWindow(unknownFirst, 2, Area{-342, -351, 684, 702}), 1);
  // Mirrored outputs are one display twice: the first of them.
  const Area mirrored[] = {{0, 0, 1920, 1080}, {0, 0, 1920, 1080}};
  EXPECT_EQ(DisplayHoldingWindow(mirrored, 2, Area{100, 100, 684, 702}), 0);
}

}  // namespace
