// SPDX-License-Identifier: MIT
#include "runtime/random.h"

#include <unistd.h>

#include "runtime/clock.h"

struct RandomState {
  uint8_t seeded;
  uint32_t a[17];
  uint32_t b[17];
  int32_t i;
  int32_t j;
};

static RandomState rng;

static uint32_t RotateRight(uint32_t v, int n) { return (v >> n) | (v << (32 - n)); }

static uint32_t Step() {
  uint32_t t = RotateRight(rng.b[rng.i], 13) + rng.b[rng.j];
  uint32_t u = RotateRight(rng.a[rng.i], 5) + rng.a[rng.j];
  rng.a[rng.i] = t;
  rng.b[rng.i] = u;
  rng.j = rng.j == 0 ? 16 : rng.j - 1;
  rng.i = rng.i == 0 ? 16 : rng.i - 1;
  return t;
}

// Stands in for the thread identity mixed with the tick count: different
// from run to run, which is all the first seeding needs. Under a substitute
// clock the run is meant to be replayed, and the clock alone decides.
static uint32_t FirstSeed() {
  const uint32_t ticks = SystemTickCount();
  return ClockSubstituted() ? ticks : static_cast<uint32_t>(getpid()) ^ ticks;
}

void SeedRandom(uint32_t x) {
  if (!rng.seeded) {
    rng.seeded = 1;
    SeedRandom(FirstSeed());
  }
  for (int k = 0; k < 17; ++k) {
    rng.b[k] = 1u - x * 0x53A9B4FBu;
    rng.a[k] = 1u - rng.b[k] * 0x53A9B4FBu;
    x = rng.a[k];
  }
  rng.i = 0;
  rng.j = 10;
  for (int k = 0; k < 31; ++k) Step();
}

uint32_t RandomBelowOrEqual(uint32_t n) {
  if (!rng.seeded) {
    rng.seeded = 1;
    SeedRandom(FirstSeed());
  }
  uint32_t t = Step();
  if (n == 0xFFFFFFFFu) return t;
  return static_cast<uint32_t>((static_cast<uint64_t>(t) * (static_cast<uint64_t>(n) + 1)) >> 32);
}

uint32_t RandomInt(uint32_t lo, uint32_t hi) {
  if (lo > hi) lo = hi;
  return lo + RandomBelowOrEqual(hi - lo);
}

void ResetRandom() { rng = RandomState{}; }
