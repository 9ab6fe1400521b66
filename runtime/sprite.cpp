// SPDX-License-Identifier: MIT
// Sprites: pictures made and changed here, drawn by the screen. A sprite
// keeps straight-alpha pixels to draw into and premultiplied ones, in pixman
// images, to compose frames from.
#include <pixman.h>

#include <algorithm>
#include <cmath>
#include <unordered_map>

#include "runtime/image.h"
#include "runtime/colour.h"
#include "runtime/screen.h"
#include "runtime/service_links.h"
#include "runtime/memory.h"
#include "runtime/sprite_store.h"

// The sprites of the open screen: ForgetSprites, as the screen closes, starts
// this afresh in one statement.
struct OpenSprites {
  std::unordered_map<int, Sprite> byNumber;
  int nextNumber = 1;  // numbers are not reused while a screen stays open
  int drawing = 0;     // the sprite between BeginSpritePixels and EndSpritePixels
};

struct SpriteState {
  OpenSprites open;
  // Outlives a screen on purpose: while the platform runs a version is never
  // reused, so equal versions in the screen's tile hashes always mean equal
  // pixels, without leaning on a reopened screen repainting whole. A stopped
  // platform has no window left showing old pixels, and starts it over.
  uint64_t nextVersion = 1;
  // For tests: how many NewSprite calls are still to fail. A test may ask for
  // them before it opens the screen they fail on, so they outlive a screen;
  // a stopped platform ends them, so one test's leftovers reach no other.
  int failuresLeft = 0;
};

static SpriteState sprites;
Sprite* FindSprite(int sprite) {
  auto it = sprites.open.byNumber.find(sprite);
  return it == sprites.open.byNumber.end() ? nullptr : &it->second;
}

static void ReleaseImages(Sprite& s) {
  UnrefImage(s.image);
  UnrefImage(s.turned);
}

void ForgetSprites() {
  for (auto& [number, s] : sprites.open.byNumber) ReleaseImages(s);
  // Every number is free again; a screen's sprites are numbered from 1.
  sprites.open = OpenSprites{};
}

void ResetSpriteService() {
  ForgetSprites();
  sprites = SpriteState{};
}

// The sprite's images, sharing one set of premultiplied pixels. `turned`
// keeps the pixels alive through a reference of its own.
static bool MakeSpriteImages(Sprite& s) {
  pixman_image_t* image = pixman_image_create_bits(PIXMAN_a8r8g8b8, s.width, s.height, nullptr, 0);
  if (!image) return false;
  pixman_image_t* turned =
      pixman_image_create_bits(PIXMAN_a8r8g8b8, s.width, s.height, pixman_image_get_data(image),
                               pixman_image_get_stride(image));
  if (!turned) {
    pixman_image_unref(image);
    return false;
  }
  pixman_image_set_destroy_function(
      turned, [](pixman_image_t*, void* owner) { pixman_image_unref(static_cast<pixman_image_t*>(owner)); },
      pixman_image_ref(image));
  // Resized and turned sprites are filtered, as rectangle textures are by default.
  pixman_image_set_filter(turned, PIXMAN_FILTER_BILINEAR, nullptr, 0);
  UnrefImage(s.image);
  UnrefImage(s.turned);
  s.image = image;
  s.turned = turned;
  return true;
}

static int FreeSpriteNumber() {
  OpenSprites& open = sprites.open;
  while (open.nextNumber <= 0 || open.byNumber.count(open.nextNumber)) {
    open.nextNumber = open.nextNumber <= 0 ? 1 : open.nextNumber + 1;
  }
  return open.nextNumber++;
}

void FailNextSprites(int count) { sprites.failuresLeft = std::max(0, count); }

int NewSprite(int width, int height, bool alphaMode) {
  if (sprites.failuresLeft > 0) {
    --sprites.failuresLeft;
    return 0;
  }
  if (!ScreenIsOpen() || width <= 0 || height <= 0) return 0;
  if (width > MaxSpriteSide || height > MaxSpriteSide) return 0;
  Sprite s{};
  s.width = s.shownWidth = width;
  s.height = s.shownHeight = height;
  s.alphaMode = alphaMode;
  s.version = sprites.nextVersion++;
  int number = 0;
  const bool made =
      TryToAllocate([&] { s.pixels.assign(static_cast<size_t>(width) * height, 0); }) &&
      MakeSpriteImages(s) && TryToAllocate([&] {
        number = FreeSpriteNumber();  // taken only once the sprite exists
        sprites.open.byNumber.emplace(number, std::move(s));
      });
  if (!made) {
    ReleaseImages(s);  // a sprite half made is given back whole
    return 0;
  }
  return number;
}

bool SpriteExists(int sprite) { return FindSprite(sprite) != nullptr; }

int CountSprites() { return static_cast<int>(sprites.open.byNumber.size()); }

void DeleteSprite(int sprite) {
  Sprite* s = FindSprite(sprite);
  if (!s) return;
  // Draws already recorded keep their own references to the pixels.
  ReleaseImages(*s);
  sprites.open.byNumber.erase(sprite);
  if (sprites.open.drawing == sprite) sprites.open.drawing = 0;
}

bool BeginSpritePixels(int sprite) {
  if (sprites.open.drawing && sprites.open.drawing != sprite) EndSpritePixels();
  if (!FindSprite(sprite)) return false;
  sprites.open.drawing = sprite;
  return true;
}

// Source-over of one premultiplied source pixel, already weighted by the
// draw's alpha, onto a straight-alpha destination pixel.
static uint32_t BlendOver(uint32_t source, uint32_t destination) {
  uint32_t sa = source >> 24;
  if (sa == 0) return destination;
  uint32_t da = destination >> 24;
  uint32_t keep = 255 - sa;
  uint32_t outA = sa + Weigh(da, keep);
  uint32_t result = outA << 24;
  for (int shift = 0; shift < 24; shift += 8) {
    uint32_t sc = (source >> shift) & 0xFF;
    uint32_t dc = Weigh((destination >> shift) & 0xFF, da);
    result |= Unweigh(sc + Weigh(dc, keep), outA) << shift;
  }
  return result;
}

void BlendImageInto(int image, int x, int y, uint8_t alpha) {
  Sprite* s = FindSprite(sprites.open.drawing);
  const uint32_t* source = nullptr;
  int width = 0, height = 0, stride = 0;
  if (!s || alpha == 0 || !ImageRawPixels(image, source, width, height, stride)) return;

  int left = std::max(0, x), top = std::max(0, y);
  int right = std::min(s->width, x + width), bottom = std::min(s->height, y + height);
  for (int row = top; row < bottom; ++row) {
    const uint32_t* from = reinterpret_cast<const uint32_t*>(
        reinterpret_cast<const uint8_t*>(source) + static_cast<size_t>(row - y) * stride);
    uint32_t* to = &s->pixels[static_cast<size_t>(row) * s->width];
    for (int column = left; column < right; ++column) {
      uint32_t p = from[column - x];
      // The two kinds most pixels are, where the blend comes out as either
      // pixel unchanged: nothing on top, or an opaque pixel on top.
      if (p >> 24 == 0) continue;
      if (p >> 24 == 255 && alpha == 255) {
        to[column] = p;
        continue;
      }
      if (alpha != 255) {
        uint32_t weighted = 0;
        for (int shift = 0; shift < 32; shift += 8)
          weighted |= Weigh((p >> shift) & 0xFF, alpha) << shift;
        p = weighted;
      }
      to[column] = BlendOver(p, to[column]);
    }
  }
}

void EndSpritePixels() {
  Sprite* s = FindSprite(sprites.open.drawing);
  sprites.open.drawing = 0;
  if (!s) return;
  if (!s->alphaMode) {
    // A plain sprite: black is the transparent colour, everything else opaque.
    for (uint32_t& p : s->pixels) p = (p & 0xFFFFFF) == 0 ? 0 : (p | 0xFF000000u);
  }
  // A draw recorded earlier in this frame shows the pixels as they were:
  // the new ones go into images of their own.
  if (DrawnInOpenFrame(*s) && !MakeSpriteImages(*s)) return;
  uint32_t* bits = pixman_image_get_data(s->image);
  const int wordsPerRow = pixman_image_get_stride(s->image) / 4;
  for (int row = 0; row < s->height; ++row) {
    const uint32_t* from = &s->pixels[static_cast<size_t>(row) * s->width];
    uint32_t* to = bits + static_cast<size_t>(row) * wordsPerRow;
    for (int column = 0; column < s->width; ++column) {
      const uint32_t p = from[column];  // straight 0xAARRGGBB
      const uint32_t a = p >> 24;
      // Opaque and clear pixels are the same either way.
      to[column] = a == 255 ? p : a == 0 ? 0 : PremultipliedPixel(Rgb(p >> 16 & 0xFF, p >> 8 & 0xFF, p & 0xFF), a);
    }
  }
  s->version = sprites.nextVersion++;
}

void SetSpriteSize(int sprite, int width, int height) {
  Sprite* s = FindSprite(sprite);
  if (!s) return;
  s->shownWidth = width == -1 ? s->width : width;
  s->shownHeight = height == -1 ? s->height : height;
}

void SetSpriteAngle(int sprite, float degrees, int relative) {
  Sprite* s = FindSprite(sprite);
  if (!s) return;
  double angle = relative ? s->angle + degrees : degrees;
  s->angle = std::fmod(angle, 360.0);  // the same turn, without growing without bound
}

// ---- images into sprites ------------------------------------------------------

int ImageToSprite(int image, bool transparentStart, uint8_t alpha) {
  int width = 0, height = 0;
  ImageDims(image, width, height);
  int sprite = NewSprite(width, height, transparentStart);
  if (sprite && BeginSpritePixels(sprite)) {
    BlendImageInto(image, 0, 0, alpha);
    EndSpritePixels();
  }
  return sprite;
}
