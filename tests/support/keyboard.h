// SPDX-License-Identifier: MIT
// Shared set-up for tests that press keys: a fresh program whose keyboard is
// a substitute snapshot, focused, with the default bindings written.
#pragma once
#include <gtest/gtest.h>

#include <cstring>

#include "play/keys.h"
#include "runtime/keyboard.h"
#include "shell/state.h"

inline void StartWithSubstituteKeyboard(KeyboardSubstitute& keyboard) {
  ZeroGlobalState();
  std::memset(&keyboard, 0, sizeof keyboard);
  keyboard.focused = true;
  SubstituteKeyboard(&keyboard);
  ASSERT_TRUE(InitKeyboard());
}
