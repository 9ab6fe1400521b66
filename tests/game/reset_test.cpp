// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include "game/playfield.h"
#include "play/effects.h"
#include "render/label.h"
#include "runtime/random.h"
#include "shell/state.h"
#include "tests/support/model.h"

namespace {

bool Listed(const EffectRecord* record) {
  for (EffectRecord* e = ListFirst(EffectList); e; e = ListNext(EffectList)) {
    if (e == record) return true;
  }
  return false;
}

// A running two-player game with everything that carries state: figures,
// settled cells with and without effects, labels of both layers, and a
// background cell that must survive.
struct Scene {
  CellStyle* background;
  CellStyle* fixedTagCell;
  TextLabel* menuLabel;
};

Scene BuildScene() {
  Scene scene{};
  FillTestPalette();
  SeedRandom(6);
  gameState.now = 4000;
  gameState.mode = Game;
  gameState.playerCount = 2;

  scene.background = CreateCellStyle(BackgroundCellTag);
  SetCellKind(scene.background, 5);
  StartSpin(scene.background, -1.0f, 0.032f, 33.0f, 0.0f);
  StartScale(scene.background, -1.0f, 1.1f);
  scene.fixedTagCell = CreateCellStyle(0);

  scene.menuLabel = CreateTextLabel(MenuLabelLayer);
  StartBlink(scene.menuLabel, -1.0f, 0.5f);

  for (Player& player : gameState.players) {
    EXPECT_TRUE(SetupPlayfield(player.field, 10, 20));
    player.current = CreateFigure(7, RandomBlockColour());
    player.next = CreateFigure(4, RandomBlockColour());
    player.scoreLabel = CreateTextLabel(GameLabelLayer);
    player.gameOverLabel = CreateTextLabel(GameLabelLayer);
    StartBlink(player.gameOverLabel, -1.0f, 0.5f);
    StartBlink(player.scoreLabel, 1.0f, 0.05f);
    EXPECT_TRUE(TryMove(player.field, player.current, 3, 19, false));
    StartFigureFlash(player.current, 0.384f);
    for (int column = 0; column < 7; ++column) {
      CellStyle* cell = CreateCellStyle(GameCellTag);
      SetCellKind(cell, RandomBlockColour());
      player.field.cells[21][column] = cell;
    }
    LockFigure(player.field, player.current);
    SpreadColour(player.field, player.current);
  }
  CreateCellStyle(GameCellTag);  // a game cell nobody holds any more
  return scene;
}

}  // namespace

TEST(ResetGame, LeavesOnlyTheNonGameObjects) {
  ZeroGlobalState();
  const Scene scene = BuildScene();
  ASSERT_GT(MapCount(CellStyleRegistry), 30u);
  ASSERT_EQ(MapCount(FigureRegistry), 4u);
  ASSERT_EQ(MapCount(TextLabelMap), 5u);
  ASSERT_GT(ListCount(EffectList), 10u);

  ResetGame();

  EXPECT_EQ(MapCount(FigureRegistry), 0u);
  EXPECT_EQ(MapCount(CellStyleRegistry), 2u) << "the background cell and the tag-0 cell stay";
  EXPECT_NE(MapFind(CellStyleRegistry, IdentityKey(scene.background)), nullptr);
  EXPECT_NE(MapFind(CellStyleRegistry, IdentityKey(scene.fixedTagCell)), nullptr);
  EXPECT_EQ(MapCount(TextLabelMap), 1u);
  EXPECT_NE(MapFind(TextLabelMap, IdentityKey(scene.menuLabel)), nullptr);

  EXPECT_EQ(ListCount(EffectList), 2u) << "no records of deleted cells or labels are left";
  EXPECT_TRUE(Listed(scene.background->effect));
  EXPECT_TRUE(Listed(scene.menuLabel->effect));
  EXPECT_EQ(scene.background->effect->angleStep, 33.0f);
}

TEST(ResetGame, ZeroesTheGameState) {
  ZeroGlobalState();
  BuildScene();
  ResetGame();
  EXPECT_EQ(gameState.playerCount, 0);
  EXPECT_EQ(gameState.mode, Menu);
  EXPECT_EQ(gameState.now, 0);
  for (const Player& player : gameState.players) {
    EXPECT_EQ(player.current, nullptr);
    EXPECT_EQ(player.next, nullptr);
    EXPECT_EQ(player.scoreLabel, nullptr);
    EXPECT_EQ(player.gameOverLabel, nullptr);
    EXPECT_EQ(player.field.maxRow, 0);
    int settled = 0;
    for (auto& row : player.field.cells) {
      for (CellStyle* cell : row) settled += cell != nullptr;
    }
    EXPECT_EQ(settled, 0) << "the grids forget the destroyed cells";
  }
}

TEST(ResetGame, RepeatedResetsAndNewGamesDoNotAccumulate) {
  ZeroGlobalState();
  const Scene scene = BuildScene();
  ResetGame();
  ResetGame();
  EXPECT_EQ(MapCount(CellStyleRegistry), 2u);
  for (int round = 0; round < 3; ++round) {
    for (Player& player : gameState.players) {
      ASSERT_TRUE(SetupPlayfield(player.field, 10, 20));
      player.current = CreateFigure(1, Rgb(31, 31, 31));
      player.scoreLabel = CreateTextLabel(GameLabelLayer);
      StartBlink(player.scoreLabel, 1.0f, 0.05f);
      StartFigureFlash(player.current, 0.384f);
    }
    ResetGame();
    EXPECT_EQ(MapCount(FigureRegistry), 0u) << "round " << round;
    EXPECT_EQ(MapCount(CellStyleRegistry), 2u) << "round " << round;
    EXPECT_EQ(MapCount(TextLabelMap), 1u) << "round " << round;
    EXPECT_EQ(ListCount(EffectList), 2u) << "round " << round;
  }
  EXPECT_TRUE(Listed(scene.menuLabel->effect));
}
