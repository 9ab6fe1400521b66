// SPDX-License-Identifier: MIT
// The two screens; each composes and shows one frame and returns its time.
#pragma once
#include <cstdint>

int64_t DrawGameScreen();
int64_t DrawMenuScreen();
