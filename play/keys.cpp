// SPDX-License-Identifier: MIT
#include "play/keys.h"

#include "runtime/gamepad.h"
#include "runtime/keyboard.h"

KeyBindingTable keyBindingTable;

// Code −1 stands for "any key"; the keyboard service knows how to read it.
constexpr int16_t AnyKeyCode = -1;

// What holds each action, in action order: its fixed keys (the arrows appear
// twice, once for player 1 and once for the menus, so both sets of counters
// move together), and the controller inputs that hold it as well, on the
// player's own controller for the players' actions, on any controller for the
// menus.
struct DefaultBinding {
  int16_t primaryKey;
  int16_t secondaryKey;
  int padSlot;
  uint16_t padInputs;
};
static const DefaultBinding defaultBindings[ActionCount] = {
    {DIK_LEFT, 0, 0, PadLeft},                          // P1Left
    {DIK_RIGHT, 0, 0, PadRight},                        // P1Right
    {DIK_DOWN, 0, 0, PadDown},                          // P1Down
    {DIK_UP, 0, 0, PadUp | PadSouth | PadWest},         // P1Rotate
    {DIK_NUMPAD4, 0, 1, PadLeft},                       // P2Left
    {DIK_NUMPAD6, 0, 1, PadRight},                      // P2Right
    {DIK_NUMPAD5, 0, 1, PadDown},                       // P2Down
    {DIK_NUMPAD8, 0, 1, PadUp | PadSouth | PadWest},    // P2Rotate
    {DIK_ESCAPE, 0, AnyPad, PadStart},                  // MenuEscape
    {DIK_RETURN, DIK_SPACE, AnyPad, PadSouth},          // MenuConfirm
    {DIK_BACK, 0, AnyPad, PadEast | PadBack},           // MenuBack
    {DIK_LEFT, 0, AnyPad, PadLeft},                     // MenuLeft
    {DIK_RIGHT, 0, AnyPad, PadRight},                   // MenuRight
    {DIK_DOWN, 0, AnyPad, PadDown},                     // MenuDown
    {DIK_UP, 0, AnyPad, PadUp},                         // MenuUp
    {AnyKeyCode, 0, AnyPad, PadAnything},               // AnyKey
};

constexpr uint8_t HoldCounterMax = 100;

bool InitKeyboard() {
  keyBindingTable = KeyBindingTable{};
  keyBindingTable.ready = CreateKeyboardDevice() ? 1 : 0;
  // Without a device every code stays 0, so nothing can ever read as down.
  if (keyBindingTable.ready) {
    for (int action = 0; action < ActionCount; ++action) {
      keyBindingTable.bindings[action].primaryKey = defaultBindings[action].primaryKey;
      keyBindingTable.bindings[action].secondaryKey = defaultBindings[action].secondaryKey;
    }
  }
  return keyBindingTable.ready != 0;
}

void PollKeyboard() {
  if (!keyBindingTable.ready) return;
  // A failed read leaves the service reporting every key up, which drops
  // every counter to 0: a key still held afterwards counts as a new press.
  // Controllers, like keys, count only while the game has the focus.
  ReadKeyboardState();
  ReadGamepads(InputFocused());
  for (int action = 0; action < ActionCount; ++action) {
    KeyBinding& binding = keyBindingTable.bindings[action];
    const DefaultBinding& pad = defaultBindings[action];
    bool down = IsKeyDown(binding.primaryKey) || IsKeyDown(binding.secondaryKey) ||
                IsPadDown(pad.padSlot, pad.padInputs);
    if (!down) {
      binding.holdCounter = 0;
    } else if (binding.holdCounter < HoldCounterMax) {
      ++binding.holdCounter;
    }
  }
}

bool ControllerPulledOut(const KeyBinding* binding) {
  for (int action = 0; action < ActionCount; ++action) {
    if (&keyBindingTable.bindings[action] == binding) {
      return PadPulledOut(defaultBindings[action].padSlot);
    }
  }
  return false;
}
