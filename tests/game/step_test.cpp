// SPDX-License-Identifier: MIT
// The game step, tick by tick on a substitute clock, with the hold counters
// driven the way the keyboard poll drives them.
#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "game/figure.h"
#include "game/playfield.h"
#include "game/step.h"
#include "play/effects.h"
#include "play/player.h"
#include "render/label.h"
#include "tests/support/keyboard.h"
#include "tests/support/model.h"
#include "tests/support/stepping_clock.h"
#include "runtime/clock.h"
#include "runtime/random.h"
#include "shell/state.h"

namespace {

constexpr int64_t Never = std::numeric_limits<int64_t>::max() / 2;
constexpr int32_t Red = 255 | 31 << 8 | 31 << 16;
constexpr int32_t Blue = 31 | 31 << 8 | 255 << 16;
constexpr int32_t Green = 31 | 255 << 8 | 31 << 16;

// The program's clock, moved by hand.
int64_t& clockNow = testclock::now;

class StepTest : public testing::Test {
 protected:
  void SetUp() override {
    StartWithSubstituteKeyboard(keyboard);
    FillTestPalette();
    testclock::Install(0);
    SeedRandom(2024);
    NewGame("Player1", players == 1 ? "" : "Player2");
    SeedRandom(2024);  // the new game reseeds from the tick count
    clockNow = 10000;
    gameState.now = clockNow;
  }
  void TearDown() override {
    testclock::Remove();
    SubstituteKeyboard(nullptr);
  }

  Player& P(int index = 0) { return gameState.players[index]; }

  // Replaces the player's falling figure by a known one at (x, y), with
  // gravity held off unless the test asks for it.
  Figure* Give(int32_t type, int32_t x, int32_t y, int32_t colour = Red, int index = 0) {
    Player& p = P(index);
    DestroyFigure(p.current);
    p.current = CreateFigure(type, colour);
    EXPECT_TRUE(TryMove(p.field, p.current, x, y, true)) << "placing type " << type;
    p.nextFallTime = Never;
    p.lockTime = 0;
    return p.current;
  }
  void GiveNext(int32_t type, int32_t colour, int index = 0) {
    DestroyFigure(P(index).next);
    P(index).next = CreateFigure(type, colour);
  }
  void Settle(int row, int column, int32_t colour = Green, int index = 0) {
    CellStyle* cell = CreateCellStyle(GameCellTag);
    SetCellKind(cell, colour);
    DestroyCellStyle(P(index).field.cells[row][column]);
    P(index).field.cells[row][column] = cell;
  }
  int32_t KindAt(int row, int column, int index = 0) {
    CellStyle* cell = P(index).field.cells[row][column];
    return cell ? cell->kind : -1;
  }

  // Holds or lets go of the action's key from the next poll on.
  void Hold(Action action, bool down = true) {
    keyboard.keys[keyBindingTable.bindings[action].primaryKey] = down ? 0x80 : 0;
  }
  // One tick: advance the clock, poll the keyboard, step.
  void Tick(int64_t period = 16) {
    clockNow += period;
    gameState.now = clockNow;
    PollKeyboard();
    GameTick();
  }

  // Ticks until `done` holds; false if it never does within `limit` ticks.
  template <typename Done>
  bool TickUntil(Done done, int limit = 1000) {
    for (int k = 0; k < limit && !done(); ++k) Tick();
    return done();
  }

  // Holds `action` from the next tick on and returns the times, relative to
  // the press, at which `watch` changed during `duration` ms.
  template <typename Watch>
  std::vector<int64_t> ChangeTimes(Action action, int64_t duration, int64_t period, Watch watch) {
    Hold(action);
    int64_t pressed = clockNow + period;
    auto last = watch();
    std::vector<int64_t> times;
    while (clockNow + period <= pressed + duration) {
      Tick(period);
      auto value = watch();
      if (value != last) times.push_back(clockNow - pressed);
      last = value;
    }
    Hold(action, false);
    return times;
  }

  int players = 1;
  KeyboardSubstitute keyboard;
};

class TwoPlayerStepTest : public StepTest {
 protected:
  void SetUp() override {
    players = 2;
    StepTest::SetUp();
  }
};

// ---- pure rules ----------------------------------------------------------

TEST(StepRules, RowScoreAtTheStartOfAGame) {
  struct Row {
    int32_t rows, factor, interval;
    int64_t points;
  };
  const Row table[] = {
      // The extremes of the factor for one to four rows at interval 640.
      {1, 768, 640, 2088},   {1, 1280, 640, 3479},  {2, 768, 640, 5675},
      {2, 1280, 640, 9458},  {3, 768, 640, 15426},  {3, 1280, 640, 25709},
      {4, 768, 640, 41931},  {4, 1280, 640, 69886},
      // The speed bonus: 640 minus the interval, up to 690 at −50.
      {1, 768, 0, 2728},     {1, 768, -50, 2778},
      // Sums just below or above a half, where single-precision arithmetic
      // (7359.5, 24303.5, 44224.5) or a double-precision e^4 (67865.5005)
      // would round the other way.
      {2, 996, 640, 7359},   {3, 1210, 640, 24303}, {4, 810, 640, 44225},
      {4, 1243, 640, 67865},
  };
  for (const Row& r : table) {
    EXPECT_EQ(RowScore(r.rows, r.factor, r.interval), r.points)
        << r.rows << " rows, factor " << r.factor << ", interval " << r.interval;
  }
}

TEST(StepRules, FallIntervalSequence) {
  const int32_t start[] = {640, 633, 626, 619, 612, 605, 598, 591, 584, 577, 570, 563};
  int32_t interval = 640;
  for (int k = 0; k < 12; ++k) {
    EXPECT_EQ(interval, start[k]) << "after " << k << " locks";
    interval = NextFallInterval(interval);
  }
  interval = 640;
  int firstZero = -1;
  int firstSettled = -1;
  for (int k = 1; k <= 400; ++k) {
    int32_t next = NextFallInterval(interval);
    if (next == 0 && firstZero < 0) firstZero = k;
    if (next == -50 && firstSettled < 0) firstSettled = k;
    if (firstSettled > 0) {
      EXPECT_EQ(next, -50) << "after " << k << " locks";
    } else {
      ASSERT_LT(next, interval) << "after " << k << " locks";
    }
    interval = next;
  }
  EXPECT_EQ(firstZero, 206);
  EXPECT_EQ(firstSettled, 256);
}

TEST(StepRules, ScoreText) {
  const std::pair<int64_t, std::string> table[] = {
      {0, "00000000"},        {7, "00000007"},        {123, "00000123"},
      {2088, "00002088"},     {12345678, "12345678"}, {99999999, "99999999"},
      {100000000, "10000000"}, {123456789, "12345678"},
  };
  for (const auto& [score, text] : table) EXPECT_EQ(ScoreText(score), text) << "score " << score;
}

TEST(StepRules, ScatterFiguresOnlyWhenAllowedAndRare) {
  ZeroGlobalState();
  FillTestPalette();
  Playfield& field = gameState.players[0].field;
  SetupPlayfield(field, 10, 20);
  SeedRandom(77);
  int scatter = 0;
  for (int k = 0; k < 20480; ++k) {
    Figure* f = MakeRandomFigure(field, k % 2 == 1);
    ASSERT_NE(f, nullptr);
    bool isScatter = f->type >= 11 && f->type <= 15;
    ASSERT_TRUE(isScatter || (f->type >= 1 && f->type <= 7)) << "type " << int(f->type);
    if (isScatter) {
      EXPECT_EQ(k % 2, 1) << "a scatter figure where none is allowed";
      ++scatter;
    }
    DestroyFigure(f);
  }
  // 10240 chances of 1 in 512: 20 expected.
  EXPECT_GE(scatter, 5);
  EXPECT_LE(scatter, 45);
}

TEST(StepRules, EntryPositionCentresAndSitsOnSecondVisibleRow) {
  ZeroGlobalState();
  FillTestPalette();
  Playfield& field = gameState.players[0].field;
  SetupPlayfield(field, 10, 20);
  for (int type = 1; type <= 7; ++type) {
    for (int turns = 0; turns < 4; ++turns) {
      Figure* f = CreateFigure(type, Red);
      RotateTimes(field, f, turns, true, true, true);
      PlaceAtEntry(field, f);
      EXPECT_EQ(f->x, f->colSpan == 3 ? 3 : 4) << "type " << type << " turns " << turns;
      EXPECT_EQ(f->y + f->rowSpan, 3) << "type " << type << " turns " << turns;
      DestroyFigure(f);
    }
  }
}

// ---- timing of moves -----------------------------------------------------

TEST_F(StepTest, SidewaysRepeatsAfter90ThenEvery45) {
  struct Case {
    int64_t period;
    std::vector<int64_t> moves;
  };
  const Case cases[] = {
      {1, {0, 90, 135, 180, 225, 270, 315, 360}},
      {16, {0, 96, 144, 192, 240, 288, 336, 384}},  // the first tick at or after each deadline
  };
  for (const Case& c : cases) {
    Figure* f = Give(3, 8, 10);
    auto times = ChangeTimes(P1Left, 400, c.period, [&] { return f->x; });
    EXPECT_EQ(times, c.moves) << "tick period " << c.period;
    EXPECT_EQ(f->x, 0) << "tick period " << c.period;
    for (int k = 0; k < 20; ++k) Tick();  // released long enough for every timer to pass
  }
}

TEST_F(StepTest, RightMovesWhenLeftIsBlocked) {
  Figure* f = Give(3, 0, 10);
  Hold(P1Left);
  Hold(P1Right);
  Tick();
  EXPECT_EQ(f->x, 1) << "Right moves in the step Left was refused";
  EXPECT_EQ(P().sideRepeatTime, clockNow + 90);
  // Left wins whenever it can move.
  for (int k = 0; k < 6; ++k) Tick();
  EXPECT_EQ(f->x, 0);
}

TEST_F(StepTest, DownRepeatsAfter64ThenEvery32AndPushesGravity) {
  Figure* f = Give(3, 4, 2);
  P().nextFallTime = clockNow + 640;
  Hold(P1Down);
  const int64_t pressed = clockNow + 16;
  std::vector<int64_t> times;
  while (clockNow + 16 <= pressed + 200) {
    const int32_t y = f->y;
    Tick();
    if (f->y == y) continue;
    times.push_back(clockNow - pressed);
    EXPECT_EQ(f->y, y + 1) << "at " << clockNow - pressed;
    EXPECT_EQ(P().nextFallTime, clockNow + 640) << "gravity a full interval away";
  }
  // Every row came from Down; gravity never got its turn.
  EXPECT_EQ(times, (std::vector<int64_t>{0, 64, 96, 128, 160, 192}));
}

TEST_F(StepTest, GravityWaitsAFullIntervalAfterEachFall) {
  Figure* f = Give(3, 4, 2);
  P().nextFallTime = clockNow + 16;
  Tick();
  EXPECT_EQ(f->y, 3);
  const int64_t fell = clockNow;
  ASSERT_TRUE(TickUntil([&] { return f->y != 3; }));
  EXPECT_EQ(clockNow - fell, 640);
}

TEST_F(StepTest, RotateAtOnceThenEvery150) {
  Figure* f = Give(7, 3, 10);  // T, stem down: its spans swap at every turn
  auto shape = [&] { return f->colSpan * 10 + f->rowSpan; };
  EXPECT_EQ(ChangeTimes(P1Rotate, 460, 1, shape), (std::vector<int64_t>{0, 150, 300, 450}));
  for (int k = 0; k < 20; ++k) Tick();  // released long enough for the timer to pass
  EXPECT_EQ(ChangeTimes(P1Rotate, 460, 16, shape), (std::vector<int64_t>{0, 160, 320}));
}

TEST_F(StepTest, BlockedRotationIsRetriedEveryStep) {
  Figure* f = Give(7, 3, 10);  // flat T on rows 10 and 11; a turn needs row 9
  for (int column = 0; column <= 9; ++column) Settle(9, column);
  Hold(P1Rotate);
  for (int k = 0; k < 5; ++k) Tick();
  ASSERT_EQ(f->colSpan, 2) << "the rotation got past the obstacle";
  for (int column = 0; column <= 9; ++column) {
    DestroyCellStyle(P().field.cells[9][column]);
    P().field.cells[9][column] = nullptr;
  }
  Tick();
  EXPECT_EQ(f->colSpan, 1) << "rotated in the first step the way was free";
}

TEST_F(StepTest, LongHeldRotationMayNudgeColours) {
  auto colourChanges = [&](uint8_t counter) {
    Figure* f = Give(7, 3, 10);
    int changes = 0;
    for (int k = 0; k < 400; ++k) {
      keyBindingTable.bindings[P1Rotate].holdCounter = counter;
      clockNow += 150;
      gameState.now = clockNow;
      StepPlayer(P());
      for (auto& row : f->cells)
        for (CellStyle* cell : row)
          if (cell && cell->kind != Red) {
            ++changes;
            SetCellKind(cell, Red);
          }
    }
    return changes;
  };
  EXPECT_EQ(colourChanges(99), 0);
  // About 4 nudges in 101 where the drawn spot is occupied.
  int nudged = colourChanges(100);
  EXPECT_GE(nudged, 2);
  EXPECT_LE(nudged, 30);
}

// ---- resting and locking -------------------------------------------------

TEST_F(StepTest, LandingRestsThenLocks) {
  Figure* f = Give(3, 4, 20);  // bottom row on the floor
  Tick();
  const int64_t landed = clockNow;
  EXPECT_EQ(P().lockTime, landed + 384);
  ASSERT_TRUE(TickUntil([&] { return P().current != f; })) << "never locked";
  EXPECT_EQ(clockNow - landed, 384);
  EXPECT_EQ(KindAt(21, 4), Red);
  EXPECT_EQ(KindAt(20, 5), Red);
  EXPECT_EQ(P().lockTime, 0);
  EXPECT_EQ(P().nextFallTime, clockNow + 640);
  ASSERT_NE(P().current, nullptr);
  ASSERT_NE(P().next, nullptr);
  EXPECT_EQ(P().current->y + P().current->rowSpan, 3) << "the next figure entered";
  EXPECT_EQ(MapCount(FigureRegistry), 2u);
}

TEST_F(StepTest, LandingFlashesTheFiguresCells) {
  Figure* f = Give(3, 4, 20);
  Tick();
  int flashed = 0;
  for (auto& row : f->cells)
    for (CellStyle* cell : row) {
      if (!cell) continue;
      ASSERT_NE(cell->effect, nullptr) << "no flash on landing";
      EXPECT_EQ(cell->effect->shiftEnd, clockNow + 384);
      EXPECT_EQ(cell->effect->shiftPeriod, 10);
      EXPECT_EQ(cell->effect->baseColour, static_cast<uint32_t>(Red));
      ++flashed;
    }
  EXPECT_EQ(flashed, 4);
}

TEST_F(StepTest, LockSpreadsTheColourAroundTheFigure) {
  Settle(21, 3);  // beside the square's bottom left cell
  Settle(19, 6);  // diagonally above its top right cell
  Settle(21, 7);  // two columns away
  GiveNext(3, Blue);
  Figure* f = Give(3, 4, 20);
  ASSERT_TRUE(TickUntil([&] { return P().current != f; })) << "never locked";
  EXPECT_EQ(KindAt(21, 3), Red);
  EXPECT_EQ(KindAt(19, 6), Red);
  EXPECT_EQ(KindAt(21, 7), Green);
  ASSERT_NE(P().field.cells[21][3]->effect, nullptr);
  EXPECT_EQ(P().field.cells[21][3]->effect->shiftEnd, Forever) << "a blend shown for good";
}

TEST_F(StepTest, SlidingAlongTheFloorDoesNotExtendTheDelay) {
  Figure* f = Give(3, 0, 20);
  Tick();
  const int64_t landed = clockNow;
  Hold(P1Right);
  ASSERT_TRUE(TickUntil([&] { return P().current != f; })) << "never locked";
  EXPECT_EQ(clockNow - landed, 384);
  // Moves 16, 112, 160, ... 352 ms after landing put it at columns 7 and 8.
  EXPECT_EQ(KindAt(21, 7), Red);
  EXPECT_EQ(KindAt(21, 8), Red);
  EXPECT_EQ(KindAt(21, 0), -1);
}

TEST_F(StepTest, FallingOffALedgeCancelsTheDelay) {
  for (int column = 0; column <= 5; ++column) {
    Settle(20, column);
    Settle(21, column);
  }
  Figure* f = Give(3, 4, 18);  // on the ledge
  P().nextFallTime = 0;         // gravity tries at every step
  Tick();
  ASSERT_NE(P().lockTime, 0);
  Hold(P1Right);
  Tick();  // x 5: still on the ledge
  EXPECT_EQ(f->x, 5);
  EXPECT_NE(P().lockTime, 0);
  ASSERT_TRUE(TickUntil([&] { return f->x >= 6; }));  // off the ledge, and it falls a row at once
  Hold(P1Right, false);
  EXPECT_EQ(f->x, 6);
  EXPECT_EQ(f->y, 19);
  EXPECT_EQ(P().lockTime, 0) << "hanging in the air disarms the delay";
  ASSERT_TRUE(TickUntil([&] { return f->y != 19; }));
  const int64_t landed = clockNow;
  EXPECT_EQ(P().lockTime, landed + 384) << "a fresh delay from the second landing";
  ASSERT_TRUE(TickUntil([&] { return P().current != f; })) << "never locked";
  EXPECT_EQ(clockNow - landed, 384);
}

TEST_F(StepTest, DownOnTheFloorStillLocksAfterTheDelay) {
  Figure* f = Give(3, 4, 20);
  Hold(P1Down);
  Tick();
  const int64_t landed = clockNow;
  ASSERT_TRUE(TickUntil([&] { return P().current != f; })) << "never locked";
  EXPECT_EQ(clockNow - landed, 384);
}

TEST_F(StepTest, ClearingOneRowScoresAndSpeedsUp) {
  for (int column = 0; column <= 7; ++column) Settle(21, column);
  Settle(20, 0);
  Figure* f = Give(3, 8, 20, Blue);
  Tick();  // lands
  ASSERT_TRUE(TickUntil([&] { return clockNow + 16 >= P().lockTime; }));
  // The factor is the first draw of the locking step.
  SeedRandom(5);
  const int32_t factor = static_cast<int32_t>(RandomInt(768, 1280));
  SeedRandom(5);
  Tick();
  ASSERT_NE(P().current, f) << "locked";
  EXPECT_EQ(P().score, RowScore(1, factor, 640)) << "factor " << factor;
  EXPECT_GE(P().score, 2088);
  EXPECT_LE(P().score, 3479);
  EXPECT_EQ(P().fallInterval, 633);
  EXPECT_EQ(P().nextFallTime, clockNow + 633);
  // The row is gone: the figure's upper half and the cell above moved down.
  EXPECT_EQ(KindAt(21, 0), Green);
  EXPECT_EQ(KindAt(21, 8), Blue);
  EXPECT_EQ(KindAt(21, 9), Blue);
  EXPECT_EQ(KindAt(21, 1), -1);
  EXPECT_EQ(KindAt(20, 8), -1);
  // The score label blinks for a second.
  ASSERT_NE(P().scoreLabel, nullptr);
  ASSERT_NE(P().scoreLabel->effect, nullptr);
  EXPECT_EQ(P().scoreLabel->effect->blinkEnd, clockNow + 1000);
  EXPECT_EQ(P().scoreLabel->effect->blinkPeriod, 50);
}

TEST_F(StepTest, GameOverWritesTheEnteringFigureAndSwapsTheLabels) {
  Settle(3, 4, Green);  // in the way of the next figure's entry
  GiveNext(3, Blue);    // square: enters at columns 4–5, rows 2–3
  Figure* f = Give(3, 0, 20);
  Tick();
  ASSERT_TRUE(TickUntil([&] { return P().current != f; })) << "never locked";
  EXPECT_EQ(P().alive, 0);
  EXPECT_EQ(P().current, nullptr);
  EXPECT_EQ(P().next, nullptr);
  EXPECT_EQ(MapCount(FigureRegistry), 0u);
  for (int row = 2; row <= 3; ++row)
    for (int column = 4; column <= 5; ++column)
      EXPECT_EQ(KindAt(row, column), Blue) << "row " << row << " column " << column;
  EXPECT_EQ(P().nameLabel->alpha, 0);
  EXPECT_EQ(P().gameOverLabel->alpha, 255);

  // Nothing moves any more.
  Hold(P1Left);
  Hold(P1Down);
  size_t cells = MapCount(CellStyleRegistry);
  for (int k = 0; k < 100; ++k) Tick();
  EXPECT_EQ(MapCount(CellStyleRegistry), cells);
  EXPECT_EQ(KindAt(21, 0), Red);
}

// Memory running out at a lock, injected at each kind of allocation made
// there: four copies of the locking cells, then the figure after next and
// its cells. Registries stay exact, and the player plays on.
TEST_F(StepTest, RunningOutOfMemoryAtALockCostsCellsOrTimeNeverTheGame) {
  struct Case {
    int after, failures;
    bool dropNext;  // the next figure was already lost to an earlier shortage
    int settled;
    bool current, next;
  } cases[] = {
      {1, 2, false, 2, true, true},   // two copies fail: holes where they would lie
      {4, 1, false, 4, true, false},  // the next-but-one figure's record
      {6, 1, false, 4, true, false},  // one of its cells: the half-built figure goes
      // No next figure at the lock: making it fails before the lock and
      // again when it is to enter, and the player waits for a figure.
      {0, 6, true, 0, false, false},
  };
  for (const Case& c : cases) {
    SetUp();
    GiveNext(3, Blue);
    Figure* f = Give(3, 4, 20);
    Tick();
    while (clockNow + 16 < P().lockTime) Tick();
    if (c.dropNext) {
      DestroyFigure(P().next);
      P().next = nullptr;
    }
    FailNextAllocations(c.failures, c.after);
    Tick();
    ASSERT_NE(P().current, f) << "case " << c.after << "+" << c.failures << " did not lock";
    int settled = 0;
    for (int row = 20; row <= 21; ++row)
      for (int column = 4; column <= 5; ++column) settled += KindAt(row, column) == Red;
    EXPECT_EQ(settled, c.settled) << "case " << c.after << "+" << c.failures;
    EXPECT_EQ(P().current != nullptr, c.current) << "case " << c.after << "+" << c.failures;
    EXPECT_EQ(P().next != nullptr, c.next) << "case " << c.after << "+" << c.failures;
    EXPECT_EQ(MapCount(CellStyleRegistry), static_cast<size_t>(settled) +
                                               (P().current ? CellCount(P().current) : 0) +
                                               (P().next ? CellCount(P().next) : 0))
        << "case " << c.after << "+" << c.failures;
    EXPECT_EQ(MapCount(FigureRegistry), size_t{P().current != nullptr} + size_t{P().next != nullptr});

    Tick();
    ASSERT_NE(P().current, nullptr) << "case " << c.after << "+" << c.failures << ": no figure came after the shortage";
    EXPECT_NE(P().next, nullptr) << "case " << c.after << "+" << c.failures;
    EXPECT_EQ(P().alive, 1);
    const int32_t y = P().current->y;
    P().nextFallTime = 0;
    Tick();
    EXPECT_EQ(P().current->y, y + 1) << "case " << c.after << "+" << c.failures << ": the new figure does not fall";
    FailNextAllocations(0);
  }
}

TEST_F(TwoPlayerStepTest, OnePlayersGameOverLeavesTheOtherPlaying) {
  Settle(3, 4, Green, 0);
  GiveNext(3, Blue, 0);
  Figure* first = Give(3, 0, 20, Red, 0);
  Figure* second = Give(3, 4, 2, Red, 1);
  P(1).nextFallTime = clockNow + 16;
  Tick();
  EXPECT_EQ(second->y, 3);
  ASSERT_TRUE(TickUntil([&] { return P(0).current != first; })) << "never locked";
  ASSERT_EQ(P(0).alive, 0);
  EXPECT_EQ(P(1).alive, 1);
  const int32_t y = second->y;
  for (int k = 0; k < 80; ++k) Tick();
  EXPECT_EQ(second->y, y + 2) << "player 2 keeps falling, one row per 640 ms";
  EXPECT_EQ(P(1).nameLabel->alpha, 222);
  EXPECT_EQ(P(1).gameOverLabel->alpha, 0);
}

TEST_F(TwoPlayerStepTest, SpeedDependsOnlyOnOwnRows) {
  for (int column = 0; column <= 7; ++column) Settle(21, column, Green, 0);
  Figure* first = Give(3, 8, 20, Blue, 0);
  Give(3, 4, 5, Red, 1);
  Tick();
  ASSERT_TRUE(TickUntil([&] { return P(0).current != first; })) << "never locked";
  EXPECT_EQ(P(0).fallInterval, 633);
  EXPECT_GT(P(0).score, 0);
  EXPECT_EQ(P(1).fallInterval, 640);
  EXPECT_EQ(P(1).score, 0);
}

TEST_F(TwoPlayerStepTest, EachPlayerReadsOwnKeys) {
  Figure* first = Give(3, 4, 10, Red, 0);
  Figure* second = Give(3, 4, 10, Red, 1);
  Hold(P2Left);
  Hold(P1Right);
  Tick();
  EXPECT_EQ(first->x, 5);
  EXPECT_EQ(second->x, 3);
}

}  // namespace

// ---- the order of the random draws -----------------------------------------

// A seeded game with scripted keys, replayed against replay_reference.py, an
// independent model of the rules: every figure the game makes must come out
// as the model's. Any draw added, dropped or moved (at a lock, before the
// scatter chance, around building a figure, in a nudge, in the landing flash
// or the spread of colour) shifts the colours and shapes of what follows.
TEST_F(StepTest, SeededGameFollowsTheDrawOrder) {
  Player& p = P();
  DestroyFigure(p.current);
  DestroyFigure(p.next);
  SeedRandom(208);
  p.current = MakeRandomFigure(p.field, false);
  PlaceAtEntry(p.field, p.current);
  p.next = MakeRandomFigure(p.field, false);
  p.nextFallTime = p.downRepeatTime = p.lockTime = p.rotateRepeatTime = p.sideRepeatTime = 0;

  auto describe = [](const Figure* f) {
    return std::to_string(f->type) + " " + std::to_string(f->colour) + " " + BoxPicture(f);
  };
  std::vector<std::string> made = {describe(p.current), describe(p.next)};
  int locks = 0;
  for (int tick = 0; tick < 6000 && p.alive; ++tick) {
    clockNow += 16;
    gameState.now = clockNow;
    // Left for every third figure, Right for the next; Down and Rotate
    // always, Rotate long enough to nudge.
    keyBindingTable.bindings[P1Left].holdCounter = locks % 3 == 0 ? 2 : 0;
    keyBindingTable.bindings[P1Right].holdCounter = locks % 3 == 1 ? 2 : 0;
    keyBindingTable.bindings[P1Down].holdCounter = 2;
    keyBindingTable.bindings[P1Rotate].holdCounter = 100;
    Figure* before = p.current;
    StepPlayer(p);
    if (p.current != before) {
      ++locks;
      if (p.next) made.push_back(describe(p.next));
    }
  }
  const std::vector<std::string> expected = {
      "4 12525439 ####",    "5 4161311 .##/##.",   "12 16777087 #../..#", "2 8363871 ##/#./#.",
      "5 8347487 .##/##.",  "4 6266879 ####",      "4 2096927 ####",      "1 6242303 ###/#..",
      "6 14647135 ##./.##", "6 14639103 ##./.##",  "6 6291295 .#/##/#.",  "5 2056191 .##/##.",
      "5 8388383 #./##/.#", "2 4161503 ##/#./#.",
  };
  EXPECT_EQ(made, expected);
  EXPECT_EQ(locks, 12);
  EXPECT_EQ(p.score, 2185);
  EXPECT_EQ(p.fallInterval, 633);
  std::vector<std::string> rows;
  for (int row = 12; row <= 21; ++row) {
    std::string line;
    for (int column = 0; column <= 9; ++column) line += p.field.cells[row][column] ? '#' : '.';
    rows.push_back(line);
  }
  const std::vector<std::string> expectedRows = {
      "..........", "..........", "..........", ".#........", "##...#.##.",
      "#....##.##", ".#...#####", ".#.######.", "##..#...##", "####..###.",
  };
  EXPECT_EQ(rows, expectedRows);
}
