// SPDX-License-Identifier: MIT
// Text labels: glyph documents drawn into images with the vector service,
// laid out into text images, and turned into each label's sprite at the
// current display scale.
#include "render/label.h"


#include <algorithm>
#include <climits>
#include <cmath>
#include <new>
#include <unordered_map>
#include <vector>

#include "game/cell.h"
#include "play/effects.h"
#include "render/glyphs.h"
#include "runtime/image.h"
#include "runtime/screen.h"
#include "runtime/text.h"
#include "runtime/vector.h"
#include "runtime/window.h"
#include "render/display.h"

static constexpr uint32_t Transparent = 0xFFFFFFFFu;
static const std::string SpaceKey = " ";

TextLabel* CreateTextLabel(uint8_t layer) {
  TextLabel* label = new (std::nothrow) TextLabel{};
  if (!label) return nullptr;
  label->layer = layer;
  MapAddOrFind(TextLabelMap, IdentityKey(label)) = label;
  return label;
}

static bool IsRegistered(const TextLabel* label) {
  if (!label) return false;
  TextLabel** entry = MapFind(TextLabelMap, IdentityKey(label));
  return entry && *entry == label;
}

bool DestroyTextLabel(TextLabel* label) {
  if (!IsRegistered(label)) return false;
  RemoveEffect(label->effect);
  if (label->sprite) DeleteSprite(label->sprite);
  MapRemove(TextLabelMap, IdentityKey(label));
  delete label;
  return true;
}

// ---- one glyph --------------------------------------------------------------

static uint32_t StrokeFlags(uint8_t drawMethod2) {
  switch (drawMethod2) {
    case 1:
      return 0;  // flat ends, mitred joins
    case 2:
      return StrokeRoundCaps | StrokeRoundJoins;
    default:
      return StrokeSquareCaps;  // square ends, mitred joins
  }
}

static void DrawElement(const X16DATA& e, int32_t colour) {
  uint8_t method = e.DrawMethod <= 2 ? e.DrawMethod : 0;
  uint32_t flags = StrokeFlags(e.DrawMethod2);
  uint32_t paint = static_cast<uint32_t>(e.DrawRGBA);
  if (colour != -1) paint = (static_cast<uint32_t>(colour) & 0x00FFFFFFu) | (paint & 0xFF000000u);
  SetPaint(paint);

  PushState();
  double x1 = e.X1, y1 = e.Y1, x4 = e.X4, y4 = e.Y4;
  switch (e.Type) {
    case 0:
      TurnAbout((x1 + x4) / 2, (y1 + y4) / 2, e.DrawAngle);
      PathMoveTo(x1, y1);
      PathLineTo(x4, y4);
      break;
    case 1:
      TurnAbout((x1 + x4) / 2, (y1 + y4) / 2, e.DrawAngle);
      PathMoveTo(x1, y1);
      PathCubicTo(e.X2, e.Y2, e.X3, e.Y3, x4, y4);
      break;
    case 2:
      if (x4 < x1) std::swap(x1, x4);
      if (y4 < y1) std::swap(y1, y4);
      TurnAbout((x1 + x4) / 2, (y1 + y4) / 2, e.DrawAngle);
      PathRect(x1, y1, x4 - x1, y4 - y1);
      break;
    case 3:
      TurnAbout(x1, y1, e.DrawAngle);
      PathEllipseArc(x1, y1, std::fabs(x1 - x4), std::fabs(y1 - y4), e.X2, e.Y2);
      break;
  }
  if (method == 1 && e.Type != 0) {
    FillCurrentPath();
  } else if (method == 2) {
    DashCurrentPath(e.DrawWidth, 1.5 * e.DrawWidth, flags);
  } else {
    // A line has no inside: filling one strokes it.
    StrokeCurrentPath(e.DrawWidth, flags);
  }
  PopState();
}

// A side of the glyph box in pixels: rounded, and never empty.
static int PixelSide(float units, float scale) {
  float side = units * scale;
  if (!(std::fabs(side) < 32768.0f)) return 0;  // too large, or not a number
  int64_t pixels = RoundEven(side);
  return pixels == 0 ? 1 : static_cast<int>(pixels);
}

int RasteriseGlyph(const X16FILE& glyph, float scaleX, float scaleY, int32_t colour) {
  // An empty document (one that failed to decode) becomes a blank of the
  // smallest box.
  float boxW = glyph.X16W >= 1.0f ? std::min(glyph.X16W, 16.0f) : 1.0f;
  float boxH = glyph.X16H >= 1.0f ? std::min(glyph.X16H, 16.0f) : 1.0f;
  int width = PixelSide(boxW, scaleX);
  int height = PixelSide(boxH, scaleY);
  int image = NewImage(width, height, Transparent);
  if (!image) return 0;
  if (!BeginVector(CanvasForImage(image, 1))) return image;
  // The box fills the image exactly, whatever rounding did to its size.
  ScaleAxes(static_cast<double>(width) / boxW, static_cast<double>(height) / boxH);
  for (const X16DATA& e : glyph.CData) {
    if (e.Visible == 0 || e.Type > 3) continue;
    DrawElement(e, colour);
  }
  EndVector();
  return image;
}

// ---- text ---------------------------------------------------------------------

// The text as UTF-16 code units, the units the walk below steps through.
// Malformed UTF-8 becomes U+FFFD.
static std::vector<uint16_t> Utf16Units(const std::string& text) {
  std::vector<uint16_t> units;
  size_t i = 0, n = text.size();
  while (i < n) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    uint32_t code = 0xFFFD;
    size_t extra = c < 0x80            ? 0
                   : (c >> 5) == 0x6   ? 1
                   : (c >> 4) == 0xE   ? 2
                   : (c >> 3) == 0x1E  ? 3
                                       : 99;
    if (extra == 0) {
      code = c;
      i += 1;
    } else if (extra == 99 || extra > n - i - 1) {
      i += 1;  // a stray continuation byte, an invalid lead, or cut short
    } else {
      uint32_t value = c & (0x3F >> extra);
      bool ok = true;
      for (size_t k = 1; k <= extra; ++k) {
        unsigned char follow = static_cast<unsigned char>(text[i + k]);
        if ((follow & 0xC0) != 0x80) {
          ok = false;
          break;
        }
        value = value << 6 | (follow & 0x3F);
      }
      static const uint32_t smallest[] = {0, 0x80, 0x800, 0x10000};
      const bool surrogate = value >= 0xD800 && value <= 0xDFFF;
      if (ok && value >= smallest[extra] && value <= 0x10FFFF && !surrogate) {
        code = value;
        i += extra + 1;
      } else {
        i += 1;
      }
    }
    if (code >= 0x10000) {
      code -= 0x10000;
      units.push_back(static_cast<uint16_t>(0xD800 + (code >> 10)));
      units.push_back(static_cast<uint16_t>(0xDC00 + (code & 0x3FF)));
    } else {
      units.push_back(static_cast<uint16_t>(code));
    }
  }
  return units;
}

// The capital the font may have a glyph for. Its glyphs are all ASCII, so of
// Unicode's case pairs only those whose capital is an ASCII letter can show:
// a to z, the dotless i (U+0131) and the long s (U+017F), whose capitals are I
// and S. The C library's case tables would depend on which locales a system
// has; these are the same everywhere.
static uint16_t UpperCase(uint16_t unit) {
  if (unit >= 'a' && unit <= 'z') return static_cast<uint16_t>(unit - 'a' + 'A');
  if (unit == 0x0131) return 'I';
  if (unit == 0x017F) return 'S';
  return unit;
}

// The glyph table key of one code unit: the character as UTF-8 text.
static std::string KeyOf(uint16_t unit) {
  std::string key;
  if (unit < 0x80) {
    key += static_cast<char>(unit);
  } else if (unit < 0x800) {
    key += static_cast<char>(0xC0 | unit >> 6);
    key += static_cast<char>(0x80 | (unit & 0x3F));
  } else {
    key += static_cast<char>(0xE0 | unit >> 12);
    key += static_cast<char>(0x80 | ((unit >> 6) & 0x3F));
    key += static_cast<char>(0x80 | (unit & 0x3F));
  }
  return key;
}

struct TextLine {
  std::vector<int> glyphs;  // images, in order
  int width = 0;
  int height = 0;
};

// The glyph images of each line of the text. Each distinct glyph is drawn
// once, into `glyphImages`, which the caller disposes of.
static std::vector<TextLine> LayOutLines(const std::string& text, float scaleX, float scaleY,
                                         int32_t colour,
                                         std::unordered_map<std::string, int>& glyphImages) {
  const X16FILE* space = MapFind(GlyphTable, SpaceKey);
  int lineHeight = space ? static_cast<int>(RoundEven(space->X16H * scaleY)) : 0;

  std::vector<TextLine> lines(1);
  for (uint16_t unit : Utf16Units(text)) {
    if (unit == 0) break;
    if (unit == '\r' || unit == '\n') {
      lines.emplace_back();
      lines.back().height = lineHeight;
      continue;
    }
    std::string key = KeyOf(UpperCase(unit));
    const X16FILE* glyph = MapFind(GlyphTable, key);
    if (!glyph) {
      key = SpaceKey;
      glyph = space;
    }
    if (!glyph) continue;  // not even a space to stand in
    auto cached = glyphImages.find(key);
    int image = cached != glyphImages.end()
                    ? cached->second
                    : glyphImages[key] = RasteriseGlyph(*glyph, scaleX, scaleY, colour);
    int w, h;
    if (!ImageDims(image, w, h)) continue;  // an image that could not be made takes no room
    TextLine& line = lines.back();
    line.glyphs.push_back(image);
    line.width += w;
    line.height = std::max(line.height, h);
  }
  return lines;
}

// Where each glyph image of the lines goes: the lines one under another,
// each glyph after the one before. False when there is nothing to show or
// the picture would be too large.
static bool PlaceLines(const std::vector<TextLine>& lines, std::vector<ImagePiece>& pieces,
                       int& width, int& height) {
  int64_t wide = 0, high = 0;
  for (const TextLine& line : lines) {
    wide = std::max<int64_t>(wide, line.width);
    high += line.height;
  }
  if (wide <= 0 || high <= 0 || wide > INT32_MAX || high > INT32_MAX) return false;
  width = static_cast<int>(wide);
  height = static_cast<int>(high);
  int y = 0;
  for (const TextLine& line : lines) {
    int x = 0;
    for (int image : line.glyphs) {
      pieces.push_back(ImagePiece{image, x, y});
      int w, h;
      ImageDims(image, w, h);
      x += w;
    }
    y += line.height;
  }
  return true;
}

// One image of the lines; 0 when there is nothing to show or the image
// cannot be made.
static int ComposeLines(const std::vector<TextLine>& lines) {
  std::vector<ImagePiece> pieces;
  int width = 0, height = 0;
  if (!PlaceLines(lines, pieces, width, height)) return 0;
  const int result = NewImage(width, height, Transparent);
  if (result && BeginImagePixels(result)) {
    for (const ImagePiece& piece : pieces) PutImageAt(piece.image, piece.x, piece.y);
    EndImagePixels();
  }
  return result;
}

// Lays out the text's glyphs at the scale and hands the lines to `use`; the
// glyph images go when it returns.
template <typename Use>
static int WithTextLines(const std::string& text, float scaleX, float scaleY, int32_t colour,
                         Use use) {
  LoadGlyphTable();
  std::unordered_map<std::string, int> glyphImages;
  const int result = use(LayOutLines(text, scaleX, scaleY, colour, glyphImages));
  for (const auto& entry : glyphImages) DisposeImage(entry.second);
  return result;
}

int RenderTextImage(const std::string& text, float scaleX, float scaleY, int32_t colour) {
  return WithTextLines(text, scaleX, scaleY, colour, ComposeLines);
}

// ---- labels -------------------------------------------------------------------

// A quarter of a side of the four-times rendering, rounded, at least 1.
static int Quarter(int side) { return std::max<int>(1, static_cast<int>(RoundEven(side * 0.25))); }

int RenderLabelImage(const std::string& text, float fx, float fy, uint32_t colour) {
  // Drawn at four times the size and reduced: the reduction averages 4 × 4
  // samples per pixel, smoother than the rasteriser's own edges.
  if (fx >= 1.0f && fy >= 1.0f) {
    // Straight from the glyphs to the reduction: the four-times picture of
    // a menu label at a large scale runs to tens of megabytes, mostly empty.
    return WithTextLines(text, 4 * fx, 4 * fy, static_cast<int32_t>(colour),
                         [](const std::vector<TextLine>& lines) {
                           std::vector<ImagePiece> pieces;
                           int width = 0, height = 0;
                           if (!PlaceLines(lines, pieces, width, height)) return 0;
                           return ReducePiecesByArea(pieces, width, height, Quarter(width),
                                                     Quarter(height));
                         });
  }
// Below one pixel per glyph unit, averaging would wash the strokes out:
  // the nearest pixels are kept instead.
  int image = RenderTextImage(text, 4 * fx, 4 * fy, static_cast<int32_t>(colour));
  if (!image) return 0;
  int width, height;
  ImageDims(image, width, height);
  ScaleImageTo(image, Quarter(width), Quarter(height), 1);
  return image;
}

// What the label says, whether or not it is rendered yet.
static void KeepText(TextLabel* label, const std::string& text, float sizeX, float sizeY,
                     uint32_t colour) {
  label->sizeX = sizeX;
  label->sizeY = sizeY;
  label->text = text;
  label->colour = colour;
}

static void RenderLabel(TextLabel* label, const std::string& text, float sizeX, float sizeY,
                        uint32_t colour) {
  label->stale = false;
  int image =
      RenderLabelImage(text, sizeX * screenState.scaleX, sizeY * screenState.scaleY, colour);
  if (!image) return;  // an empty text keeps what the label showed

  if (label->sprite) {
    DeleteSprite(label->sprite);
    label->sprite = 0;
  }
  // The text, size and colour are kept even when no sprite could be made:
  // the label then shows nothing, and the next refresh (a scale change)
  // brings back what it should say now, not what it said before.
  KeepText(label, text, sizeX, sizeY, colour);
  int sprite = ImageToSprite(image, true, 255);
  if (sprite) {
    int width, height;
    ImageDims(image, width, height);
    label->sprite = sprite;
    label->spriteWidth = static_cast<int16_t>(width);
    label->spriteHeight = static_cast<int16_t>(height);
  }
  DisposeImage(image);
}

void RefreshTextLabel(TextLabel* label, const std::string& text, float sizeX, float sizeY,
                      uint32_t colour) {
  if (!IsRegistered(label)) return;
  if (label->stale) {
    // Still waiting for a frame to need it after a scale change: it is
    // rendered then, once, with what it should say by that time.
    if (text.empty()) return;  // an empty text keeps what the label had, as when rendered
    KeepText(label, text, sizeX, sizeY, colour);
    return;
  }
  RenderLabel(label, text, sizeX, sizeY, colour);
}

// ---- after a scale change ---------------------------------------------------

// Whether labels still wait to be drawn again after a scale change. A fresh
// program has none: ZeroGlobalState resets the record with the glyphs'.
struct LabelState {
  bool someLabelStale = false;
};

static LabelState labels;

void ZeroLabelState() { labels = LabelState{}; }

void MarkLabelsStale() {
  MapReset(TextLabelMap);
  while (TextLabel** entry = MapNext(TextLabelMap)) {
    if (*entry) (*entry)->stale = true;
  }
  labels.someLabelStale = true;
}

void UpdateLabel(TextLabel* label) {
  if (!label || !label->stale) return;
  const std::string text = label->text;  // the rendering stores it again
  RenderLabel(label, text, label->sizeX, label->sizeY, label->colour);
}

void RefreshStaleLabels() {
  if (!labels.someLabelStale) return;
  MapReset(TextLabelMap);
  while (TextLabel** entry = MapNext(TextLabelMap)) {
    // A program asked to end meanwhile ends at the next loop pass and
    // renders none of them.
    if (CloseRequestPending()) return;
    UpdateLabel(*entry);
  }
  labels.someLabelStale = false;
}
