// SPDX-License-Identifier: MIT
// The block pictures every cell of the display is drawn with, and the
// palette of 512 colours behind the coloured ones.
#pragma once
#include <cstdint>

#include "runtime/containers.h"

// The 512 colours whose channels each take one of 31, 63, …, 255, red
// varying slowest.
void FillBlockColourList(OrderedList<uint32_t>& list);
// The images of the six plain blocks ("1" to "6") and of one block per
// colour of `list` (keyed by the colour's decimal text), width × height.
void MakeBlockSprites(KeyedMap<int>& table, OrderedList<uint32_t>& list, int width, int height);
// Three nested squares on a 7 × 7 grid: B, A inside it, B inside that.
void DrawBlockImage(int image, uint32_t colourA, uint32_t colourB);
// Each channel times `factor`, rounded (ties to even) and capped at 255.
uint32_t ScaleColour(uint32_t colour, float factor);
