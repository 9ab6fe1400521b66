// SPDX-License-Identifier: MIT
// One full frame of raw sprites through the sprite service: 38 × 39 block
// sprites, a tenth of them turned and resized, plus twenty tinted labels,
// composed whole every time (the frames are all alike, so the screen would
// otherwise repaint nothing).
// The offscreen driver is used unless SDL_VIDEODRIVER names another.
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "runtime/image.h"
#include "runtime/platform.h"
#include "runtime/screen.h"
#include "runtime/window.h"

static void BM_FullFrame(benchmark::State& state) {
  const int cell = static_cast<int>(state.range(0));
  const int columns = 38, rows = 39;
  if (!std::getenv("SDL_VIDEODRIVER")) setenv("SDL_VIDEODRIVER", "offscreen", 1);
  if (!StartPlatform() || !StartSpriteService()) {
    state.SkipWithError("no platform");
    return;
  }
  int window = OpenAppWindow(AnyWindow, 0, 0, columns * cell, rows * cell, "bench",
                             WindowCentred | WindowTitleBar | WindowHidden);
  if (!window || !OpenGlScreen(GetNativeWindow(window), 0, 0, columns * cell, rows * cell, 0, 0,
                               0, 0)) {
    state.SkipWithError("no screen");
    StopPlatform();
    return;
  }
  int blockImage = NewImage(cell, cell, 0x80C0A0);
  int block = ImageToSprite(blockImage, false, 255);
  int labelImage = NewImage(cell * 6, cell, 0x0000FF);
  int label = ImageToSprite(labelImage, true, 255);
  DisposeImage(blockImage);
  DisposeImage(labelImage);

  RepaintWholeFrames(true);
  for (auto _ : state) {
    ClearFrame(0x202020);
    for (int y = 0; y < rows; ++y) {
      for (int x = 0; x < columns; ++x) {
        bool turned = (x + y) % 10 == 0;
        if (turned) {
          SetSpriteSize(block, cell * 3 / 2, cell * 3 / 2);
          SetSpriteAngle(block, 30, 0);
        }
        DrawSpriteBlended(block, x * cell, y * cell, turned ? 128 : 255);
        if (turned) {
          SetSpriteSize(block, -1, -1);
          SetSpriteAngle(block, 0, 0);
        }
      }
    }
    for (int k = 0; k < 20; ++k) DrawSpriteTinted(label, cell, k * cell, 200, 0x40FF40);
    PresentFrame();
  }
  RepaintWholeFrames(false);
  StopPlatform();
}
BENCHMARK(BM_FullFrame)->Arg(12)->Arg(24)->Unit(benchmark::kMillisecond);
