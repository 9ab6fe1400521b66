// SPDX-License-Identifier: MIT
#include "runtime/clock.h"

#include <chrono>

// The program's clock. Nothing resets it: the origin is the first reading,
// and a substitute stays until the caller takes it away again.
struct ClockState {
  ClockSource substitute = nullptr;
  bool started = false;
  std::chrono::steady_clock::time_point origin;
};

static ClockState programClock;

int64_t ReadClock() {
  if (programClock.substitute) return programClock.substitute();
  auto now = std::chrono::steady_clock::now();
  if (!programClock.started) {
    programClock.started = true;
    programClock.origin = now;
  }
  return std::chrono::duration_cast<std::chrono::milliseconds>(now - programClock.origin).count();
}

void SetClockSource(ClockSource source) { programClock.substitute = source; }

bool ClockSubstituted() { return programClock.substitute != nullptr; }

uint32_t SystemTickCount() {
  if (programClock.substitute) return static_cast<uint32_t>(programClock.substitute());
  auto since = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
}
