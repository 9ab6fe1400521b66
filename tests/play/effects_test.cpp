// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <bit>
#include <string>
#include <vector>

#include "game/playfield.h"
#include "play/effects.h"
#include "render/label.h"
#include "runtime/clock.h"
#include "runtime/random.h"
#include "runtime/text.h"
#include "shell/state.h"
#include "tests/support/model.h"
#include "tests/support/stepping_clock.h"

namespace {

CellStyle* GameCell(int32_t colour) {
  CellStyle* cell = CreateCellStyle(GameCellTag);
  SetCellKind(cell, colour);
  return cell;
}

// Advances with the game clock at `now`.
void AdvanceAt(int64_t now) {
  gameState.now = now;
  AdvanceEffects();
}

// Advances every 16 ms from `from` to `to` and returns the times at which
// the label's blink changed visibility.
std::vector<int64_t> BlinkToggles(TextLabel& label, int64_t from, int64_t to) {
  std::vector<int64_t> toggles;
  uint8_t visible = label.effect->blinkVisible;
  for (int64_t now = from; now <= to; now += 16) {
    AdvanceAt(now);
    if (label.effect->blinkVisible != visible) toggles.push_back(now);
    visible = label.effect->blinkVisible;
  }
  return toggles;
}

uint32_t RandomPaletteColour() {
  uint32_t colour = 0;
  for (int shift = 0; shift < 24; shift += 8) colour |= (RandomInt(0, 7) * 32 + 31) << shift;
  return colour;
}

}  // namespace

TEST(EffectPalette, RecognisesExactlyTheBlockColours) {
  struct Case {
    uint32_t colour;
    bool palette;
  };
  const Case cases[] = {{0x1F1F1F, true},   {0xFFFFFF, true},   {0x3F9FDF, true},
                        {0x000000, false},  {0x1F1F1E, false},  {0x1F0F1F, false},
                        {0x0F1F1F, false},  {0x011F1F1F, false}, {0xFF1F1F1F, false}};
  for (const Case& c : cases) {
    EXPECT_EQ(IsPaletteColour(c.colour), c.palette) << std::hex << c.colour;
  }
  ZeroGlobalState();
  FillTestPalette();
  int count = 0;
  for (uint32_t* c = ListFirst(BlockColourList); c; c = ListNext(BlockColourList)) {
    EXPECT_TRUE(IsPaletteColour(*c)) << *c;
    ++count;
  }
  EXPECT_EQ(count, 512);
}

// Known answers from effects_reference.py, an independent model: they pin
// the order and bounds of every draw, which seeded games depend on.
TEST(EffectCrossover, KnownAnswers) {
  struct Case {
    uint32_t seed, a, b, wantA, wantB;
  };
  const Case cases[] = {{5, 0x3F9FDF, 0xDF3F1F, 0xFF3F1F, 0xFF3F1F},
                        {6, 0x000000, 0xFF7F1F, 0xFF7F1F, 0xFF7F1F},
                        {9, 0xFFFFFF, 0xFFFFFF, 0xFFFF7F, 0xFFFFFF},
                        {10, 0x12345678, 0x9ABCDEF0, 0x98BFDF7F, 0x9A9FDF7F}};
  for (const Case& c : cases) {
    SeedRandom(c.seed);
    uint32_t a = c.a, b = c.b;
    Crossover(a, b, 90);
    EXPECT_EQ(a, c.wantA) << std::hex << "seed " << c.seed << ": " << c.a << " x " << c.b;
    EXPECT_EQ(b, c.wantB) << std::hex << "seed " << c.seed << ": " << c.a << " x " << c.b;
  }
}

TEST(EffectCrossover, OutputsAreAlwaysPaletteColours) {
  SeedRandom(3);
  for (int n = 0; n < 2000; ++n) {
    uint32_t a = RandomInt(0, 0xFFFFFF);  // anything below the top byte
    uint32_t b = n % 2 ? RandomPaletteColour() : RandomInt(0, 0xFFFFFF);
    const uint32_t a0 = a, b0 = b;
    Crossover(a, b, 90);
    EXPECT_TRUE(IsPaletteColour(a)) << a0 << " x " << b0 << " gave a = " << a;
    EXPECT_TRUE(IsPaletteColour(b)) << a0 << " x " << b0 << " gave b = " << b;
  }
}

TEST(EffectCrossover, BlackTakesOnAnyColour) {
  SeedRandom(11);
  for (int n = 0; n < 500; ++n) {
    uint32_t a = 0;
    uint32_t b = RandomPaletteColour();
    const uint32_t target = b;
    Crossover(a, b, 90);
    EXPECT_TRUE(IsPaletteColour(a)) << "0 x " << target << " gave " << a;
    for (int shift = 0; shift < 24; shift += 8) EXPECT_GE((a >> shift) & 0xFF, 31u);
  }
}

TEST(EffectCrossover, ColourWithItselfOnlyRedrawsSharedBits) {
  SeedRandom(12);
  int changes = 0;
  for (int n = 0; n < 1000; ++n) {
    const uint32_t colour = RandomPaletteColour();
    uint32_t a = colour, b = colour;
    Crossover(a, b, 90);
    EXPECT_EQ(a & ~colour, 0u) << "a gained bits: " << colour << " -> " << a;
    EXPECT_EQ(b & ~colour, 0u) << "b gained bits: " << colour << " -> " << b;
    changes += a != colour;
  }
  EXPECT_GT(changes, 0) << "shared bits are redrawn now and then";
}

TEST(EffectCrossover, BitsClearInBothDrawNothing) {
  SeedRandom(21);
  const uint32_t expected = RandomInt(0, 0xFFFFFFFFu - 1);
  SeedRandom(21);
  uint32_t a = 0, b = 0;
  Crossover(a, b, 90);
  EXPECT_EQ(a, 0x1F1F1Fu);
  EXPECT_EQ(b, 0x1F1F1Fu);
  EXPECT_EQ(RandomInt(0, 0xFFFFFFFFu - 1), expected) << "the generator was advanced";
}

// With 90 a differing bit of the first colour takes the second's value in
// about 93 cases out of 100 (r2 from 0 to 90 beats r1 from 0 to 10); the
// reverse happens in about 5.
TEST(EffectCrossover, FirstColourMovesMostOfTheWayToTheSecond) {
  SeedRandom(31);
  int adopted = 0, kept = 0, reverse = 0, differing = 0;
  for (int n = 0; n < 400; ++n) {
    uint32_t a = RandomInt(0, 0xFFFFFFFFu);
    uint32_t b = ~a;
    const uint32_t a0 = a, b0 = b;
    Crossover(a, b, 90);
    for (int bit = 5; bit < 8; ++bit) {  // bits the palette snap leaves alone
      for (int shift = 0; shift < 32; shift += 8) {
        const uint32_t mask = 1u << (bit + shift);
        ++differing;
        if ((a & mask) == (b0 & mask) && (b & mask) == (b0 & mask)) ++adopted;
        if ((a & mask) == (a0 & mask) && (b & mask) == (a0 & mask)) ++reverse;
        if ((a & mask) == (a0 & mask) && (b & mask) == (b0 & mask)) ++kept;
      }
    }
  }
  const double adoptRate = static_cast<double>(adopted) / differing;
  const double reverseRate = static_cast<double>(reverse) / differing;
  EXPECT_GT(adoptRate, 0.90) << adopted << " of " << differing;
  EXPECT_LT(adoptRate, 0.96) << adopted << " of " << differing;
  EXPECT_GT(reverseRate, 0.03) << reverse << " of " << differing;
  EXPECT_LT(reverseRate, 0.08) << reverse << " of " << differing;
  EXPECT_EQ(adopted + reverse + kept, differing) << "a differing bit either moves or stays";
}

TEST(EffectCreators, DurationsAndPeriodsInMilliseconds) {
  ZeroGlobalState();
  gameState.now = 5000;
  struct Case {
    float seconds;
    int64_t end;     // end time for the duration
    int32_t period;  // for the period
  };
  const Case cases[] = {{0.384f, 5384, 384}, {1.0f, 6000, 1000}, {0.05f, 5050, 50},
                        {0.01f, 5010, 10},   {0.032f, 5032, 32}, {-1.0f, Forever, -1},
                        {0.5f, 5500, 500},   {0.0f, 5000, 0},       {-0.5f, 4500, -500}};
  for (const Case& c : cases) {
    SCOPED_TRACE("seconds " + std::to_string(c.seconds));
    CellStyle* cell = GameCell(Rgb(31, 63, 95));
    TextLabel label{};
    StartBlink(&label, c.seconds, c.seconds);
    StartColourShift(cell, c.seconds, c.seconds, 0);
    StartSpin(cell, c.seconds, c.seconds, 30.0f, 0.0f);
    StartScale(cell, c.seconds, 1.5f);
    EXPECT_EQ(label.effect->blinkEnd, c.end);
    EXPECT_EQ(label.effect->blinkPeriod, c.period);
    EXPECT_EQ(cell->effect->shiftEnd, c.end);
    EXPECT_EQ(cell->effect->shiftPeriod, c.period);
    EXPECT_EQ(cell->effect->spinEnd, c.end);
    EXPECT_EQ(cell->effect->spinPeriod, c.period);
    EXPECT_EQ(cell->effect->scaleEnd, c.end);
    RemoveEffect(label.effect);
    DestroyCellStyle(cell);
  }
  EXPECT_EQ(ListCount(EffectList), 0u);
}

TEST(EffectCreators, ModifiersStartedOnOneCellAllRunTogether) {
  ZeroGlobalState();
  gameState.now = 100;
  CellStyle* cell = GameCell(Rgb(223, 31, 31));
  StartSpin(cell, 2.0f, 0.032f, -35.0f, 10.0f);
  StartScale(cell, -1.0f, 0.7f);
  StartColourShift(cell, 0.384f, 0.01f, 0);
  ASSERT_EQ(ListCount(EffectList), 1u) << "one record per owner, reused by every start";
  const EffectRecord& effect = *cell->effect;

  gameState.now = 101;
  AdvanceEffects();
  EXPECT_TRUE(effect.spinActive);
  EXPECT_EQ(effect.angle, -25.0f) << "a later start lost the spin's angle or step";
  EXPECT_TRUE(effect.scaleActive);
  EXPECT_EQ(effect.scale, 0.7f);
  EXPECT_TRUE(effect.shiftActive);
  EXPECT_TRUE(IsPaletteColour(effect.shownColour)) << effect.shownColour;
  EXPECT_EQ(effect.shownKey, DecimalText(effect.shownColour)) << "the sprite key follows the colour";
  EXPECT_FALSE(effect.blinkActive) << "nothing started a blink";
  EXPECT_FALSE(effect.overrideActive) << "nothing started an override";

  gameState.now = 2101;
  AdvanceEffects();
  EXPECT_FALSE(effect.spinActive) << "the spin ends after its two seconds";
  EXPECT_TRUE(effect.scaleActive) << "the scale has no end";
}

TEST(EffectLifetime, CopiedCellCarriesItsOwnRecord) {
  ZeroGlobalState();
  gameState.now = 1000;
  CellStyle* original = GameCell(Rgb(63, 63, 255));
  StartSpin(original, -1.0f, 0.032f, 40.0f, 0.0f);
  StartScale(original, -1.0f, 1.2f);
  CellStyle* copy = CopyCellStyle(original);
  ASSERT_NE(copy, nullptr);
  ASSERT_NE(copy->effect, nullptr);
  EXPECT_NE(copy->effect, original->effect);
  EXPECT_EQ(ListCount(EffectList), 2u);
  EXPECT_EQ(copy->effect->angleStep, 40.0f);
  EXPECT_EQ(copy->effect->scale, 1.2f);
  EXPECT_EQ(copy->kind, original->kind);
  EXPECT_EQ(copy->spriteKey, original->spriteKey);
  EXPECT_EQ(copy->tag, original->tag);

  copy->effect->angle = 90.0f;
  EXPECT_EQ(original->effect->angle, 0.0f) << "the copies run independently";

  EffectRecord* kept = original->effect;
  EXPECT_TRUE(DestroyCellStyle(copy));
  EXPECT_EQ(ListCount(EffectList), 1u);
  EXPECT_TRUE(ListSeek(EffectList, kept)) << "the original's record must survive";
  EXPECT_TRUE(DestroyCellStyle(original));
  EXPECT_EQ(ListCount(EffectList), 0u);

  // And the other way round: destroying the original leaves the copy's.
  CellStyle* first = GameCell(Rgb(63, 63, 255));
  StartScale(first, 1.0f, 2.0f);
  CellStyle* second = CopyCellStyle(first);
  EXPECT_TRUE(DestroyCellStyle(first));
  EXPECT_EQ(ListCount(EffectList), 1u);
  EXPECT_TRUE(ListSeek(EffectList, second->effect));
  CellStyle* plain = CopyCellStyle(second);
  DetachEffect(plain);
  EXPECT_EQ(ListCount(EffectList), 1u);
  EXPECT_EQ(plain->effect, nullptr);
}

TEST(EffectAdvance, BlinkStartsHiddenThenTogglesAfterEachPeriod) {
  ZeroGlobalState();
  gameState.now = 1000;
  TextLabel label{};
  StartBlink(&label, -1.0f, 0.5f);
  EXPECT_EQ(label.effect->blinkVisible, 0);
  // 1000 first advance; then the first tick more than 500 ms after each toggle.
  EXPECT_EQ(BlinkToggles(label, 1000, 3000), (std::vector<int64_t>{1000, 1512, 2024, 2536}));
  EXPECT_EQ(label.effect->blinkActive, 1) << "forever";
  RemoveEffect(label.effect);
}

// The toggle comes at the first advance strictly after the period has run
// out: with 48 ms on a 16 ms tick each phase lasts 64 ms, not 48.
TEST(EffectAdvance, BlinkTogglesOnlyOnceItsPeriodHasPassed) {
  ZeroGlobalState();
  gameState.now = 1000;
  TextLabel label{};
  StartBlink(&label, -1.0f, 0.048f);
  EXPECT_EQ(BlinkToggles(label, 1000, 1400), (std::vector<int64_t>{1000, 1064, 1128, 1192, 1256, 1320, 1384}));
  RemoveEffect(label.effect);
}

// The score's blink is started again at every scoring lock; one already
// running keeps its phase and its next toggle, only its end moves.
TEST(EffectAdvance, RestartedBlinkKeepsItsPhase) {
  ZeroGlobalState();
  gameState.now = 1000;
  TextLabel label{};
  StartBlink(&label, 1.0f, 0.05f);
  AdvanceAt(1000);
  AdvanceAt(1016);
  ASSERT_EQ(label.effect->blinkVisible, 1);
  ASSERT_EQ(label.effect->blinkNext, 1050);
  EffectRecord* record = label.effect;
  gameState.now = 1030;
  StartBlink(&label, 1.0f, 0.05f);
  EXPECT_EQ(label.effect, record);
  EXPECT_EQ(record->blinkVisible, 1);
  EXPECT_EQ(record->blinkNext, 1050);
  EXPECT_EQ(record->blinkEnd, 2030);
  AdvanceAt(1048);
  EXPECT_EQ(record->blinkVisible, 1);
  AdvanceAt(1064);
  EXPECT_EQ(record->blinkVisible, 0) << "toggled on the old schedule";
  RemoveEffect(label.effect);
}

TEST(EffectAdvance, ScoreBlinkStepsEveryTickAndExpires) {
  ZeroGlobalState();
  gameState.now = 2000;
  TextLabel label{};
  StartBlink(&label, 1.0f, 0.05f);
  int toggles = 0;
  uint8_t visible = 0;
  for (int64_t now = 2000; now <= 3200; now += 16) {
    AdvanceAt(now);
    const bool shouldRun = now <= 3000;
    EXPECT_EQ(label.effect->blinkActive, shouldRun) << "at " << now;
    if (label.effect->blinkVisible != visible) {
      ++toggles;
      visible = label.effect->blinkVisible;
      EXPECT_TRUE(shouldRun) << "toggled after the end, at " << now;
    }
  }
  EXPECT_EQ(toggles, 16) << "one toggle per 64 ms (the first tick past 50 ms) over 1000 ms";
  EXPECT_EQ(ListCount(EffectList), 1u) << "an expired record stays until its owner goes";
  RemoveEffect(label.effect);
}

TEST(EffectAdvance, SpinStepsOncePerAdvanceAndFrozenSpinStays) {
  ZeroGlobalState();
  gameState.now = 1000;
  CellStyle* spinning = GameCell(Rgb(31, 31, 31));
  CellStyle* frozen = GameCell(Rgb(31, 31, 31));
  CellStyle* fast = GameCell(Rgb(31, 31, 31));
  StartSpin(spinning, -1.0f, 0.032f, 40.0f, 0.0f);
  StartSpin(frozen, -1.0f, -1.0f, 40.0f, 15.0f);
  StartSpin(fast, 0.1f, 0.001f, 1.0f, 0.0f);
  const float expected[] = {40, 40, 40, 80, 80, 80, 120};  // 1000, 1016, ... 1096
  for (int n = 0; n < 7; ++n) {
    AdvanceAt(1000 + 16 * n);
    EXPECT_EQ(spinning->effect->angle, expected[n]) << "at " << gameState.now;
    EXPECT_EQ(frozen->effect->angle, 15.0f);
    EXPECT_EQ(frozen->effect->spinActive, 1);
  }
  EXPECT_EQ(fast->effect->angle, 7.0f) << "at most one step per advance";
  AdvanceAt(1101);
  EXPECT_EQ(fast->effect->spinActive, 0);
  EXPECT_EQ(fast->effect->angle, 7.0f) << "no step once expired";
}

TEST(EffectAdvance, ForeverAndTimedModifiersExpireOnTime) {
  ZeroGlobalState();
  gameState.now = 500;
  CellStyle* forever = GameCell(Rgb(31, 31, 31));
  CellStyle* timed = GameCell(Rgb(31, 31, 31));
  StartScale(forever, -1.0f, 1.8f);
  StartScale(timed, 1.0f, 0.5f);
  AdvanceAt(1500);
  EXPECT_EQ(timed->effect->scaleActive, 1) << "still on at its end time";
  AdvanceAt(1501);
  EXPECT_EQ(timed->effect->scaleActive, 0);
  AdvanceAt(int64_t{1} << 50);
  EXPECT_EQ(forever->effect->scaleActive, 1);
  EXPECT_EQ(forever->effect->shiftActive, 0) << "a modifier never started stays off";
  EXPECT_EQ(forever->effect->overrideActive, 0);
}

TEST(EffectAdvance, FlashShiftsEveryTickUntilItsEnd) {
  ZeroGlobalState();
  SeedRandom(8);
  gameState.now = 10000;
  const int32_t colour = Rgb(191, 95, 255);
  Figure* figure = CreateFigure(9, colour);
  StartFigureFlash(figure, 0.384f);
  EXPECT_EQ(ListCount(EffectList), 5u);
  StartFigureFlash(figure, 0.384f);
  EXPECT_EQ(ListCount(EffectList), 5u) << "a second flash reuses the records";
  CellStyle* cell = figure->cells[0][0];
  EXPECT_EQ(cell->effect->shiftEnd, 10384);
  EXPECT_EQ(cell->effect->shiftPeriod, 10);
  for (int64_t now = 10000; now <= 10384; now += 16) {
    AdvanceAt(now);
    EXPECT_EQ(cell->effect->shiftActive, 1) << "at " << now;
    EXPECT_EQ(cell->effect->shiftNext, now + 10) << "one step per advance, at " << now;
    EXPECT_TRUE(IsPaletteColour(cell->effect->shownColour)) << cell->effect->shownColour;
    EXPECT_EQ(cell->effect->shownKey, DecimalText(cell->effect->shownColour));
    EXPECT_EQ(cell->effect->baseColour, static_cast<uint32_t>(colour));
    EXPECT_EQ(cell->kind, colour) << "the flash never changes the cell's own colour";
  }
  const uint32_t last = cell->effect->shownColour;
  AdvanceAt(10400);
  EXPECT_EQ(cell->effect->shiftActive, 0);
  EXPECT_EQ(cell->effect->shownColour, last);
  DestroyFigure(figure);
  EXPECT_EQ(ListCount(EffectList), 0u);
}

// A flash runs from black towards the cell's own colour, one crossover a
// tick. By its end the shown colour has reached the cell's colour, apart
// from the odd shared bit being drawn afresh, which can only clear a bit.
TEST(EffectAdvance, ColourShiftEndsOnTheCellsOwnColour) {
  const uint32_t levels[] = {31, 63, 95, 159};  // at most one bit above the palette's five a channel
  int exact = 0, cells = 0;
  for (uint32_t seed = 1; seed <= 200; ++seed) {
    ZeroGlobalState();
    SeedRandom(seed);
    gameState.now = 5000;
    const int32_t colour = Rgb(levels[RandomInt(0, 3)], levels[RandomInt(0, 3)], levels[RandomInt(0, 3)]);
    CellStyle* cell = GameCell(colour);
    StartColourShift(cell, 0.384f, 0.01f, 0);
    for (int64_t now = 5000; now <= 5384; now += 16) AdvanceAt(now);
    const uint32_t shown = cell->effect->shownColour;
    EXPECT_EQ(shown & ~static_cast<uint32_t>(colour), 0u) << std::hex << "colour " << colour << " shows " << shown;
    exact += shown == static_cast<uint32_t>(colour);
    ++cells;
    AdvanceAt(5400);
    EXPECT_EQ(cell->effect->shiftActive, 0);
  }
  EXPECT_GT(exact, cells * 6 / 10) << exact << " of " << cells << " ended on their own colour";
}

TEST(EffectSpread, NeighboursTakeTheFigureColourAndShowAFixedBlend) {
  ZeroGlobalState();
  SeedRandom(4);
  gameState.now = 700;
  Playfield& field = gameState.players[0].field;
  ASSERT_TRUE(SetupPlayfield(field, 10, 20));
  const int32_t figureColour = Rgb(255, 31, 127);
  const int32_t other = Rgb(31, 223, 31);
  struct Spot {
    int row, column;
    int32_t colour;
    bool recoloured;
  };
  // Figure: a single cell locked at column 0, row 2 (the top visible row).
  const Spot spots[] = {
      {3, 1, other, true},           // diagonal neighbour
      {2, 1, figureColour, false},   // same colour already
      {3, 0, other, true},           // below
      {2, 2, other, false},          // two columns away
      {1, 0, other, false},          // above the visible rows
      {1, 1, other, false},          // above the visible rows, diagonally
  };
  for (const Spot& s : spots) {
    CellStyle* cell = GameCell(s.colour);
    field.cells[s.row][s.column] = cell;
  }
  Figure* figure = CreateFigure(8, figureColour);
  ASSERT_TRUE(TryMove(field, figure, 0, 2, false));
  LockFigure(field, figure);
  SpreadColour(field, figure);

  int records = 0;
  for (const Spot& s : spots) {
    CellStyle* cell = field.cells[s.row][s.column];
    SCOPED_TRACE("row " + std::to_string(s.row) + ", column " + std::to_string(s.column));
    if (!s.recoloured) {
      EXPECT_EQ(cell->kind, s.colour);
      EXPECT_EQ(cell->effect, nullptr);
      continue;
    }
    ++records;
    EXPECT_EQ(cell->kind, figureColour);
    EXPECT_EQ(cell->spriteKey, DecimalText(figureColour));
    ASSERT_NE(cell->effect, nullptr);
    EXPECT_EQ(cell->effect->baseColour, static_cast<uint32_t>(figureColour));
    EXPECT_EQ(cell->effect->shiftEnd, Forever);
    EXPECT_EQ(cell->effect->shiftPeriod, -1);
    EXPECT_TRUE(IsPaletteColour(cell->effect->shownColour));
  }
  EXPECT_EQ(field.cells[2][0]->effect, nullptr) << "the locked cell has the same colour";
  EXPECT_EQ(ListCount(EffectList), static_cast<size_t>(records));

  CellStyle* below = field.cells[3][0];
  const uint32_t blend = below->effect->shownColour;
  for (int64_t now = 700; now < 100000; now += 997) {
    AdvanceAt(now);
    EXPECT_EQ(below->effect->shiftActive, 1);
    ASSERT_EQ(below->effect->shownColour, blend) << "the blend never changes, at " << now;
  }
}

TEST(EffectSpread, BlendIsOneCrossoverOfTheOldColourWithTheNew) {
  ZeroGlobalState();
  Playfield& field = gameState.players[0].field;
  ASSERT_TRUE(SetupPlayfield(field, 10, 20));
  const int32_t figureColour = Rgb(31, 31, 255);
  const int32_t old = Rgb(255, 255, 31);
  field.cells[10][5] = GameCell(old);
  Figure* figure = CreateFigure(8, figureColour);
  ASSERT_TRUE(TryMove(field, figure, 4, 10, false));
  SeedRandom(99);
  uint32_t a = static_cast<uint32_t>(old), b = static_cast<uint32_t>(figureColour);
  Crossover(a, b, 90);
  SeedRandom(99);
  SpreadColour(field, figure);
  EXPECT_EQ(field.cells[10][5]->effect->shownColour, a);
}

// Neighbours are visited column by column, each column top to bottom; the
// order decides which crossover gets which draws.
TEST(EffectSpread, NeighboursVisitedColumnByColumn) {
  ZeroGlobalState();
  Playfield& field = gameState.players[0].field;
  ASSERT_TRUE(SetupPlayfield(field, 10, 20));
  const int32_t figureColour = Rgb(31, 31, 255);
  field.cells[11][3] = GameCell(Rgb(255, 31, 31));
  field.cells[9][5] = GameCell(Rgb(31, 255, 31));
  Figure* figure = CreateFigure(8, figureColour);
  ASSERT_TRUE(TryMove(field, figure, 4, 10, false));
  SeedRandom(40);
  SpreadColour(field, figure);
  EXPECT_EQ(field.cells[11][3]->effect->shownColour, 0xFF1F1Fu);
  EXPECT_EQ(field.cells[9][5]->effect->shownColour, 0xBF1F1Fu);
}
