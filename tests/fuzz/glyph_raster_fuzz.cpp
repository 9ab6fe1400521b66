// SPDX-License-Identifier: MIT
// Fuzz target: every input that decodes (as a glyph record or as a plain
// glyph document) is drawn at a few sizes, in its own colours and in one
// given colour.
#include <cstddef>
#include <cstdint>

#include "render/glyphs.h"
#include "render/label.h"
#include "runtime/image.h"

namespace {

struct Size {
  float x, y;
};
// Below one pixel a unit, a label's own size, and four times the largest
// label at display scale 2 (the size text is first drawn at).
constexpr Size Sizes[] = {{0.3f, 0.5f}, {2.5f, 2.0f}, {20.0f, 16.0f}};

void Draw(const X16FILE& glyph) {
  for (const Size& s : Sizes) {
    for (int32_t colour : {-1, 0x00F0E0D0}) {
      int image = RasteriseGlyph(glyph, s.x, s.y, colour);
      if (!image) __builtin_trap();  // the box is at most 16 units of 20 pixels
      DisposeImage(image);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0 || size > INT32_MAX) return 0;
  for (int packed : {1, 0}) {
    X16FILE glyph{};
    if (DecodeGlyphRecord(glyph, data, static_cast<int32_t>(size), packed) == 0) Draw(glyph);
  }
  return 0;
}
