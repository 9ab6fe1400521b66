// SPDX-License-Identifier: MIT
// Shared between the runtime services only: a turned sprite composited over
// the frame (turned_draw.cpp).
#pragma once
#include <pixman.h>

#include <cstdint>

// A sprite's premultiplied pixels, drawn turned: `toTexels` takes a point of
// the draw's own space (origin at the draw's corner) to the sprite's texels.
struct TurnedDraw {
  const uint32_t* texels;
  int width, height;  // in texels
  int stride;         // in pixels
  pixman_transform_t toTexels;
  uint8_t coverage;  // the draw's alpha
  int originX, originY;  // the draw's corner in the frame
};

// Composites the draw OVER the frame (x8r8g8b8) inside the frame rectangle
// left..right, top..bottom: each pixel whose centre falls inside the sprite's
// rectangle gets the bilinear sample there (texels repeating outward at the
// edges), times the coverage. Bit for bit what pixman makes of a bilinear,
// edge-padded source under a nearest shape mask of the same transform.
void CompositeTurnedDraw(const TurnedDraw& draw, uint32_t* frame, int frameStride, int left, int top,
                         int right, int bottom);
