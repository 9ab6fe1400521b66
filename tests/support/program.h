// SPDX-License-Identifier: MIT
// The whole program in the test's process: started as main starts it, on
// SDL's offscreen driver, with a substitute keyboard (focused) and the
// stepping clock, driven through the real event loop one tick at a time.
// Window-system events the program answers (F11, focus, a close request)
// are pushed as the window system would queue them.
#pragma once
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>

#include "runtime/keyboard.h"
#include "runtime/platform.h"
#include "runtime/window.h"
#include "render/display.h"
#include "shell/startup.h"
#include "shell/state.h"
#include "shell/tick.h"
#include "tests/support/env_scope.h"
#include "tests/support/stepping_clock.h"

namespace probe {

class ProgramTest : public testing::Test {
 protected:
  KeyboardSubstitute keyboard{};

  void SetUp() override {
    SetEnvironment("SDL_VIDEODRIVER", "offscreen");
    testclock::Install(1000);
    keyboard = KeyboardSubstitute{};
    keyboard.focused = true;
    SubstituteKeyboard(&keyboard);
    StartProgram();
  }
  void TearDown() override {
    StopPlatform();
    SubstituteKeyboard(nullptr);
    testclock::Remove();
  }

  // One tick at the next tick's time, after every event queued before it;
  // false when the program wants to end instead.
  static bool RunOneTick() {
    testclock::now += TickPeriod;
    for (int pass = 0; pass < 100; ++pass) {
      if (!EventLoopPass(0)) return false;
      if (tickState.nextTickTime > testclock::now) return true;
    }
    ADD_FAILURE() << "no tick ran in 100 passes";
    return false;
  }

  static uint32_t GameWindowId() {
    return SDL_GetWindowID(static_cast<SDL_Window*>(GetNativeWindow(screenState.window)));
  }
  // A key press of the game window, as the window system delivers it.
  static void PushKeyDown(SDL_Scancode key) {
    SDL_Event event{};
    event.type = SDL_KEYDOWN;
    event.key.windowID = GameWindowId();
    event.key.state = SDL_PRESSED;
    event.key.keysym.scancode = key;
    SDL_PushEvent(&event);
  }
  static void PushWindowEvent(SDL_WindowEventID what) {
    SDL_Event event{};
    event.type = SDL_WINDOWEVENT;
    event.window.windowID = GameWindowId();
    event.window.event = static_cast<uint8_t>(what);
    SDL_PushEvent(&event);
  }
};

}  // namespace probe
