// SPDX-License-Identifier: MIT
// Opening the display: the window and screen at a display scale, the block
// sprites at its cell size and the decorative background layer. The records
// they fill are render/display.h's; the scale's arithmetic is shell/scale.h's
// and where the window goes, shell/fullscreen.h's.
#pragma once
#include <cstdint>

#include "render/display.h"

constexpr uintptr_t TimerId = 109;

// Opens the windowed display (mode 1); any other mode returns the window open
// now and changes nothing: fullscreen is reached through EnterFullscreen.
int32_t OpenDisplay(uint8_t screenMode, int16_t baseCell, float scaleX, float scaleY,
                    bool createBackground);
// False when neither the new scale nor the previous one could be opened.
bool ReopenDisplay(float scaleX, float scaleY);
// The display rebuilt in a screen mode at a scale, the game and the
// background layer left as they are; the mode and scale open before when the
// new ones cannot be opened. False when neither can.
bool ReopenDisplayIn(uint8_t screenMode, float scaleX, float scaleY);
void FillBackgroundLayer();
void ZeroScreenState();
