// SPDX-License-Identifier: MIT
#include "play/keys.h"

#include "runtime/gamepad.h"
#include "runtime/keyboard.h"

KeyBindingTable keyBindingTable;

// Code −1 stands for "any key"; the keyboard service knows how to read it.
constexpr int16_t AnyKeyCode = -1;

// The fixed default keys, in action order. The arrows appear twice: once for
// player 1 and once for the menus, so both sets of counters move together.
static const int16_t defaultKeys[ActionCount][2] = {
    {DIK_LEFT, 0},            // P1Left
    {DIK_RIGHT, 0},           // P1Right
    {DIK_DOWN, 0},            // P1Down
    {DIK_UP, 0},              // P1Rotate
    {DIK_NUMPAD4, 0},         // P2Left
    {DIK_NUMPAD6, 0},         // P2Right
    {DIK_NUMPAD5, 0},         // P2Down
    {DIK_NUMPAD8, 0},         // P2Rotate
    {DIK_ESCAPE, 0},          // MenuEscape
    {DIK_RETURN, DIK_SPACE},  // MenuConfirm
    {DIK_BACK, 0},            // MenuBack
    {DIK_LEFT, 0},            // MenuLeft
    {DIK_RIGHT, 0},           // MenuRight
    {DIK_DOWN, 0},            // MenuDown
    {DIK_UP, 0},              // MenuUp
    {AnyKeyCode, 0},          // AnyKey
};

// The controller inputs that hold each action as well, in action order: on
// the player's own controller for the players' actions, on any controller
// for the menus.
struct PadBinding {
  int slot;
  uint16_t inputs;
};
static const PadBinding padBindings[ActionCount] = {
    {0, PadLeft},                       // P1Left
    {0, PadRight},                      // P1Right
    {0, PadDown},                       // P1Down
    {0, PadUp | PadSouth | PadWest},    // P1Rotate
    {1, PadLeft},                       // P2Left
    {1, PadRight},                      // P2Right
    {1, PadDown},                       // P2Down
    {1, PadUp | PadSouth | PadWest},    // P2Rotate
    {AnyPad, PadStart},                 // MenuEscape
    {AnyPad, PadSouth},                 // MenuConfirm
    {AnyPad, PadEast | PadBack},        // MenuBack
    {AnyPad, PadLeft},                  // MenuLeft
    {AnyPad, PadRight},                 // MenuRight
    {AnyPad, PadDown},                  // MenuDown
    {AnyPad, PadUp},                    // MenuUp
    {AnyPad, PadAnything},              // AnyKey
};

constexpr uint8_t HoldCounterMax = 100;

bool InitKeyboard() {
  keyBindingTable = KeyBindingTable{};
  keyBindingTable.ready = CreateKeyboardDevice() ? 1 : 0;
  // Without a device every code stays 0, so nothing can ever read as down.
  if (keyBindingTable.ready) {
    for (int action = 0; action < ActionCount; ++action) {
      keyBindingTable.bindings[action].primaryKey = defaultKeys[action][0];
      keyBindingTable.bindings[action].secondaryKey = defaultKeys[action][1];
    }
  }
  // Controllers are a second way in; without them the keyboard is enough.
  if (keyBindingTable.ready) StartGamepads();
  return keyBindingTable.ready != 0;
}

void PollKeyboard() {
  if (!keyBindingTable.ready) return;
  // A failed read leaves the service reporting every key up, which drops
  // every counter to 0: a key still held afterwards counts as a new press.
  // Controllers count only while the keyboard does: a read fails exactly when
  // the game window lacks keyboard focus.
  ReadGamepads(ReadKeyboardState());
  for (int action = 0; action < ActionCount; ++action) {
    KeyBinding& binding = keyBindingTable.bindings[action];
    bool down = IsKeyDown(binding.primaryKey) || IsKeyDown(binding.secondaryKey) ||
                IsPadDown(padBindings[action].slot, padBindings[action].inputs);
    if (!down) {
      binding.holdCounter = 0;
    } else if (binding.holdCounter < HoldCounterMax) {
      ++binding.holdCounter;
    }
  }
}
