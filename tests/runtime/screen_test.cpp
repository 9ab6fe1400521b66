// SPDX-License-Identifier: MIT
// Sprites drawn on a real SDL screen (offscreen driver)
// and checked in the frame read back at PresentFrame.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <random>
#include <string>
#include <vector>

#include "runtime/image.h"
#include "runtime/platform.h"
#include "runtime/screen.h"
#include "runtime/turned_draw.h"
#include "runtime/window.h"
#include "tests/support/screen_fixture.h"

namespace {

constexpr int ScreenW = 64;
constexpr int ScreenH = 48;

// Colours as the program passes them: red in the low byte.
constexpr uint32_t Red = 0x0000FF, Green = 0x00FF00, Blue = 0xFF0000, White = 0xFFFFFF;
constexpr uint32_t Black = 0x000000;

using probe::FrameColour;
using probe::Hex;

class ScreenTest : public probe::SpriteScreenTest {
 protected:
  ScreenTest() {
    width = ScreenW;
    height = ScreenH;
  }

  // Presents the frame and keeps its pixels for Pixel().
  void Present() {
    PresentFrame();
    frame = Shown();
    ASSERT_EQ(frame.size(), static_cast<size_t>(ScreenW * ScreenH));
  }
  uint32_t Pixel(int x, int y) const { return frame.at(static_cast<size_t>(y) * ScreenW + x); }

  // Checks the red, green and blue of a frame pixel within the blending's rounding.
  void ExpectPixel(int x, int y, uint32_t expectedArgb, const std::string& what) const {
    const uint32_t actual = Pixel(x, y);
    if (!probe::Near(actual, expectedArgb)) {
      ADD_FAILURE() << what << " at (" << x << ", " << y << "): expected " << Hex(expectedArgb)
                    << ", got " << Hex(actual);
    }
  }

  // A pixel to look at, its colour as the program passes it.
  struct Spot {
    int x, y;
    uint32_t colour;
    const char* what;
  };
  void ExpectPixels(std::initializer_list<Spot> spots, const std::string& context = "") const {
    for (const Spot& s : spots) ExpectPixel(s.x, s.y, FrameColour(s.colour), context + s.what);
  }

  // A transparent image with the given straight RGBA pixels set.
  static int ImageOf(int w, int h, uint32_t fill, bool opaqueFill = true) {
    int image = NewImage(w, h, opaqueFill ? fill : 0xFFFFFFFFu);
    EXPECT_NE(image, 0);
    return image;
  }

  std::vector<uint32_t> frame;
};

TEST_F(ScreenTest, ClearFrameTakesRedFromTheLowByte) {
  ClearFrame(0x336699);
  Present();
  EXPECT_EQ(Pixel(0, 0) & 0xFFFFFF, 0x996633u) << "got " << Hex(Pixel(0, 0));
  EXPECT_EQ(Pixel(ScreenW - 1, ScreenH - 1) & 0xFFFFFF, 0x996633u);
}

TEST_F(ScreenTest, PlainSpriteHasHolesWhereTheImageIsBlack) {
  int image = ImageOf(4, 4, Red);
  ASSERT_TRUE(SetImagePixel(image, 1, 1, 0xFF000000u | Black));  // opaque black: a hole
  ASSERT_TRUE(SetImagePixel(image, 2, 1, 0x00000000u));          // nothing drawn: a hole
  ASSERT_TRUE(SetImagePixel(image, 1, 2, 0x80000000u | Blue));   // half covered: opaque blue
  ASSERT_TRUE(SetImagePixel(image, 2, 2, 0xFF010000u));          // nearly black: still opaque
  int sprite = ImageToSprite(image, false, 255);
  DisposeImage(image);
  ASSERT_NE(sprite, 0);

  ClearFrame(Green);
  DrawSpriteBlended(sprite, 10, 10, 255);
  DrawSpriteBlended(sprite, ScreenW - 4, ScreenH - 4, 255);  // flush with the far edges
  Present();
  struct {
    int x, y;
    uint32_t colour;
    const char* what;
  } cases[] = {
      {10, 10, FrameColour(Red), "red corner"},
      {13, 13, FrameColour(Red), "far red corner"},
      {ScreenW - 1, ScreenH - 1, FrameColour(Red), "far red corner on the frame's edges"},
      {11, 11, FrameColour(Green), "black pixel shows the background"},
      {12, 11, FrameColour(Green), "transparent pixel shows the background"},
      {11, 12, FrameColour(Blue), "half-covered pixel made opaque"},
      {12, 12, FrameColour(0x010000), "near-black pixel kept"},
      {9, 9, FrameColour(Green), "outside, top left"},
      {14, 14, FrameColour(Green), "outside, bottom right"},
  };
  for (const auto& c : cases) ExpectPixel(c.x, c.y, c.colour, c.what);
}

TEST_F(ScreenTest, AlphaSpriteKeepsImageAlphaTimesDrawAlpha) {
  // Straight red at alpha 128 is stored premultiplied in the image; shown
  // without un-premultiplying it would come out at a quarter, not a half.
  struct Case {
    uint32_t imageAlpha;
    uint8_t spriteAlpha;  // ImageToSprite's alpha
    uint8_t drawAlpha;    // DrawSpriteBlended's alpha
    int angle = 0;
    int scale = 1;        // turned and resized draws take another way through the compositor
  } cases[] = {{255, 255, 255}, {128, 255, 255}, {255, 255, 128},
               {128, 255, 100}, {255, 128, 255}, {64, 255, 200},
               {255, 255, 128, 45}, {255, 255, 128, 0, 2}};
  for (const Case& c : cases) {
    int image = ImageOf(3, 3, 0, false);
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 3; ++x) SetImagePixel(image, x, y, c.imageAlpha << 24 | Red);
    int sprite = ImageToSprite(image, true, c.spriteAlpha);
    DisposeImage(image);
    ASSERT_NE(sprite, 0);
    SetSpriteAngle(sprite, static_cast<float>(c.angle), 0);
    SetSpriteSize(sprite, 3 * c.scale, 3 * c.scale);
    ClearFrame(Black);
    DrawSpriteBlended(sprite, 5, 5, c.drawAlpha);
    Present();
    uint32_t red = (c.imageAlpha * c.spriteAlpha / 255 * c.drawAlpha + 127) / 255;
    ExpectPixel(6, 6, 0xFF000000u | red << 16,
                "image alpha " + std::to_string(c.imageAlpha) + ", sprite alpha " +
                    std::to_string(c.spriteAlpha) + ", draw alpha " +
                    std::to_string(c.drawAlpha) + ", angle " + std::to_string(c.angle) +
                    ", scale " + std::to_string(c.scale));
    DeleteSprite(sprite);
  }
}

TEST_F(ScreenTest, TintReplacesColourAndModulatesAlpha) {
  // A label-like sprite drawn in two colours, one pixel half transparent.
  int image = ImageOf(4, 2, 0, false);
  for (int x = 0; x < 4; ++x) {
    SetImagePixel(image, x, 0, 0xFF000000u | (x < 2 ? Red : Green));
    SetImagePixel(image, x, 1, 0x80000000u | Blue);
  }
  int sprite = ImageToSprite(image, true, 255);
  DisposeImage(image);
  ASSERT_NE(sprite, 0);

  struct Case {
    uint32_t background, tint;
    uint8_t alpha;
  } cases[] = {{Black, 0x20C0FF, 255}, {Black, White, 200}, {0x646464, Blue, 255},
               {0x646464, 0x0080FF, 128}, {Black, Black, 255}};
  for (const Case& c : cases) {
    ClearFrame(c.background);
    DrawSpriteTinted(sprite, 20, 20, c.alpha, c.tint);
    Present();
    for (int row = 0; row < 2; ++row) {
      uint32_t coverage = (row == 0 ? 255u : 128u) * c.alpha / 255;
      uint32_t mixed = 0;
      for (int shift = 0; shift < 24; shift += 8) {
        uint32_t t = c.tint >> shift & 0xFF, b = c.background >> shift & 0xFF;
        mixed |= ((t * coverage + b * (255 - coverage) + 127) / 255) << shift;
      }
      for (int x = 20; x < 24; ++x)
        ExpectPixel(x, 20 + row, FrameColour(mixed),
                    "tint " + Hex(c.tint) + " alpha " + std::to_string(c.alpha) + " row " +
                        std::to_string(row));
    }
  }

  // Colour −1 draws the sprite's own colours.
  ClearFrame(Black);
  DrawSpriteTinted(sprite, 20, 20, 255, 0xFFFFFFFFu);
  Present();
  ExpectPixel(20, 20, FrameColour(Red), "untinted left");
  ExpectPixel(23, 20, FrameColour(Green), "untinted right");
}

TEST_F(ScreenTest, TintFollowsRedrawnSpritePixels) {
  // The tint is drawn from a copy of the sprite's alpha; drawing into the
  // sprite after a tinted draw must reach that copy too.
  int image = ImageOf(1, 2, Red);
  int sprite = NewSprite(2, 2, true);
  ASSERT_NE(sprite, 0);
  ASSERT_TRUE(BeginSpritePixels(sprite));
  BlendImageInto(image, 1, 0, 255);  // only column 1 covered
  EndSpritePixels();
  ClearFrame(Black);
  DrawSpriteTinted(sprite, 0, 0, 255, Green);
  Present();
  ExpectPixel(0, 0, FrameColour(Black), "uncovered column stays transparent");
  ExpectPixel(1, 0, FrameColour(Green), "covered column tinted");

  ASSERT_TRUE(BeginSpritePixels(sprite));
  BlendImageInto(image, 0, 0, 255);
  EndSpritePixels();
  ClearFrame(Black);
  DrawSpriteTinted(sprite, 0, 0, 255, Green);
  Present();
  ExpectPixel(0, 1, FrameColour(Green), "column covered after the first tint");
  DisposeImage(image);
}

TEST_F(ScreenTest, DrawingAgainStartsFromTheSpritesPixels) {
  int red = ImageOf(4, 4, Red);
  int blue = ImageOf(2, 2, Blue);
  int sprite = ImageToSprite(red, false, 255);
  ASSERT_TRUE(BeginSpritePixels(sprite));
  BlendImageInto(blue, 2, 2, 255);
  BlendImageInto(blue, 3, -1, 255);  // clipped to the sprite
  EndSpritePixels();
  ClearFrame(Black);
  DrawSpriteBlended(sprite, 0, 0, 255);
  Present();
  ExpectPixels({
      {0, 0, Red, "first drawing kept"},
      {1, 3, Red, "first drawing kept, bottom"},
      {3, 3, Blue, "second drawing"},
      {3, 0, Blue, "clipped drawing"},
      {2, 0, Red, "left of the clipped drawing"},
      {4, 4, Black, "outside the sprite"},
  });
  DisposeImage(red);
  DisposeImage(blue);
}

TEST_F(ScreenTest, SpriteSizeStretchesAndMinusOneRestores) {
  int image = ImageOf(2, 2, Red);
  int sprite = ImageToSprite(image, false, 255);
  DisposeImage(image);
  ASSERT_NE(sprite, 0);
  struct Case {
    int width, height;  // SetSpriteSize arguments
    int shownW, shownH;
  } cases[] = {{8, 6, 8, 6}, {-1, -1, 2, 2}, {-1, 5, 2, 5}, {7, -1, 7, 2}, {-1, -1, 2, 2}};
  for (const Case& c : cases) {
    SetSpriteSize(sprite, c.width, c.height);
    ClearFrame(Black);
    DrawSpriteBlended(sprite, 10, 10, 255);
    Present();
    ExpectPixels({{10, 10, Red, "top left"},
                  {10 + c.shownW - 1, 10 + c.shownH - 1, Red, "bottom right"},
                  {10 + c.shownW, 10, Black, "right of it"},
                  {10, 10 + c.shownH, Black, "below it"}},
                 "size (" + std::to_string(c.width) + ", " + std::to_string(c.height) + ") ");
  }
}

TEST_F(ScreenTest, RotationTurnsClockwiseAboutTheCentre) {
  // 8 × 4: left half red, right half blue; drawn at (20, 20), centre (24, 22).
  int image = ImageOf(8, 4, Blue);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) SetImagePixel(image, x, y, 0xFF000000u | Red);
  int sprite = ImageToSprite(image, false, 255);
  DisposeImage(image);
  ASSERT_NE(sprite, 0);

  struct Probe {
    int x, y;
    uint32_t colour;
  };
  struct Case {
    const char* what;
    float first, second;  // SetSpriteAngle (first, 0), then (second, 1)
    Probe probes[4];
  } cases[] = {
      {"90", 90, 0, {{24, 19, Red}, {24, 25, Blue}, {20, 22, Black}, {27, 22, Black}}},
      {"45 then +45", 45, 45, {{24, 19, Red}, {24, 25, Blue}, {20, 22, Black}, {27, 22, Black}}},
      {"-90", -90, 0, {{24, 19, Blue}, {24, 25, Red}, {20, 22, Black}, {27, 22, Black}}},
      {"180", 180, 0, {{21, 22, Blue}, {26, 22, Red}, {24, 18, Black}, {24, 25, Black}}},
      {"270 then +90", 270, 90, {{21, 22, Red}, {26, 22, Blue}, {24, 18, Black}, {24, 25, Black}}},
  };
  for (const Case& c : cases) {
    SetSpriteAngle(sprite, c.first, 0);
    SetSpriteAngle(sprite, c.second, 1);
    ClearFrame(Black);
    DrawSpriteBlended(sprite, 20, 20, 255);
    Present();
    for (const Probe& p : c.probes) ExpectPixel(p.x, p.y, FrameColour(p.colour), c.what);
  }
}

TEST_F(ScreenTest, RotationAndSizeTogether) {
  // A 4 × 2 sprite shown 8 × 4 and turned 90°: 4 wide and 8 tall about (24, 22).
  int image = ImageOf(4, 2, Blue);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 2; ++x) SetImagePixel(image, x, y, 0xFF000000u | Red);
  int sprite = ImageToSprite(image, false, 255);
  DisposeImage(image);
  SetSpriteSize(sprite, 8, 4);
  SetSpriteAngle(sprite, 90, 0);
  ClearFrame(Black);
  DrawSpriteBlended(sprite, 20, 20, 255);
  Present();
  ExpectPixels({
      {24, 19, Red, "top half"},
      {24, 25, Blue, "bottom half"},
      {24, 17, Black, "above"},
      {21, 22, Black, "left of it"},
  });
}

// However large a turned draw, it covers the pixels whose centres fall
// inside its rectangle. Here its far corner, over a thousand pixels from
// where the draw's own coordinates start, lies in the middle of the frame.
TEST_F(ScreenTest, LargeTurnedDrawCoversThePixelsInsideIt) {
  constexpr int Side = 1000;
  int image = ImageOf(Side, Side, Red);
  int sprite = ImageToSprite(image, false, 255);
  DisposeImage(image);
  ASSERT_NE(sprite, 0);
  SetSpriteAngle(sprite, 30, 0);
  const double c = std::cos(std::numbers::pi / 6), s = std::sin(std::numbers::pi / 6), half = Side / 2.0;
  const int x = static_cast<int>(std::lround(ScreenW / 2.0 - half * (1 + c - s)));
  const int y = static_cast<int>(std::lround(ScreenH / 2.0 - half * (1 + s + c)));
  ClearFrame(Black);
  DrawSpriteBlended(sprite, x, y, 255);
  Present();
  int wrong = 0, inside = 0;
  for (int py = 0; py < ScreenH; ++py)
    for (int px = 0; px < ScreenW; ++px) {
      // The pixel's centre turned back about the draw's centre.
      const double dx = px + 0.5 - (x + half), dy = py + 0.5 - (y + half);
      const double u = std::abs(dx * c + dy * s), v = std::abs(dy * c - dx * s);
      if (std::abs(u - half) < 0.1 || std::abs(v - half) < 0.1) continue;  // on an edge: either way
      const bool in = u < half && v < half;
      inside += in;
      if (Pixel(px, py) != FrameColour(in ? Red : Black) && wrong++ < 5)
        ADD_FAILURE() << "(" << px << ", " << py << ") " << (in ? "inside" : "outside")
                      << ", got " << Hex(Pixel(px, py));
    }
  EXPECT_EQ(wrong, 0);
  EXPECT_GT(inside, ScreenW * ScreenH / 8) << "the corner is in the frame";
}

TEST_F(ScreenTest, NumbersThatAreNotOpenAreIgnored) {
  int image = ImageOf(2, 2, Red);
  int sprite = ImageToSprite(image, false, 255);
  ASSERT_EQ(sprite, 1) << "sprite numbers start at 1";
  DeleteSprite(sprite);
  EXPECT_FALSE(SpriteExists(sprite));

  ClearFrame(Green);
  for (int bad : {0, -1, sprite, 999}) {
    DrawSpriteBlended(bad, 0, 0, 255);
    DrawSpriteTinted(bad, 0, 0, 255, Red);
    SetSpriteSize(bad, 10, 10);
    SetSpriteAngle(bad, 30, 1);
    DeleteSprite(bad);
    EXPECT_FALSE(BeginSpritePixels(bad)) << "sprite " << bad;
    BlendImageInto(image, 0, 0, 255);  // nothing open to draw into
    EndSpritePixels();
  }
  int other = NewSprite(2, 2, false);
  ASSERT_NE(other, 0);
  ASSERT_TRUE(BeginSpritePixels(other));
  BlendImageInto(4242, 0, 0, 255);  // no such image
  BlendImageInto(image, 5, 5, 255);  // entirely outside
  EndSpritePixels();
  DrawSpriteBlended(other, 0, 0, 255);
  Present();
  ExpectPixel(0, 0, FrameColour(Green), "nothing drawn");
  ExpectPixel(1, 1, FrameColour(Green), "nothing drawn");

  struct {
    int w, h;
  } badSizes[] = {{0, 2}, {2, 0}, {-3, 4}, {100000, 1}};
  for (auto s : badSizes) EXPECT_EQ(NewSprite(s.w, s.h, true), 0) << s.w << " x " << s.h;
  EXPECT_EQ(ImageToSprite(4242, true, 255), 0);
  DisposeImage(image);
}

TEST_F(ScreenTest, ClosingTheScreenFreesEverySprite) {
  int a = NewSprite(4, 4, false), b = NewSprite(4, 4, true);
  ASSERT_NE(a, 0);
  ASSERT_NE(b, 0);
  EXPECT_NE(a, b);
  CloseGlScreen();
  EXPECT_FALSE(SpriteExists(a));
  EXPECT_FALSE(SpriteExists(b));
  EXPECT_EQ(NewSprite(4, 4, false), 0) << "no screen, no sprites";
  PresentFrame();  // nothing open: nothing happens
  DrawSpriteBlended(a, 0, 0, 255);

  EXPECT_EQ(OpenGlScreen(nullptr, 0, 0, 10, 10, 0, 0, 0, 0), 0);
  int bogus = 0;
  EXPECT_EQ(OpenGlScreen(&bogus, 0, 0, 10, 10, 0, 0, 0, 0), 0) << "not one of our windows";
  ASSERT_NE(OpenGlScreen(GetNativeWindow(window), 0, 0, ScreenW, ScreenH, 0, 0, 0, 0), 0);
  EXPECT_NE(NewSprite(4, 4, false), 0);
}

// A test that stops half-way leaves its injected failures behind; a stopped
// platform must not hand them to the next one.
TEST_F(ScreenTest, StoppedPlatformEndsInjectedSpriteFailures) {
  FailNextSprites(2);
  StopPlatform();
  SetUp();
  EXPECT_NE(NewSprite(4, 4, false), 0);
  EXPECT_NE(NewSprite(4, 4, true), 0);
  FailNextSprites(0);
}

TEST_F(ScreenTest, CaptureOffKeepsNoFrame) {
  ClearFrame(Red);
  PresentFrame();
  CaptureFrames(false);
  std::vector<uint32_t> pixels;
  int w = -1, h = -1;
  EXPECT_FALSE(LastFramePixels(pixels, w, h));
  PresentFrame();
  EXPECT_FALSE(LastFramePixels(pixels, w, h));
}

// The turned draw's own pass against pixman's general path set up as a
// clamped texture under a shape mask: random premultiplied texels over a
// random frame, clipped on every side, through turns, stretches and coverages.
TEST(TurnedDraw, MatchesTheCompositorBitForBit) {
  struct Case {
    int width, height;     // texels
    int shownW, shownH;    // on screen
    double angle;
    uint8_t coverage;
  } cases[] = {{55, 55, 55, 55, 37, 48},   {55, 55, 55, 55, -31, 255}, {16, 16, 16, 16, 45, 192},
               {8, 4, 8, 4, 90, 255},      {8, 4, 8, 4, 180, 100},     {30, 20, 45, 10, 123.4, 1},
               {1, 1, 7, 7, 10, 255},      {100, 3, 60, 9, 179.9, 128}, {55, 55, 27, 27, 359.5, 64},
               // Edges through pixel centres: which side they fall on is exact.
               {3, 4, 3, 4, 90, 255},      {3, 4, 3, 4, -90, 200}};
  constexpr int Side = 96, Left = 5, Top = 3, Right = 90, Bottom = 93;
  std::mt19937 random(7);
  for (const Case& c : cases) {
    std::vector<uint32_t> texels(static_cast<size_t>(c.width) * c.height);
    for (uint32_t& t : texels) {
      const uint32_t a = random() % 4 == 0 ? 255 : random() % 256;  // some clear, some opaque
      t = a << 24;
      for (int shift : {0, 8, 16}) t |= (a ? random() % (a + 1) : 0) << shift;
    }
    std::vector<uint32_t> frame(Side * Side), expected;
    for (uint32_t& p : frame) p = random() & 0xFFFFFF;
    expected = frame;

    const double radians = c.angle * std::numbers::pi / 180, co = std::cos(radians), sn = std::sin(radians);
    const double kx = double(c.width) / c.shownW, ky = double(c.height) / c.shownH;
    pixman_f_transform_t f{};
    f.m[0][0] = co * kx, f.m[0][1] = sn * kx;
    f.m[0][2] = kx * (-co * c.shownW / 2 - sn * c.shownH / 2) + c.width / 2.0;
    f.m[1][0] = -sn * ky, f.m[1][1] = co * ky;
    f.m[1][2] = ky * (sn * c.shownW / 2 - co * c.shownH / 2) + c.height / 2.0;
    f.m[2][2] = 1;
    const int originX = Side / 2 - c.shownW / 2 - 40 * (c.width == 100), originY = 20;
    TurnedDraw draw{texels.data(), c.width, c.height, c.width, {}, c.coverage, originX, originY};
    ASSERT_TRUE(pixman_transform_from_pixman_f_transform(&draw.toTexels, &f));
    CompositeTurnedDraw(draw, frame.data(), Side, Left, Top, Right, Bottom);

    pixman_image_t* source = pixman_image_create_bits(PIXMAN_a8r8g8b8, c.width, c.height,
                                                      texels.data(), c.width * 4);
    std::vector<uint8_t> coverage(static_cast<size_t>(c.width + 3) / 4 * 4 * c.height, c.coverage);
    pixman_image_t* shape = pixman_image_create_bits(PIXMAN_a8, c.width, c.height,
                                                     reinterpret_cast<uint32_t*>(coverage.data()),
                                                     (c.width + 3) / 4 * 4);
    pixman_image_t* target =
        pixman_image_create_bits(PIXMAN_x8r8g8b8, Side, Side, expected.data(), Side * 4);
    for (pixman_image_t* image : {source, shape}) pixman_image_set_transform(image, &draw.toTexels);
    pixman_image_set_filter(source, PIXMAN_FILTER_BILINEAR, nullptr, 0);
    pixman_image_set_repeat(source, PIXMAN_REPEAT_PAD);
    pixman_image_set_filter(shape, PIXMAN_FILTER_NEAREST, nullptr, 0);
    const int sx = Left - originX, sy = Top - originY;
    pixman_image_composite32(PIXMAN_OP_OVER, source, shape, target, sx, sy, sx, sy, Left, Top,
                             Right - Left, Bottom - Top);
    for (pixman_image_t* image : {source, shape, target}) pixman_image_unref(image);

    int wrong = 0;
    for (int i = 0; i < Side * Side; ++i) {
      if (((frame[i] ^ expected[i]) & 0xFFFFFF) != 0 && wrong++ < 3) {
        ADD_FAILURE() << c.angle << " degrees: (" << i % Side << ", " << i / Side << ") is "
                      << Hex(frame[i]) << ", the compositor made " << Hex(expected[i]);
      }
    }
    EXPECT_EQ(wrong, 0) << c.angle << " degrees";
  }
}

}  // namespace
