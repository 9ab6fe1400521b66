// SPDX-License-Identifier: MIT
// Colour effects: timed blink, spin, scale, alpha override and colour shift
// attached to cells and labels, advanced once per tick.
#pragma once
#include <cstdint>
#include <string>

#include "runtime/containers.h"

struct CellStyle;
struct Figure;
struct Playfield;
struct TextLabel;

struct EffectRecord {
  uint8_t overrideAlpha;
  int64_t overrideEnd;
  uint8_t overrideActive;
  int32_t blinkPeriod;
  uint8_t blinkVisible;
  int64_t blinkNext;
  int64_t blinkEnd;
  uint8_t blinkActive;
  float scale;
  int64_t scaleEnd;
  uint8_t scaleActive;
  float angle;
  float angleStep;
  int32_t spinPeriod;
  int64_t spinNext;
  int64_t spinEnd;
  uint8_t spinActive;
  uint32_t shownColour;
  std::string shownKey;
  uint32_t baseColour;
  int32_t shiftPeriod;
  int64_t shiftNext;
  int64_t shiftEnd;
  uint8_t shiftActive;
};

extern OrderedList<EffectRecord> EffectList;  // every record of every cell and label

constexpr int64_t Forever = -1;  // an end time that never comes; a period that never steps

// Whether an effect part that ends at `end` still runs at `now`: up to and
// including its end time.
inline bool EffectRunning(int64_t now, int64_t end) { return now <= end || end == Forever; }

// Removes the record from EffectList (when it is there) and clears the
// reference. Shared by cells and labels.
void RemoveEffect(EffectRecord*& effect);

// True for the 512 block colours: every channel has its low five bits set
// and the top byte is clear.
bool IsPaletteColour(uint32_t colour);

void Crossover(uint32_t& a, uint32_t& b, int32_t p);
void StartBlink(TextLabel* label, float duration, float period);
void StartColourShift(CellStyle* cell, float duration, float period, uint32_t startColour);
void StartFigureFlash(Figure* figure, float duration);
void SpreadColour(Playfield& field, const Figure* figure);
void StartSpin(CellStyle* cell, float duration, float period, float step, float startAngle);
void StartScale(CellStyle* cell, float duration, float factor);
int32_t AdvanceEffects();  // returns the milliseconds it took
