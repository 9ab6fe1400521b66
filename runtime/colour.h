// SPDX-License-Identifier: MIT
// Colour values: red in the low byte, then green, then blue, with an alpha
// byte on top where one is used.
#pragma once
#include <cstdint>

constexpr uint32_t Rgb(uint32_t red, uint32_t green, uint32_t blue) {
  return red | green << 8 | blue << 16;
}
