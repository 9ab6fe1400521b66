// SPDX-License-Identifier: MIT
// The game screen: composes and shows one frame and returns its time. The
// menu's screen is drawn by the menu itself (menu/menu.h).
#pragma once
#include <cstdint>

int64_t DrawGameScreen();
