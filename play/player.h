// SPDX-License-Identifier: MIT
// Players and starting a game.
#pragma once
#include <cstdint>
#include <string>

#include "game/playfield.h"
#include "play/keys.h"

struct TextLabel;

struct Player {
  int64_t nextFallTime;
  int64_t downRepeatTime;
  int64_t lockTime;  // 0 while no lock delay runs
  int64_t rotateRepeatTime;
  int64_t sideRepeatTime;
  Playfield field;
  Figure* current;
  Figure* next;
  KeyBinding* keyLeft;
  KeyBinding* keyRight;
  KeyBinding* keyDown;
  KeyBinding* keyRotate;
  TextLabel* nameLabel;
  TextLabel* scoreLabel;
  TextLabel* gameOverLabel;
  std::string name;
  uint64_t namePattern;
  int64_t score;
  int32_t fallInterval;
  uint8_t alive;
};

void NewGame(const std::string& name1, const std::string& name2);
void StartOnePlayer(int32_t keyCode);   // menu handler: acts on MenuConfirm's code only
void StartTwoPlayers(int32_t keyCode);  // likewise
uint64_t MakeNamePattern(const std::string& name);
// True when the last poll found the controller of a player still in the game
// pulled out: a dead battery must not watch its figure fall to game over.
bool PlayerControllerLost();
