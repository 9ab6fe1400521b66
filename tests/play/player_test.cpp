// SPDX-License-Identifier: MIT
// Starting a game: players, figures, keys, labels and name patterns.
#include <gtest/gtest.h>

#include <string>

#include "game/figure.h"
#include "game/step.h"
#include "play/effects.h"
#include "play/player.h"
#include "render/label.h"
#include "render/screens.h"
#include "runtime/clock.h"
#include "runtime/keyboard.h"
#include "runtime/platform.h"
#include "runtime/screen.h"
#include "runtime/random.h"
#include "shell/display.h"
#include "shell/state.h"
#include "tests/support/palette.h"
#include "tests/support/screen_fixture.h"

namespace {

// From name_pattern_reference.py, an independent model of the pattern.
constexpr uint64_t Player1Pattern = 0x7652839688C2982Dull;
constexpr uint64_t Player2Pattern = 0xE72E2EB47B369434ull;
constexpr uint64_t EmptyNamePattern = 0x4496368060A37467ull;
constexpr uint64_t ZoePattern = 0xC51A845D99A31896ull;  // "Zoë", two bytes for the ë

// Every field of the record is zero, the grid included.
::testing::AssertionResult IsAllZero(const Player& p) {
  auto fail = [](const char* what) { return ::testing::AssertionFailure() << what << " not zero"; };
  if (p.nextFallTime || p.downRepeatTime || p.lockTime || p.rotateRepeatTime || p.sideRepeatTime)
    return fail("a time");
  const Playfield& f = p.field;
  if (f.minCol || f.maxCol || f.minRow || f.maxRow || f.colSpan || f.rowSpan) return fail("bounds");
  for (const auto& row : f.cells)
    for (const CellStyle* cell : row)
      if (cell) return fail("a grid cell");
  if (p.current || p.next) return fail("a figure");
  if (p.keyLeft || p.keyRight || p.keyDown || p.keyRotate) return fail("a key");
  if (p.nameLabel || p.scoreLabel || p.gameOverLabel) return fail("a label");
  if (!p.name.empty() || p.namePattern || p.score || p.fallInterval || p.alive)
    return fail("name, pattern, score, interval or alive");
  return ::testing::AssertionSuccess();
}

class NewGameTest : public testing::Test {
 protected:
  void SetUp() override {
    ZeroGlobalState();
    FillTestPalette();
  }
  Player& P(int index = 0) { return gameState.players[index]; }

  void ExpectFreshPlayer(int index, Action left, Action right, Action down, Action rotate) {
    SCOPED_TRACE("player " + std::to_string(index + 1));
    const Player& p = P(index);
    EXPECT_EQ(p.alive, 1);
    EXPECT_EQ(p.field.minCol, 0);
    EXPECT_EQ(p.field.maxCol, 9);
    EXPECT_EQ(p.field.minRow, 2);
    EXPECT_EQ(p.field.maxRow, 21);
    EXPECT_EQ(p.fallInterval, 640);
    EXPECT_EQ(p.nextFallTime, 640);
    EXPECT_EQ(p.lockTime, 0);
    EXPECT_EQ(p.score, 0);
    EXPECT_EQ(p.keyLeft, &keyBindingTable.bindings[left]);
    EXPECT_EQ(p.keyRight, &keyBindingTable.bindings[right]);
    EXPECT_EQ(p.keyDown, &keyBindingTable.bindings[down]);
    EXPECT_EQ(p.keyRotate, &keyBindingTable.bindings[rotate]);
    ASSERT_NE(p.current, nullptr);
    ASSERT_NE(p.next, nullptr);
    EXPECT_GE(p.current->type, 1);
    EXPECT_LE(p.current->type, 7);
    EXPECT_GE(p.next->type, 1);
    EXPECT_LE(p.next->type, 7);
    EXPECT_EQ(p.current->x, p.current->colSpan == 3 ? 3 : 4);
    EXPECT_EQ(p.current->y + p.current->rowSpan, 3) << "bottom row on the second visible row";
  }
  void ExpectLabels(int index, uint8_t align, int16_t x) {
    SCOPED_TRACE("player " + std::to_string(index + 1));
    const Player& p = P(index);
    ASSERT_NE(p.nameLabel, nullptr);
    ASSERT_NE(p.gameOverLabel, nullptr);
    ASSERT_NE(p.scoreLabel, nullptr);
    const TextLabel* labels[] = {p.nameLabel, p.gameOverLabel, p.scoreLabel};
    const uint8_t alphas[] = {222, 0, 222};
    for (int k = 0; k < 3; ++k) {
      EXPECT_EQ(labels[k]->layer, GameLabelLayer) << "label " << k;
      EXPECT_EQ(labels[k]->align, align) << "label " << k;
      EXPECT_EQ(labels[k]->x, x) << "label " << k;
      EXPECT_EQ(labels[k]->alpha, alphas[k]) << "label " << k;
    }
    EXPECT_EQ(p.nameLabel->y, 1);
    EXPECT_EQ(p.gameOverLabel->y, 1);
    ASSERT_NE(p.gameOverLabel->effect, nullptr);
    EXPECT_EQ(p.gameOverLabel->effect->blinkEnd, Forever);
    EXPECT_EQ(p.gameOverLabel->effect->blinkPeriod, 500);
    EXPECT_EQ(p.nameLabel->effect, nullptr);
    EXPECT_EQ(p.scoreLabel->effect, nullptr);
  }
};

TEST_F(NewGameTest, OnePlayer) {
  NewGame("Player1", "");
  EXPECT_EQ(gameState.playerCount, 1);
  EXPECT_EQ(gameState.mode, Game);
  ExpectFreshPlayer(0, P1Left, P1Right, P1Down, P1Rotate);
  ExpectLabels(0, 20, 1);
  EXPECT_EQ(P().name, "Player1");
  EXPECT_EQ(P().namePattern, Player1Pattern);
  EXPECT_TRUE(IsAllZero(P(1)));
  EXPECT_EQ(MapCount(FigureRegistry), 2u);
  EXPECT_EQ(MapCount(TextLabelMap), 3u);
}

TEST_F(NewGameTest, TwoPlayers) {
  NewGame("Player1", "Player2");
  EXPECT_EQ(gameState.playerCount, 2);
  ExpectFreshPlayer(0, P1Left, P1Right, P1Down, P1Rotate);
  ExpectFreshPlayer(1, P2Left, P2Right, P2Down, P2Rotate);
  ExpectLabels(0, 20, 1);
  ExpectLabels(1, 18, static_cast<int16_t>(screenState.columns - 2));
  EXPECT_NE(P(0).current, P(1).current);
  EXPECT_NE(P(0).next, P(1).next);
  EXPECT_EQ(P(1).name, "Player2");
  EXPECT_EQ(P(1).namePattern, Player2Pattern);
  EXPECT_EQ(MapCount(FigureRegistry), 4u);
  EXPECT_EQ(MapCount(TextLabelMap), 6u);
}

TEST_F(NewGameTest, FirstGameTickMakesTheFirstFall) {
  NewGame("Player1", "Player2");
  // The tick stores its time before the step; the program has been running.
  gameState.now = 5000;
  const int32_t y0 = P(0).current->y;
  const int32_t y1 = P(1).current->y;
  GameTick();
  EXPECT_EQ(P(0).current->y, y0 + 1);
  EXPECT_EQ(P(1).current->y, y1 + 1);
  EXPECT_EQ(P(0).nextFallTime, 5640);
}

TEST_F(NewGameTest, NewGameReplacesTheOldOne) {
  TextLabel* menuLabel = CreateTextLabel(MenuLabelLayer);
  NewGame("Player1", "Player2");
  gameState.now = 5000;
  for (int k = 0; k < 200; ++k) {
    // Both players hold Down: a figure lands and locks about every second.
    keyBindingTable.bindings[P1Down].holdCounter = 50;
    keyBindingTable.bindings[P2Down].holdCounter = 50;
    gameState.now += 16;
    GameTick();
  }
  ASSERT_GT(MapCount(CellStyleRegistry), 8u) << "some figures locked";
  NewGame("Player1", "");
  EXPECT_EQ(gameState.playerCount, 1);
  EXPECT_TRUE(IsAllZero(P(1)));
  EXPECT_EQ(MapCount(FigureRegistry), 2u);
  EXPECT_EQ(MapCount(TextLabelMap), 4u) << "three game labels and the menu's";
  EXPECT_NE(MapFind(TextLabelMap, IdentityKey(menuLabel)), nullptr);
  EXPECT_EQ(ListCount(EffectList), 1u) << "only the new game-over blink";
  size_t cells = 0;
  for (const auto& row : P().field.cells)
    for (const CellStyle* cell : row) cells += cell != nullptr;
  EXPECT_EQ(cells, 0u);
}

TEST_F(NewGameTest, NamesMayComeFromTheGameBeingReplaced) {
  NewGame("Zoë", "Player2");
  EXPECT_EQ(P(0).namePattern, ZoePattern);
  NewGame(P(1).name, P(0).name);  // both records are cleared on the way
  EXPECT_EQ(P(0).name, "Player2");
  EXPECT_EQ(P(1).name, "Zoë");
  EXPECT_EQ(P(0).namePattern, Player2Pattern);
  EXPECT_EQ(P(1).namePattern, ZoePattern);
}

TEST_F(NewGameTest, HandlersActOnConfirmOnly) {
  keyBindingTable.bindings[MenuConfirm].primaryKey = DIK_RETURN;
  keyBindingTable.bindings[MenuLeft].primaryKey = DIK_LEFT;
  StartOnePlayer(DIK_LEFT);
  StartTwoPlayers(0);
  StartOnePlayer(DIK_SPACE);  // the second Confirm key is never passed to handlers
  EXPECT_EQ(gameState.playerCount, 0);
  EXPECT_EQ(gameState.mode, Menu);
  EXPECT_EQ(MapCount(FigureRegistry), 0u);

  StartTwoPlayers(DIK_RETURN);
  EXPECT_EQ(gameState.playerCount, 2);
  EXPECT_EQ(P(1).name, "Player2");
  StartOnePlayer(DIK_RETURN);
  EXPECT_EQ(gameState.playerCount, 1);
  EXPECT_EQ(P(0).name, "Player1");
}

TEST_F(NewGameTest, HandlersIgnoreCodeZeroWithoutAKeyboard) {
  // No device: every binding is 0, and so is the code of a call the program
  // makes by itself.
  StartOnePlayer(0);
  StartTwoPlayers(0);
  EXPECT_EQ(gameState.playerCount, 0);
}

// With a screen open, labels get their sprites and keep text, size and colour.
class NewGameOnScreen : public probe::PlatformTest {
 protected:
  void SetUp() override {
    PlatformTest::SetUp();
    if (HasFatalFailure()) return;
    ASSERT_NE(OpenDisplay(1, 16, 1.0f, 1.0f, true), 0);
  }
  void TearDown() override {
    testclock::Remove();
    PlatformTest::TearDown();
  }
  static void ExpectLabel(const TextLabel* label, const std::string& text, float sizeX,
                          float sizeY, uint32_t colour) {
    SCOPED_TRACE("label \"" + text + "\"");
    ASSERT_NE(label, nullptr);
    EXPECT_NE(label->sprite, 0);
    EXPECT_EQ(label->text, text);
    EXPECT_EQ(label->sizeX, sizeX);
    EXPECT_EQ(label->sizeY, sizeY);
    EXPECT_EQ(label->colour, colour);
  }
};

TEST_F(NewGameOnScreen, LabelsShowNameGameOverAndScore) {
  NewGame("Player1", "Player2");
  for (int index = 0; index < 2; ++index) {
    const Player& p = gameState.players[index];
    ExpectLabel(p.nameLabel, index == 0 ? "Player1" : "Player2", 2.5f, 2.0f, 0xF6FFF6);
    ExpectLabel(p.gameOverLabel, "GAME OVER", 2.5f, 2.0f, 0x707A70);
    ExpectLabel(p.scoreLabel, "00000000", 2.0f, 2.0f, 0xE0F5E0);
    // At scale 1 the name is 28 pixels high: one full 16-pixel row, so the
    // score goes two rows below the name.
    EXPECT_EQ(p.nameLabel->spriteHeight, 28);
    EXPECT_EQ(p.scoreLabel->y, 1 + 28 / 16 + 1) << "player " << index + 1;
  }
  EXPECT_EQ(gameState.players[0].nameLabel->x, 1);
  EXPECT_EQ(gameState.players[1].nameLabel->x, 36) << "two columns in from the right edge";
  EXPECT_EQ(gameState.players[1].scoreLabel->x, 36);
}

TEST_F(NewGameOnScreen, ClearedRowRewritesTheScoreLabel) {
  testclock::Install(10000);
  NewGame("Player1", "");
  Player& p = gameState.players[0];
  for (int column = 0; column <= 7; ++column) {
    CellStyle* cell = CreateCellStyle(GameCellTag);
    SetCellKind(cell, 0x1F1FFF);
    p.field.cells[21][column] = cell;
  }
  DestroyFigure(p.current);
  p.current = CreateFigure(3, 0xFF1F1F);
  ASSERT_TRUE(TryMove(p.field, p.current, 8, 20, true));
  p.nextFallTime = 1 << 30;
  gameState.now = 20000;
  GameTick();  // lands
  gameState.now += 384;
  GameTick();  // locks and clears the bottom row
  ASSERT_GT(p.score, 0);
  ExpectLabel(p.scoreLabel, ScoreText(p.score), 2.0f, 2.0f, 0xE0F5E0);

  // A look at the result once the score's blink has run out.
  gameState.now += 1100;
  AdvanceEffects();
  CaptureFrames(true);
  testclock::now = gameState.now;
  DrawGameScreen();
  probe::DumpFrame(probe::LastFrame(), "player_score_after_one_row");
  CaptureFrames(false);
}

TEST(NamePattern, KnownAnswers) {
  ZeroGlobalState();
  EXPECT_EQ(MakeNamePattern("Player1"), Player1Pattern);
  EXPECT_EQ(MakeNamePattern("Player2"), Player2Pattern);
  EXPECT_EQ(MakeNamePattern(""), EmptyNamePattern);
  EXPECT_EQ(MakeNamePattern("Zoë"), ZoePattern);
}

TEST(NamePattern, SameNameSamePatternAcrossGames) {
  ZeroGlobalState();
  FillTestPalette();
  NewGame("Player1", "Player2");
  const uint64_t first[] = {gameState.players[0].namePattern, gameState.players[1].namePattern};
  NewGame("Player1", "Player2");
  EXPECT_EQ(gameState.players[0].namePattern, first[0]);
  EXPECT_EQ(gameState.players[1].namePattern, first[1]);
  EXPECT_NE(first[0], first[1]);
}

TEST(NamePattern, FiguresAfterwardsDoNotFollowTheName) {
  ZeroGlobalState();
  // Where the name's own sequence would have gone next.
  SeedRandom(0x71215A86u);  // CRC-32 of "Player1"
  for (int bit = 0; bit < 64; ++bit) RandomInt(0, 1);
  uint32_t continued[4];
  for (uint32_t& v : continued) v = RandomBelowOrEqual(0xFFFFFFFFu);

  MakeNamePattern("Player1");
  int same = 0;
  for (uint32_t v : continued) same += RandomBelowOrEqual(0xFFFFFFFFu) == v;
  EXPECT_LT(same, 4) << "the generator carried on from the name's seed";
}

}  // namespace
