// SPDX-License-Identifier: MIT
// The background's blocks turn all the time, and pixman has no fast path for
// a turned source under a turned mask: its general path fetches the mask, the
// source and the frame into rows of their own and combines them, for every
// pixel of the clip, inside the turned square or not. At 55-pixel cells that
// was most of a menu frame. Here the same fixed-point steps and the same
// arithmetic run in one pass, over the pixels inside the square only.
#include "runtime/turned_draw.h"

#include <algorithm>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// a / b rounded down, for b > 0.
static int64_t FloorDiv(int64_t a, int64_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

// The steps i (from 0) at which low <= start + i * step <= high; empty when
// first > last.
static void StepsWithin(int64_t start, int64_t step, int64_t low, int64_t high, int64_t& first,
                        int64_t& last) {
  if (step == 0) {
    const bool all = start >= low && start <= high;
    first = all ? 0 : 1;
    last = all ? INT32_MAX : 0;
  } else if (step > 0) {
    first = -FloorDiv(start - low, step);  // ceil((low - start) / step)
    last = FloorDiv(high - start, step);
  } else {
    first = -FloorDiv(high - start, -step);  // ceil((start - high) / -step)
    last = FloorDiv(start - low, -step);
  }
}

// Blend: the sample of the four texels around a point, weighted by 7-bit
// fractions and cut to 8 bits at the end, times the coverage, OVER the frame
// pixel, rounded as pixman rounds. The texels come as (left, right) pairs of
// the upper and the lower row.
#if defined(__SSE2__)

using TexelPair = __m128i;

static TexelPair Pair(uint32_t left, uint32_t right) {
  return _mm_unpacklo_epi32(_mm_cvtsi32_si128(static_cast<int>(left)),
                            _mm_cvtsi32_si128(static_cast<int>(right)));
}

// x times a / 255 in each 16-bit lane, for x and a up to 255.
static __m128i MultiplyLanes(__m128i x, __m128i a) {
  return _mm_mulhi_epu16(_mm_add_epi16(_mm_mullo_epi16(x, a), _mm_set1_epi16(0x80)),
                         _mm_set1_epi16(0x101));
}

// One channel to each 16-bit lane.
static void Blend(TexelPair top, TexelPair bottom, int fx, int fy, int coverage, uint32_t* out) {
  const __m128i zero = _mm_setzero_si128();
  top = _mm_unpacklo_epi8(top, zero);
  bottom = _mm_unpacklo_epi8(bottom, zero);
  // Down the columns, then across with left and right side by side for the
  // multiply-add: every product exact, at most 255 × 128 × 128 in all.
  const __m128i column =
      _mm_add_epi16(_mm_mullo_epi16(top, _mm_set1_epi16(static_cast<int16_t>(128 - fy))),
                    _mm_mullo_epi16(bottom, _mm_set1_epi16(static_cast<int16_t>(fy))));
  const __m128i sides = _mm_unpacklo_epi16(column, _mm_srli_si128(column, 8));
  const __m128i sum = _mm_madd_epi16(sides, _mm_set1_epi32(fx << 16 | (128 - fx)));
  __m128i s = _mm_packs_epi32(_mm_srli_epi32(sum, 14), zero);
  if (coverage != 0xFF) s = MultiplyLanes(s, _mm_set1_epi16(static_cast<int16_t>(coverage)));
  const __m128i sample = _mm_packus_epi16(s, zero);
  const uint32_t packed = static_cast<uint32_t>(_mm_cvtsi128_si32(sample));
  if (packed == 0) return;
  if (packed >> 24 == 0xFF) {
    *out = packed;
    return;
  }
  const __m128i remaining = _mm_xor_si128(_mm_shufflelo_epi16(s, 0xFF), _mm_set1_epi16(0xFF));
  const __m128i under =
      _mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(*out | 0xFF000000u)), zero);
  const __m128i kept = _mm_packus_epi16(MultiplyLanes(under, remaining), zero);
  *out = static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_adds_epu8(sample, kept)));
}

#else

struct TexelPair {
  uint32_t left, right;
};

static TexelPair Pair(uint32_t left, uint32_t right) { return {left, right}; }

// Each byte of x times a / 255.
static uint32_t MultiplyBytes(uint32_t x, uint32_t a) {
  uint32_t rb = (x & 0xFF00FFu) * a + 0x800080u;
  rb = ((rb + (rb >> 8 & 0xFF00FFu)) >> 8) & 0xFF00FFu;
  uint32_t ag = (x >> 8 & 0xFF00FFu) * a + 0x800080u;
  ag = (ag + (ag >> 8 & 0xFF00FFu)) & 0xFF00FF00u;
  return rb | ag;
}

// Byte-wise sum, each byte stopping at 255.
static uint32_t AddBytes(uint32_t x, uint32_t y) {
  uint32_t rb = (x & 0xFF00FFu) + (y & 0xFF00FFu);
  rb = (rb | (0x1000100u - (rb >> 8 & 0x10001u))) & 0xFF00FFu;
  uint32_t ag = (x >> 8 & 0xFF00FFu) + (y >> 8 & 0xFF00FFu);
  ag = (ag | (0x1000100u - (ag >> 8 & 0x10001u))) & 0xFF00FFu;
  return rb | ag << 8;
}

// Two channels to a 64-bit word: alpha and blue (bits 24..31 and 0..7), red
// moved up to bits 32..39 beside green (8..15).
static void Blend(TexelPair top, TexelPair bottom, int fx, int fy, int coverage, uint32_t* out) {
  const uint64_t x = static_cast<uint64_t>(fx), y = static_cast<uint64_t>(fy);
  const uint64_t wtl = (128 - x) * (128 - y), wtr = x * (128 - y), wbl = (128 - x) * y, wbr = x * y;
  const auto ab = [](uint32_t p) { return uint64_t{p & 0xFF0000FFu}; };
  const auto rg = [](uint32_t p) { return (uint64_t{p} << 16 & 0xFF00000000ull) | (p & 0xFF00u); };
  const uint64_t sumAb =
      (ab(top.left) * wtl + ab(top.right) * wtr + ab(bottom.left) * wbl + ab(bottom.right) * wbr) >> 14;
  const uint64_t sumRg =
      (rg(top.left) * wtl + rg(top.right) * wtr + rg(bottom.left) * wbl + rg(bottom.right) * wbr) >> 14;
  uint32_t s = static_cast<uint32_t>((sumAb & 0xFF) | (sumAb >> 24 & 0xFF) << 24 | (sumRg & 0xFF00) |
                                     (sumRg >> 32 & 0xFF) << 16);
  if (coverage != 0xFF) s = MultiplyBytes(s, static_cast<uint32_t>(coverage));
  if (s == 0) return;
  const uint32_t a = s >> 24;
  *out = a == 0xFF ? s : AddBytes(s, MultiplyBytes(*out | 0xFF000000u, 0xFF - a));
}

#endif

void CompositeTurnedDraw(const TurnedDraw& draw, uint32_t* frame, int frameStride, int left, int top,
                         int right, int bottom) {
  const pixman_transform_t& t = draw.toTexels;
  const int32_t ux = t.matrix[0][0], uy = t.matrix[1][0];
  const int lastX = draw.width - 1, lastY = draw.height - 1;
  // A pixel is inside when its centre's texel, rounded down after one step
  // back (pixman's nearest sample), lies in the sprite: 1 <= u <= width.
  const int64_t highU = int64_t{draw.width} << 16, highV = int64_t{draw.height} << 16;
  for (int row = top; row < bottom; ++row) {
    pixman_vector_t v = {{pixman_int_to_fixed(left - draw.originX) + pixman_fixed_1 / 2,
                          pixman_int_to_fixed(row - draw.originY) + pixman_fixed_1 / 2,
                          pixman_fixed_1}};
    if (!pixman_transform_point_3d(&t, &v)) continue;
    int64_t firstU, lastU, firstV, lastV;
    StepsWithin(v.vector[0], ux, 1, highU, firstU, lastU);
    StepsWithin(v.vector[1], uy, 1, highV, firstV, lastV);
    const int64_t first = std::max<int64_t>({0, firstU, firstV});
    const int64_t last = std::min<int64_t>({right - left - 1, lastU, lastV});
    if (first > last) continue;
    int32_t u = v.vector[0] + static_cast<int32_t>(first) * ux;
    int32_t w = v.vector[1] + static_cast<int32_t>(first) * uy;
    uint32_t* out = frame + static_cast<size_t>(row) * frameStride + left + first;
    for (int64_t i = first; i <= last; ++i, u += ux, w += uy, ++out) {
      // The sample's corner texels, a half texel back, clamped to the edges.
      const int32_t su = u - pixman_fixed_1 / 2, sv = w - pixman_fixed_1 / 2;
      const int x0 = su >> 16, y0 = sv >> 16;
      const uint32_t* r0 = draw.texels + static_cast<size_t>(std::clamp(y0, 0, lastY)) * draw.stride;
      const uint32_t* r1 =
          draw.texels + static_cast<size_t>(std::clamp(y0 + 1, 0, lastY)) * draw.stride;
      const int xa = std::clamp(x0, 0, lastX), xb = std::clamp(x0 + 1, 0, lastX);
      Blend(Pair(r0[xa], r0[xb]), Pair(r1[xa], r1[xb]), su >> 9 & 0x7F, sv >> 9 & 0x7F,
            draw.coverage, out);
    }
  }
}
