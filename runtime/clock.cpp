// SPDX-License-Identifier: MIT
#include "runtime/clock.h"

#include <chrono>

static ClockSource substitute = nullptr;
static bool started = false;
static std::chrono::steady_clock::time_point origin;

int64_t ReadClock() {
  if (substitute) return substitute();
  auto now = std::chrono::steady_clock::now();
  if (!started) {
    started = true;
    origin = now;
  }
  return std::chrono::duration_cast<std::chrono::milliseconds>(now - origin).count();
}

void SetClockSource(ClockSource source) { substitute = source; }

bool ClockSubstituted() { return substitute != nullptr; }

uint32_t SystemTickCount() {
  if (substitute) return static_cast<uint32_t>(substitute());
  auto since = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
}
