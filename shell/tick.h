// SPDX-License-Identifier: MIT
// The tick: the one procedure that advances the program, at most every 16 ms.
#pragma once
#include <cstdint>
#include <string>

struct TickState {
  int64_t nextTickTime;
  int32_t ticksCounted;
  int64_t logicMs;
  int64_t videoMs;
  int64_t nextTitleTime;
  // The screensaver is held off: a game is being played. The platform starts
  // with it allowed.
  bool screenSaverHeldOff;
};

extern TickState tickState;

constexpr int64_t TickPeriod = 16;
constexpr int64_t TitleInterval = 1000;

// The statistics part of the title: " | FPS:…, Gc…, Tc…, Fc…, Sc…, L…, V…".
std::string StatisticsText();

void Tick(void* window, uint32_t message, uintptr_t timerId, uint32_t time);
void ZeroTickState();
