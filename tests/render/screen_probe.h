// SPDX-License-Identifier: MIT
// Helpers for tests that render real frames offscreen and read them back.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "runtime/colour.h"
#include "game/cell.h"
#include "render/label.h"
#include "runtime/clock.h"
#include "runtime/image.h"
#include "runtime/platform.h"
#include "runtime/random.h"
#include "runtime/screen.h"
#include "shell/display.h"
#include "shell/state.h"

namespace probe {

constexpr uint32_t Backdrop = 0xBBCCBB;  // red 187, green 204, blue 187 as RGB
constexpr int Tolerance = 3;             // blending rounds differently from the arithmetic here

inline int64_t frameClock = 10000;
inline int64_t FixedClock() { return frameClock; }


struct Frame {
  std::vector<uint32_t> pixels;  // 0xAARRGGBB
  int width = 0;
  int height = 0;

  // As red | green << 8 | blue << 16, the program's colour layout.
  uint32_t At(int x, int y) const {
    if (x < 0 || y < 0 || x >= width || y >= height) return 0xFFFFFFFFu;
    const uint32_t p = pixels[static_cast<size_t>(y) * width + x];
    return ((p >> 16) & 0xFF) | (p & 0xFF00) | (p & 0xFF) << 16;
  }
};

inline std::string ColourText(uint32_t c) {
  char text[32];
  std::snprintf(text, sizeof text, "(%u, %u, %u)", c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
  return text;
}

inline bool Near(uint32_t a, uint32_t b, int tolerance = Tolerance) {
  for (int shift = 0; shift <= 16; shift += 8) {
    const int d = static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF);
    if (d > tolerance || d < -tolerance) return false;
  }
  return true;
}

// `over` drawn with alpha over `under`, per channel.
inline uint32_t Blend(uint32_t over, uint32_t under, int alpha) {
  uint32_t result = 0;
  for (int shift = 0; shift <= 16; shift += 8) {
    const int o = (over >> shift) & 0xFF;
    const int u = (under >> shift) & 0xFF;
    result |= static_cast<uint32_t>((o * alpha + u * (255 - alpha)) / 255) << shift;
  }
  return result;
}

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

// A fresh program with the screen open at `scale`, frames captured, the clock
// fixed, and (unless asked for) no background cells.
class ScreenTest : public testing::Test {
 protected:
  float scale = 1.1f;
  bool keepBackground = false;

  void SetUp() override {
    ZeroGlobalState();
    SeedRandom(20240611);
    frameClock = 10000;
    SetClockSource(FixedClock);
    ASSERT_TRUE(StartPlatform()) << "the offscreen video driver did not start";
    ASSERT_NE(OpenDisplay(1, 16, scale, scale, true), 0) << "the display did not open";
    if (!keepBackground) ClearBackground();
    CaptureFrames(true);
  }

  void TearDown() override {
    CaptureFrames(false);
    StopPlatform();
    SetClockSource(nullptr);
  }

  static void ClearBackground() {
    for (CellStyle*& cell : BackgroundLayer.cells) cell = nullptr;
  }

  int CellW() const { return screenState.cellWidth; }
  int CellH() const { return screenState.cellHeight; }
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
