// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "play/effects.h"
#include "render/glyphs.h"
#include "render/label.h"
#include "runtime/image.h"
#include "runtime/platform.h"
#include "runtime/screen.h"
#include "runtime/window.h"
#include "render/display.h"
#include "shell/state.h"
#include "tests/support/screen_fixture.h"

namespace {

constexpr int32_t OwnColours = -1;
constexpr int32_t Black = static_cast<int32_t>(0xFF000000u);

int Alpha(int image, int x, int y) { return static_cast<int>(ImagePixel(image, x, y) >> 24); }

struct Size {
  int w = 0, h = 0;
};
Size Dims(int image) {
  Size s;
  ImageDims(image, s.w, s.h);
  return s;
}

// A glyph element with the stored documents' defaults: a visible, opaque
// black line of width 1.
X16DATA Element(uint8_t type, float x1, float y1, float x4, float y4) {
  X16DATA e{};
  e.Type = type;
  e.DrawWidth = 1;
  e.DrawRGBA = Black;
  e.Visible = 1;
  e.X1 = e.X2 = e.X3 = x1;
  e.Y1 = e.Y2 = e.Y3 = y1;
  e.X4 = x4;
  e.Y4 = y4;
  return e;
}

X16FILE Glyph(float w, float h, std::vector<X16DATA> elements) {
  X16FILE g{};
  g.X16W = w;
  g.X16H = h;
  g.CData = std::move(elements);
  return g;
}

// The glyph "1" as the font documents describe it: a flag turned by 35
// degrees and a stem at x = 3.5 from row 2.5 to 11.5.
X16FILE GlyphOne() {
  X16DATA flag = Element(0, 2.5f, 2.625f, 2.5f, 4.625f);
  flag.DrawAngle = 35;
  return Glyph(5, 14, {flag, Element(0, 3.5f, 2.5f, 3.5f, 11.5f)});
}

// Every pixel of two images, for comparing renderings.
bool SamePixels(int a, int b, std::string& why) {
  Size sa = Dims(a), sb = Dims(b);
  if (sa.w != sb.w || sa.h != sb.h) {
    why = "sizes " + std::to_string(sa.w) + "x" + std::to_string(sa.h) + " and " + std::to_string(sb.w) + "x" +
          std::to_string(sb.h);
    return false;
  }
  for (int y = 0; y < sa.h; ++y)
    for (int x = 0; x < sa.w; ++x)
      if (ImagePixel(a, x, y) != ImagePixel(b, x, y)) {
        why = "pixel " + std::to_string(x) + "," + std::to_string(y);
        return false;
      }
  return true;
}

// Pixels of `part` against the region of `whole` starting at column x0.
bool SameRegion(int whole, int part, int x0, std::string& why) {
  Size s = Dims(part);
  for (int y = 0; y < s.h; ++y)
    for (int x = 0; x < s.w; ++x)
      if (ImagePixel(whole, x0 + x, y) != ImagePixel(part, x, y)) {
        why = "pixel " + std::to_string(x) + "," + std::to_string(y) + " of the part at " + std::to_string(x0);
        return false;
      }
  return true;
}

bool AllTransparent(int image, int x0, int x1) {
  Size s = Dims(image);
  for (int y = 0; y < s.h; ++y)
    for (int x = x0; x < x1; ++x)
      if (ImagePixel(image, x, y) != 0) return false;
  return true;
}

}  // namespace

// ---- one glyph ------------------------------------------------------------------

TEST(GlyphRaster, ImageSizeIsTheClampedBoxRounded) {
  struct Case {
    float w, h, sx, sy;
    int width, height;
  } cases[] = {
      {5, 14, 2.5f, 2.0f, 12, 28},   // 12.5 rounds to the even 12
      {7, 14, 1.5f, 1.5f, 10, 21},   // 10.5 → 10
      {9, 14, 2.5f, 2.0f, 22, 28},   // 22.5 → 22
      {10, 14, 10, 8, 100, 112},
      {0, 0, 4, 4, 4, 4},            // an empty document: a 1 × 1 unit blank
      {20, 30, 1, 1, 16, 16},        // at most 16 units
      {5, 14, 0.01f, 0.01f, 1, 1},   // never 0 pixels
  };
  for (const Case& c : cases) {
    int image = RasteriseGlyph(Glyph(c.w, c.h, {}), c.sx, c.sy, OwnColours);
    Size s = Dims(image);
    EXPECT_EQ(s.w, c.width) << c.w << " units at " << c.sx;
    EXPECT_EQ(s.h, c.height) << c.h << " units at " << c.sy;
    EXPECT_TRUE(AllTransparent(image, 0, s.w));
    DisposeImage(image);
  }
  EXPECT_EQ(RasteriseGlyph(Glyph(5, 14, {}), -2, 2, OwnColours), 0) << "no image of negative size";
}

TEST(GlyphRaster, TheBoxFillsTheImageExactly) {
  // 5 units at 2.5 make 12 pixels, not 12.5: the coordinate system is
  // stretched so that a box over the whole glyph covers every pixel.
  X16DATA box = Element(2, 0, 0, 5, 14);
  box.DrawMethod = 1;
  int image = RasteriseGlyph(Glyph(5, 14, {box}), 2.5f, 2.0f, OwnColours);
  Size s = Dims(image);
  ASSERT_EQ(s.w, 12);
  for (int y = 0; y < s.h; ++y)
    for (int x = 0; x < s.w; ++x) ASSERT_EQ(ImagePixel(image, x, y), 0xFF000000u) << x << "," << y;
  DisposeImage(image);
}

TEST(GlyphRaster, StemOfOneFullyCoversItsColumns) {
  // At 4 pixels per unit the stem (x 3.5, width 1) covers columns 12 to 15;
  // its square ends reach from y 2 to 12, rows 8 to 47.
  int image = RasteriseGlyph(GlyphOne(), 4, 4, OwnColours);
  ASSERT_EQ(Dims(image).w, 20);
  ASSERT_EQ(Dims(image).h, 56);
  for (int y = 22; y < 48; ++y) {
    for (int x = 12; x <= 15; ++x) ASSERT_EQ(ImagePixel(image, x, y), 0xFF000000u) << "stem at " << x << "," << y;
    EXPECT_EQ(Alpha(image, 11, y), 0) << "left of the stem, row " << y;
    EXPECT_EQ(Alpha(image, 16, y), 0) << "right of the stem, row " << y;
  }
  EXPECT_EQ(Alpha(image, 13, 48), 0) << "below the square end";
  // The flag is turned clockwise: its top end right of x 2.5, its foot left.
  EXPECT_GT(Alpha(image, 11, 11), 128);
  EXPECT_GT(Alpha(image, 8, 17), 128);
  EXPECT_EQ(Alpha(image, 7, 11), 0);
  DisposeImage(image);
}

TEST(GlyphRaster, ColourReplacesRedGreenBlueAndKeepsTheElementAlpha) {
  X16DATA box = Element(2, 0, 0, 2, 2);
  box.DrawMethod = 1;
  box.DrawRGBA = static_cast<int32_t>(0x80FF0000u);  // blue at alpha 128
  struct Case {
    int32_t colour;
    uint32_t pixel;
  } cases[] = {
      {OwnColours, 0x80FF0000u},
      {0x0000FF, 0x800000FFu},
      {static_cast<int32_t>(0xFF00FF00u), 0x8000FF00u},  // the colour's alpha byte is not used
  };
  for (const Case& c : cases) {
    int image = RasteriseGlyph(Glyph(2, 2, {box}), 2, 2, c.colour);
    EXPECT_EQ(ImagePixel(image, 1, 1), c.pixel) << std::hex << "colour " << c.colour;
    DisposeImage(image);
  }
}

TEST(GlyphRaster, ElementsThatAreNotDrawn) {
  X16DATA hidden = Element(2, 0, 0, 4, 4);
  hidden.DrawMethod = 1;
  hidden.Visible = 0;
  X16DATA unknown = Element(4, 0, 0, 4, 4);
  unknown.DrawMethod = 1;
  for (const X16DATA& e : {hidden, unknown}) {
    int image = RasteriseGlyph(Glyph(4, 4, {e}), 2, 2, OwnColours);
    EXPECT_TRUE(AllTransparent(image, 0, 8)) << "type " << int(e.Type) << " visible " << int(e.Visible);
    DisposeImage(image);
  }
}

TEST(GlyphRaster, DrawMethodsAndEndStyles) {
  // A horizontal line from x 2 to 6 at y 2.5, scale 4: columns 8 to 23 and
  // rows 8 to 11 always; square ends add columns 6, 7, 24 and 25.
  struct Case {
    uint8_t method, method2;
    int col7, col24, col16row6;
    const char* what;
  } cases[] = {
      {0, 0, 255, 255, 0, "stroke, square ends"},
      {0, 1, 0, 0, 0, "stroke, flat ends"},
      {0, 5, 255, 255, 0, "unknown end style counts as square"},
      {1, 0, 255, 255, 0, "a filled line is stroked"},
      {9, 1, 0, 0, 0, "unknown method counts as a stroke"},
  };
  for (const Case& c : cases) {
    X16DATA line = Element(0, 2, 2.5f, 6, 2.5f);
    line.DrawMethod = c.method;
    line.DrawMethod2 = c.method2;
    int image = RasteriseGlyph(Glyph(8, 5, {line}), 4, 4, OwnColours);
    EXPECT_EQ(Alpha(image, 12, 9), 255) << c.what;
    EXPECT_EQ(Alpha(image, 7, 9), c.col7) << c.what;
    EXPECT_EQ(Alpha(image, 24, 9), c.col24) << c.what;
    EXPECT_EQ(Alpha(image, 16, 6), c.col16row6) << c.what;
    DisposeImage(image);
  }
  // Round ends: partly covered end pixels, nothing in the corners.
  X16DATA round = Element(0, 2, 2.5f, 6, 2.5f);
  round.DrawMethod2 = 2;
  int image = RasteriseGlyph(Glyph(8, 5, {round}), 4, 4, OwnColours);
  EXPECT_GT(Alpha(image, 7, 9), 128);
  EXPECT_LT(Alpha(image, 6, 8), 128) << "the corner a square end would fill";
  DisposeImage(image);
}

TEST(GlyphRaster, DashedLineHasGaps) {
  // Width 1, period 1.5: dashes of 1 unit and gaps of half a unit.
  X16DATA line = Element(0, 1, 2.5f, 13, 2.5f);
  line.DrawMethod = 2;
  line.DrawMethod2 = 1;  // flat: dashes centred on 1, 2.5, 4, ...
  int image = RasteriseGlyph(Glyph(14, 5, {line}), 4, 4, OwnColours);
  std::string row;
  for (int x = 0; x < 56; ++x) row += Alpha(image, x, 9) == 255 ? '#' : Alpha(image, x, 9) == 0 ? '.' : '+';
  EXPECT_EQ(row.substr(0, 20), "....##..####..####..") << row;
  DisposeImage(image);
}

// A record whose dashed circle has a radius of 7.7e24 units kept the
// rasteriser busy for minutes at 8 pixels a unit. Geometry that far out is
// left out; the rest of the glyph is drawn.
TEST(GlyphRaster, DashedCircleOfAstronomicalRadiusIsLeftOut) {
  for (float radius : {1e15f, 7.7e24f}) {
    X16DATA circle = Element(3, 2.5f, 7, 2.5f + radius, 7 + radius);
    circle.X2 = 0;
    circle.Y2 = 360;
    circle.DrawMethod = 2;
    X16DATA stem = Element(0, 3.5f, 2.5f, 3.5f, 11.5f);
    int image = RasteriseGlyph(Glyph(5, 14, {circle, stem}), 8, 8, OwnColours);
    EXPECT_EQ(Alpha(image, 29, 50), 255) << "the stem, radius " << radius;
    EXPECT_TRUE(AllTransparent(image, 0, 20)) << "radius " << radius;
    DisposeImage(image);
  }
}

TEST(GlyphRaster, BoxesAndArcs) {
  // A box given with its corners the wrong way round is the same box.
  X16DATA ordered = Element(2, 1, 2, 4, 6);
  ordered.DrawMethod = 1;
  X16DATA reversed = Element(2, 4, 6, 1, 2);
  reversed.DrawMethod = 1;
  int a = RasteriseGlyph(Glyph(6, 8, {ordered}), 4, 4, OwnColours);
  int b = RasteriseGlyph(Glyph(6, 8, {reversed}), 4, 4, OwnColours);
  std::string why;
  EXPECT_TRUE(SamePixels(a, b, why)) << why;
  EXPECT_EQ(Alpha(a, 4, 8), 255);
  EXPECT_EQ(Alpha(a, 16, 24), 0);
  DisposeImage(a);
  DisposeImage(b);

  // A flat bar turned by 90 degrees about its middle stands upright.
  X16DATA bar = Element(2, 1, 4, 5, 5);
  bar.DrawMethod = 1;
  bar.DrawAngle = 90;
  int turned = RasteriseGlyph(Glyph(6, 8, {bar}), 4, 4, OwnColours);
  EXPECT_EQ(Alpha(turned, 10, 10), 255) << "upright: x 2.5 to 3.5, y 2.5 to 6.5";
  EXPECT_EQ(Alpha(turned, 5, 17), 0) << "no longer lying flat";
  DisposeImage(turned);

  // The dots of ":": filled circles of radius 1.
  X16DATA dot = Element(3, 3, 9, 4, 10);
  dot.DrawMethod = 1;
  dot.X2 = 0;
  dot.Y2 = 360;
  int colon = RasteriseGlyph(Glyph(6, 14, {dot}), 4, 4, OwnColours);
  EXPECT_EQ(Alpha(colon, 11, 35), 255) << "centre";
  EXPECT_EQ(Alpha(colon, 8, 32), 0) << "corner of the circle's box";
  EXPECT_EQ(Alpha(colon, 11, 31), 0) << "above the circle";
  DisposeImage(colon);
}

// ---- text images ----------------------------------------------------------------

class TextImage : public testing::Test {
 protected:
  void SetUp() override { ZeroGlobalState(); }
};

TEST_F(TextImage, CaseDoesNotMatter) {
  struct Case {
    const char* a;
    const char* b;
  } cases[] = {{"a1", "A1"}, {"game over", "GAME OVER"}, {"\xC4\xB1", "I"},  // dotless i
               {"\xC5\xBF", "S"}, {"\xC3\xA4", "\xC3\x84"}};  // long s; a and A umlaut: no glyph
  for (const Case& c : cases) {
    int a = RenderTextImage(c.a, 8, 8, OwnColours);
    int b = RenderTextImage(c.b, 8, 8, OwnColours);
    std::string why;
    EXPECT_TRUE(SamePixels(a, b, why)) << "\"" << c.a << "\" and \"" << c.b << "\": " << why;
    DisposeImage(a);
    DisposeImage(b);
  }
}

TEST_F(TextImage, MissingGlyphTakesTheSpaceWidthAndShowsNothing) {
  for (const char* text : {"#", "\xC3\xA4", "\xF0\x9F\x98\x80"}) {  // "#", "ä", an emoji (two code units)
    int image = RenderTextImage(text, 4, 4, OwnColours);
    Size s = Dims(image);
    int units = std::string(text).size() == 4 ? 2 : 1;
    EXPECT_EQ(s.w, 20 * units) << text;
    EXPECT_EQ(s.h, 56) << text;
    EXPECT_TRUE(AllTransparent(image, 0, s.w)) << text;
    DisposeImage(image);
  }
  int image = RenderTextImage("A#A", 4, 4, OwnColours);
  EXPECT_EQ(Dims(image).w, (7 + 5 + 7) * 4);
  EXPECT_TRUE(AllTransparent(image, 28, 48));
  EXPECT_FALSE(AllTransparent(image, 0, 28));
  DisposeImage(image);
}

TEST_F(TextImage, GlyphsAbutInOrder) {
  int text = RenderTextImage("A1A", 6, 5, OwnColours);
  int a = RenderTextImage("A", 6, 5, OwnColours);
  int one = RenderTextImage("1", 6, 5, OwnColours);
  int wa = Dims(a).w, w1 = Dims(one).w;
  EXPECT_EQ(wa, 42);
  EXPECT_EQ(w1, 30);
  EXPECT_EQ(Dims(text).w, 2 * wa + w1);
  EXPECT_EQ(Dims(text).h, 70);
  std::string why;
  EXPECT_TRUE(SameRegion(text, a, 0, why)) << why;
  EXPECT_TRUE(SameRegion(text, one, wa, why)) << why;
  EXPECT_TRUE(SameRegion(text, a, wa + w1, why)) << "the second A, from the cache: " << why;
  for (int image : {text, a, one}) DisposeImage(image);
}

TEST_F(TextImage, LinesStackAndEndAtNul) {
  // Glyph height 14 at scale 2: 28 pixels per line.
  struct Case {
    std::string text;
    int width, height;
  } cases[] = {
      {"1", 10, 28},
      {"1\n1", 10, 56},
      {"1\r1", 10, 56},
      {"1\r\n1", 10, 84},  // CR and LF each start a line
      {"1\nAA", 28, 56},   // the widest line sets the width
      {std::string("1\0AAAA", 6), 10, 28},
      {"1\n", 10, 56},  // a last empty line still has the line height
  };
  for (const Case& c : cases) {
    int image = RenderTextImage(c.text, 2, 2, OwnColours);
    Size s = Dims(image);
    EXPECT_EQ(s.w, c.width) << "text of " << c.text.size() << " bytes";
    EXPECT_EQ(s.h, c.height) << "text of " << c.text.size() << " bytes";
    DisposeImage(image);
  }
  // The second line of "1\n1" is the first one again, 28 rows lower.
  int two = RenderTextImage("1\n1", 2, 2, OwnColours);
  for (int y = 0; y < 28; ++y)
    for (int x = 0; x < 10; ++x) ASSERT_EQ(ImagePixel(two, x, y), ImagePixel(two, x, y + 28)) << x << "," << y;
  DisposeImage(two);
}

TEST_F(TextImage, NothingToShowGivesNoImage) {
  for (std::string text : {std::string(""), std::string("\n\n"), std::string("\0A", 2)}) {
    EXPECT_EQ(RenderTextImage(text, 4, 4, OwnColours), 0) << "text of " << text.size() << " bytes";
  }
}

TEST_F(TextImage, MAtLabelSizeIsTenByFourteenUnits) {
  int image = RenderTextImage("M", 10, 8, OwnColours);
  EXPECT_EQ(Dims(image).w, 100);
  EXPECT_EQ(Dims(image).h, 112);
  DisposeImage(image);
}

// ---- labels ----------------------------------------------------------------------

class TextLabelTest : public probe::SpriteScreenTest {
 protected:
  static constexpr int ScreenW = 160;
  static constexpr int ScreenH = 80;

  TextLabelTest() {
    width = ScreenW;
    height = ScreenH;
  }
  void SetUp() override {
    SpriteScreenTest::SetUp();
    screenState.scaleX = 1;
    screenState.scaleY = 1;
  }
  void TearDown() override {
    MapReset(TextLabelMap);
    while (TextLabel** label = MapNext(TextLabelMap)) DestroyTextLabel(*label);
    SpriteScreenTest::TearDown();
  }

  // The sprite drawn on black, read back: white lettering shows its alpha in
  // every channel.
  std::vector<uint32_t> Shown(int sprite) {
    ClearFrame(0);
    DrawSpriteBlended(sprite, 0, 0, 255);
    PresentFrame();
    return SpriteScreenTest::Shown();
  }
  static int Red(const std::vector<uint32_t>& frame, int x, int y) {
    return static_cast<int>(frame.at(static_cast<size_t>(y) * ScreenW + x) >> 16 & 0xFF);
  }
};

TEST_F(TextLabelTest, CreateAndDestroy) {
  size_t before = MapCount(TextLabelMap);
  TextLabel* label = CreateTextLabel(GameLabelLayer);
  ASSERT_NE(label, nullptr);
  EXPECT_EQ(label->layer, GameLabelLayer);
  EXPECT_EQ(label->text, "");
  EXPECT_EQ(label->sprite, 0);
  EXPECT_EQ(label->alpha, 0);
  EXPECT_EQ(label->effect, nullptr);
  EXPECT_EQ(MapCount(TextLabelMap), before + 1);

  RefreshTextLabel(label, "GO", 2, 2, 0xFFFFFF);
  int sprite = label->sprite;
  ASSERT_TRUE(SpriteExists(sprite));
  EXPECT_TRUE(DestroyTextLabel(label));
  EXPECT_EQ(MapCount(TextLabelMap), before);
  EXPECT_FALSE(SpriteExists(sprite)) << "the sprite goes with the label";

  TextLabel stranger{};
  EXPECT_FALSE(DestroyTextLabel(&stranger)) << "not registered";
  EXPECT_FALSE(DestroyTextLabel(nullptr));
}

TEST_F(TextLabelTest, EffectEntryIsRemovedWithTheLabel) {
  TextLabel* label = CreateTextLabel(MenuLabelLayer);
  EffectRecord& effect = ListAppend(EffectList);
  EffectRecord& other = ListAppend(EffectList);
  label->effect = &effect;
  EXPECT_TRUE(DestroyTextLabel(label));
  ASSERT_EQ(ListCount(EffectList), 1u);
  EXPECT_EQ(ListFirst(EffectList), &other);
}

TEST_F(TextLabelTest, MAtTwoAndAHalfByTwoIs25By28) {
  TextLabel* label = CreateTextLabel(GameLabelLayer);
  RefreshTextLabel(label, "M", 2.5f, 2.0f, 0xF6FFF6);
  ASSERT_NE(label->sprite, 0);
  EXPECT_EQ(label->spriteWidth, 25);
  EXPECT_EQ(label->spriteHeight, 28);
  EXPECT_EQ(label->text, "M");
  EXPECT_EQ(label->colour, 0xF6FFF6u);
  EXPECT_EQ(label->sizeX, 2.5f);
  EXPECT_EQ(label->sizeY, 2.0f);

  // The display scale multiplies in: at 2 the same label is twice the size.
  screenState.scaleX = screenState.scaleY = 2;
  int old = label->sprite;
  RefreshTextLabel(label, label->text, label->sizeX, label->sizeY, label->colour);
  EXPECT_EQ(label->spriteWidth, 50);
  EXPECT_EQ(label->spriteHeight, 56);
  EXPECT_FALSE(SpriteExists(old)) << "the previous sprite is freed";
}

TEST_F(TextLabelTest, EmptyTextKeepsTheLabelAsItWas) {
  TextLabel* label = CreateTextLabel(GameLabelLayer);
  RefreshTextLabel(label, "00000000", 2, 2, 0xE0F5E0);
  int sprite = label->sprite;
  ASSERT_NE(sprite, 0);
  RefreshTextLabel(label, "", 3, 3, 0x123456);
  EXPECT_EQ(label->sprite, sprite);
  EXPECT_TRUE(SpriteExists(sprite));
  EXPECT_EQ(label->text, "00000000");
  EXPECT_EQ(label->colour, 0xE0F5E0u);
  EXPECT_EQ(label->sizeX, 2.0f);
  EXPECT_EQ(label->spriteWidth, 8 * 12);
}

TEST_F(TextLabelTest, LabelsOutsideTheMapAreNeverRefreshed) {
  TextLabel stranger{};
  RefreshTextLabel(&stranger, "HELLO", 2, 2, 0xFFFFFF);
  EXPECT_EQ(stranger.sprite, 0);
  EXPECT_EQ(stranger.text, "");
  RefreshTextLabel(nullptr, "HELLO", 2, 2, 0xFFFFFF);

  // Taken out of the map behind the label's back: no longer refreshed.
  TextLabel* label = CreateTextLabel(MenuLabelLayer);
  MapRemove(TextLabelMap, IdentityKey(label));
  RefreshTextLabel(label, "HELLO", 2, 2, 0xFFFFFF);
  EXPECT_EQ(label->sprite, 0);
  delete label;
}

TEST_F(TextLabelTest, ReductionFiltersOnlyFromOnePixelPerUnit) {
  // The sprite is the 4× rendering reduced to a quarter: averaged when the
  // effective size is at least 1 pixel per unit on both axes, nearest pixels
  // below that. Each case compares the shown sprite with both reductions.
  // The last case has two lines and sides no multiple of four.
  struct Case {
    float scale, size;
    int mode;
    const char* text;
  } cases[] = {{1.0f, 2.0f, 0, "OK4"}, {1.0f, 1.0f, 0, "OK4"}, {0.45f, 2.0f, 1, "OK4"},
               {1.0f, 0.9f, 1, "OK4"}, {1.3f, 1.7f, 0, "W.\nOK4"}};
  for (const Case& c : cases) {
    screenState.scaleX = screenState.scaleY = c.scale;
    TextLabel* label = CreateTextLabel(MenuLabelLayer);
    RefreshTextLabel(label, c.text, c.size, c.size, 0xFFFFFF);
    ASSERT_NE(label->sprite, 0);
    std::vector<uint32_t> frame = Shown(label->sprite);

    float f = c.size * c.scale;
    int reduced[2];
    for (int mode = 0; mode < 2; ++mode) {
      reduced[mode] = RenderTextImage(c.text, 4 * f, 4 * f, 0xFFFFFF);
      Size s = Dims(reduced[mode]);
      ScaleImageTo(reduced[mode], static_cast<int>(std::nearbyint(s.w * 0.25)),
                   static_cast<int>(std::nearbyint(s.h * 0.25)), mode);
    }
    Size s = Dims(reduced[0]);
    ASSERT_EQ(label->spriteWidth, s.w);
    ASSERT_EQ(label->spriteHeight, s.h);
    int worst[2] = {0, 0};
    for (int y = 0; y < s.h; ++y)
      for (int x = 0; x < s.w; ++x)
        for (int mode = 0; mode < 2; ++mode)
          worst[mode] = std::max(worst[mode], std::abs(Red(frame, x, y) - Alpha(reduced[mode], x, y)));
    EXPECT_LE(worst[c.mode], probe::BlendRounding) << "scale " << c.scale << " size " << c.size << ": the expected reduction";
    EXPECT_GT(worst[1 - c.mode], probe::BlendRounding) << "scale " << c.scale << " size " << c.size << ": the other reduction";
    for (int image : reduced) DisposeImage(image);
    DestroyTextLabel(label);
  }
}

TEST_F(TextLabelTest, StemOfOneCoversItsColumnInTheSprite) {
  // Size 2 at scale 1: 8 pixels per unit at 4×, the stem on columns 24 to
  // 31, which are columns 6 and 7 of the quarter-size sprite.
  TextLabel* label = CreateTextLabel(GameLabelLayer);
  RefreshTextLabel(label, "1", 2, 2, 0xFFFFFF);
  ASSERT_EQ(label->spriteWidth, 10);
  std::vector<uint32_t> frame = Shown(label->sprite);
  for (int y = 12; y < 23; ++y) {
    EXPECT_GE(Red(frame, 6, y), 252) << "row " << y;
    EXPECT_GE(Red(frame, 7, y), 252) << "row " << y;
    EXPECT_LE(Red(frame, 5, y), 3) << "row " << y;
    EXPECT_LE(Red(frame, 8, y), 3) << "row " << y;
  }
}
