// SPDX-License-Identifier: MIT
// Colour values: red in the low byte, then green, then blue, with an alpha
// byte on top where one is used.
#pragma once
#include <cstdint>

constexpr uint32_t Rgb(uint32_t red, uint32_t green, uint32_t blue) {
  return red | green << 8 | blue << 16;
}

// A channel weighted by an alpha, rounded to the nearest step: premultiplying.
constexpr uint32_t Weigh(uint32_t channel, uint32_t alpha) { return (channel * alpha + 127) / 255; }

// The straight channel behind a premultiplied one, rounded, at most 255.
constexpr uint32_t Unweigh(uint32_t channel, uint32_t alpha) {
  const uint32_t straight = (channel * 255 + alpha / 2) / alpha;
  return straight > 255 ? 255 : straight;
}

// A colour value with an alpha as the premultiplied 0xAARRGGBB pixel that
// Cairo and pixman keep.
constexpr uint32_t PremultipliedPixel(uint32_t colour, uint32_t alpha) {
  return alpha << 24 | Weigh(colour & 0xFF, alpha) << 16 | Weigh(colour >> 8 & 0xFF, alpha) << 8 |
         Weigh(colour >> 16 & 0xFF, alpha);
}
