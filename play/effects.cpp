// SPDX-License-Identifier: MIT
#include "play/effects.h"

#include <algorithm>

#include "game/figure.h"
#include "game/playfield.h"
#include "render/label.h"
#include "runtime/clock.h"
#include "runtime/random.h"
#include "runtime/text.h"
#include "game/state.h"

namespace {

constexpr uint32_t PaletteBits = 0x1F1F1F;  // low five bits of red, green and blue

// Seconds as the callers pass them, to whole milliseconds. The product is
// taken in single precision because that is what the callers hand over:
// 0.384 s must come out as 384 ms.
int64_t Milliseconds(float seconds) {
  float product = seconds * 1000.0f;
  return RoundEven(product);
}

int64_t EndTime(float duration) {
  if (duration == -1.0f) return Forever;
  return gameState.now + Milliseconds(duration);
}

int32_t Period(float period) {
  if (period == -1.0f) return -1;
  return static_cast<int32_t>(Milliseconds(period));
}

// The owner's record, appended to EffectList the first time it needs one.
EffectRecord& OwnEffect(EffectRecord*& effect) {
  if (!effect) effect = &ListAppend(EffectList);
  return *effect;
}

}  // namespace

void RemoveEffect(EffectRecord*& effect) {
  if (effect && ListSeek(EffectList, effect)) ListDeleteCurrent(EffectList);
  effect = nullptr;
}

bool IsPaletteColour(uint32_t colour) {
  return (colour & 0xFF000000u) == 0 && (colour & PaletteBits) == PaletteBits;
}

void Crossover(uint32_t& a, uint32_t& b, int32_t p) {
  p = std::clamp(p, 0, 100);
  const uint32_t pass = static_cast<uint32_t>(p);
  const uint32_t half = pass / 2;
  for (int bit = 0; bit < 32; ++bit) {
    uint32_t x = (a >> bit) & 1u;
    uint32_t y = (b >> bit) & 1u;
    if (x != y) {
      uint32_t r1 = RandomInt(0, 100 - pass);
      uint32_t r2 = RandomInt(0, pass);
      if (r1 > r2) {
        y = x;
      } else if (r2 > r1) {
        x = y;
      }
    } else if (x == 1) {
      // A bit both colours share is now and then drawn afresh, which keeps a
      // converged shift shimmering slightly.
      uint32_t r1 = RandomInt(0, 100 - half);
      uint32_t r2 = RandomInt(0, half);
      uint32_t r3 = RandomInt(0, std::max(100 - half, half));
      if (r1 > r2 && r1 > r3) {
        y = RandomInt(0, 1);
      } else if (r2 > r1 && r2 > r3) {
        x = RandomInt(0, 1);
      }
    }
    const uint32_t mask = 1u << bit;
    a = (a & ~mask) | (x << bit);
    b = (b & ~mask) | (y << bit);
  }
  // Back onto the palette so a block sprite exists for whatever came out.
  a |= PaletteBits;
  b |= PaletteBits;
}

void StartBlink(TextLabel* label, float duration, float period) {
  if (!label) return;
  EffectRecord& effect = OwnEffect(label->effect);
  effect.blinkPeriod = Period(period);
  effect.blinkEnd = EndTime(duration);
}

void StartColourShift(CellStyle* cell, float duration, float period, uint32_t startColour) {
  if (!cell) return;
  EffectRecord& effect = OwnEffect(cell->effect);
  effect.baseColour = static_cast<uint32_t>(cell->kind);
  uint32_t a = startColour;
  uint32_t b = static_cast<uint32_t>(cell->kind);
  Crossover(a, b, 90);
  effect.shownColour = a;
  effect.shownKey = DecimalText(a);
  effect.shiftEnd = EndTime(duration);
  effect.shiftPeriod = Period(period);
}

void StartFigureFlash(Figure* figure, float duration) {
  if (!figure) return;
  ForEachFigureCell(*figure, [&](CellStyle* cell, int, int) {
    StartColourShift(cell, duration, 0.01f, 0);
  });
}

void SpreadColour(Playfield& field, const Figure* figure) {
  if (!figure) return;
  ForEachFigureCell(*figure, [&](const CellStyle* own, int k, int r) {
    if (own->kind == 0) return;
    const int32_t colour = own->kind;
    const int centreX = figure->x + k;
    const int centreY = figure->y + r;
    for (int column = centreX - 1; column <= centreX + 1; ++column) {
      for (int row = centreY - 1; row <= centreY + 1; ++row) {
        if (column < field.minCol || column > field.maxCol) continue;
        if (row < field.minRow || row > field.maxRow) continue;
        CellStyle* neighbour = field.cells[row][column];
        if (!neighbour || neighbour->kind == colour) continue;
        // The neighbour joins the figure's colour for good but keeps
        // showing one fixed blend of where it came from.
        const uint32_t oldColour = static_cast<uint32_t>(neighbour->kind);
        SetCellKind(neighbour, colour);
        StartColourShift(neighbour, -1.0f, -1.0f, oldColour);
      }
    }
  });
}

void StartSpin(CellStyle* cell, float duration, float period, float step, float startAngle) {
  if (!cell) return;
  EffectRecord& effect = OwnEffect(cell->effect);
  effect.angle = startAngle;
  effect.angleStep = step;
  effect.spinEnd = EndTime(duration);
  effect.spinPeriod = Period(period);
}

void StartScale(CellStyle* cell, float duration, float factor) {
  if (!cell) return;
  EffectRecord& effect = OwnEffect(cell->effect);
  effect.scale = factor;
  effect.scaleEnd = EndTime(duration);
}

int32_t AdvanceEffects() {
  const int64_t started = ReadClock();
  const int64_t now = gameState.now;
  for (EffectRecord* effect = ListFirst(EffectList); effect; effect = ListNext(EffectList)) {
    effect->blinkActive = EffectRunning(now, effect->blinkEnd);
    // A blink whose period is "never" keeps its phase, like the other
    // period-driven modifiers.
    if (effect->blinkActive && effect->blinkPeriod != -1 && now > effect->blinkNext) {
      effect->blinkNext = now + effect->blinkPeriod;
      effect->blinkVisible = 1 - effect->blinkVisible;
    }

    effect->spinActive = EffectRunning(now, effect->spinEnd);
    if (effect->spinActive && effect->spinPeriod != -1 && now > effect->spinNext) {
      effect->spinNext = now + effect->spinPeriod;
      effect->angle += effect->angleStep;
    }

    effect->scaleActive = EffectRunning(now, effect->scaleEnd);
    effect->overrideActive = EffectRunning(now, effect->overrideEnd);

    effect->shiftActive = EffectRunning(now, effect->shiftEnd);
    if (effect->shiftActive && effect->shiftPeriod != -1 && now > effect->shiftNext) {
      effect->shiftNext = now + effect->shiftPeriod;
      uint32_t a = effect->shownColour;
      uint32_t b = effect->baseColour;
      Crossover(a, b, 90);
      effect->shownColour = a;
      effect->shownKey = DecimalText(a);
    }
  }
  return static_cast<int32_t>(ReadClock() - started);
}
