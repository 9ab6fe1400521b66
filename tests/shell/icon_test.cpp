// SPDX-License-Identifier: MIT
// The icon picture at the installed sizes and at one that four does not
// divide: every pixel covered, each cell a block of the right colours.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "runtime/image.h"
#include "runtime/text.h"
#include "shell/icon.h"
#include "shell/state.h"

namespace {

struct BlockColours {
  uint32_t face, edge;  // straight RGBA, red in the low byte
};

constexpr uint32_t Opaque(uint32_t r, uint32_t g, uint32_t b) { return 0xFF000000u | r | g << 8 | b << 16; }

const BlockColours Empty{Opaque(179, 196, 179), Opaque(168, 185, 168)};
const BlockColours Falling{Opaque(255, 159, 31), Opaque(178, 111, 22)};  // edge: face × 0.7
const BlockColours Settled{Opaque(63, 127, 223), Opaque(44, 89, 156)};

TEST(Icon, EveryCellIsABlockOfItsColours) {
  const BlockColours* picture[4][4] = {
      {&Empty, &Falling, &Falling, &Falling},
      {&Empty, &Empty, &Falling, &Empty},
      {&Settled, &Empty, &Empty, &Settled},
      {&Settled, &Settled, &Empty, &Settled},
  };
  ZeroGlobalState();
  for (int size : {48, 50, 128, 256}) {
    SCOPED_TRACE("size " + DecimalText(size));
    const int icon = MakeIconImage(size);
    ASSERT_NE(icon, 0);
    int width = 0, height = 0;
    ASSERT_TRUE(ImageDims(icon, width, height));
    EXPECT_EQ(width, size);
    EXPECT_EQ(height, size);
    int holes = 0;
    for (int y = 0; y < size; ++y)
      for (int x = 0; x < size; ++x) holes += (ImagePixel(icon, x, y) >> 24) != 0xFF;
    EXPECT_EQ(holes, 0) << "pixels not fully covered";

    // Cells start on the rounded quarters of the side.
    auto edge = [size](int i) { return static_cast<int>(RoundEven(i * size / 4.0)); };
    for (int row = 0; row < 4; ++row) {
      for (int column = 0; column < 4; ++column) {
        // The block's centre shows its edge colour again (the inner square),
        // and 1.5 sevenths in from its corner its face.
        const int x0 = edge(column), w = edge(column + 1) - x0;
        const int y0 = edge(row), h = edge(row + 1) - y0;
        const int centreX = x0 + w / 2, centreY = y0 + h / 2;
        const int faceX = x0 + w * 3 / 14, faceY = y0 + h * 3 / 14;
        const BlockColours& c = *picture[row][column];
        EXPECT_EQ(ImagePixel(icon, centreX, centreY), c.edge) << "cell " << column << ", " << row;
        EXPECT_EQ(ImagePixel(icon, faceX, faceY), c.face) << "cell " << column << ", " << row;
      }
    }
    DisposeImage(icon);
  }
  EXPECT_EQ(MakeIconImage(3), 0) << "too small for four cells";
}

}  // namespace
