// SPDX-License-Identifier: MIT
// The sprites of the open screen, shared by the screen, which draws them,
// and the sprite procedures, which make and change them. Nothing outside
// runtime/ includes this header.
#pragma once
#include <pixman.h>

#include <cstdint>
#include <new>
#include <vector>

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

// The runtime's one way of meeting a shortage of memory: `allocate` grows
// standard containers, and a std::bad_alloc from it becomes false, so the
// caller reports the failure as a return value like any other.
template <typename Allocate>
bool TryToAllocate(Allocate allocate) {
  try {
    allocate();
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

inline void UnrefImage(pixman_image_t*& image) {
  if (image) pixman_image_unref(image);
  image = nullptr;
}
