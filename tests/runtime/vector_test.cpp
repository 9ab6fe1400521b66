// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>

#include "runtime/image.h"
#include "runtime/vector.h"
#include "tests/support/pixels.h"

namespace {

constexpr uint32_t Transparent = 0xFFFFFFFFu;
constexpr uint32_t OpaqueRed = 0xFF0000FFu;

// A fresh transparent image with vector output open on it.
struct Canvas {
  int image = 0;
  Canvas(int width, int height) {
    image = NewImage(width, height, Transparent);
    EXPECT_NE(BeginVector(CanvasForImage(image, 1)), 0);
  }
  ~Canvas() {
    EndVector();
    DisposeImage(image);
  }
  int Alpha(int x, int y) const { return static_cast<int>(ImagePixel(image, x, y) >> 24); }
  // One text row per image row: '#' opaque, '+' partly covered, '.' untouched.
  std::string Rows() const {
    int w, h;
    ImageDims(image, w, h);
    std::string out;
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        int a = Alpha(x, y);
        out += a == 255 ? '#' : a > 0 ? '+' : '.';
      }
      out += '\n';
    }
    return out;
  }
};

}  // namespace

TEST(VectorDrawing, UntouchedPixelsStayTransparentAndEdgesCarryCoverage) {
  Canvas c(8, 3);
  SetPaint(OpaqueRed);
  PathRect(2.5, 0, 3, 3);  // half of column 2 and half of column 5
  FillCurrentPath();
  EndVector();
  struct Expect {
    int x;
    uint32_t pixel;
  } expected[] = {{0, 0}, {1, 0}, {3, OpaqueRed}, {4, OpaqueRed}, {6, 0}, {7, 0}};
  for (const Expect& e : expected)
    EXPECT_EQ(ImagePixel(c.image, e.x, 1), e.pixel) << "column " << e.x << "\n" << c.Rows();
  for (int x : {2, 5}) {
    uint32_t p = ImagePixel(c.image, x, 1);
    EXPECT_NEAR(static_cast<int>(p >> 24), 128, probe::HalfCoverageRounding) << "half-covered column " << x;
    EXPECT_EQ(p & 0xFFFFFF, 0x0000FFu) << "the colour stays the paint's own at partial coverage, column " << x;
  }
}

TEST(VectorDrawing, UnitLineOnHalfUnitCentreCoversWholeColumns) {
  // A width-1 vertical line at x = 3.5, in a coordinate system scaled by 4,
  // must cover image columns 12 to 15 and nothing else.
  Canvas c(24, 16);
  ScaleAxes(4, 4);
  PathMoveTo(3.5, 1);
  PathLineTo(3.5, 3);
  StrokeCurrentPath(1, 0);  // flat ends: rows 4 to 11
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 24; ++x) {
      bool inside = x >= 12 && x <= 15 && y >= 4 && y <= 11;
      ASSERT_EQ(c.Alpha(x, y), inside ? 255 : 0) << "pixel " << x << "," << y << "\n" << c.Rows();
    }
  }
}

TEST(VectorDrawing, StrokeCapsAndJoinsFollowTheFlags) {
  // A horizontal line from x 6 to 10 at y 6, width 4: flat caps stop at the
  // ends, square caps reach two units further, round caps too but without
  // the corners of the square.
  struct Case {
    uint32_t flags;
    int beforeStart, afterEnd, corner;
  } cases[] = {
      {0, 0, 0, 0},
      {StrokeSquareCaps, 255, 255, 255},
      {StrokeRoundCaps, 255, 255, 0},
      {StrokeRoundCaps | StrokeSquareCaps, 255, 255, 0},  // round wins
  };
  // The pixel off the line's corner: a square cap covers it, a round cap
  // leaves it nearly bare; which way the antialiasing rounds does not matter.
  constexpr int CornerSlack = 80;
  for (const Case& k : cases) {
    Canvas c(16, 12);
    PathMoveTo(6, 6);
    PathLineTo(10, 6);
    StrokeCurrentPath(4, k.flags);
    EXPECT_EQ(c.Alpha(7, 6), 255) << "flags " << k.flags;
    EXPECT_EQ(c.Alpha(5, 6), k.beforeStart) << "flags " << k.flags << "\n" << c.Rows();
    EXPECT_EQ(c.Alpha(10, 6), k.afterEnd) << "flags " << k.flags << "\n" << c.Rows();
    EXPECT_NEAR(c.Alpha(4, 4), k.corner, CornerSlack) << "flags " << k.flags << "\n" << c.Rows();
  }

  // A right angle, width 4: a mitred corner fills the outer square, a bevel
  // cuts it off along its diagonal, a round join rounds it.
  struct Join {
    uint32_t flags;
    int low, high;
  } joins[] = {{0, 255, 255}, {StrokeBevelJoins, 0, 0}, {StrokeRoundJoins, 1, 230}};
  for (const Join& j : joins) {
    Canvas c(16, 16);
    PathMoveTo(2, 8);
    PathLineTo(8, 8);
    PathLineTo(8, 14);
    StrokeCurrentPath(4, j.flags);
    EXPECT_GE(c.Alpha(9, 6), j.low) << "join flags " << j.flags << "\n" << c.Rows();
    EXPECT_LE(c.Alpha(9, 6), j.high) << "join flags " << j.flags << "\n" << c.Rows();
    EXPECT_EQ(c.Alpha(8, 8), 255);
  }
}

TEST(VectorDrawing, FullTurnArcIsOneClosedEllipse) {
  Canvas c(24, 16);
  SetPaint(OpaqueRed);
  PathEllipseArc(12, 8, 8, 4, 0, 360);
  FillCurrentPath();
  struct Expect {
    int x, y, alpha;
  } expected[] = {
      {11, 7, 255}, {12, 8, 255},  // centre
      {5, 7, 255},  {18, 8, 255},  // inside near the ends of the long axis
      {11, 5, 255}, {12, 10, 255}, // inside near the ends of the short axis
      {2, 7, 0},    {21, 8, 0},    // beyond the long axis
      {11, 2, 0},   {12, 13, 0},   // beyond the short axis
      {4, 4, 0},    {19, 11, 0},   // outside the curve, inside its box
  };
  for (const Expect& e : expected)
    EXPECT_EQ(c.Alpha(e.x, e.y), e.alpha) << "pixel " << e.x << "," << e.y << "\n" << c.Rows();
  // Symmetric in both axes (within the rasteriser's sampling): nothing of the
  // curve is missing.
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 24; ++x) {
      ASSERT_NEAR(c.Alpha(x, y), c.Alpha(23 - x, y), 8) << x << "," << y << "\n" << c.Rows();
      ASSERT_NEAR(c.Alpha(x, y), c.Alpha(x, 15 - y), 8) << x << "," << y << "\n" << c.Rows();
    }
}

TEST(VectorDrawing, ArcAnglesAreSeenFromTheCentreAndRunClockwise) {
  // Arc 45 → 225 on an 8 × 4 ellipse, filled: the chord joins the points at
  // 45 and 225 degrees seen from the centre, which lie on the diagonal
  // y = x through the centre; the sweep runs clockwise on screen through 90
  // (below the centre), so the filled half is the one below the diagonal.
  // Parametric angles would put the chord on y = x / 2 instead.
  Canvas c(20, 20);
  PathEllipseArc(10, 10, 8, 4, 45, 225);
  FillCurrentPath();
  struct Expect {
    int x, y, alpha;
    const char* why;
  } expected[] = {
      {11, 12, 255, "below the diagonal"},
      {12, 11, 0, "between the diagonal and y = x / 2"},
      {7, 8, 255, "between y = x / 2 and the diagonal, left of the centre"},
      {14, 8, 0, "above the centre, right"},
  };
  for (const Expect& e : expected)
    EXPECT_EQ(c.Alpha(e.x, e.y), e.alpha) << e.why << " at " << e.x << "," << e.y << "\n" << c.Rows();

  // 0 → 180 is the lower half; 180 → 0 (sweep 180 from 180) the upper half;
  // 540 → 0 sweeps −180 from 180, back through 90: the lower half.
  struct Half {
    double start, end;
    int below, above;
  } halves[] = {{0, 180, 255, 0}, {180, 0, 0, 255}, {-180, 0, 0, 255}, {360, 540, 255, 0}, {540, 0, 255, 0}};
  for (const Half& h : halves) {
    Canvas d(20, 20);
    PathEllipseArc(10, 10, 6, 6, h.start, h.end);
    FillCurrentPath();
    EXPECT_EQ(d.Alpha(9, 12), h.below) << h.start << " to " << h.end << "\n" << d.Rows();
    EXPECT_EQ(d.Alpha(9, 7), h.above) << h.start << " to " << h.end << "\n" << d.Rows();
  }
}

TEST(VectorDrawing, OpenArcLeavesTheCurrentPointAtItsEnd) {
  // Arc 0 → 90 ends below the centre; a line from there back to the centre
  // and the fill's closing line make a quarter sector.
  Canvas c(20, 20);
  PathEllipseArc(4, 4, 12, 12, 0, 90);
  PathLineTo(4, 4);
  FillCurrentPath();
  EXPECT_EQ(c.Alpha(8, 8), 255) << c.Rows();
  EXPECT_EQ(c.Alpha(5, 14), 255) << c.Rows();
  EXPECT_EQ(c.Alpha(14, 5), 255) << c.Rows();
  EXPECT_EQ(c.Alpha(2, 8), 0) << "nothing left of the centre\n" << c.Rows();
  EXPECT_EQ(c.Alpha(14, 14), 0) << "outside the circle\n" << c.Rows();
}

// 0 → 450 used to draw the circle and then a chord from 0 to 90 degrees.
// More than a turn inks the ellipse once; the current point moves on to the
// end angle without a line.
TEST(VectorDrawing, ArcPastAFullTurnDrawsNoChord) {
  struct Case {
    double start, end;
    int chordX, chordY;  // pixel on the chord from the start to the end point
    int endX, endY;      // pixel just inside the end point, towards the centre
  } cases[] = {{0, 450, 12, 13, 10, 14}, {90, 900, 7, 13, 6, 10}, {800, 0, 13, 12, 14, 10}};
  for (const Case& k : cases) {
    Canvas c(20, 20);
    PathEllipseArc(10, 10, 6, 6, k.start, k.end);
    StrokeCurrentPath(1, 0);
    SCOPED_TRACE(std::to_string(k.start) + " to " + std::to_string(k.end));
    EXPECT_EQ(c.Alpha(k.chordX, k.chordY), 0) << "a chord inside the circle\n" << c.Rows();
    EXPECT_GT(c.Alpha(16, 10), 100) << "the circle itself\n" << c.Rows();

    // The current point did move to the end angle: a line from there to the
    // centre starts at the circle.
    PathEllipseArc(10, 10, 6, 6, k.start, k.end);
    PathLineTo(10, 10);
    StrokeCurrentPath(1, 0);
    EXPECT_GT(c.Alpha(k.endX, k.endY), 100) << c.Rows();

    // Filled, the disc is whole: a part of the path going round a second
    // time would cut a hole in it under the even-odd rule.
    Canvas f(20, 20);
    PathEllipseArc(10, 10, 6, 6, k.start, k.end);
    FillCurrentPath();
    int holes = 0;
    for (int y = 6; y < 14; ++y)
      for (int x = 6; x < 14; ++x) holes += f.Alpha(x, y) != 255;
    EXPECT_EQ(holes, 0) << "filled\n" << f.Rows();
  }
}

// A dashed path far longer than the image used to keep Cairo's dasher busy
// for minutes (a dashed circle of radius 7.7e24 units at 8 pixels a unit).
// Where the dashes would outnumber the image's pixels the path is stroked
// solid; an ordinary dashed path keeps its dashes; an element reaching
// beyond what Cairo can address (millions of pixels out) is left out.
TEST(VectorDrawing, DashesTooManyToSeeAreStrokedSolid) {
  struct Case {
    const char* what;
    double from, to;  // x of a line along y = 2
    const char* row;
  } cases[] = {
      {"within the image", 0, 24, "#....##....##....##....#"},
      {"millions of dashes", -3e6, 3e6, "########################"},
      {"ends beyond Cairo's coordinates: left out", -1e12, 1e12, "........................"},
  };
  for (const Case& k : cases) {
    Canvas c(24, 4);
    PathMoveTo(k.from, 2);
    PathLineTo(k.to, 2);
    DashCurrentPath(2, 6, 0);
    EXPECT_EQ(c.Rows().substr(25, 24), k.row) << k.what << "\n" << c.Rows();
  }
  for (double radius : {1e15, 7.7e24}) {
    Canvas c(40, 112);
    ScaleAxes(8, 8);
    PathEllipseArc(2.5, 7, radius, radius, 0, 360);
    DashCurrentPath(1, 1.5, StrokeSquareCaps);
    PathRect(1, 1, 1, 1);
    FillCurrentPath();
    EXPECT_EQ(c.Alpha(12, 12), 255) << "the output still works after radius " << radius;
  }
  // The count starts again with each path.
  Canvas c(24, 4);
  PathMoveTo(-3e6, 2);
  PathLineTo(3e6, 2);
  StrokeCurrentPath(0, 0);
  PathMoveTo(0, 2);
  PathLineTo(24, 2);
  DashCurrentPath(2, 6, 0);
  EXPECT_EQ(c.Rows().substr(25, 24), "#....##....##....##....#") << c.Rows();
}

TEST(VectorDrawing, ZeroRadiusArcIsADot) {
  Canvas c(10, 10);
  PathEllipseArc(5, 5, 0, 3, 0, 360);
  StrokeCurrentPath(2, StrokeRoundCaps);
  EXPECT_GT(c.Alpha(4, 4), 100) << c.Rows();
  EXPECT_GT(c.Alpha(5, 5), 100) << c.Rows();
  EXPECT_EQ(c.Alpha(5, 2), 0) << "no part of the would-be ellipse\n" << c.Rows();
  EXPECT_EQ(c.Alpha(7, 5), 0) << c.Rows();
}

TEST(VectorDrawing, TurnAboutTurnsClockwiseOnScreen) {
  // The flag of the glyph "1": a vertical line turned by 35 degrees about its
  // midpoint (2.5, 3.625). Clockwise moves its top end to the right and its
  // bottom end to the left.
  Canvas c(24, 24);
  ScaleAxes(4, 4);
  TurnAbout(2.5, 3.625, 35);
  PathMoveTo(2.5, 2.625);
  PathLineTo(2.5, 4.625);
  StrokeCurrentPath(0.5, 0);
  double s = std::sin(35 * std::numbers::pi / 180), k = std::cos(35 * std::numbers::pi / 180);
  auto at = [&](double gx, double gy) { return c.Alpha(static_cast<int>(gx * 4), static_cast<int>(gy * 4)); };
  double reach = 0.8;  // along the turned line, short of its ends
  EXPECT_GT(at(2.5 + reach * s, 3.625 - reach * k), 200) << "top end, turned right\n" << c.Rows();
  EXPECT_GT(at(2.5 - reach * s, 3.625 + reach * k), 200) << "bottom end, turned left\n" << c.Rows();
  EXPECT_EQ(at(2.5 - reach * s, 3.625 - reach * k), 0) << "counter-clockwise position\n" << c.Rows();
  EXPECT_EQ(at(2.5 + reach * s, 3.625 + reach * k), 0) << "counter-clockwise position\n" << c.Rows();
  EXPECT_EQ(at(2.5, 2.7), 0) << "the unturned top\n" << c.Rows();
}

TEST(VectorDrawing, DashedStrokeHasGaps) {
  // Width 2, period 6 along y = 2: flat dashes of 2 centred on 0, 6, 12, ...
  // (the pattern starts half a pen width into the first dash); square caps
  // put the same dashes in the same places; round caps draw dots of
  // diameter 2 every period − width = 4 units.
  struct Case {
    uint32_t flags;
    std::string row;  // coverage of pixel row 1 (y 1 to 2), columns 0 to 23
  } cases[] = {
      {0, "#....##....##....##....#"},
      {StrokeSquareCaps, "#....##....##....##....#"},
      {StrokeRoundCaps, "+..++..++..++..++..++..+"},
  };
  for (const Case& k : cases) {
    Canvas c(24, 4);
    PathMoveTo(0, 2);
    PathLineTo(24, 2);
    DashCurrentPath(2, 6, k.flags);
    std::string rows = c.Rows();
    EXPECT_EQ(rows.substr(25, 24), k.row) << "flags " << k.flags << "\n" << rows;
  }
}

TEST(VectorDrawing, SquareCapsOfADashedLineStickOutAtItsEnds) {
  // A dashed line from x 4 whose first dash starts at the line's start: with
  // square caps the first dash reaches one half width before the start.
  struct Case {
    uint32_t flags;
    int alphaBeforeStart;
  } cases[] = {{0, 0}, {StrokeSquareCaps, 255}};
  for (const Case& k : cases) {
    Canvas c(24, 6);
    PathMoveTo(4, 3);
    PathLineTo(20, 3);
    DashCurrentPath(2, 6, k.flags);
    EXPECT_EQ(c.Alpha(3, 2), k.alphaBeforeStart) << "flags " << k.flags << "\n" << c.Rows();
    EXPECT_EQ(c.Alpha(4, 2), 255) << "flags " << k.flags << "\n" << c.Rows();
    EXPECT_EQ(c.Alpha(6, 2), 0) << "flags " << k.flags << "\n" << c.Rows();
  }
}

TEST(VectorDrawing, EvenOddFillLeavesAHole) {
  // Both rectangles run the same way round, so only the even-odd rule makes
  // the inner one a hole.
  Canvas c(12, 12);
  PathRect(1, 1, 10, 10);
  PathRect(4, 4, 4, 4);
  FillCurrentPath();
  EXPECT_EQ(c.Alpha(2, 2), 255) << c.Rows();
  EXPECT_EQ(c.Alpha(5, 5), 0) << c.Rows();
  EXPECT_EQ(c.Alpha(9, 6), 255) << c.Rows();
  EXPECT_EQ(c.Alpha(0, 0), 0) << c.Rows();
}

TEST(VectorDrawing, PathKeepsItsPlaceWhenTheTransformChanges) {
  Canvas c(16, 4);
  PathRect(0, 0, 2, 2);
  PushState();
  ShiftOrigin(4, 0);
  PathRect(0, 0, 2, 2);  // lands at 4 to 6
  ScaleAxes(2, 1);
  PathRect(4, 0, 1, 2);  // x 4 to 5 scaled by 2, shifted: 12 to 14
  PopState();            // the transform comes back, the path stays
  PathRect(0, 2, 1, 1);  // the original transform again
  FillCurrentPath();
  EXPECT_EQ(c.Rows(),
            "##..##......##..\n"
            "##..##......##..\n"
            "#...............\n"
            "................\n");
}

TEST(VectorDrawing, PaintingEmptiesThePathUnlessKept) {
  Canvas c(8, 8);
  SetPaint(0xFF00FF00u);
  PathRect(0, 0, 4, 4);
  FillCurrentPath(PaintKeepPath);
  SetPaint(OpaqueRed);
  FillCurrentPath();  // the kept rectangle again, now red
  PathRect(4, 4, 4, 4);
  SetPaint(0xFFFF0000u);
  FillCurrentPath();  // only the new rectangle
  EXPECT_EQ(ImagePixel(c.image, 1, 1), OpaqueRed);
  EXPECT_EQ(ImagePixel(c.image, 5, 5), 0xFFFF0000u);
  EXPECT_EQ(ImagePixel(c.image, 5, 1), 0u);
}

TEST(VectorDrawing, PaintColourAndSourceOver) {
  Canvas c(4, 1);
  SetPaint(0x80FF0000u);  // half-transparent blue, red in the low byte
  PathRect(0, 0, 2, 1);
  FillCurrentPath();
  PathRect(1, 0, 2, 1);
  FillCurrentPath();  // overlaps column 1: alpha builds up as source-over
  EXPECT_EQ(ImagePixel(c.image, 0, 0), 0x80FF0000u);
  EXPECT_NEAR(static_cast<int>(ImagePixel(c.image, 1, 0) >> 24), 192, probe::ChannelRounding);
  EXPECT_EQ(ImagePixel(c.image, 1, 0) & 0xFFFFFF, 0xFF0000u);
  EXPECT_EQ(ImagePixel(c.image, 3, 0), 0u);
}

TEST(VectorDrawing, FailuresAndMisuseAreHarmless) {
  EXPECT_EQ(CanvasForImage(0, 1), 0);
  EXPECT_EQ(CanvasForImage(987654, 1), 0);
  EXPECT_EQ(BeginVector(0), 0);
  // Nothing open: every operation is ignored.
  EXPECT_EQ(CanvasWidth(), 0);
  PathRect(0, 0, 1, 1);
  FillCurrentPath();
  StrokeCurrentPath(1, 0);
  PopState();
  EndVector();

  Canvas c(8, 8);
  EXPECT_EQ(CanvasWidth(), 8);
  EXPECT_EQ(CanvasHeight(), 8);
  PopState();           // nothing pushed
  ScaleAxes(0, 1);      // would make the transform singular
  ScaleAxes(1e-200, 1e-200);  // invertible on paper, not to Cairo
  ShiftOrigin(NAN, 0);  // not a number
  TurnAbout(INFINITY, 0, 30);
  PathMoveTo(NAN, 1);
  DashCurrentPath(1, 0.5, 0);  // period below the width: no gap, still drawn
  PathEllipseArc(1, 1, 1e-200, 1e-200, 0, 360);  // a stretch too small to undo
  FillCurrentPath();
  PathRect(1, 1, 2, 2);
  FillCurrentPath();
  EXPECT_EQ(c.Alpha(2, 2), 255) << "drawing still works after the refused calls\n" << c.Rows();
  EXPECT_EQ(c.Alpha(5, 5), 0) << c.Rows();
}
