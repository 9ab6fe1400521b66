// The window and screen at a display scale, the block sprites and the
// decorative background layer.
#pragma once
#include <cstdint>

#include "runtime/containers.h"

struct ScreenState {
  uint8_t screenMode;  // 1 windowed screen; 0 while none is open
  int32_t window;
  float scaleX;
  float scaleY;
  int16_t cellWidth;
  int16_t cellHeight;
  int16_t baseCell;
  int32_t columns;
  int32_t rows;
  int32_t width;
  int32_t height;
};

extern ScreenState screenState;

constexpr uintptr_t TimerId = 109;

int32_t OpenDisplay(uint8_t screenMode, int16_t baseCell, float scaleX, float scaleY,
                    bool createBackground);
// False when neither the new scale nor the previous one could be opened.
bool ReopenDisplay(float scaleX, float scaleY);
void FillBlockColourList(OrderedList<uint32_t>& list);
void MakeBlockSprites(KeyedMap<int>& table, OrderedList<uint32_t>& list, int width, int height);
void DrawBlockImage(int image, uint32_t colourA, uint32_t colourB);
uint32_t ScaleColour(uint32_t colour, float factor);
void FillBackgroundLayer();
void ZeroScreenState();
