// SPDX-License-Identifier: MIT
// Frame composition and display reopening, on the offscreen video driver.
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "menu/menu.h"
#include "play/effects.h"
#include "render/frame.h"
#include "runtime/platform.h"
#include "runtime/random.h"
#include "shell/display.h"
#include "shell/state.h"

namespace {

// The screen at `scale` with its random background, its effects started.
bool OpenBenchScreen(float scale) {
  setenv("SDL_VIDEODRIVER", "offscreen", 0);
  ZeroGlobalState();
  SeedRandom(1);
  if (!StartPlatform()) return false;
  if (!OpenDisplay(1, 16, scale, scale, true)) {
    StopPlatform();
    return false;
  }
  gameState.now = 1000;
  AdvanceEffects();  // spins and scales become active
  return true;
}

// One frame of the background alone: about one cell in nine, some of them
// turned or zoomed.
void BM_DrawBackgroundFrame(benchmark::State& state) {
  if (!OpenBenchScreen(1.32f)) {
    state.SkipWithError("no offscreen screen");
    return;
  }
  FrameGrid grid;
  const LabelList labels;
  for (auto _ : state) {
    CreateFrameGrid(grid);
    DrawScreen(grid, labels);
  }
  StopPlatform();
}
BENCHMARK(BM_DrawBackgroundFrame)->Unit(benchmark::kMillisecond);

// One frame with a sprite on every one of the 39 × 40 cells: the most a
// screen can ask for.
void BM_DrawEveryCellFrame(benchmark::State& state) {
  if (!OpenBenchScreen(1.32f)) {
    state.SkipWithError("no offscreen screen");
    return;
  }
  FrameGrid grid;
  const LabelList labels;
  for (auto _ : state) {
    CreateFrameGrid(grid);
    PaintRect(grid, 0, 0, screenState.columns, screenState.rows, &Kind2Alpha127, 1);
    DrawScreen(grid, labels);
  }
  StopPlatform();
}
BENCHMARK(BM_DrawEveryCellFrame)->Unit(benchmark::kMillisecond);

// A scale change from the options menu: window, screen, all 518 block
// sprites and every menu label made again, between the argument's scale (in
// hundredths) and the next step up. 344 gives the 55-pixel cells of a
// fullscreen 3840 × 2160 desktop.
void BM_ReopenDisplay(benchmark::State& state) {
  const float scale = static_cast<float>(state.range(0)) / 100.0f;
  if (!OpenBenchScreen(scale)) {
    state.SkipWithError("no offscreen screen");
    return;
  }
  BuildMenus();
  bool larger = true;
  for (auto _ : state) {
    const float next = larger ? scale + 0.1f : scale;
    if (!ReopenDisplay(next, next)) {
      state.SkipWithError("reopening failed");
      break;
    }
    larger = !larger;
  }
  StopPlatform();
}
BENCHMARK(BM_ReopenDisplay)->Arg(110)->Arg(344)->Unit(benchmark::kMillisecond);

}  // namespace
