// SPDX-License-Identifier: MIT
// The keyboard as a polled snapshot of 256 key states indexed by the
// classic keyboard scan codes (the DIK_ names).
#pragma once
#include <cstdint>

constexpr int16_t DIK_ESCAPE = 0x01;
constexpr int16_t DIK_1 = 0x02;
constexpr int16_t DIK_BACK = 0x0E;
constexpr int16_t DIK_TAB = 0x0F;
constexpr int16_t DIK_Q = 0x10;
constexpr int16_t DIK_RETURN = 0x1C;
constexpr int16_t DIK_LCONTROL = 0x1D;
constexpr int16_t DIK_A = 0x1E;
constexpr int16_t DIK_LSHIFT = 0x2A;
constexpr int16_t DIK_Z = 0x2C;
constexpr int16_t DIK_SPACE = 0x39;
constexpr int16_t DIK_F1 = 0x3B;
constexpr int16_t DIK_NUMPAD7 = 0x47;
constexpr int16_t DIK_NUMPAD8 = 0x48;
constexpr int16_t DIK_NUMPAD9 = 0x49;
constexpr int16_t DIK_NUMPAD4 = 0x4B;
constexpr int16_t DIK_NUMPAD5 = 0x4C;
constexpr int16_t DIK_NUMPAD6 = 0x4D;
constexpr int16_t DIK_NUMPAD1 = 0x4F;
constexpr int16_t DIK_NUMPAD2 = 0x50;
constexpr int16_t DIK_NUMPAD3 = 0x51;
constexpr int16_t DIK_NUMPAD0 = 0x52;
constexpr int16_t DIK_NUMPADENTER = 0x9C;
constexpr int16_t DIK_UP = 0xC8;
constexpr int16_t DIK_LEFT = 0xCB;
constexpr int16_t DIK_RIGHT = 0xCD;
constexpr int16_t DIK_DOWN = 0xD0;

bool CreateKeyboardDevice();
// Reads the snapshot. Fails (every key reads up, the device drops back to
// "created") while the game window lacks keyboard focus.
bool ReadKeyboardState();
// Whether the game's input counts now: the game window has the keyboard
// focus, or is getting it back from a window the program replaced (or a
// test's substitute keyboard says it is focused). Controllers follow it too.
bool InputFocused();
// 0 never reads down; −1 reads down when any of codes 0 to 254 is down.
bool IsKeyDown(int16_t code);
void ReleaseKeyboard();

// For tests: while a substitute is set the keyboard service reads it instead
// of the real keyboard. `focused` false makes every read fail, as a window
// without keyboard focus does. Null restores the real keyboard.
struct KeyboardSubstitute {
  uint8_t keys[256];  // bit 7 set = down, indexed by scan code
  bool focused;
};
void SubstituteKeyboard(const KeyboardSubstitute* source);
