// SPDX-License-Identifier: MIT
#include "game/step.h"

#include <cmath>

#include "game/figure.h"
#include "game/playfield.h"
#include "play/effects.h"
#include "play/player.h"
#include "render/label.h"
#include "runtime/clock.h"
#include "runtime/random.h"
#include "runtime/text.h"
#include "game/state.h"

constexpr int64_t FirstSideRepeat = 90;
constexpr int64_t FurtherSideRepeat = 45;
constexpr int64_t FirstDownRepeat = 64;
constexpr int64_t FurtherDownRepeat = 32;
constexpr int64_t RotateRepeat = 150;
constexpr int64_t LockDelay = 384;
constexpr float LockFlashSeconds = 0.384f;
constexpr uint8_t NudgeHoldLevel = 100;
constexpr int32_t NudgeChance = 3;
constexpr int32_t SpeedBonusBase = 640;
constexpr int ScoreDigits = 8;
constexpr uint32_t ScatterOdds = 512;

// A player record that was never given its keys reads as "nothing held".
static uint8_t Held(const KeyBinding* binding) { return binding ? binding->holdCounter : 0; }

int64_t RowScore(int32_t rows, int32_t factor, int32_t fallInterval) {
  // The growth factor is e^rows as a single-precision value, and only that
  // part is single precision. The rest is evaluated in double, where the
  // product of a 24-bit float and an 11-bit factor is exact, so the one
  // rounding below is of the exact sum. Evaluating the sum in single
  // precision would instead round 7359.49998 (two rows, factor 996) up to
  // 7359.5 and then to 7360.
  float growth = std::exp(static_cast<float>(rows));
  double points = static_cast<double>(growth) * factor + SpeedBonusBase - fallInterval;
  return RoundEven(points);
}

int32_t NextFallInterval(int32_t fallInterval) {
  return static_cast<int32_t>(RoundEven(fallInterval * 0.99 - 1.0));
}

std::string ScoreText(int64_t score) {
  std::string digits = DecimalText(score);
  if (digits.size() >= ScoreDigits) return digits.substr(0, ScoreDigits);
  return std::string(ScoreDigits - digits.size(), '0') + digits;
}

void PlaceAtEntry(Playfield& field, Figure* figure) {
  int32_t x = static_cast<int32_t>(
      RoundEven(field.colSpan * 0.5 - figure->colSpan * 0.5 + field.minCol));
  int32_t y = field.minRow - figure->rowSpan + 1;
  TryMove(field, figure, x, y, true);
}

Figure* MakeRandomFigure(Playfield& field, bool allowScatter) {
  // The draws happen in a fixed order: scatter chance, colour, type, turns.
  bool scatter = allowScatter && RandomInt(1, ScatterOdds) == 1;
  int32_t colour = RandomBlockColour();
  int32_t type = scatter ? static_cast<int32_t>(RandomInt(11, 15))
                         : static_cast<int32_t>(RandomInt(1, 7));
  Figure* figure = CreateFigure(type, colour);
  int32_t turns = static_cast<int32_t>(RandomInt(0, 3));
  if (figure) RotateTimes(field, figure, turns, true, true, true);
  return figure;
}

int64_t GameTick() {
  int64_t started = ReadClock();
  if (gameState.playerCount == 1) {
    StepPlayer(gameState.players[0]);
  } else if (gameState.playerCount == 2) {
    StepPlayer(gameState.players[0]);
    StepPlayer(gameState.players[1]);
  }
  return ReadClock() - started;
}

static void MoveSideways(Player& p, int64_t now) {
  if (now < p.sideRepeatTime) return;
  uint8_t left = Held(p.keyLeft);
  if (left != 0 && TryMove(p.field, p.current, p.current->x - 1, KeepCoordinate, false)) {
    p.sideRepeatTime = now + (left == 1 ? FirstSideRepeat : FurtherSideRepeat);
    return;
  }
  // Right gets its chance in the same step when Left is idle or blocked.
  uint8_t right = Held(p.keyRight);
  if (right != 0 && TryMove(p.field, p.current, p.current->x + 1, KeepCoordinate, false)) {
    p.sideRepeatTime = now + (right == 1 ? FirstSideRepeat : FurtherSideRepeat);
  }
}

static void MoveDown(Player& p, int64_t now) {
  uint8_t down = Held(p.keyDown);
  if (down == 0 || now < p.downRepeatTime) return;
  TryMove(p.field, p.current, KeepCoordinate, p.current->y + 1, false);
  p.downRepeatTime = now + (down == 1 ? FirstDownRepeat : FurtherDownRepeat);
  p.nextFallTime = now + p.fallInterval;
}

static void Fall(Player& p, int64_t now) {
  if (now < p.nextFallTime) return;
  // A figure that cannot fall keeps its old deadline, so it is tried again
  // at every step until it locks or is moved off its support.
  if (TryMove(p.field, p.current, KeepCoordinate, p.current->y + 1, false)) {
    p.nextFallTime = now + p.fallInterval;
  }
}

static void Rotate(Player& p, int64_t now) {
  uint8_t rotate = Held(p.keyRotate);
  if (rotate == 0 || now < p.rotateRepeatTime) return;
  if (!RotateFigure(p.field, p.current, false, true, true)) return;
  p.rotateRepeatTime = now + RotateRepeat;
  if (rotate == NudgeHoldLevel) NudgeColour(p.current, NudgeChance);
}

static void ScoreRows(Player& p, int32_t rows) {
  int32_t factor = static_cast<int32_t>(RandomInt(768, 1280));
  p.score += RowScore(rows, factor, p.fallInterval);
  p.fallInterval = NextFallInterval(p.fallInterval);
  if (TextLabel* label = p.scoreLabel) {
    RefreshTextLabel(label, ScoreText(p.score), label->sizeX, label->sizeY, label->colour);
    StartBlink(label, 1.0f, 0.05f);
  }
}

static void EndPlayerGame(Player& p) {
  // The figure that found no room stays visible: its cells replace whatever
  // they overlap.
  LockFigure(p.field, p.current);
  p.alive = 0;
  if (p.gameOverLabel) p.gameOverLabel->alpha = 255;
  if (p.nameLabel) p.nameLabel->alpha = 0;
  DestroyFigure(p.current);
  p.current = nullptr;
}

// Brings the next figure into play and draws a new next one. Either may be
// missing when memory ran out while it was made: the player then waits, and
// the step tries again, so a passing shortage costs time but not the game.
static void BringInNext(Player& p) {
  if (!p.next) p.next = MakeRandomFigure(p.field, true);
  p.current = p.next;
  p.next = nullptr;
  if (!p.current) return;
  PlaceAtEntry(p.field, p.current);
  if (Collides(p.current, p.field, p.current->x, p.current->y)) {
    EndPlayerGame(p);
  } else {
    p.next = MakeRandomFigure(p.field, true);
  }
}

static void LockAndContinue(Player& p, int64_t now) {
  LockFigure(p.field, p.current);
  int32_t rows = ClearFullRows(p.field, 0);
  if (rows > 0) ScoreRows(p, rows);
  SpreadColour(p.field, p.current);

  DestroyFigure(p.current);
  p.current = nullptr;
  BringInNext(p);
  p.nextFallTime = now + p.fallInterval;
  p.lockTime = 0;
}

void StepPlayer(Player& p) {
  if (!p.alive) return;
  const int64_t now = gameState.now;
  if (!p.current) {
    // Only when memory ran out making it (see BringInNext).
    BringInNext(p);
    if (!p.current) return;
    p.nextFallTime = now + p.fallInterval;
  } else if (!p.next) {
    p.next = MakeRandomFigure(p.field, true);
  }
  if (!p.alive) return;

  MoveSideways(p, now);
  MoveDown(p, now);
  Fall(p, now);
  Rotate(p, now);

  if (!IsResting(p.current, p.field)) {
    p.lockTime = 0;
    return;
  }
  if (p.lockTime == 0) {
    // Touch-down: the delay is armed once and not extended by moves made
    // while the figure keeps resting.
    StartFigureFlash(p.current, LockFlashSeconds);
    p.lockTime = now + LockDelay;
    return;
  }
  if (now < p.lockTime) return;
  LockAndContinue(p, now);
}
