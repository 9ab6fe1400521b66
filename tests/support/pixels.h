// SPDX-License-Identifier: MIT
// Colours and frame pixels as the tests compare them, with the tolerances
// named once so that every test allows the same slack for the same reason.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "runtime/colour.h"

namespace probe {

// The screen blends in 8-bit fixed point and rounds differently from the
// exact arithmetic a test writes down: one or two steps a channel, three to
// be safe. Anything further off is a wrong pixel.
constexpr int BlendRounding = 3;
// Against a colour the test works out with Blend below, which truncates:
// one step more.
constexpr int BlendedRounding = BlendRounding + 1;
// Telling the backdrop from a pixel a turned draw's filter barely reaches:
// coverage of a sixtieth or so still counts as the backdrop.
constexpr int BarelyCovered = 6;
// One 8-bit step: what dividing by 255 in premultiplied source-over may
// round either way.
constexpr int ChannelRounding = 1;
// An edge pixel half covered by an antialiased path, or a half-transparent
// pixel taken out of premultiplied form: two steps either way.
constexpr int HalfCoverageRounding = 2;

using ::Rgb;  // the program's own: red in the low byte

// A frame pixel (0xAARRGGBB) in the program's layout, alpha dropped.
inline constexpr uint32_t FromFrame(uint32_t p) {
  return ((p >> 16) & 0xFF) | (p & 0xFF00) | (p & 0xFF) << 16;
}

// The program's layout (alpha ignored) as an opaque frame pixel.
inline constexpr uint32_t FrameColour(uint32_t rgba) {
  return 0xFF000000u | (rgba & 0xFF) << 16 | (rgba & 0xFF00) | (rgba >> 16 & 0xFF);
}

inline std::string ColourText(uint32_t c) {
  char text[32];
  std::snprintf(text, sizeof text, "(%u, %u, %u)", c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
  return text;
}

inline std::string Hex(uint32_t v) {
  char text[16];
  std::snprintf(text, sizeof text, "%08X", v);
  return text;
}

// Whether the low three bytes of `a` and `b` differ by at most `tolerance`
// each. The same test serves both layouts: it never looks at the top byte.
inline bool Near(uint32_t a, uint32_t b, int tolerance = BlendRounding) {
  for (int shift = 0; shift <= 16; shift += 8) {
    const int d = static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF);
    if (d > tolerance || d < -tolerance) return false;
  }
  return true;
}

// `over` drawn with alpha over `under`, per channel.
inline uint32_t Blend(uint32_t over, uint32_t under, int alpha) {
  uint32_t result = 0;
  for (int shift = 0; shift <= 16; shift += 8) {
    const int o = (over >> shift) & 0xFF;
    const int u = (under >> shift) & 0xFF;
    result |= static_cast<uint32_t>((o * alpha + u * (255 - alpha)) / 255) << shift;
  }
  return result;
}

struct Frame {
  std::vector<uint32_t> pixels;  // 0xAARRGGBB
  int width = 0;
  int height = 0;

  // As red | green << 8 | blue << 16, the program's colour layout; all ones
  // beyond the frame.
  uint32_t At(int x, int y) const {
    if (x < 0 || y < 0 || x >= width || y >= height) return 0xFFFFFFFFu;
    return FromFrame(pixels[static_cast<size_t>(y) * width + x]);
  }
  // The pixel as the frame holds it.
  uint32_t Raw(int x, int y) const { return pixels.at(static_cast<size_t>(y) * width + x); }
};

}  // namespace probe
