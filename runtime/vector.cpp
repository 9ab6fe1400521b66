// SPDX-License-Identifier: MIT
// Retained-path vector drawing onto an image, over one Cairo context.
//
// Cairo already has the model the callers rely on: pixel column i spans
// coordinates i to i + 1, transform operations are prepended to the current
// matrix, path elements are stored in device space as they are added (so a
// later transform does not move them, and the current point follows), and
// the path is not part of the saved state. What Cairo lacks is filled in
// here: separate line and dash caps, angles of elliptical arcs measured
// on the ellipse itself, and rejection of arguments that would put the
// context into a permanent error state.
#include "runtime/vector.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <initializer_list>
#include <utility>
#include <vector>

#include "runtime/image_internal.h"

// The drawing between BeginVector and EndVector, started afresh by each in
// one statement.
struct VectorState {
  cairo_t* canvas = nullptr;
  double width = 0;
  double height = 0;
  int savedStates = 0;  // PushState depth, so PopState never underflows
  // The current path as the image sees it, in double precision: an upper
  // bound of its length, and the current point.
  double pathLength = 0;
  double pathX = 0, pathY = 0;
};

static VectorState drawing;

// Cairo keeps path points in 24.8 fixed point, about ±8.4 million pixels
// from the image's origin; a point beyond that is stored as some other
// point, and the work of painting what it makes is unbounded. An element
// that would reach that far is left out of the path (the current point still
// moves to its end): no image is large enough to show any of it, and in
// double precision such geometry cannot even be placed to the pixel.
static constexpr double Reach = 8.0e6;

static constexpr double Pi = std::numbers::pi;

static bool Finite(double a) { return std::isfinite(a); }
static bool Finite(double a, double b) { return std::isfinite(a) && std::isfinite(b); }

static void ToImage(double& x, double& y) { cairo_user_to_device(drawing.canvas, &x, &y); }

static bool InReach(double x, double y) { return std::fabs(x) < Reach && std::fabs(y) < Reach; }

// Whether every user-space point given lies within reach on the image.
static bool AllInReach(std::initializer_list<std::pair<double, double>> points) {
  for (auto [x, y] : points) {
    ToImage(x, y);
    if (!InReach(x, y)) return false;
  }
  return true;
}

// Moves the tracked current point to the user-space point (x, y); a drawing
// step adds its straight distance, which bounds any curve within it.
static void TrackPoint(double x, double y, bool draws) {
  ToImage(x, y);
  if (draws) drawing.pathLength += std::hypot(x - drawing.pathX, y - drawing.pathY);
  drawing.pathX = x;
  drawing.pathY = y;
}

static bool CurrentPointInReach() { return InReach(drawing.pathX, drawing.pathY); }

// Leaves an element out: only the current point moves to its end.
static void SkipTo(double x, double y) {
  cairo_move_to(drawing.canvas, x, y);
  TrackPoint(x, y, false);
}

static void ForgetPath() { drawing.pathLength = 0; }

// Largest stretch of the transform's linear part: its Frobenius norm bounds
// the largest singular value from above.
static double Stretch(const cairo_matrix_t& m) {
  return std::sqrt(m.xx * m.xx + m.xy * m.xy + m.yx * m.yx + m.yy * m.yy);
}

int CanvasForImage(int image, int unit) {
  if (unit != 1 || !ImageSurface(image)) return 0;
  // The image number itself names the drawing target: there is nothing to
  // hold between this call and BeginVector.
  return image;
}

int BeginVector(int target) {
  EndVector();  // one output at a time
  cairo_surface_t* surface = ImageSurface(target);
  if (!surface) return 0;
  cairo_t* cr = cairo_create(surface);
  if (cairo_status(cr) != CAIRO_STATUS_SUCCESS) {
    cairo_destroy(cr);
    return 0;
  }
  cairo_set_antialias(cr, CAIRO_ANTIALIAS_GOOD);
  cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
  cairo_set_source_rgba(cr, 0, 0, 0, 1);
  cairo_set_line_width(cr, 1.0);
  cairo_move_to(cr, 0, 0);
  // No saved states, an empty path, the current point at the origin.
  drawing = VectorState{.canvas = cr,
                        .width = double(cairo_image_surface_get_width(surface)),
                        .height = double(cairo_image_surface_get_height(surface))};
  return 1;
}

double CanvasWidth() { return drawing.canvas ? drawing.width : 0; }
double CanvasHeight() { return drawing.canvas ? drawing.height : 0; }

// Whether Cairo accepts `m` as a transform. One it refuses would leave the
// context unusable for good, so such a transform is never set.
static bool UsableTransform(const cairo_matrix_t& m) {
  if (!Finite(m.xx, m.yx) || !Finite(m.xy, m.yy) || !Finite(m.x0, m.y0)) return false;
  double det = m.xx * m.yy - m.xy * m.yx;  // Cairo's own test
  cairo_matrix_t inverse = m;
  return std::isfinite(det) && det != 0 && cairo_matrix_invert(&inverse) == CAIRO_STATUS_SUCCESS;
}

// Applies `m` before the current transform, unless the result is unusable.
static void PrependTransform(const cairo_matrix_t& m) {
  if (!drawing.canvas) return;
  cairo_matrix_t current, combined;
  cairo_get_matrix(drawing.canvas, &current);
  cairo_matrix_multiply(&combined, &m, &current);
  if (UsableTransform(combined)) cairo_set_matrix(drawing.canvas, &combined);
}

void ScaleAxes(double sx, double sy) {
  cairo_matrix_t m;
  cairo_matrix_init_scale(&m, sx, sy);
  PrependTransform(m);
}

void ShiftOrigin(double dx, double dy) {
  cairo_matrix_t m;
  cairo_matrix_init_translate(&m, dx, dy);
  PrependTransform(m);
}

void TurnAbout(double x, double y, double degrees) {
  // With y growing downwards, Cairo's positive rotation is clockwise on
  // screen.
  cairo_matrix_t toOrigin, turn, back, partial, m;
  cairo_matrix_init_translate(&toOrigin, -x, -y);
  cairo_matrix_init_rotate(&turn, degrees * Pi / 180.0);
  cairo_matrix_init_translate(&back, x, y);
  cairo_matrix_multiply(&partial, &toOrigin, &turn);
  cairo_matrix_multiply(&m, &partial, &back);
  PrependTransform(m);
}

void SetPaint(uint32_t rgba) {
  if (!drawing.canvas) return;
  cairo_set_source_rgba(drawing.canvas, (rgba & 0xFF) / 255.0, ((rgba >> 8) & 0xFF) / 255.0,
                        ((rgba >> 16) & 0xFF) / 255.0, (rgba >> 24) / 255.0);
}

void PushState() {
  if (!drawing.canvas) return;
  cairo_save(drawing.canvas);
  ++drawing.savedStates;
}

void PopState() {
  // The path lives outside Cairo's saved state, so it stays where it was
  // drawn; only transform, pen and paint come back.
  if (!drawing.canvas || drawing.savedStates == 0) return;
  cairo_restore(drawing.canvas);
  --drawing.savedStates;
}

void PathMoveTo(double x, double y) {
  if (!drawing.canvas || !Finite(x, y)) return;
  cairo_move_to(drawing.canvas, x, y);
  TrackPoint(x, y, false);
}

void PathLineTo(double x, double y) {
  if (!drawing.canvas || !Finite(x, y)) return;
  if (!CurrentPointInReach() || !AllInReach({{x, y}})) return SkipTo(x, y);
  cairo_line_to(drawing.canvas, x, y);
  TrackPoint(x, y, true);
}

void PathCubicTo(double x1, double y1, double x2, double y2, double x3, double y3) {
  if (!drawing.canvas || !Finite(x1, y1) || !Finite(x2, y2) || !Finite(x3, y3)) return;
  if (!CurrentPointInReach() || !AllInReach({{x1, y1}, {x2, y2}, {x3, y3}})) return SkipTo(x3, y3);
  cairo_curve_to(drawing.canvas, x1, y1, x2, y2, x3, y3);
  // The control polygon is at least as long as the curve.
  TrackPoint(x1, y1, true);
  TrackPoint(x2, y2, true);
  TrackPoint(x3, y3, true);
}

void PathRect(double x, double y, double w, double h) {
  if (!drawing.canvas || !Finite(x, y) || !Finite(w, h)) return;
  if (!Finite(x + w, y + h) || !AllInReach({{x, y}, {x + w, y}, {x + w, y + h}, {x, y + h}})) return SkipTo(x, y);
  // Move, three sides, close: the current point returns to (x, y).
  cairo_rectangle(drawing.canvas, x, y, w, h);
  TrackPoint(x, y, false);
  TrackPoint(x + w, y, true);
  TrackPoint(x + w, y + h, true);
  TrackPoint(x, y + h, true);
  TrackPoint(x, y, true);
}

// The point of the ellipse at angle `degrees` measured from the centre (not
// the parametric angle), as the arc operation defines its ends.
static void EllipsePoint(double x, double y, double rx, double ry, double degrees, double& px,
                         double& py) {
  double t = degrees * Pi / 180.0;
  if (rx == ry) {
    px = x + rx * std::cos(t);
    py = y + rx * std::sin(t);
    return;
  }
  double u = std::atan(std::tan(t) * rx / ry);
  if (std::cos(t) >= 0) {
    px = x + rx * std::cos(u);
    py = y + ry * std::sin(u);
  } else {
    px = x - rx * std::cos(u);
    py = y - ry * std::sin(u);
  }
}

// Parametric angle (radians) of the ellipse point seen from the centre at
// polar angle t (radians): continuous and increasing in t, equal to t at
// every quarter turn.
static double ParametricAngle(double t, double rx, double ry) {
  double turns = std::floor(t / (2 * Pi));
  double r = t - turns * 2 * Pi;
  double u = std::atan2(rx * std::sin(r), ry * std::cos(r));
  if (u < 0) u += 2 * Pi;
  // Just below a full turn atan2 can round up to 2π's neighbourhood of 0.
  if (r > Pi && u < Pi / 2) u += 2 * Pi;
  return u + turns * 2 * Pi;
}

// An angle in degrees brought into [0, 360).
static double WithinOneTurn(double degrees) {
  double d = std::fmod(degrees, 360.0);
  return d < 0 ? d + 360.0 : d;
}

// An arc of no radius is a dot: a line from its centre to itself.
static void PathDot(double x, double y) {
  if (!AllInReach({{x, y}})) return SkipTo(x, y);
  cairo_move_to(drawing.canvas, x, y);
  cairo_line_to(drawing.canvas, x, y);
  TrackPoint(x, y, false);
}

// Where an arc from `start` to `end` begins, within one turn, and how far it
// turns, in degrees.
struct ArcSweep {
  double from;
  double sweep;         // clockwise when positive, at most a full turn either way
  bool beyondFullTurn;  // the arc asked for more than a full turn
};

static ArcSweep SweepBetween(double start, double end) {
  const double sweep = start < end ? end - start : 360.0 - (start - end);
  // More than a full turn would only retrace the ellipse. (A start more than
  // a turn past the end gives a negative sweep: counter-clockwise.)
  return ArcSweep{WithinOneTurn(start), std::clamp(sweep, -360.0, 360.0),
                  std::fabs(sweep) > 360.0};
}

// The current transform with the unit circle stretched onto the ellipse.
static cairo_matrix_t EllipseTransform(double x, double y, double rx, double ry) {
  cairo_matrix_t current, local, stretched;
  cairo_get_matrix(drawing.canvas, &current);
  cairo_matrix_init_translate(&local, x, y);
  cairo_matrix_scale(&local, rx, ry);
  cairo_matrix_multiply(&stretched, &local, &current);
  return stretched;
}

// Every point of the ellipse lies within the stretch's reach of its centre.
static bool EllipseInReach(const cairo_matrix_t& stretched) {
  double cx = 0, cy = 0;
  cairo_matrix_transform_point(&stretched, &cx, &cy);
  const double radius = Stretch(stretched);
  return InReach(std::fabs(cx) + radius, std::fabs(cy) + radius);
}

// Draws the unit circle's arc from parametric angle u0 to u1 in the
// coordinate system stretched to the ellipse; the path keeps its device
// coordinates when the stretch is undone.
static void PathStretchedArc(const cairo_matrix_t& stretched, double u0, double u1,
                             bool clockwise) {
  if (!UsableTransform(stretched)) return;
  // The unit circle's arc is |u1 - u0| long; no stretch lengthens it more.
  drawing.pathLength += Stretch(stretched) * std::fabs(u1 - u0);
  cairo_matrix_t saved;
  cairo_get_matrix(drawing.canvas, &saved);
  cairo_set_matrix(drawing.canvas, &stretched);
  // Rounding must not turn a short sweep into a full turn the other way.
  if (clockwise) {
    cairo_arc(drawing.canvas, 0, 0, 1, u0, std::max(u0, u1));
  } else {
    cairo_arc_negative(drawing.canvas, 0, 0, 1, u0, std::min(u0, u1));
  }
  cairo_set_matrix(drawing.canvas, &saved);
}

void PathEllipseArc(double x, double y, double rx, double ry, double start, double end) {
  if (!drawing.canvas || !Finite(x, y) || !Finite(rx, ry) || !Finite(start, end)) return;
  rx = std::fabs(rx);
  ry = std::fabs(ry);
  if (rx == 0 || ry == 0) return PathDot(x, y);
  const ArcSweep arc = SweepBetween(start, end);

  // A new figure that starts where the arc starts: the point at `start`,
  // which is where cairo_arc begins for the matching parametric angle.
  cairo_new_sub_path(drawing.canvas);
  double sx, sy, ex, ey;
  EllipsePoint(x, y, rx, ry, start, sx, sy);
  EllipsePoint(x, y, rx, ry, end, ex, ey);
  const bool closed = WithinOneTurn(end) == arc.from;
  const cairo_matrix_t stretched = EllipseTransform(x, y, rx, ry);
  if (!EllipseInReach(stretched)) return closed ? SkipTo(sx, sy) : SkipTo(ex, ey);

  TrackPoint(sx, sy, false);
  PathStretchedArc(stretched, ParametricAngle(arc.from * Pi / 180.0, rx, ry),
                   ParametricAngle((arc.from + arc.sweep) * Pi / 180.0, rx, ry), arc.sweep >= 0);
  if (closed) {
    cairo_close_path(drawing.canvas);
    TrackPoint(sx, sy, false);
  } else if (arc.beyondFullTurn) {
    // The whole ellipse is drawn; going on to the end angle inks nothing
    // more, only the current point moves there.
    SkipTo(ex, ey);
  } else {
    cairo_line_to(drawing.canvas, ex, ey);  // the arc ends there already, up to rounding
    TrackPoint(ex, ey, true);
  }
}

static void SetJoins(uint32_t flags) {
  cairo_line_join_t join = CAIRO_LINE_JOIN_MITER;
  if (flags & StrokeRoundJoins) {
    join = CAIRO_LINE_JOIN_ROUND;
  } else if (flags & StrokeBevelJoins) {
    join = CAIRO_LINE_JOIN_BEVEL;
  }
  cairo_set_line_join(drawing.canvas, join);
}

static cairo_line_cap_t LineCaps(uint32_t flags) {
  if (flags & StrokeRoundCaps) return CAIRO_LINE_CAP_ROUND;
  if (flags & StrokeSquareCaps) return CAIRO_LINE_CAP_SQUARE;
  return CAIRO_LINE_CAP_BUTT;
}

// Painting empties the path unless the flags keep it; the current point
// survives, so a following line starts where the painted path ended. Each
// paint is called with the canvas: `paint` empties the path, `paintKeep`
// leaves it as it was given.
template <typename Paint, typename PaintKeep>
static void FinishPaint(uint32_t flags, Paint paint, PaintKeep paintKeep) {
  if (flags & PaintKeepPath) {
    paintKeep(drawing.canvas);
    return;
  }
  bool hadPoint = cairo_has_current_point(drawing.canvas);
  double px = 0, py = 0;
  if (hadPoint) cairo_get_current_point(drawing.canvas, &px, &py);
  paint(drawing.canvas);
  if (hadPoint) cairo_move_to(drawing.canvas, px, py);
  ForgetPath();
}

static void EmptyPath(uint32_t flags) {
  FinishPaint(flags, [](cairo_t* cr) { cairo_new_path(cr); }, [](cairo_t*) {});
}

void StrokeCurrentPath(double width, uint32_t flags) {
  if (!drawing.canvas) return;
  if (!Finite(width) || width < 0) {
    EmptyPath(flags);
    return;
  }
  cairo_set_line_width(drawing.canvas, width);
  cairo_set_line_cap(drawing.canvas, LineCaps(flags));
  SetJoins(flags);
  cairo_set_dash(drawing.canvas, nullptr, 0, 0);
  FinishPaint(flags, cairo_stroke, cairo_stroke_preserve);
}

struct PathPoint {
  double x, y;
};

struct PathPiece {
  cairo_path_data_type_t type;
  PathPoint p[3];
};

// One sub-path: its pieces from its move on, and whether it was closed.
struct PathFigure {
  std::vector<PathPiece> pieces;
  bool closed = false;
};

static int PointCount(cairo_path_data_type_t type) {
  return type == CAIRO_PATH_CURVE_TO ? 3 : type == CAIRO_PATH_CLOSE_PATH ? 0 : 1;
}

// The current path, figure by figure; false when Cairo cannot copy it.
static bool ReadFigures(std::vector<PathFigure>& figures) {
  cairo_path_t* path = cairo_copy_path(drawing.canvas);
  if (!path || path->status != CAIRO_STATUS_SUCCESS) {
    cairo_path_destroy(path);
    return false;
  }
  for (int i = 0; i < path->num_data; i += path->data[i].header.length) {
    const cairo_path_data_t* d = &path->data[i];
    PathPiece piece{d->header.type, {}};
    for (int k = 0; k < PointCount(d->header.type); ++k) {
      piece.p[k] = {d[k + 1].point.x, d[k + 1].point.y};
    }
    if (d->header.type == CAIRO_PATH_MOVE_TO || figures.empty()) figures.emplace_back();
    if (d->header.type == CAIRO_PATH_CLOSE_PATH) figures.back().closed = true;
    figures.back().pieces.push_back(piece);
  }
  cairo_path_destroy(path);
  return true;
}

// The point `half` beyond `from`, going away from `toward`; false when the
// two are the same point and give no direction.
static bool PushedOut(PathPoint from, PathPoint toward, double half, PathPoint& out) {
  double dx = from.x - toward.x, dy = from.y - toward.y, len = std::hypot(dx, dy);
  if (len == 0) return false;
  out = {from.x + dx / len * half, from.y + dy / len * half};
  return true;
}

// Where an open figure's two ends move to when it is lengthened by `half`
// along its first and last directions that are not zero-length. A closed
// figure, or one with nothing but a move, has no ends to move.
static void LengthenedEnds(const PathFigure& figure, double half, PathPoint& head, bool& hasHead,
                           PathPoint& tail, bool& hasTail) {
  hasHead = hasTail = false;
  const std::vector<PathPiece>& pieces = figure.pieces;
  if (figure.closed || pieces.size() <= 1 || pieces[0].type != CAIRO_PATH_MOVE_TO) return;
  std::vector<PathPoint> points;  // every point of the figure, in order
  for (const PathPiece& piece : pieces) {
    for (int k = 0; k < PointCount(piece.type); ++k) points.push_back(piece.p[k]);
  }
  for (size_t k = 1; k < points.size() && !hasHead; ++k) {
    hasHead = PushedOut(points[0], points[k], half, head);
  }
  for (size_t k = points.size() - 1; k-- > 0 && !hasTail;) {
    hasTail = PushedOut(points.back(), points[k], half, tail);
  }
}

// Adds the figure to the path again, from `head` and on to `tail` where
// they are given.
static void RetraceFigure(const PathFigure& figure, const PathPoint* head, const PathPoint* tail) {
  cairo_t* cr = drawing.canvas;
  const std::vector<PathPiece>& pieces = figure.pieces;
  if (head) {
    cairo_move_to(cr, head->x, head->y);
    cairo_line_to(cr, pieces[0].p[0].x, pieces[0].p[0].y);
  }
  for (size_t k = 0; k < pieces.size(); ++k) {
    const PathPoint* p = pieces[k].p;
    switch (pieces[k].type) {
      case CAIRO_PATH_MOVE_TO:
        if (head && k == 0) break;
        cairo_move_to(cr, p[0].x, p[0].y);
        break;
      case CAIRO_PATH_LINE_TO:
        cairo_line_to(cr, p[0].x, p[0].y);
        break;
      case CAIRO_PATH_CURVE_TO:
        cairo_curve_to(cr, p[0].x, p[0].y, p[1].x, p[1].y, p[2].x, p[2].y);
        break;
      case CAIRO_PATH_CLOSE_PATH:
        cairo_close_path(cr);
        break;
    }
  }
  if (tail) cairo_line_to(cr, tail->x, tail->y);
}

// Square line caps on a dashed stroke belong to the ends of the line only;
// the dashes themselves end flat. Cairo has one cap style for both, so the
// square caps are made by lengthening each open sub-path by half a pen width
// at either end along its tangent, and the dashes are drawn flat.
static void ExtendOpenEnds(double half) {
  std::vector<PathFigure> figures;
  if (!ReadFigures(figures)) return;
  cairo_new_path(drawing.canvas);
  for (const PathFigure& figure : figures) {
    PathPoint head{}, tail{};
    bool hasHead, hasTail;
    LengthenedEnds(figure, half, head, hasHead, tail, hasTail);
    RetraceFigure(figure, hasHead ? &head : nullptr, hasTail ? &tail : nullptr);
  }
}

void DashCurrentPath(double width, double period, uint32_t flags) {
  if (!drawing.canvas) return;
  if (!Finite(width, period) || width <= 0) {
    EmptyPath(flags);
    return;
  }
  bool round = flags & StrokeRoundCaps;
  bool square = !round && (flags & StrokeSquareCaps);
  // The pattern is one dash of a pen width (a dot with round caps) and a gap
  // making up the period; Cairo takes the lengths in user units rather than
  // in pen widths. A period shorter than the pen leaves no gap.
  double dashes[2] = {(round ? 0.000001 : 1.0) * width, period > width ? period - width : 0.0};
  double offset = round ? 0.0 : 0.5 * width;

  // Cairo's dasher visits every dash of the path, on the image or not, and a
  // path far larger than the image can hold more dashes than there are
  // seconds in a year. Where the path would give more dashes than the image
  // has pixels, most of them cannot be seen (or are finer than a pixel),
  // and the path is stroked solid instead: the line the dashes lie on.
  cairo_matrix_t m;
  cairo_get_matrix(drawing.canvas, &m);
  double shortestPeriod = (dashes[0] + dashes[1]) * std::fabs(m.xx * m.yy - m.xy * m.yx) / Stretch(m);
  double dashCount = drawing.pathLength / shortestPeriod;
  if (!(dashCount <= std::max(drawing.width * drawing.height, 4096.0))) {
    StrokeCurrentPath(width, flags);
    return;
  }

  // Square caps: the open ends are lengthened first (see ExtendOpenEnds).
  auto stroke = [&](void (*paint)(cairo_t*)) {
    if (square) {
      ExtendOpenEnds(0.5 * width);
      offset -= 0.5 * width;  // the lengthened start shifts the pattern back
    }
    cairo_set_line_width(drawing.canvas, width);
    cairo_set_line_cap(drawing.canvas, round ? CAIRO_LINE_CAP_ROUND : CAIRO_LINE_CAP_BUTT);
    SetJoins(flags);
    cairo_set_dash(drawing.canvas, dashes, 2, offset);
    paint(drawing.canvas);
  };
  FinishPaint(
      flags, [&](cairo_t*) { stroke(cairo_stroke); },
      [&](cairo_t* cr) {
        // Keep the path as it was given, not the lengthened copy.
        cairo_path_t* original = square ? cairo_copy_path(cr) : nullptr;
        stroke(cairo_stroke_preserve);
        if (original) {
          cairo_new_path(cr);
          cairo_append_path(cr, original);
          cairo_path_destroy(original);
        }
      });
  cairo_set_dash(drawing.canvas, nullptr, 0, 0);
}

void FillCurrentPath(uint32_t flags) {
  if (!drawing.canvas) return;
  cairo_set_fill_rule(drawing.canvas, CAIRO_FILL_RULE_EVEN_ODD);
  FinishPaint(flags, cairo_fill, cairo_fill_preserve);
}

void EndVector() {
  if (!drawing.canvas) return;
  cairo_surface_flush(cairo_get_target(drawing.canvas));
  cairo_destroy(drawing.canvas);  // the saved states go with the context
  drawing = VectorState{};
}
