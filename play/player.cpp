// SPDX-License-Identifier: MIT
#include "play/player.h"

#include <zlib.h>

#include "game/figure.h"
#include "game/playfield.h"
#include "game/step.h"
#include "play/effects.h"
#include "render/label.h"
#include "runtime/clock.h"
#include "runtime/random.h"
#include "render/display.h"
#include "game/state.h"

constexpr int32_t FieldWidth = 10;
constexpr int32_t FieldHeight = 20;
constexpr int32_t StartFallInterval = 640;

constexpr float NameSizeX = 2.5f;
constexpr float NameSizeY = 2.0f;
constexpr uint32_t NameColour = 0xF6FFF6;
constexpr uint32_t GameOverColour = 0x707A70;
constexpr float ScoreSizeX = 2.0f;
constexpr float ScoreSizeY = 2.0f;
constexpr uint32_t ScoreColour = 0xE0F5E0;
constexpr uint8_t LabelAlpha = 222;
constexpr uint8_t AlignTopLeft = AlignTop | AlignLeft;
constexpr uint8_t AlignTopRight = AlignTop | AlignRight;

uint64_t MakeNamePattern(const std::string& name) {
  uLong crc = crc32(0L, Z_NULL, 0);
  crc = crc32(crc, reinterpret_cast<const Bytef*>(name.data()), static_cast<uInt>(name.size()));
  SeedRandom(static_cast<uint32_t>(crc));
  uint64_t pattern = 0;
  for (int bit = 0; bit < 64; ++bit) {
    if (RandomInt(0, 1) == 1) pattern |= uint64_t{1} << bit;
  }
  // The figures drawn after this must not follow from the name.
  SeedRandom(SystemTickCount());
  return pattern;
}

static TextLabel* MakeLabel(const std::string& text, float sizeX, float sizeY, uint32_t colour) {
  TextLabel* label = CreateTextLabel(GameLabelLayer);
  RefreshTextLabel(label, text, sizeX, sizeY, colour);
  return label;
}

// Name, "GAME OVER" in the same place (hidden until needed), and the score
// on the line below the name.
static void MakePlayerLabels(Player& p, uint8_t align, int16_t x) {
  const int16_t y = 1;

  p.nameLabel = MakeLabel(p.name, NameSizeX, NameSizeY, NameColour);
  if (p.nameLabel) {
    p.nameLabel->align = align;
    p.nameLabel->x = x;
    p.nameLabel->y = y;
    p.nameLabel->alpha = LabelAlpha;
  }

  p.gameOverLabel = MakeLabel("GAME OVER", NameSizeX, NameSizeY, GameOverColour);
  if (p.gameOverLabel) {
    StartBlink(p.gameOverLabel, -1.0f, 0.5f);
    p.gameOverLabel->align = align;
    p.gameOverLabel->x = x;
    p.gameOverLabel->y = y;
    p.gameOverLabel->alpha = 0;
  }

  p.scoreLabel = MakeLabel(ScoreText(0), ScoreSizeX, ScoreSizeY, ScoreColour);
  if (p.scoreLabel) {
    // Rows the name occupies on screen; without an open screen there are no
    // cells to measure in, and the name is taken as less than one row tall.
    int16_t nameRows = 0;
    if (p.nameLabel && screenState.cellHeight > 0) {
      nameRows = static_cast<int16_t>(p.nameLabel->spriteHeight / screenState.cellHeight);
    }
    p.scoreLabel->align = align;
    p.scoreLabel->x = x;
    p.scoreLabel->y = static_cast<int16_t>(y + nameRows + 1);
    p.scoreLabel->alpha = LabelAlpha;
  }
}

struct PlayerKeys {
  Action left, right, down, rotate;
};

static void SetUpPlayer(Player& p, const std::string& name, const PlayerKeys& keys,
                        uint8_t align, int16_t labelX) {
  p.name = name;
  p.namePattern = MakeNamePattern(name);
  p.keyDown = &keyBindingTable.bindings[keys.down];
  p.keyRotate = &keyBindingTable.bindings[keys.rotate];
  p.keyLeft = &keyBindingTable.bindings[keys.left];
  p.keyRight = &keyBindingTable.bindings[keys.right];

  p.current = MakeRandomFigure(p.field, false);
  if (p.current) PlaceAtEntry(p.field, p.current);
  p.next = MakeRandomFigure(p.field, false);

  MakePlayerLabels(p, align, labelX);
}

void NewGame(const std::string& name1, const std::string& name2) {
  // The callers may pass names that live in the game state, which the reset
  // below clears.
  const std::string first = name1;
  const std::string second = name2;

  ResetGame();
  const bool twoPlayers = !second.empty();
  gameState.playerCount = twoPlayers ? 2 : 1;
  gameState.mode = Game;

  Player& one = gameState.players[0];
  one.alive = 1;
  SetupPlayfield(one.field, FieldWidth, FieldHeight);
  one.fallInterval = StartFallInterval;
  // The reset has just put `now` back to 0, so this deadline is already past
  // at the first game tick and the figure falls at once.
  one.nextFallTime = gameState.now + StartFallInterval;
  if (twoPlayers) gameState.players[1] = one;

  SetUpPlayer(one, first, {P1Left, P1Right, P1Down, P1Rotate}, AlignTopLeft, 1);
  if (twoPlayers) {
    SetUpPlayer(gameState.players[1], second, {P2Left, P2Right, P2Down, P2Rotate},
                AlignTopRight, static_cast<int16_t>(screenState.columns - 2));
  }
}

// Code 0 is what the program passes when it calls a handler itself; without a
// keyboard every binding is 0 too, and that must not count as a confirmation.
static bool IsConfirm(int32_t keyCode) {
  return keyCode != 0 && keyCode == keyBindingTable.bindings[MenuConfirm].primaryKey;
}

void StartOnePlayer(int32_t keyCode) {
  if (IsConfirm(keyCode)) NewGame("Player1", "");
}

void StartTwoPlayers(int32_t keyCode) {
  if (IsConfirm(keyCode)) NewGame("Player1", "Player2");
}

bool PlayerControllerLost() {
  for (int i = 0; i < gameState.playerCount; ++i) {
    const Player& p = gameState.players[i];
    if (p.alive && ControllerPulledOut(p.keyLeft)) return true;
  }
  return false;
}
