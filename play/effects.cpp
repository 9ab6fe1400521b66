#include "play/effects.h"

#include "shell/state.h"

void RemoveEffect(EffectRecord*& effect) {
  if (effect && ListSeek(EffectList, effect)) ListDeleteCurrent(EffectList);
  effect = nullptr;
}
