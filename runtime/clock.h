// SPDX-License-Identifier: MIT
// The program clock: signed 64-bit milliseconds since the first reading.
#pragma once
#include <cstdint>

int64_t ReadClock();
// The same clock to its own precision, in fractional milliseconds: what
// ReadClock rounds down.
double ReadClockFinely();

// Tests substitute the clock: while a source is set, ReadClock returns its
// value unchanged, and SystemTickCount its low 32 bits. Passing null restores
// the real clock.
using ClockSource = int64_t (*)();
void SetClockSource(ClockSource source);
bool ClockSubstituted();

// The system's millisecond tick count (wraps at 32 bits), used to reseed the
// random generator where the program wants fresh, unrepeatable draws. Under a
// substitute clock the draws follow that clock, so a run can be replayed.
uint32_t SystemTickCount();
