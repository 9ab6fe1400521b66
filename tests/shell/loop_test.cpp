// SPDX-License-Identifier: MIT
// The whole program in this process on the offscreen driver: start-up, the
// event loop's passes, the title after the first tick, and the end on a
// signal while every tick runs late.
#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <regex>
#include <vector>

#include "menu/menu.h"
#include "play/player.h"
#include "play/effects.h"
#include "render/label.h"
#include "runtime/clock.h"
#include "runtime/keyboard.h"
#include "runtime/platform.h"
#include "runtime/text.h"
#include "runtime/window.h"
#include "render/display.h"
#include "shell/startup.h"
#include "shell/state.h"
#include "shell/version.h"
#include "tests/support/program.h"

namespace {

// Real time, but each reading costs 3 ms: a tick, which reads the clock a
// dozen times, then takes far longer than its 16 ms period.
int64_t SlowClock() {
  usleep(3000);
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

class ProgramLoop : public probe::ProgramTest {
 protected:
  // Runs passes until `ticks` more ticks have run or the loop wants to end;
  // returns the ticks that ran.
  static int RunTicks(int ticks, bool& ended) {
    int ran = 0;
    ended = false;
    for (int pass = 0; pass < 2000 && ran < ticks; ++pass) {
      const int64_t before = gameState.now;
      if (!EventLoopPass(1)) {
        ended = true;
        break;
      }
      ran += gameState.now != before ? 1 : 0;
    }
    return ran;
  }
};

TEST_F(ProgramLoop, FirstTickWritesTheStatisticsIntoTheTitle) {
  EXPECT_EQ(GetTitleText(screenState.window), ProductTitle);
  bool ended = false;
  ASSERT_EQ(RunTicks(1, ended), 1);
  // The menu's own labels and no figure yet; the figures of a tick that
  // took no time on the stepping clock.
  const std::regex statistics(
      R"(Pellovar \[1\.0\.1\.8\] \| FPS:1, Gc[1-9]\d*, Tc[1-9]\d*, Fc0, Sc[1-9]\d*, L0\.0, V0\.0)");
  EXPECT_TRUE(std::regex_match(GetTitleText(screenState.window), statistics))
      << GetTitleText(screenState.window);
}

// The POSIX signals that end the game; Windows has no such signals.
#ifndef _WIN32
TEST_F(ProgramLoop, EachSignalEndsALateTwoPlayerGameWithinTwoTicks) {
  for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
    struct sigaction current {};
    sigaction(signal, nullptr, &current);
    ASSERT_NE(current.sa_handler, SIG_DFL) << "signal " << signal << " would kill the test";
    ASSERT_NE(current.sa_handler, SIG_IGN) << "signal " << signal << " is ignored";

    NewGame("Player1", "Player2");
    SetClockSource(SlowClock);
    bool ended = false;
    ASSERT_EQ(RunTicks(3, ended), 3) << "the game is not running";
    raise(signal);
    const int ticks = RunTicks(50, ended);
    EXPECT_TRUE(ended) << "signal " << signal << " still running after " << ticks << " ticks";
    EXPECT_LE(ticks, 2) << "signal " << signal;
    EXPECT_EQ(gameState.mode, Quit);
    TearDown();
    SetUp();
  }
}

TEST_F(ProgramLoop, APendingHangupIsACloseRequest) {
  EXPECT_FALSE(CloseRequestPending());
  raise(SIGHUP);
  EXPECT_TRUE(CloseRequestPending()) << "a scale change would render every label first";
  EXPECT_EQ(WaitEvent(0), CloseWindowEvent);
}

TEST_F(ProgramLoop, AnIgnoredSignalStaysIgnored) {
  // nohup ignores hang-ups; a shell's background job, interrupts.
  for (int signal : {SIGHUP, SIGINT}) {
    TearDown();
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigaction(signal, &ignore, nullptr);
    SetUp();
    raise(signal);
    for (int tick = 0; tick < 3; ++tick)
      EXPECT_TRUE(RunOneTick()) << "signal " << signal << " ignored by whoever started the game ended it";
    ignore.sa_handler = SIG_DFL;
    sigaction(signal, &ignore, nullptr);
  }
}

// The loop never gets to a signal while the window system holds it (an X
// server that stopped answering): the signal still ends the process, with
// its own status.
TEST(ProgramEnd, ASignalTheLoopNeverTakesUpStillEndsTheProcess) {
  EXPECT_EXIT(
      {
        SetEnvironment("SDL_VIDEODRIVER", "offscreen");
        if (!StartPlatform()) std::exit(3);
        raise(SIGTERM);
        for (int second = 0; second < 30; ++second) sleep(1);
        std::exit(0);
      },
      testing::KilledBySignal(SIGTERM), "did not let the game end");
}
#endif

}  // namespace

namespace {

// F11 on the offscreen driver's 1024 × 768 desktop, as a player presses it:
// in, held (its repeats and a second press before the first is seen to end
// do nothing), ended by a gain of focus, and out again.
TEST_F(ProgramLoop, FullscreenIsEnteredAndLeftWithItsScaleSizeAndPlace) {
  const float windowed = screenState.scaleX;
  const int32_t width = screenState.width;
  int placeX = -1, placeY = -1, x = -1, y = -1, w = 0, h = 0;
  ASSERT_TRUE(GetWindowPlace(screenState.window, placeX, placeY));
  auto caption = [] { return MapFind(menuState.items, "opts_scale")->label->text; };
  ASSERT_EQ(caption(), "Scale:" + FixedText(windowed, 2));

  PushKeyDown(SDL_SCANCODE_F11);
  ASSERT_TRUE(RunOneTick());
  ASSERT_TRUE(GetWindowPlace(screenState.window, x, y));
  SDL_GetWindowSize(static_cast<SDL_Window*>(GetNativeWindow(screenState.window)), &w, &h);
  // 19-pixel cells fit 768 rows: 722 × 741, centred.
  EXPECT_EQ(screenState.screenMode, FullscreenMode);
  EXPECT_EQ(screenState.cellWidth, 19);
  EXPECT_EQ((std::vector<int>{x, y, w, h, screenState.left, screenState.top}),
            (std::vector<int>{0, 0, 1024, 768, 151, 13}));
  EXPECT_EQ(caption(), "Scale:1.19") << "the Options menu would show the old scale";

  PushKeyDown(SDL_SCANCODE_F11);  // no key-up seen: still the same press
  ASSERT_TRUE(RunOneTick());
  EXPECT_EQ(screenState.screenMode, FullscreenMode) << "a held F11 toggled again";

  // Let go while another program had the keyboard: only the focus coming
  // back tells.
  PushWindowEvent(SDL_WINDOWEVENT_FOCUS_GAINED);
  PushKeyDown(SDL_SCANCODE_F11);
  ASSERT_TRUE(RunOneTick());
  EXPECT_EQ(screenState.screenMode, WindowedMode) << "F11 did nothing after a focus change";
  EXPECT_FLOAT_EQ(screenState.scaleX, windowed);
  EXPECT_EQ(screenState.width, width);
  ASSERT_TRUE(GetWindowPlace(screenState.window, x, y));
  EXPECT_EQ((std::vector<int>{x, y, screenState.left, screenState.top}),
            (std::vector<int>{placeX, placeY, 0, 0}));
  EXPECT_EQ(caption(), "Scale:" + FixedText(windowed, 2));
}

// The desktop may blank the screen in the menus, in a paused game and after
// the game is over; only while someone plays does the game hold it off.
TEST_F(ProgramLoop, TheScreenSaverIsHeldOffOnlyWhileAGameIsPlayed) {
  auto press = [this](int16_t key) {
    while (gameState.now <= menuState.MenuNextInputTime) ASSERT_TRUE(RunOneTick());
    keyboard.keys[key] = 0x80;
    ASSERT_TRUE(RunOneTick());
    keyboard.keys[key] = 0;
  };
  ASSERT_TRUE(RunOneTick());
  EXPECT_TRUE(SDL_IsScreenSaverEnabled()) << "the main menu at start";
  NewGame("Player1", "");
  ASSERT_TRUE(RunOneTick());
  EXPECT_FALSE(SDL_IsScreenSaverEnabled()) << "a game running";
  press(DIK_ESCAPE);
  ASSERT_EQ(gameState.mode, Menu);
  EXPECT_TRUE(SDL_IsScreenSaverEnabled()) << "the game paused";
  press(DIK_RETURN);  // Continue
  ASSERT_EQ(gameState.mode, Game);
  EXPECT_FALSE(SDL_IsScreenSaverEnabled()) << "the game resumed";
  keyboard.keys[DIK_DOWN] = 0x80;
  for (int tick = 0; tick < 100000 && gameState.players[0].alive; ++tick) ASSERT_TRUE(RunOneTick());
  keyboard.keys[DIK_DOWN] = 0;
  ASSERT_FALSE(gameState.players[0].alive);
  ASSERT_TRUE(RunOneTick());
  EXPECT_EQ(gameState.mode, Game);
  EXPECT_TRUE(SDL_IsScreenSaverEnabled()) << "after game over";
}

}  // namespace
