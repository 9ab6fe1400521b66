// SPDX-License-Identifier: MIT
// The game's own per-tick work and its start-up, measured headless: the
// SDL's offscreen driver unless the caller names another.
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "game/step.h"
#include "menu/menu.h"
#include "play/effects.h"
#include "play/keys.h"
#include "play/player.h"
#include "render/screens.h"
#include "runtime/platform.h"
#include "runtime/random.h"
#include "runtime/screen.h"
#include "shell/blocks.h"
#include "shell/display.h"
#include "shell/state.h"

static void UseOffscreen() {
  setenv("SDL_VIDEODRIVER", "offscreen", 0);
}

// Both players hold Down now and then, so figures fall, lock and clear rows;
// a finished game is replaced by a new one outside the timing.
static void StepTheGame(benchmark::State& state, int64_t& now) {
  now += 16;
  gameState.now = now;
  bool down = (now / 512) % 2 == 0;
  keyBindingTable.bindings[P1Down].holdCounter = down ? 2 : 0;
  keyBindingTable.bindings[P2Down].holdCounter = down ? 2 : 0;
  if (!gameState.players[0].alive && !gameState.players[1].alive) {
    state.PauseTiming();
    NewGame("Player1", "Player2");
    gameState.now = now;
    state.ResumeTiming();
  }
}

static void BM_GameTickTwoPlayers(benchmark::State& state) {
  ZeroGlobalState();
  FillBlockColourList(BlockColourList);
  SeedRandom(1);
  NewGame("Player1", "Player2");
  int64_t now = 0;
  for (auto _ : state) {
    StepTheGame(state, now);
    benchmark::DoNotOptimize(GameTick());
  }
}
BENCHMARK(BM_GameTickTwoPlayers);

// Step, effects and the game screen, as one Game tick runs them, at 1.32.
static void BM_WholeGameTickAt132(benchmark::State& state) {
  UseOffscreen();
  ZeroGlobalState();
  if (!StartPlatform() || OpenDisplay(1, 16, 1.32f, 1.32f, true) == 0) {
    state.SkipWithError("no offscreen display");
    StopPlatform();
    return;
  }
  SeedRandom(1);
  NewGame("Player1", "Player2");
  int64_t now = 0;
  for (auto _ : state) {
    StepTheGame(state, now);
    GameTick();
    AdvanceEffects();
    DrawGameScreen();
  }
  StopPlatform();
}
BENCHMARK(BM_WholeGameTickAt132)->Unit(benchmark::kMillisecond);

// From zeroed state to the first presented frame of the main menu.
static void BM_StartUpToFirstFrame(benchmark::State& state) {
  UseOffscreen();
  for (auto _ : state) {
    ZeroGlobalState();
    if (!StartPlatform()) {
      state.SkipWithError("no offscreen platform");
      return;
    }
    InitKeyboard();
    OpenDisplay(1, 16, 1.1f, 1.1f, true);
    BuildMenus();
    ShowMainMenu(0);
    MenuLogic();
    AdvanceEffects();
    DrawMenuScreen();
    state.PauseTiming();
    StopPlatform();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_StartUpToFirstFrame)->Unit(benchmark::kMillisecond);

// A screen drawn tick after tick as the running program draws it: effects
// advanced 16 ms, then the whole frame described again. The first argument:
// 0 composes only what changed, 1 composes every frame whole; the second is
// the scale in hundredths (169 and 344: the 27- and 55-pixel cells of a
// fullscreen 1920 × 1080 and 3840 × 2160 desktop).
static void DrawSteadily(benchmark::State& state, int64_t (*draw)(), bool game) {
  if (state.range(0) == 1) RepaintWholeFrames(true);
  int64_t now = 1000;
  for (auto _ : state) {
    if (game) {
      StepTheGame(state, now);
      GameTick();
    } else {
      now += 16;
      gameState.now = now;
    }
    AdvanceEffects();
    draw();
  }
  RepaintWholeFrames(false);
  StopPlatform();
}

static bool OpenAt(float scale) {
  UseOffscreen();
  ZeroGlobalState();
  SeedRandom(1);
  if (!StartPlatform() || OpenDisplay(1, 16, scale, scale, true) == 0) {
    StopPlatform();
    return false;
  }
  InitKeyboard();
  BuildMenus();
  return true;
}

static void BM_DrawMenuScreenSteadily(benchmark::State& state) {
  if (!OpenAt(static_cast<float>(state.range(1)) / 100.0f))
    return state.SkipWithError("no offscreen display");
  ShowMainMenu(0);
  DrawSteadily(state, DrawMenuScreen, false);
}
BENCHMARK(BM_DrawMenuScreenSteadily)
    ->Args({0, 110})->Args({1, 110})->Args({0, 169})->Args({0, 344})->Unit(benchmark::kMicrosecond);

static void BM_DrawTwoPlayerScreenSteadily(benchmark::State& state) {
  if (!OpenAt(static_cast<float>(state.range(1)) / 100.0f))
    return state.SkipWithError("no offscreen display");
  NewGame("Player1", "Player2");
  DrawSteadily(state, DrawGameScreen, true);
}
BENCHMARK(BM_DrawTwoPlayerScreenSteadily)
    ->Args({0, 110})->Args({1, 110})->Args({0, 169})->Args({0, 344})->Unit(benchmark::kMicrosecond);
