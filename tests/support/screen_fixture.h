// SPDX-License-Identifier: MIT
// The test kit's screens: real frames rendered on SDL's offscreen driver and
// read back. Two fixtures:
//   probe::ScreenTest        the game's display opened at `scale`, as the game
//                            opens it, the clock fixed, frames captured;
//   probe::SpriteScreenTest  a bare window and screen of the runtime, for
//                            sprites drawn without the game's display.
// A new screen test needs no more than this (kit_example_test.cpp runs it):
//
//   #include "render/screens.h"
//   #include "tests/support/screen_fixture.h"
//
//   class KitExample : public probe::ScreenTest {};
//
//   TEST_F(KitExample, GameLabelShowsOverTheBackdrop) {
//     const uint32_t ink = probe::Rgb(10, 10, 10);
//     TextLabel* label = probe::SolidLabel(GameLabelLayer, 20, 8, ink);
//     label->x = 30;  // in cells
//     label->y = 30;
//     DrawGameScreen();  // draws and presents the frame, which is captured
//     const probe::Frame frame = probe::LastFrame();
//     const uint32_t inside = frame.At(30 * CellW() + 9, 30 * CellH() + 9);
//     EXPECT_TRUE(probe::Near(inside, ink)) << probe::ColourText(inside);
//     EXPECT_TRUE(probe::Near(frame.At(5, 5), probe::Backdrop));
//   }
//
// Colours and tolerances are in pixels.h, the clock in stepping_clock.h, the
// block colours without a display in palette.h.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "game/cell.h"
#include "render/label.h"
#include "runtime/clock.h"
#include "runtime/colour.h"
#include "runtime/image.h"
#include "runtime/platform.h"
#include "runtime/random.h"
#include "runtime/screen.h"
#include "runtime/window.h"
#include "shell/display.h"
#include "shell/state.h"
#include "tests/support/pixels.h"
#include "tests/support/env_scope.h"
#include "tests/support/stepping_clock.h"

namespace probe {

constexpr uint32_t Backdrop = BrightFace;  // between the cells, where no block is drawn

inline Frame LastFrame() {
  Frame frame;
  EXPECT_TRUE(LastFramePixels(frame.pixels, frame.width, frame.height))
      << "no frame was captured";
  return frame;
}

// Writes the frame as a binary PPM into $PELLOVAR_FRAME_DIR, when that is set,
// so that a developer can look at it.
inline void DumpFrame(const Frame& frame, const std::string& name) {
  const char* dir = std::getenv("PELLOVAR_FRAME_DIR");
  if (!dir || frame.pixels.empty()) return;
  const std::string path = std::string(dir) + "/" + name + ".ppm";
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return;
  std::fprintf(file, "P6\n%d %d\n255\n", frame.width, frame.height);
  for (uint32_t p : frame.pixels) {
    const unsigned char rgb[3] = {static_cast<unsigned char>(p >> 16),
                                  static_cast<unsigned char>(p >> 8),
                                  static_cast<unsigned char>(p)};
    std::fwrite(rgb, 1, 3, file);
  }
  std::fclose(file);
}

// A fresh program with the platform started on SDL's offscreen driver and no
// display open yet.
class PlatformTest : public testing::Test {
 protected:
  void SetUp() override {
    ZeroGlobalState();
    StartOffscreen();
  }
  void TearDown() override { StopPlatform(); }

  // The platform alone, for fixtures that set up part of the program first.
  static void StartOffscreen() {
    SetEnvironment("SDL_VIDEODRIVER", "offscreen");
    ASSERT_TRUE(StartPlatform()) << "the offscreen video driver did not start";
  }
};

// A fresh program with the screen open at `scale`, frames captured, the clock
// fixed at testclock::now, and (unless asked for) no background cells.
class ScreenTest : public PlatformTest {
 protected:
  float scale = 1.1f;
  bool keepBackground = false;

  void SetUp() override {
    PlatformTest::SetUp();
    if (HasFatalFailure()) return;
    SeedRandom(20240611);
    testclock::Install(10000);
    ASSERT_NE(OpenDisplay(1, 16, scale, scale, true), 0) << "the display did not open";
    if (!keepBackground) ClearBackground();
    CaptureFrames(true);
  }

  void TearDown() override {
    CaptureFrames(false);
    PlatformTest::TearDown();
    testclock::Remove();
  }

  static void ClearBackground() {
    for (CellStyle*& cell : BackgroundLayer.cells) cell = nullptr;
  }

  int CellW() const { return screenState.cellWidth; }
  int CellH() const { return screenState.cellHeight; }
};

// The runtime's own window and screen, `width` by `height` (set them in the
// constructor), on the offscreen driver with frames captured: for sprites
// drawn without the game's display. Open() opens them again at another size.
class SpriteScreenTest : public PlatformTest {
 protected:
  int width = 64;
  int height = 48;
  int window = 0;

  void SetUp() override {
    PlatformTest::SetUp();
    if (HasFatalFailure()) return;
    ASSERT_NE(StartSpriteService(), 0);
    Open(width, height);
    SetFlipRateLimit(0);
    CaptureFrames(true);
  }

  void TearDown() override {
    CaptureFrames(false);
    PlatformTest::TearDown();
  }

  // With a margin, the window is that much larger on every side and the
  // screen lies centred in it, as in fullscreen.
  void Open(int w, int h, int margin = 0) {
    if (window) CloseAppWindow(window);
    window = OpenAppWindow(AnyWindow, 0, 0, w + 2 * margin, h + 2 * margin, "sprite screen test",
                           WindowCentred | WindowTitleBar | WindowHidden);
    ASSERT_NE(window, 0);
    ASSERT_NE(OpenGlScreen(GetNativeWindow(window), margin, margin, w, h, 0, 0, 0, 0), 0);
    width = w;
    height = h;
  }

  // The last frame presented, as it holds its pixels (0xAARRGGBB).
  std::vector<uint32_t> Shown() const { return ReadBack(LastFramePixels, "the frame"); }

  // What reached the window: the frame is only half the way to the player.
  std::vector<uint32_t> Sent() const { return ReadBack(WindowPixels, "the window"); }

 private:
  std::vector<uint32_t> ReadBack(bool (*read)(std::vector<uint32_t>&, int&, int&),
                                 const char* what) const {
    std::vector<uint32_t> pixels;
    int w = 0, h = 0;
    EXPECT_TRUE(read(pixels, w, h)) << what << " could not be read";
    EXPECT_EQ(w, width) << what;
    EXPECT_EQ(h, height) << what;
    return pixels;
  }
};

// A style not registered anywhere, for painting.
inline CellStyle MakeStyle(int32_t kind, uint8_t alpha) {
  CellStyle style{};
  SetCellKind(&style, kind);
  style.alpha = alpha;
  return style;
}

// A label showing a solid white rectangle, as if its text had been rendered.
inline TextLabel* SolidLabel(uint8_t layer, int width, int height, uint32_t colour) {
  TextLabel* label = CreateTextLabel(layer);
  if (!label) return nullptr;
  const int image = NewImage(width, height, Rgb(255, 255, 255));
  label->sprite = ImageToSprite(image, true, 255);
  DisposeImage(image);
  label->spriteWidth = static_cast<int16_t>(width);
  label->spriteHeight = static_cast<int16_t>(height);
  label->alpha = 255;
  label->colour = colour;
  return label;
}

// Reads back a screen of cells: each cell is sampled at one pixel and named by
// the first legend colour within tolerance ('?' when none matches).
struct Legend {
  char name;
  uint32_t colour;
};

inline std::vector<std::string> CellMap(const Frame& frame, const std::vector<Legend>& legend,
                                        int sampleX, int sampleY) {
  std::vector<std::string> rows;
  for (int y = 0; y <= screenState.rows; ++y) {
    std::string row;
    for (int x = 0; x <= screenState.columns; ++x) {
      const uint32_t c = frame.At(x * screenState.cellWidth + sampleX,
                                  y * screenState.cellHeight + sampleY);
      char name = '?';
      if (c == 0xFFFFFFFFu) name = ' ';  // beyond the window
      for (const Legend& entry : legend) {
        if (name == '?' && Near(c, entry.colour)) name = entry.name;
      }
      row += name;
    }
    rows.push_back(row);
  }
  return rows;
}

inline std::string MapText(const std::vector<std::string>& rows) {
  std::string text;
  for (size_t y = 0; y < rows.size(); ++y) {
    char prefix[24];
    std::snprintf(prefix, sizeof prefix, "%2zu ", y);
    text += prefix + rows[y] + "\n";
  }
  return text;
}

}  // namespace probe
