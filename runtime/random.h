// SPDX-License-Identifier: MIT
// The program-wide pseudo-random generator: two lagged tables of 17 words.
// Deterministic for a seed; seeds itself lazily on the first draw.
#pragma once
#include <cstdint>

void SeedRandom(uint32_t x);
uint32_t RandomBelowOrEqual(uint32_t n);      // 0 to n inclusive
uint32_t RandomInt(uint32_t lo, uint32_t hi);  // lo to hi inclusive

// Back to the never-seeded state, as at program start.
void ResetRandom();
