// SPDX-License-Identifier: MIT
// The sixteen actions, their keys (and the game controller inputs that hold
// them too) and their hold counters.
#pragma once
#include <cstdint>

enum Action : int {
  P1Left,
  P1Right,
  P1Down,
  P1Rotate,
  P2Left,
  P2Right,
  P2Down,
  P2Rotate,
  MenuEscape,
  MenuConfirm,
  MenuBack,
  MenuLeft,
  MenuRight,
  MenuDown,
  MenuUp,
  AnyKey,
  ActionCount
};

struct KeyBinding {
  int16_t primaryKey;    // scan code; 0 no key, −1 any key
  int16_t secondaryKey;  // 0 when the action has a single key
  uint8_t holdCounter;   // 0 up, 1 first tick of a press, ... 100 held long
};

struct KeyBindingTable {
  KeyBinding bindings[ActionCount];
  uint8_t ready;  // 1 when the keyboard device was created
};

extern KeyBindingTable keyBindingTable;

bool InitKeyboard();
void PollKeyboard();
// True when the last poll found the controller that holds `binding` (one of a
// player's own actions) pulled out. False for the menus' actions, which any
// controller holds.
bool ControllerPulledOut(const KeyBinding* binding);
