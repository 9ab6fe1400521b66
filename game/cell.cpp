// SPDX-License-Identifier: MIT
#include "game/cell.h"

#include <new>

#include "play/effects.h"
#include "runtime/text.h"

std::string IdentityKey(const void* record) {
  return DecimalText(static_cast<int64_t>(reinterpret_cast<uintptr_t>(record)));
}

// Allocations a test has made fail on purpose; FailNextAllocations(0), which
// ZeroGlobalState calls, sets the whole record afresh.
struct InjectedFailures {
  int allocationsBeforeFailing = 0;
  int allocationFailures = 0;
};

static InjectedFailures injected;

void FailNextAllocations(int count, int after) {
  injected = InjectedFailures{after > 0 ? after : 0, count > 0 ? count : 0};
}

bool AllocationFails() {
  if (injected.allocationFailures == 0) return false;
  if (injected.allocationsBeforeFailing > 0) {
    --injected.allocationsBeforeFailing;
    return false;
  }
  --injected.allocationFailures;
  return true;
}

CellStyle* CreateCellStyle(uint8_t tag) {
  CellStyle* style = AllocationFails() ? nullptr : new (std::nothrow) CellStyle{};
  if (!style) return nullptr;
  MapAddOrFind(CellStyleRegistry, IdentityKey(style)) = style;
  style->tag = tag;
  return style;
}

void SetCellKind(CellStyle* style, int32_t kind) {
  if (!style) return;
  style->kind = kind;
  style->spriteKey = DecimalText(kind);
}

CellStyle* CopyCellStyle(const CellStyle* source) {
  if (!source) return nullptr;
  CellStyle* copy = CreateCellStyle(0);
  if (!copy) return nullptr;
  *copy = *source;
  copy->effect = nullptr;
  if (source->effect) {
    // The copy carries on the same effect, independently of the original.
    EffectRecord& record = ListAppend(EffectList);
    record = *source->effect;
    copy->effect = &record;
  }
  return copy;
}

bool DestroyCellStyle(CellStyle* style) {
  if (!style || !MapFind(CellStyleRegistry, IdentityKey(style))) return false;
  DetachEffect(style);
  MapRemove(CellStyleRegistry, IdentityKey(style));
  delete style;
  return true;
}

void DetachEffect(CellStyle* style) {
  if (style) RemoveEffect(style->effect);
}
