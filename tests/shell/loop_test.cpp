// SPDX-License-Identifier: MIT
// The whole program in this process on the offscreen driver: start-up, the
// event loop's passes, the title after the first tick, and the end on a
// signal while every tick runs late.
#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>

#include "play/player.h"
#include "play/effects.h"
#include "render/label.h"
#include "runtime/clock.h"
#include "runtime/keyboard.h"
#include "runtime/platform.h"
#include "runtime/text.h"
#include "runtime/window.h"
#include "shell/display.h"
#include "shell/startup.h"
#include "shell/state.h"

namespace {

KeyboardSubstitute keyboard;

// Real time, but each reading costs 3 ms: a tick, which reads the clock a
// dozen times, then takes far longer than its 16 ms period.
int64_t SlowClock() {
  usleep(3000);
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

class ProgramLoop : public testing::Test {
 protected:
  void SetUp() override {
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    keyboard = KeyboardSubstitute{};
    keyboard.focused = true;
    SubstituteKeyboard(&keyboard);
    StartProgram();
  }
  void TearDown() override {
    SetClockSource(nullptr);
    StopPlatform();
    SubstituteKeyboard(nullptr);
  }
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
  EXPECT_EQ(GetTitleText(screenState.window), "Pellovar [1.0.1.8]");
  bool ended = false;
  ASSERT_EQ(RunTicks(1, ended), 1);
  const std::string expected = "Pellovar [1.0.1.8] | FPS:1, Gc" +
                               DecimalText(MapCount(CellStyleRegistry)) + ", Tc" +
                               DecimalText(MapCount(TextLabelMap)) + ", Fc0, Sc" +
                               DecimalText(ListCount(EffectList)) + ", L";
  EXPECT_EQ(GetTitleText(screenState.window).rfind(expected, 0), 0u)
      << GetTitleText(screenState.window);
}

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

TEST_F(ProgramLoop, AnIgnoredHangupStaysIgnored) {
  TearDown();
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigaction(SIGHUP, &ignore, nullptr);
  SetUp();
  raise(SIGHUP);
  bool ended = false;
  EXPECT_EQ(RunTicks(3, ended), 3);
  EXPECT_FALSE(ended) << "a hang-up ignored by whoever started the game ended it";
  ignore.sa_handler = SIG_DFL;
  sigaction(SIGHUP, &ignore, nullptr);
}

}  // namespace
