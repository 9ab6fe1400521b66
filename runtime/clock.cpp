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

static std::chrono::steady_clock::duration SinceOrigin() {
  auto now = std::chrono::steady_clock::now();
  if (!programClock.started) {
    programClock.started = true;
    programClock.origin = now;
  }
  return now - programClock.origin;
}

int64_t ReadClock() {
  if (programClock.substitute) return programClock.substitute();
  return std::chrono::duration_cast<std::chrono::milliseconds>(SinceOrigin()).count();
}

double ReadClockFinely() {
  if (programClock.substitute) return static_cast<double>(programClock.substitute());
  return std::chrono::duration<double, std::milli>(SinceOrigin()).count();
}

void SetClockSource(ClockSource source) { programClock.substitute = source; }

bool ClockSubstituted() { return programClock.substitute != nullptr; }

uint32_t SystemTickCount() {
  if (programClock.substitute) return static_cast<uint32_t>(programClock.substitute());
  auto since = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
}
