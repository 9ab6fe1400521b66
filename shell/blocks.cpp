// SPDX-License-Identifier: MIT
#include "shell/blocks.h"

#include <string>

#include "render/display.h"
#include "runtime/image.h"
#include "runtime/text.h"
#include "runtime/vector.h"

void FillBlockColourList(OrderedList<uint32_t>& list) {
  ListClear(list);
  for (uint32_t red = 31; red <= 255; red += 32) {
    for (uint32_t green = 31; green <= 255; green += 32) {
      for (uint32_t blue = 31; blue <= 255; blue += 32) {
        ListAppend(list) = Rgb(red, green, blue);
      }
    }
  }
}

static void AddBlockImage(KeyedMap<int>& table, const std::string& key, int width, int height,
                          uint32_t colourA, uint32_t colourB) {
  const int image = NewImage(width, height, 0xFFFFFFFFu);
  MapAddOrFind(table, key) = image;
  DrawBlockImage(image, colourA, colourB);
}

void MakeBlockSprites(KeyedMap<int>& table, OrderedList<uint32_t>& list, int width, int height) {
  AddBlockImage(table, "2", width, height, PaleFace, PaleEdge);
  AddBlockImage(table, "1", width, height, ScaleColour(PaleFace, 0.8f), PaleEdge);
  AddBlockImage(table, "5", width, height, BrightFace, DarkEdge);
  AddBlockImage(table, "6", width, height, ScaleColour(BrightFace, 1.2f), DarkEdge);
  AddBlockImage(table, "3", width, height, PaleFace, PaleFace);
  AddBlockImage(table, "4", width, height, PaleEdge, PaleEdge);

  for (uint32_t* colour = ListFirst(list); colour; colour = ListNext(list)) {
    AddBlockImage(table, DecimalText(*colour), width, height, ScaleColour(*colour, 1.0f),
                  ScaleColour(*colour, 0.7f));
  }
}

void DrawBlockImage(int image, uint32_t colourA, uint32_t colourB) {
  colourA |= 0xFF000000u;
  colourB |= 0xFF000000u;
  const int canvas = CanvasForImage(image, 1);
  if (!canvas || !BeginVector(canvas)) return;

  // Seven units across whatever the cell size: the squares stay in proportion.
  ScaleAxes(CanvasWidth() / 7.0, CanvasHeight() / 7.0);
  SetPaint(colourB);
  PathRect(0, 0, 7, 7);
  FillCurrentPath();
  SetPaint(colourA);
  PathRect(1, 1, 5, 5);
  FillCurrentPath();
  SetPaint(colourB);
  PathRect(2, 2, 3, 3);
  FillCurrentPath();
  EndVector();
}

uint32_t ScaleColour(uint32_t colour, float factor) {
  uint32_t result = 0;
  for (int shift = 0; shift <= 16; shift += 8) {
    const float scaled = static_cast<float>((colour >> shift) & 0xFFu) * factor;
    int64_t channel = RoundEven(scaled);
    if (channel > 255) channel = 255;
    if (channel < 0) channel = 0;
    result |= static_cast<uint32_t>(channel) << shift;
  }
  return result;
}
