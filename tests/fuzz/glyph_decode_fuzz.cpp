// SPDX-License-Identifier: MIT
// Fuzz target: every input is decoded twice, as a glyph record and as a plain
// glyph document. A decoded document holds only finite numbers; a refused one
// leaves its destination as it was.
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "render/glyphs.h"

namespace {

bool AllFinite(const X16FILE& glyph) {
  if (!std::isfinite(glyph.X16W) || !std::isfinite(glyph.X16H)) return false;
  for (const X16DATA& d : glyph.CData) {
    for (float v : {d.DrawWidth, d.DrawAngle, d.X1, d.Y1, d.X2, d.Y2, d.X3, d.Y3, d.X4, d.Y4})
      if (!std::isfinite(v)) return false;
  }
  return true;
}

void Check(const uint8_t* data, size_t size, int packed) {
  X16FILE glyph{};
  glyph.X16W = -7;  // no document gives this and still fails
  int result = DecodeGlyphRecord(glyph, data, static_cast<int32_t>(size), packed);
  if (result < 0 || result > 3) __builtin_trap();
  if (result == 0 && !AllFinite(glyph)) __builtin_trap();
  if (result != 0 && (glyph.X16W != -7 || !glyph.CData.empty())) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Without a length the decoder trusts the record's own header, which a
  // fuzzer's bytes cannot vouch for.
  if (size == 0 || size > INT32_MAX) return 0;
  Check(data, size, 1);
  Check(data, size, 0);
  return 0;
}
