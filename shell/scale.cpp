// SPDX-License-Identifier: MIT
#include "shell/scale.h"

#include <algorithm>

#include "render/display.h"
#include "runtime/text.h"

float LiftSmallScale(float scale) { return scale < LowestScale ? scale + ScaleStep : scale; }

int16_t CellSide(int16_t baseCell, float scale) {
  // The product is taken in single precision, as the scale is stored:
  // 16 × 1.1f is 17.6 and rounds to 18.
  const float side = static_cast<float>(baseCell) * scale;
  return static_cast<int16_t>(RoundEven(side));
}

void WindowSizeAt(int16_t baseCell, float scaleX, float scaleY, int32_t& width, int32_t& height) {
  width = GridColumns * CellSide(baseCell, LiftSmallScale(scaleX));
  height = GridRows * CellSide(baseCell, LiftSmallScale(scaleY));
}

bool WindowFits(int16_t baseCell, float scaleX, float scaleY, int32_t roomWidth,
                int32_t roomHeight) {
  int32_t width = 0, height = 0;
  WindowSizeAt(baseCell, scaleX, scaleY, width, height);
  return width <= roomWidth && height <= roomHeight;
}

float ScaleDown(float scale) {
  const float lower = scale - ScaleStep;
  return lower <= LowestScale ? scale : lower;
}

float LowerScaleToFit(int16_t baseCell, float scale, int32_t roomWidth, int32_t roomHeight) {
  while (!WindowFits(baseCell, scale, scale, roomWidth, roomHeight)) {
    const float lower = ScaleDown(scale);
    if (lower == scale) break;
    scale = lower;
  }
  return scale;
}

// How far `at` lies outside [from, from + length), along one axis.
static int64_t DistanceOutside(int64_t at, int64_t from, int64_t length) {
  if (at < from) return from - at;
  if (at >= from + length) return at - (from + length - 1);
  return 0;
}

int DisplayHoldingWindow(const Area* displays, int count, const Area& window) {
  const int64_t centreX = window.x + window.width / 2;
  const int64_t centreY = window.y + window.height / 2;
  int nearest = -1;
  int64_t nearestDistance = 0;
  for (int i = 0; i < count; ++i) {
    const Area& d = displays[i];
    if (d.width <= 0 || d.height <= 0) continue;
    const int64_t dx = DistanceOutside(centreX, d.x, d.width);
    const int64_t dy = DistanceOutside(centreY, d.y, d.height);
    const int64_t distance = dx * dx + dy * dy;  // 0: the centre is inside
    if (nearest < 0 || distance < nearestDistance) {
      nearest = i;
      nearestDistance = distance;
    }
  }
  return nearest;
}

WindowFrame KnownFrame(const WindowFrame& learnt, const WindowFrame& measured) {
  // A window just mapped may not have been told its frame yet: all 0 then.
  const bool told = measured.top || measured.left || measured.bottom || measured.right;
  return told ? measured : learnt;
}

void RoomForWindow(int32_t usableWidth, int32_t usableHeight, const WindowFrame& frame,
                   int32_t& width, int32_t& height) {
  width = usableWidth - frame.left - frame.right;
  height = usableHeight - frame.top - frame.bottom;
}

// Where a display of `size` lies centred in `room`; at the edge when larger.
int32_t CentredOffset(int32_t room, int32_t size) { return std::max(0, (room - size) / 2); }

FullscreenFit FitFullscreen(int16_t baseCell, int32_t width, int32_t height) {
  // The smallest cell above the Left key's lower limit.
  const int16_t smallest = static_cast<int16_t>(baseCell * LowestScale) + 1;
  const int32_t fits = std::min(width / GridColumns, height / GridRows);
  FullscreenFit fit{};
  fit.cell = static_cast<int16_t>(std::max<int32_t>(smallest, fits));
  // A whole number over the base cell of 16 is exact in a float, so the cell
  // side comes back as it went in.
  fit.scale = static_cast<float>(fit.cell) / static_cast<float>(baseCell);
  fit.left = CentredOffset(width, GridColumns * fit.cell);
  fit.top = CentredOffset(height, GridRows * fit.cell);
  return fit;
}

