// SPDX-License-Identifier: MIT
// Shared set-up for tests that press keys: a fresh program whose keyboard is
// a substitute snapshot, focused, with the default bindings written; and
// what those tests read back.
#pragma once
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

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

// Every action whose hold counter is not 0, in action order.
inline std::vector<int> HeldActions() {
  std::vector<int> held;
  for (int a = 0; a < ActionCount; ++a)
    if (keyBindingTable.bindings[a].holdCounter != 0) held.push_back(a);
  return held;
}

// A few polls with the window unfocused, in which nothing may read as held;
// the focus is back afterwards.
inline void ExpectNothingHeldWithoutFocus(KeyboardSubstitute& keyboard) {
  keyboard.focused = false;
  for (int poll = 0; poll < 3; ++poll) {
    PollKeyboard();
    EXPECT_EQ(HeldActions(), std::vector<int>{}) << "unfocused poll " << poll;
  }
  keyboard.focused = true;
}
