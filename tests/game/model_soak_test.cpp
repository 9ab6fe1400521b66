// SPDX-License-Identifier: MIT
// Thousands of random moves, rotations, locks, row removals, nudges and
// effects on two fields, checking after every step that the model's
// ownership rules still hold.
#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>

#include "game/playfield.h"
#include "play/effects.h"
#include "runtime/random.h"
#include "shell/state.h"
#include "tests/support/model.h"
#include "tests/support/registry_check.h"

namespace {

// What a run went through, so a soak that stopped exercising something
// (no rows ever cleared, say) is noticed.
struct Tally {
  int locks;
  int rowsCleared;
  int wipes;
};
Tally tally;

struct Lane {
  Playfield* field;
  Figure* current;
  Figure* next;
};

int32_t RandomType() {
  switch (RandomInt(0, 9)) {
    case 0: return static_cast<int32_t>(RandomInt(11, 26));
    case 1: return RandomInt(0, 1) ? 10 : 0;  // empty figures
    default: return static_cast<int32_t>(RandomInt(1, 9));
  }
}

Figure* NewFigure(Playfield& field) {
  Figure* figure = CreateFigure(RandomType(), RandomBlockColour());
  RotateTimes(field, figure, static_cast<int32_t>(RandomInt(0, 3)), true, true, true);
  return figure;
}

void WipeField(Playfield& field) {
  for (auto& row : field.cells) {
    for (CellStyle*& cell : row) {
      if (cell) DestroyCellStyle(cell);
      cell = nullptr;
    }
  }
}

// The next figure enters at the top; a field too full to take it is wiped.
void Enter(Lane& lane) {
  Figure* figure = lane.current;
  const int x = (lane.field->colSpan - figure->colSpan) / 2;
  if (!TryMove(*lane.field, figure, x, 0, false)) {
    WipeField(*lane.field);
    ++tally.wipes;
    EXPECT_TRUE(TryMove(*lane.field, figure, x, 0, false));
  }
}

void Lock(Lane& lane) {
  LockFigure(*lane.field, lane.current);
  SpreadColour(*lane.field, lane.current);
  tally.rowsCleared += ClearFullRows(*lane.field, 0);
  ++tally.locks;
  DestroyFigure(lane.current);
  lane.current = lane.next;
  lane.next = NewFigure(*lane.field);
  Enter(lane);
}

void Step(Lane& lane) {
  Playfield& field = *lane.field;
  Figure* figure = lane.current;
  const uint32_t action = RandomInt(0, 99);
  if (action < 25) {
    TryMove(field, figure, figure->x + (RandomInt(0, 1) ? 1 : -1), KeepCoordinate, false);
  } else if (action < 45) {
    if (!TryMove(field, figure, KeepCoordinate, figure->y + 1, false) &&
        IsResting(figure, field)) {
      Lock(lane);
    }
  } else if (action < 60) {
    RotateFigure(field, figure, false, RandomInt(0, 1), RandomInt(0, 1));
  } else if (action < 64) {
    RotateTimes(field, lane.next, static_cast<int32_t>(RandomInt(0, 5)), true,
                RandomInt(0, 1), RandomInt(0, 1));
  } else if (action < 70) {
    NudgeColour(figure, static_cast<int32_t>(RandomInt(0, 100)));
  } else if (action < 74) {
    StartFigureFlash(figure, 0.384f);
  } else if (action < 80) {
    gameState.now += 16;
    AdvanceEffects();
  } else if (action < 85) {
    while (TryMove(field, figure, KeepCoordinate, figure->y + 1, false)) {
    }
    Lock(lane);
  } else if (action < 89) {
    // Forced anywhere, over settled cells too: locking there replaces them.
    TryMove(field, figure, static_cast<int32_t>(RandomInt(0, 12)),
            static_cast<int32_t>(RandomInt(0, 24)), true);
  } else if (action < 94) {
    Lock(lane);
  } else if (action < 97) {
    ClearFullRows(field, static_cast<int32_t>(RandomInt(0, 2)));
  } else {
    StartSpin(figure->cells[figure->minRow][figure->minCol], 0.5f, 0.032f, 30.0f, 0.0f);
  }
}

// The registries against the two lanes, and each figure in play inside its field.
testing::AssertionResult CheckModel(Lane* lanes, int laneCount, bool scanWholeGrid) {
  RegistryCheck check;
  for (int n = 0; n < laneCount; ++n) {
    check.Field(*lanes[n].field, scanWholeGrid);
    check.FigureInPlay(lanes[n].current, true);
    check.FigureInPlay(lanes[n].next, true);
  }
  check.Finish();
  if (!check.Ok()) return testing::AssertionFailure() << check.Failure();
  for (int n = 0; n < laneCount; ++n) {
    const Lane& lane = lanes[n];
    if (OutOfField(lane.current, *lane.field, lane.current->x, lane.current->y)) {
      return testing::AssertionFailure() << "the figure in play left the field: ("
                                         << lane.current->x << ", " << lane.current->y << ")";
    }
  }
  return testing::AssertionSuccess();
}

// Everything a run leaves behind that does not depend on addresses.
std::string Fingerprint(Lane* lanes, int laneCount) {
  std::ostringstream out;
  for (int n = 0; n < laneCount; ++n) {
    const Playfield& field = *lanes[n].field;
    for (int row = 0; row <= field.maxRow; ++row) {
      for (int column = 0; column <= field.maxCol; ++column) {
        const CellStyle* cell = field.cells[row][column];
        out << (cell ? cell->kind : 0) << ',';
        if (cell && cell->effect) out << 's' << cell->effect->shownColour << ',';
      }
    }
    for (const Figure* figure : {lanes[n].current, lanes[n].next}) {
      out << '|' << BoxPicture(figure) << '@' << figure->x << ',' << figure->y << ':'
          << int(figure->type);
    }
  }
  return out.str();
}

std::string PlaySoak(uint32_t seed, int steps) {
  ZeroGlobalState();
  FillTestPalette();
  SeedRandom(seed);
  tally = Tally{};
  gameState.now = 1000;
  Lane lanes[2];
  const int sizes[2][2] = {{10, 20}, {4, 6}};
  for (int n = 0; n < 2; ++n) {
    lanes[n].field = &gameState.players[n].field;
    EXPECT_TRUE(SetupPlayfield(*lanes[n].field, sizes[n][0], sizes[n][1]));
    lanes[n].current = NewFigure(*lanes[n].field);
    lanes[n].next = NewFigure(*lanes[n].field);
    Enter(lanes[n]);
  }
  for (int step = 0; step < steps; ++step) {
    Step(lanes[step % 2]);
    auto result = CheckModel(lanes, 2, step % 250 == 0);
    if (!result) {
      ADD_FAILURE() << "seed " << seed << ", step " << step << ": " << result.message();
      return {};
    }
  }
  std::string print = Fingerprint(lanes, 2);
  for (Lane& lane : lanes) {
    DestroyFigure(lane.current);
    DestroyFigure(lane.next);
  }
  return print;
}

}  // namespace

TEST(ModelSoak, RandomPlayKeepsOwnershipAndBoundsIntact) {
  for (uint32_t seed : {1u, 2024u, 0xC0FFEEu}) {
    std::string print = PlaySoak(seed, 6000);
    ASSERT_FALSE(print.empty()) << "seed " << seed;
    EXPECT_GT(tally.locks, 500) << "seed " << seed;
    EXPECT_GT(tally.rowsCleared, 20) << "seed " << seed;
    EXPECT_GT(tally.wipes, 5) << "seed " << seed;
    std::printf("seed %u: %d locks, %d rows cleared, %d fields wiped\n", seed, tally.locks,
                tally.rowsCleared, tally.wipes);
  }
}

TEST(ModelSoak, SameSeedSameGame) {
  const std::string first = PlaySoak(77, 3000);
  const std::string second = PlaySoak(77, 3000);
  ASSERT_FALSE(first.empty());
  EXPECT_EQ(first, second);
  EXPECT_NE(first, PlaySoak(78, 3000)) << "a different seed should play differently";
}
