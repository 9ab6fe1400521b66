// SPDX-License-Identifier: MIT
// One clock for tests: fixed (moved by hand through `now`) or stepping, where
// every reading is `step` ms after the one before, so that a function that
// reads the clock at its start and end reports a known duration.
#pragma once
#include <cstdint>

#include "runtime/clock.h"

namespace testclock {

inline int64_t now = 0;
inline int64_t step = 0;

inline int64_t Read() { return now += step; }

// Makes this the program's clock, reading `start` (plus a step, when there is one).
inline void Install(int64_t start, int64_t stepMs = 0) {
  now = start;
  step = stepMs;
  SetClockSource(Read);
}

inline void Remove() { SetClockSource(nullptr); }

}  // namespace testclock
