// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstdint>

#include "runtime/image.h"
#include "tests/support/pixels.h"

namespace {

uint32_t PeekPremultiplied(int image, int x, int y) {
  const uint32_t* pixels;
  int width, height, stride;
  if (!ImageRawPixels(image, pixels, width, height, stride)) return 0;
  return reinterpret_cast<const uint32_t*>(reinterpret_cast<const unsigned char*>(pixels) + y * stride)[x];
}

// A straight RGBA pixel whose channels vary with the position, alpha included.
uint32_t Pattern(int x, int y) {
  uint32_t a = (37 * x + 91 * y + 11) % 256;
  uint32_t r = (53 * x + 17 * y) % 256, g = (29 * x * y + 5) % 256, b = (x % 2) * 255;
  return a << 24 | b << 16 | g << 8 | r;
}

// The same pixel as the image stores it: premultiplied 0xAARRGGBB.
uint32_t Premultiplied(uint32_t rgba) {
  uint32_t a = rgba >> 24;
  auto p = [a](uint32_t c) { return (c * a + 127) / 255; };
  return a << 24 | p(rgba & 0xFF) << 16 | p((rgba >> 8) & 0xFF) << 8 | p((rgba >> 16) & 0xFF);
}

// How much of source pixel i, of `from`, target pixel t, of `to`, covers.
double Overlap(int i, int t, int from, int to) {
  const double step = static_cast<double>(from) / to;
  return std::max(0.0, std::min<double>(i + 1, (t + 1) * step) - std::max<double>(i, t * step));
}

}  // namespace

TEST(ImageService, NewImageBackgrounds) {
  struct Case {
    uint32_t background;
    uint32_t expected;  // straight RGBA, red in the low byte
  } cases[] = {
      {0xFFFFFFFFu, 0x00000000u},  // transparent black
      {0x000000FFu, 0xFF0000FFu},  // red, made opaque
      {0x00F6FFF6u, 0xFFF6FFF6u},
      {0x12345678u, 0xFF345678u},  // the colour's own alpha byte is not used
      {0x00000000u, 0xFF000000u},  // opaque black
  };
  for (const Case& c : cases) {
    int image = NewImage(3, 2, c.background);
    ASSERT_NE(image, 0);
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < 3; ++x)
        EXPECT_EQ(ImagePixel(image, x, y), c.expected)
            << "background " << std::hex << c.background << " at " << std::dec << x << "," << y;
    DisposeImage(image);
  }
}

TEST(ImageService, InvalidSizesAndNumbersAreRefused) {
  EXPECT_EQ(NewImage(0, 5, 0xFFFFFFFFu), 0);
  EXPECT_EQ(NewImage(5, -1, 0xFFFFFFFFu), 0);
  EXPECT_EQ(NewImage(40000, 1, 0xFFFFFFFFu), 0);
  int w = 7, h = 7;
  EXPECT_FALSE(ImageDims(0, w, h));
  EXPECT_EQ(w, 0);
  EXPECT_EQ(h, 0);

  int image = NewImage(4, 5, 0xFFFFFFFFu);
  ASSERT_TRUE(ImageDims(image, w, h));
  EXPECT_EQ(w, 4);
  EXPECT_EQ(h, 5);
  EXPECT_EQ(ImagePixel(image, 4, 0), 0u) << "outside the image";
  EXPECT_EQ(ImagePixel(image, -1, 0), 0u);
  DisposeImage(image);
  EXPECT_FALSE(ImageDims(image, w, h)) << "a disposed number stays invalid";
  DisposeImage(image);  // twice: ignored
  EXPECT_FALSE(BeginImagePixels(image));
  PutImageAt(image, 0, 0);  // nothing begun: ignored
  EndImagePixels();
  ScaleImageTo(image, 2, 2, 0);
  EXPECT_FALSE(SaveImagePng(image, "/tmp/never.png"));

  int other = NewImage(2, 2, 0xFFFFFFFFu);
  EXPECT_NE(other, image) << "numbers are not handed out again";
  ScaleImageTo(other, 0, 3, 0);  // an impossible size keeps the image as it was
  ASSERT_TRUE(ImageDims(other, w, h));
  EXPECT_EQ(w, 2);
  EXPECT_EQ(h, 2);
  DisposeImage(other);
}

TEST(ImageService, PutImageAtIsSourceOver) {
  int source = NewImage(2, 2, 0xFFFFFFFFu);
  ASSERT_TRUE(SetImagePixel(source, 0, 0, 0x8000007Fu));  // half-transparent red: 0x80400000
  ASSERT_TRUE(SetImagePixel(source, 1, 0, 0xFF00FF00u));  // opaque green
  // (0, 1) and (1, 1) stay transparent.

  int clear = NewImage(4, 3, 0xFFFFFFFFu);
  ASSERT_TRUE(BeginImagePixels(clear));
  PutImageAt(source, 1, 1);
  PutImageAt(source, 3, 2);  // partly outside: clipped
  EndImagePixels();
  EXPECT_EQ(PeekPremultiplied(clear, 1, 1), 0x80400000u) << "arrives unchanged on transparent";
  EXPECT_EQ(PeekPremultiplied(clear, 2, 1), 0xFF00FF00u);
  EXPECT_EQ(PeekPremultiplied(clear, 1, 2), 0u);
  EXPECT_EQ(PeekPremultiplied(clear, 3, 2), 0x80400000u);
  EXPECT_EQ(PeekPremultiplied(clear, 0, 0), 0u);

  int blue = NewImage(2, 2, 0x00FF0000u);
  ASSERT_TRUE(BeginImagePixels(blue));
  PutImageAt(source, 0, 0);
  EndImagePixels();
  // Half red over opaque blue: red 0x40 + 0, blue 0xFF × (1 − 0x80/255).
  uint32_t mixed = PeekPremultiplied(blue, 0, 0);
  EXPECT_EQ(mixed >> 24, 0xFFu);
  EXPECT_EQ((mixed >> 16) & 0xFF, 0x40u);
  EXPECT_NEAR(static_cast<int>(mixed & 0xFF), 127, probe::ChannelRounding);
  EXPECT_EQ(PeekPremultiplied(blue, 0, 1), 0xFF0000FFu) << "transparent source leaves the target";
  for (int image : {source, clear, blue}) DisposeImage(image);
}

TEST(ImageService, SmoothReductionAveragesTheAreaEachPixelCovers) {
  // Sizes as the text labels use them (four-times renderings reduced to a
  // quarter, not always a multiple of four), and steeper ones.
  struct Case {
    int width, height, toWidth, toHeight;
  } cases[] = {{8, 8, 2, 2}, {100, 112, 25, 28}, {24, 4, 6, 1}, {10, 7, 3, 2}, {37, 30, 9, 8},
               {300, 9, 2, 3}};
  for (const Case& c : cases) {
    int image = NewImage(c.width, c.height, 0xFFFFFFFFu);
    for (int y = 0; y < c.height; ++y)
      for (int x = 0; x < c.width; ++x) ASSERT_TRUE(SetImagePixel(image, x, y, Pattern(x, y)));
    ScaleImageTo(image, c.toWidth, c.toHeight, 0);
    int w, h;
    ASSERT_TRUE(ImageDims(image, w, h));
    ASSERT_EQ(w, c.toWidth);
    ASSERT_EQ(h, c.toHeight);
    for (int ty = 0; ty < h; ++ty) {
      for (int tx = 0; tx < w; ++tx) {
        const uint32_t got = PeekPremultiplied(image, tx, ty);
        for (int shift = 0; shift < 32; shift += 8) {
          double sum = 0;
          for (int y = 0; y < c.height; ++y)
            for (int x = 0; x < c.width; ++x)
              sum += Overlap(x, tx, c.width, w) * Overlap(y, ty, c.height, h) *
                     ((Premultiplied(Pattern(x, y)) >> shift) & 0xFF);
          const double expected = sum * w * h / (static_cast<double>(c.width) * c.height);
          ASSERT_NEAR(static_cast<int>((got >> shift) & 0xFF), expected, 1.0)
              << c.width << "x" << c.height << " to " << w << "x" << h << ", pixel " << tx << ","
              << ty << " channel shift " << shift;
        }
      }
    }
    DisposeImage(image);
  }
}

TEST(ImageService, NearestReductionOnlyPicksSourcePixels) {
  int image = NewImage(16, 12, 0xFFFFFFFFu);
  for (int y = 0; y < 12; ++y)
    for (int x = 0; x < 16; ++x) {
      ASSERT_TRUE(SetImagePixel(image, x, y, Pattern(x, y)));
    }
  ScaleImageTo(image, 4, 3, 1);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x) {
      uint32_t got = PeekPremultiplied(image, x, y);
      bool inBlock = false;
      for (int sy = 0; sy < 4; ++sy)
        for (int sx = 0; sx < 4; ++sx) inBlock |= Premultiplied(Pattern(4 * x + sx, 4 * y + sy)) == got;
      EXPECT_TRUE(inBlock) << "pixel " << x << "," << y << " = " << std::hex << got
                           << " is not a pixel of its 4x4 block";
    }
  DisposeImage(image);
}

TEST(ImageService, PixelsRoundTripThroughPremultiplication) {
  struct Case {
    uint32_t set, stored, readBack;
  } cases[] = {
      {0xFF123456u, 0xFF563412u, 0xFF123456u},  // opaque: exact
      {0x80FF4020u, 0x80102080u, 0x80FF4020u},  // half: 0x20 → 0x10 → 0x20
      {0x01FFFFFFu, 0x01010101u, 0x01FFFFFFu},
      {0x00FFFFFFu, 0x00000000u, 0x00000000u},  // no alpha: no colour
  };
  int image = NewImage(1, 1, 0xFFFFFFFFu);
  for (const Case& c : cases) {
    ASSERT_TRUE(SetImagePixel(image, 0, 0, c.set));
    EXPECT_EQ(PeekPremultiplied(image, 0, 0), c.stored) << std::hex << c.set;
    EXPECT_EQ(ImagePixel(image, 0, 0), c.readBack) << std::hex << c.set;
  }
  EXPECT_FALSE(SetImagePixel(image, 1, 0, 0xFFFFFFFFu));
  DisposeImage(image);
}
