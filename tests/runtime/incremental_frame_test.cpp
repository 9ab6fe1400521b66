// SPDX-License-Identifier: MIT
// The screen repaints only the tiles whose draws changed. Over long random
// sequences of frames, each frame it keeps must equal the same draws
// composed from scratch, pixel for pixel: a stale pixel anywhere fails.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

#include "runtime/image.h"
#include "runtime/platform.h"
#include "runtime/screen.h"
#include "runtime/window.h"
#include "tests/support/screen_fixture.h"

namespace {

struct DrawSpec {
  int sprite;  // index into the pool
  int x, y;
  int width, height;  // −1: the sprite's own
  float angle;
  uint8_t alpha;
  uint32_t tint;  // 0xFFFFFFFF: none
};

class IncrementalFrames : public probe::SpriteScreenTest {
 protected:
  void TearDown() override {
    RepaintWholeFrames(false);
    SpriteScreenTest::TearDown();
  }

  // Opens the window and screen at a new size; every sprite is made again.
  void Open(int w, int h, int margin = 0) {
    SpriteScreenTest::Open(w, h, margin);
    sprites.assign(6, 0);
    for (size_t k = 0; k < sprites.size(); ++k) Remake(k);
  }

  // A sprite of random size and pixels: holes, half-transparent edges and
  // black (a hole in a plain sprite) included.
  void Remake(size_t k) {
    if (sprites[k]) DeleteSprite(sprites[k]);
    std::uniform_int_distribution<int> side(1, 24);
    const int w = side(random), h = side(random);
    sprites[k] = NewSprite(w, h, random() % 2 == 0);
    ASSERT_NE(sprites[k], 0);
    Paint(k);
  }

  void Paint(size_t k) {
    const int sprite = sprites[k];
    int image = NewImage(64, 64, 0xFFFFFFFFu);
    ASSERT_NE(image, 0);
    const uint32_t palette[] = {0xFF000000u, 0xFF0000FFu, 0xFF00FF00u, 0x80FF8000u,
                                0x00000000u, 0xFFFFFFFFu, 0x40123456u};
    for (int y = 0; y < 64; ++y)
      for (int x = 0; x < 64; ++x) SetImagePixel(image, x, y, palette[random() % 7]);
    ASSERT_TRUE(BeginSpritePixels(sprite));
    BlendImageInto(image, 0, 0, 255);
    EndSpritePixels();
    DisposeImage(image);
  }

  DrawSpec RandomDraw() {
    std::uniform_int_distribution<int> px(-30, width + 10), py(-30, height + 10);
    DrawSpec d{};
    d.sprite = static_cast<int>(random() % sprites.size());
    d.x = px(random);
    d.y = py(random);
    d.width = d.height = -1;
    if (random() % 4 == 0) {
      d.width = 1 + static_cast<int>(random() % 40);
      d.height = 1 + static_cast<int>(random() % 40);
    }
    const float angles[] = {0, 0, 0, 90, 45, -30, 180, 7.5f};
    d.angle = angles[random() % 8];
    d.alpha = random() % 3 == 0 ? static_cast<uint8_t>(random() % 256) : 255;
    d.tint = random() % 4 == 0 ? static_cast<uint32_t>(random() & 0xFFFFFF) : 0xFFFFFFFFu;
    return d;
  }

  void Emit(uint32_t clear, const std::vector<DrawSpec>& draws) {
    ClearFrame(clear);
    for (const DrawSpec& d : draws) {
      const int sprite = sprites[d.sprite];
      SetSpriteSize(sprite, d.width, d.height);
      SetSpriteAngle(sprite, d.angle, 0);
      if (d.tint == 0xFFFFFFFFu) {
        DrawSpriteBlended(sprite, d.x, d.y, d.alpha);
      } else {
        DrawSpriteTinted(sprite, d.x, d.y, d.alpha, d.tint);
      }
    }
    PresentFrame();
  }

  void ExpectSame(const std::vector<uint32_t>& got, const std::vector<uint32_t>& want, int frame,
                  const char* gotName, const char* wantName) {
    for (size_t i = 0; i < want.size(); ++i) {
      if (got.at(i) != want[i]) {
        ADD_FAILURE() << "frame " << frame << ", pixel (" << i % width << ", " << i / width
                      << "): " << gotName << " " << std::hex << got[i] << ", " << wantName << " "
                      << want[i];
        return;
      }
    }
  }

  std::mt19937 random{20261208};
  std::vector<int> sprites;
};

TEST_F(IncrementalFrames, EqualTheSameDrawsComposedFromScratch) {
  const int sizes[][2] = {{97, 61}, {64, 64}, {130, 45}, {31, 90}};
  Open(sizes[0][0], sizes[0][1]);
  std::vector<DrawSpec> draws;
  for (int k = 0; k < 12; ++k) draws.push_back(RandomDraw());
  uint32_t clear = 0xBBCCBB;

  for (int frame = 0; frame < 3000; ++frame) {
    // The first half composes in the window's own pixels, the second in a
    // frame of its own copied across, as for a window of another format.
    if (frame == 1500) {
      ComposeApartFromWindow(true);
      Open(sizes[0][0], sizes[0][1]);
    }
    // Most frames change a little, as the game's do.
    const int change = static_cast<int>(random() % 100);
    if (change < 20 && !draws.empty()) {
      draws[random() % draws.size()] = RandomDraw();
    } else if (change < 30 && !draws.empty()) {
      DrawSpec& d = draws[random() % draws.size()];
      d.x += static_cast<int>(random() % 5) - 2;
      d.angle += 3;
    } else if (change < 35 && !draws.empty()) {
      draws.erase(draws.begin() + static_cast<long>(random() % draws.size()));
    } else if (change < 45 && draws.size() < 40) {
      draws.insert(draws.begin() + static_cast<long>(random() % (draws.size() + 1)), RandomDraw());
    } else if (change < 48 && draws.size() > 1) {
      std::swap(draws[0], draws[random() % draws.size()]);
    } else if (change < 52) {
      Paint(random() % sprites.size());  // same number, new pixels
    } else if (change < 54) {
      Remake(random() % sprites.size());
    } else if (change < 57) {
      clear = random() & 0xFFFFFF;
    } else if (change == 57) {
      const auto& size = sizes[random() % 4];
      Open(size[0], size[1]);
    } else if (change < 75 && !draws.empty()) {
      // One field of one draw, in place: each must change the tiles on its own.
      DrawSpec& d = draws[random() % draws.size()];
      const int field = static_cast<int>(random() % 6);
      if (field == 0) d.x += 1;
      if (field == 1) d.y -= 1;
      if (field == 2) d.angle += 45;
      if (field == 3) d.width = d.width == -1 ? 1 + static_cast<int>(random() % 40) : d.width + 1;
      if (field == 4) d.alpha = static_cast<uint8_t>(d.alpha + 1 + random() % 254);
      if (field == 5) d.tint = random() % 3 ? random() & 0xFFFFFF : 0xFFFFFFFFu;
    }

    Emit(clear, draws);
    const std::vector<uint32_t> kept = Shown();
    ExpectSame(Sent(), kept, frame, "the window has", "the frame kept");
    RepaintWholeFrames(true);
    Emit(clear, draws);
    RepaintWholeFrames(false);
    const std::vector<uint32_t> fresh = Shown();
    ExpectSame(kept, fresh, frame, "kept", "composed afresh");
    ExpectSame(Sent(), fresh, frame, "the window has", "the frame composed afresh");
    if (HasFailure()) break;
  }
  ComposeApartFromWindow(false);
}

// A window surface made anew (a window manager maximised or tiled the
// window) starts blank, and where the screen has a margin that the surface
// itself holds, the margin is painted around the picture, never over it.
TEST_F(IncrementalFrames, ANewWindowSurfaceGetsTheWholePicture) {
  const uint32_t clear = 0xBBCCBB, shown = 0xFFBBCCBBu;
  SetScreenMargin(0x0000FF);
  for (int margin : {0, 6}) {
    Open(40, 30, margin);
    Emit(clear, {});
    EXPECT_EQ(Sent(), std::vector<uint32_t>(40 * 30, shown)) << "margin " << margin;
    SDL_SetWindowSize(static_cast<SDL_Window*>(GetNativeWindow(window)), 90, 70);
    Emit(clear, {});
    EXPECT_EQ(Sent(), std::vector<uint32_t>(40 * 30, shown)) << "resized, margin " << margin;
  }
  SetScreenMargin(0);
}

// A draw shows the sprite as it was when it was drawn, even if the sprite is
// drawn into or deleted before the frame is presented.
TEST_F(IncrementalFrames, DrawsKeepThePixelsTheySaw) {
  Open(40, 20);
  int red = NewImage(8, 8, 0x0000FF), blue = NewImage(8, 8, 0xFF0000);
  const int sprite = ImageToSprite(red, false, 255);
  const int doomed = ImageToSprite(blue, false, 255);
  ClearFrame(0x000000);
  DrawSpriteBlended(sprite, 0, 0, 255);
  DrawSpriteBlended(doomed, 20, 0, 255);
  ASSERT_TRUE(BeginSpritePixels(sprite));
  BlendImageInto(blue, 0, 0, 255);
  EndSpritePixels();
  DeleteSprite(doomed);
  DrawSpriteBlended(sprite, 10, 0, 255);
  PresentFrame();
  DisposeImage(red);
  DisposeImage(blue);
  const std::vector<uint32_t> shown = Shown();
  EXPECT_EQ(shown[4 * 40 + 4], 0xFFFF0000u) << "drawn before the sprite was drawn into";
  EXPECT_EQ(shown[4 * 40 + 14], 0xFF0000FFu) << "drawn after";
  EXPECT_EQ(shown[4 * 40 + 24], 0xFF0000FFu) << "drawn before the sprite was deleted";
}

}  // namespace
