// SPDX-License-Identifier: MIT
// The tick's pacing and statistics, headless with a scripted clock.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "game/cell.h"
#include "game/step.h"
#include "menu/menu.h"
#include "play/effects.h"
#include "render/screens.h"
#include "runtime/clock.h"
#include "shell/startup.h"
#include "shell/state.h"
#include "shell/tick.h"
#include "tests/support/keyboard.h"
#include "tests/support/stepping_clock.h"

namespace {

// The clock reads `base` at the first reading of each tick and base + work
// at every later reading, as if the tick's own work took `work` ms.
int64_t base = 0;
int64_t work = 0;
int readsThisTick = 0;
int64_t ScriptedClock() { return readsThisTick++ == 0 ? base : base + work; }

void CallTickAt(int64_t t) {
  base = t;
  readsThisTick = 0;
  Tick(nullptr, 0, 0, 0);
}

class TickTest : public testing::Test {
 protected:
  void SetUp() override {
    ZeroGlobalState();
    gameState.mode = Quit;  // neither branch: only pacing and counting run
    work = 0;
    SetClockSource(ScriptedClock);
  }
  void TearDown() override { SetClockSource(nullptr); }
};

TEST_F(TickTest, SecondCallWithinThePeriodDoesNothing) {
  CallTickAt(100);
  EXPECT_EQ(gameState.now, 100);
  EXPECT_EQ(tickState.nextTickTime, 116);
  int counted = tickState.ticksCounted;
  CallTickAt(115);
  EXPECT_EQ(gameState.now, 100) << "a call before the tick is due must not run it";
  EXPECT_EQ(tickState.ticksCounted, counted);
  CallTickAt(116);
  EXPECT_EQ(gameState.now, 116);
  EXPECT_EQ(tickState.ticksCounted, counted + 1);
}

TEST_F(TickTest, TheLoopWaitsUntilTheTickIsDueAndNoLonger) {
  struct {
    int64_t now, due;
    int wait;
  } cases[] = {
      {100, 116, 16}, {100, 105, 5}, {100, 101, 1}, {100, 100, 0},
      {100, 90, 0},    // late: tick at once, never wait for the timer
      {100, 500, 16},  // a due time far off never stalls the loop
  };
  for (auto c : cases) {
    base = c.now;
    readsThisTick = 0;
    tickState.nextTickTime = c.due;
    EXPECT_EQ(UntilTickDue(), c.wait) << "now " << c.now << ", due " << c.due;
  }
}

TEST_F(TickTest, LongTickIsFollowedByOneTickNotACatchUp) {
  work = 40;
  CallTickAt(0);
  // Due 16 ms after the tick began: already past when the 40 ms tick ends.
  EXPECT_EQ(tickState.nextTickTime, 16);
  work = 0;
  CallTickAt(41);
  EXPECT_EQ(gameState.now, 41);
  CallTickAt(42);
  EXPECT_EQ(gameState.now, 41) << "no second, catch-up tick";
  CallTickAt(57);
  EXPECT_EQ(gameState.now, 57);
}

TEST_F(TickTest, FirstTickWritesTheTitleAndRestartsTheCount) {
  CallTickAt(5);
  // The title was written at once (nextTitleTime started at 0) and the
  // counters were reset for the next second.
  EXPECT_EQ(tickState.ticksCounted, 0);
  EXPECT_EQ(tickState.nextTitleTime, 1005);
  for (int64_t t = 21; t < 1005; t += 16) CallTickAt(t);
  EXPECT_EQ(tickState.ticksCounted, 62);
  CallTickAt(1013);
  EXPECT_EQ(tickState.ticksCounted, 0);
  EXPECT_EQ(tickState.nextTitleTime, 2013);
}

TEST_F(TickTest, StatisticsTextCountsRegistriesAndAverages) {
  tickState.ticksCounted = 1;
  EXPECT_EQ(StatisticsText(), " | FPS:1, Gc0, Tc0, Fc0, Sc0, L0.0, V0.0");

  CreateCellStyle(GameCellTag);
  CreateCellStyle(BackgroundCellTag);
  ListAppend(EffectList);
  tickState.ticksCounted = 62;
  tickState.logicMs = 31;
  tickState.videoMs = 250;
  EXPECT_EQ(StatisticsText(), " | FPS:62, Gc2, Tc0, Fc0, Sc1, L0.5, V4.0");

  tickState.ticksCounted = 3;
  tickState.logicMs = 1;
  tickState.videoMs = 2;
  // 1 / 3 and 2 / 3 as 32-bit floats, one decimal.
  EXPECT_EQ(StatisticsText(), " | FPS:3, Gc2, Tc0, Fc0, Sc1, L0.3, V0.7");
}


TEST(TickDurations, EachPartsTimeGoesToLogicOrVideo) {
  // A clock far from zero that moves a millisecond a reading: every part
  // takes a little time of its own. A part that handed back a clock reading,
  // nothing, or its span the wrong way round shows at once, and the tick
  // must add exactly those times, the step to L, the rest to V.
  testclock::Install(1'000'000, 1);
  for (uint8_t mode : {Menu, Game}) {
    ZeroGlobalState();
    gameState.mode = mode;
    const int64_t logic = mode == Menu ? MenuLogic() : GameTick();
    const int64_t effects = AdvanceEffects();
    const int64_t drawing = mode == Menu ? DrawMenuScreen() : DrawGameScreen();
    for (int64_t part : {logic, effects, drawing}) {
      EXPECT_GT(part, 0) << "mode " << int(mode);
      EXPECT_LT(part, 10) << "mode " << int(mode);
    }
    tickState.nextTitleTime = std::numeric_limits<int64_t>::max();  // keep the sums
    Tick(nullptr, 0, 0, 0);
    EXPECT_EQ(tickState.logicMs, logic) << "mode " << int(mode);
    EXPECT_EQ(tickState.videoMs, effects + drawing) << "mode " << int(mode);
  }
  testclock::Remove();
}

// The branch a tick takes and when Escape leaves a game, with real key polls.
class TickBranches : public testing::Test {
 protected:
  void SetUp() override {
    StartWithSubstituteKeyboard(keyboard);
    SetClockSource(ScriptedClock);
    work = 0;
    BuildMenus();
  }
  void TearDown() override {
    SetClockSource(nullptr);
    SubstituteKeyboard(nullptr);
  }
  KeyboardSubstitute keyboard;
};

TEST_F(TickBranches, ATickThatStartsAGameFinishesAsAMenuTick) {
  ShowNewGameMenu(0);
  ListNext(menuState.entries);  // "2-P/classic"
  // Enter starts the game; player 2's Down is held from the same moment.
  keyboard.keys[DIK_RETURN] = keyboard.keys[DIK_NUMPAD5] = 0x80;
  CallTickAt(1000);
  ASSERT_EQ(gameState.mode, Game);
  ASSERT_EQ(gameState.playerCount, 2);
  EXPECT_EQ(gameState.players[1].downRepeatTime, 0) << "the game step ran in the menu's tick";
  CallTickAt(1016);
  EXPECT_EQ(gameState.players[1].downRepeatTime, 1016 + 32) << "the next tick steps the game";
}

TEST_F(TickBranches, EscapeLeavesAGameOnlyAfterTheInputDelay) {
  gameState.mode = Game;
  menuState.MenuNextInputTime = 2000;
  keyboard.keys[DIK_ESCAPE] = 0x80;
  CallTickAt(2000);
  EXPECT_EQ(gameState.mode, Game) << "Escape acted while the menu still ignores keys";
  CallTickAt(2016);
  EXPECT_EQ(gameState.mode, Menu);
  EXPECT_EQ(menuState.MenuNextInputTime, 2016 + 200);
}

}  // namespace
