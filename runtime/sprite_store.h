// SPDX-License-Identifier: MIT
// The sprites of the open screen, shared by the screen, which draws them,
// and the sprite procedures, which make and change them. Nothing outside
// runtime/ includes this header.
#pragma once
#include <pixman.h>

#include <cstdint>
#include <vector>

#include "runtime/memory.h"

constexpr int MaxSpriteSide = 16384;  // keeps every pixel count within 32 bits

struct Sprite {
  // Premultiplied pixels for compositing. `turned` shares them and carries
  // the transform of a resized or turned draw, so `image` never needs one.
  pixman_image_t* image;
  pixman_image_t* turned;
  int width;
  int height;
  int shownWidth;
  int shownHeight;
  double angle;  // degrees, clockwise on screen
  bool alphaMode;
  uint64_t version;        // new whenever the pixels change
  uint64_t drawnInFrame;   // serial of the last frame that recorded a draw of it
  // What the sprite holds, as straight-alpha 0xAARRGGBB: drawing into a
  // sprite starts from here.
  std::vector<uint32_t> pixels;
};

// sprite.cpp
Sprite* FindSprite(int sprite);  // null for a number that is not open
void ForgetSprites();            // every sprite released; numbers start from 1 again

// screen.cpp
bool ScreenIsOpen();                      // sprites exist only while a screen is open
bool DrawnInOpenFrame(const Sprite& s);   // a draw of it waits for the frame's present
