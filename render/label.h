// SPDX-License-Identifier: MIT
// Text labels: registered on-screen texts, rendered into sprites by the font.
#pragma once
#include <cstdint>
#include <string>

#include "runtime/containers.h"

struct EffectRecord;
struct X16FILE;

constexpr uint8_t AlignRight = 2;
constexpr uint8_t AlignLeft = 4;
constexpr uint8_t AlignBottom = 8;
constexpr uint8_t AlignTop = 16;

constexpr uint8_t GameLabelLayer = 1;
constexpr uint8_t MenuLabelLayer = 2;

struct TextLabel {
  std::string text;
  uint32_t colour;  // only red, green and blue are used
  uint8_t align;
  uint8_t alpha;  // 0 hides the label
  float sizeX;    // pixels per glyph unit at display scale 1
  float sizeY;
  int sprite;
  int16_t spriteWidth;
  int16_t spriteHeight;
  int16_t x;  // position in screen cells
  int16_t y;
  EffectRecord* effect;
  uint8_t layer;
  bool stale;  // not yet drawn again since the scale changed
};

extern KeyedMap<TextLabel*> TextLabelMap;  // every label alive, under its IdentityKey

TextLabel* CreateTextLabel(uint8_t layer);
void RefreshTextLabel(TextLabel* label, const std::string& text, float sizeX, float sizeY,
                      uint32_t colour);
bool DestroyTextLabel(TextLabel* label);

// After a scale change every label is drawn again at the new scale, but as
// it is needed: MarkLabelsStale marks them all, UpdateLabel renders one that
// is about to be drawn or measured, and RefreshStaleLabels the rest once the
// first frame is on screen. At large scales rendering every label took half
// the wait for the new picture, most of it for labels no screen showed yet.
void MarkLabelsStale();
void ZeroLabelState();  // no label waiting, for start-up
void UpdateLabel(TextLabel* label);
void RefreshStaleLabels();

int RasteriseGlyph(const X16FILE& glyph, float scaleX, float scaleY, int32_t colour);
int RenderTextImage(const std::string& text, float scaleX, float scaleY, int32_t colour);
// The image a label of effective size fx × fy pixels per glyph unit shows:
// the text rendered at four times that size and reduced to a quarter. 0 when
// the text yields no pixels.
int RenderLabelImage(const std::string& text, float fx, float fy, uint32_t colour);
