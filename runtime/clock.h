// The program clock: signed 64-bit milliseconds since the first reading.
#pragma once
#include <cstdint>

int64_t ReadClock();

// Tests substitute the clock: while a source is set, ReadClock returns its
// value unchanged. Passing null restores the real clock.
using ClockSource = int64_t (*)();
void SetClockSource(ClockSource source);

// The system's millisecond tick count (wraps at 32 bits), used to reseed the
// random generator where the program wants fresh, unrepeatable draws.
uint32_t SystemTickCount();
