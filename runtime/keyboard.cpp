// SPDX-License-Identifier: MIT
#include "runtime/keyboard.h"

#include <SDL.h>

#include <array>
#include <cstring>

#include "runtime/service_links.h"

// Device state: none, created (not reading yet), acquired (reading).
enum : uint8_t { DeviceNone = 0, DeviceCreated = 1, DeviceAcquired = 2 };

// The keyboard device, started afresh in one statement as the platform
// stops.
struct KeyboardState {
  uint8_t deviceState = DeviceNone;
  int useCount = 0;  // CreateKeyboardDevice calls not yet matched by ReleaseKeyboard
  uint8_t snapshot[256] = {};
};

static KeyboardState keyboard;
// Kept apart on purpose: a test's stand-in keyboard, put in place with or
// without a platform, stays until the test takes it away, across stops.
static const KeyboardSubstitute* substitute = nullptr;

// Each classic scan code (the DIK_ codes, set 1 with 0x80 added for the
// extended keys) and the SDL scancode of the same physical key. Codes with
// no key on today's keyboards stay unmapped and never read down.
static constexpr std::array<SDL_Scancode, 256> MakeScanTable() {
  std::array<SDL_Scancode, 256> t{};  // SDL_SCANCODE_UNKNOWN
  t[0x01] = SDL_SCANCODE_ESCAPE;
  t[0x02] = SDL_SCANCODE_1;
  t[0x03] = SDL_SCANCODE_2;
  t[0x04] = SDL_SCANCODE_3;
  t[0x05] = SDL_SCANCODE_4;
  t[0x06] = SDL_SCANCODE_5;
  t[0x07] = SDL_SCANCODE_6;
  t[0x08] = SDL_SCANCODE_7;
  t[0x09] = SDL_SCANCODE_8;
  t[0x0A] = SDL_SCANCODE_9;
  t[0x0B] = SDL_SCANCODE_0;
  t[0x0C] = SDL_SCANCODE_MINUS;
  t[0x0D] = SDL_SCANCODE_EQUALS;
  t[0x0E] = SDL_SCANCODE_BACKSPACE;
  t[0x0F] = SDL_SCANCODE_TAB;
  t[0x10] = SDL_SCANCODE_Q;
  t[0x11] = SDL_SCANCODE_W;
  t[0x12] = SDL_SCANCODE_E;
  t[0x13] = SDL_SCANCODE_R;
  t[0x14] = SDL_SCANCODE_T;
  t[0x15] = SDL_SCANCODE_Y;
  t[0x16] = SDL_SCANCODE_U;
  t[0x17] = SDL_SCANCODE_I;
  t[0x18] = SDL_SCANCODE_O;
  t[0x19] = SDL_SCANCODE_P;
  t[0x1A] = SDL_SCANCODE_LEFTBRACKET;
  t[0x1B] = SDL_SCANCODE_RIGHTBRACKET;
  t[0x1C] = SDL_SCANCODE_RETURN;
  t[0x1D] = SDL_SCANCODE_LCTRL;
  t[0x1E] = SDL_SCANCODE_A;
  t[0x1F] = SDL_SCANCODE_S;
  t[0x20] = SDL_SCANCODE_D;
  t[0x21] = SDL_SCANCODE_F;
  t[0x22] = SDL_SCANCODE_G;
  t[0x23] = SDL_SCANCODE_H;
  t[0x24] = SDL_SCANCODE_J;
  t[0x25] = SDL_SCANCODE_K;
  t[0x26] = SDL_SCANCODE_L;
  t[0x27] = SDL_SCANCODE_SEMICOLON;
  t[0x28] = SDL_SCANCODE_APOSTROPHE;
  t[0x29] = SDL_SCANCODE_GRAVE;
  t[0x2A] = SDL_SCANCODE_LSHIFT;
  t[0x2B] = SDL_SCANCODE_BACKSLASH;
  t[0x2C] = SDL_SCANCODE_Z;
  t[0x2D] = SDL_SCANCODE_X;
  t[0x2E] = SDL_SCANCODE_C;
  t[0x2F] = SDL_SCANCODE_V;
  t[0x30] = SDL_SCANCODE_B;
  t[0x31] = SDL_SCANCODE_N;
  t[0x32] = SDL_SCANCODE_M;
  t[0x33] = SDL_SCANCODE_COMMA;
  t[0x34] = SDL_SCANCODE_PERIOD;
  t[0x35] = SDL_SCANCODE_SLASH;
  t[0x36] = SDL_SCANCODE_RSHIFT;
  t[0x37] = SDL_SCANCODE_KP_MULTIPLY;
  t[0x38] = SDL_SCANCODE_LALT;
  t[0x39] = SDL_SCANCODE_SPACE;
  t[0x3A] = SDL_SCANCODE_CAPSLOCK;
  t[0x3B] = SDL_SCANCODE_F1;
  t[0x3C] = SDL_SCANCODE_F2;
  t[0x3D] = SDL_SCANCODE_F3;
  t[0x3E] = SDL_SCANCODE_F4;
  t[0x3F] = SDL_SCANCODE_F5;
  t[0x40] = SDL_SCANCODE_F6;
  t[0x41] = SDL_SCANCODE_F7;
  t[0x42] = SDL_SCANCODE_F8;
  t[0x43] = SDL_SCANCODE_F9;
  t[0x44] = SDL_SCANCODE_F10;
  t[0x45] = SDL_SCANCODE_NUMLOCKCLEAR;
  t[0x46] = SDL_SCANCODE_SCROLLLOCK;
  t[0x47] = SDL_SCANCODE_KP_7;
  t[0x48] = SDL_SCANCODE_KP_8;
  t[0x49] = SDL_SCANCODE_KP_9;
  t[0x4A] = SDL_SCANCODE_KP_MINUS;
  t[0x4B] = SDL_SCANCODE_KP_4;
  t[0x4C] = SDL_SCANCODE_KP_5;
  t[0x4D] = SDL_SCANCODE_KP_6;
  t[0x4E] = SDL_SCANCODE_KP_PLUS;
  t[0x4F] = SDL_SCANCODE_KP_1;
  t[0x50] = SDL_SCANCODE_KP_2;
  t[0x51] = SDL_SCANCODE_KP_3;
  t[0x52] = SDL_SCANCODE_KP_0;
  t[0x53] = SDL_SCANCODE_KP_PERIOD;
  t[0x56] = SDL_SCANCODE_NONUSBACKSLASH;  // the extra key beside left Shift
  t[0x57] = SDL_SCANCODE_F11;
  t[0x58] = SDL_SCANCODE_F12;
  t[0x64] = SDL_SCANCODE_F13;
  t[0x65] = SDL_SCANCODE_F14;
  t[0x66] = SDL_SCANCODE_F15;
  t[0x70] = SDL_SCANCODE_INTERNATIONAL2;  // kana
  t[0x73] = SDL_SCANCODE_INTERNATIONAL1;  // ABNT C1 / ro
  t[0x79] = SDL_SCANCODE_INTERNATIONAL4;  // convert
  t[0x7B] = SDL_SCANCODE_INTERNATIONAL5;  // no convert
  t[0x7D] = SDL_SCANCODE_INTERNATIONAL3;  // yen
  t[0x7E] = SDL_SCANCODE_KP_COMMA;        // ABNT C2, the Brazilian keypad point
  t[0x8D] = SDL_SCANCODE_KP_EQUALS;
  t[0x90] = SDL_SCANCODE_AUDIOPREV;
  t[0x94] = SDL_SCANCODE_LANG2;  // kanji
  t[0x95] = SDL_SCANCODE_STOP;
  t[0x99] = SDL_SCANCODE_AUDIONEXT;
  t[0x9C] = SDL_SCANCODE_KP_ENTER;
  t[0x9D] = SDL_SCANCODE_RCTRL;
  t[0xA0] = SDL_SCANCODE_MUTE;
  t[0xA1] = SDL_SCANCODE_CALCULATOR;
  t[0xA2] = SDL_SCANCODE_AUDIOPLAY;
  t[0xA4] = SDL_SCANCODE_AUDIOSTOP;
  t[0xAE] = SDL_SCANCODE_VOLUMEDOWN;
  t[0xB0] = SDL_SCANCODE_VOLUMEUP;
  t[0xB2] = SDL_SCANCODE_AC_HOME;
  t[0xB5] = SDL_SCANCODE_KP_DIVIDE;
  t[0xB7] = SDL_SCANCODE_PRINTSCREEN;
  t[0xB8] = SDL_SCANCODE_RALT;
  t[0xC5] = SDL_SCANCODE_PAUSE;
  t[0xC7] = SDL_SCANCODE_HOME;
  t[0xC8] = SDL_SCANCODE_UP;
  t[0xC9] = SDL_SCANCODE_PAGEUP;
  t[0xCB] = SDL_SCANCODE_LEFT;
  t[0xCD] = SDL_SCANCODE_RIGHT;
  t[0xCF] = SDL_SCANCODE_END;
  t[0xD0] = SDL_SCANCODE_DOWN;
  t[0xD1] = SDL_SCANCODE_PAGEDOWN;
  t[0xD2] = SDL_SCANCODE_INSERT;
  t[0xD3] = SDL_SCANCODE_DELETE;
  t[0xDB] = SDL_SCANCODE_LGUI;
  t[0xDC] = SDL_SCANCODE_RGUI;
  t[0xDD] = SDL_SCANCODE_APPLICATION;
  t[0xDE] = SDL_SCANCODE_POWER;
  t[0xDF] = SDL_SCANCODE_SLEEP;
  t[0xE5] = SDL_SCANCODE_AC_SEARCH;
  t[0xE6] = SDL_SCANCODE_AC_BOOKMARKS;
  t[0xE7] = SDL_SCANCODE_AC_REFRESH;
  t[0xE8] = SDL_SCANCODE_AC_STOP;
  t[0xE9] = SDL_SCANCODE_AC_FORWARD;
  t[0xEA] = SDL_SCANCODE_AC_BACK;
  t[0xEB] = SDL_SCANCODE_COMPUTER;
  t[0xEC] = SDL_SCANCODE_MAIL;
  t[0xED] = SDL_SCANCODE_MEDIASELECT;
  return t;
}

static constexpr std::array<SDL_Scancode, 256> scanTable = MakeScanTable();

bool CreateKeyboardDevice() {
  ++keyboard.useCount;
  // Without the window system there is no keyboard to read, unless a test
  // supplies one.
  if (!substitute && !SDL_WasInit(SDL_INIT_VIDEO)) return false;
  if (keyboard.deviceState != DeviceNone) return true;
  std::memset(keyboard.snapshot, 0, sizeof keyboard.snapshot);
  keyboard.deviceState = DeviceCreated;
  return true;
}

bool InputFocused() {
  if (substitute) return substitute->focused;
  return SDL_WasInit(SDL_INIT_VIDEO) && (FocusBeingHandedOver() || GameWindowHasFocus());
}

// Fills the snapshot from the current keyboard. False when the game window
// does not have keyboard focus: keys can still be reported down after focus
// went elsewhere, so nothing read then is trusted.
static bool TakeSnapshot() {
  if (substitute) {
    if (!substitute->focused) return false;
    std::memcpy(keyboard.snapshot, substitute->keys, sizeof keyboard.snapshot);
    return true;
  }
  if (!SDL_WasInit(SDL_INIT_VIDEO)) return false;
  SDL_PumpEvents();
  // SDL lets go of every key when the window with the focus goes, and learns
  // again which are down only once the new one has the focus. Meanwhile the
  // keys held before stay held, and presses that reached either window add
  // to them. A key let go meanwhile went to no window of ours, so only the
  // window system knows: then none is kept, or a tap would act twice, and
  // those still down come back as the focus arrives.
  const bool handingOver = FocusBeingHandedOver();
  if (!handingOver && !GameWindowHasFocus()) return false;
  const bool keepHeld = handingOver && !KeyLetGoDuringHandOver();
  int count = 0;
  const Uint8* state = SDL_GetKeyboardState(&count);
  for (int code = 0; code < 256; ++code) {
    SDL_Scancode key = scanTable[code];
    bool down = key != SDL_SCANCODE_UNKNOWN && key < count && state[key];
    if (keepHeld) down = down || (keyboard.snapshot[code] & 0x80) != 0;
    keyboard.snapshot[code] = down ? 0x80 : 0;
  }
  return true;
}

bool ReadKeyboardState() {
  if (keyboard.deviceState == DeviceNone) return false;
  // Reading starts again after every failed read, against whatever window
  // has become the game window meanwhile.
  keyboard.deviceState = DeviceAcquired;
  if (TakeSnapshot()) return true;
  keyboard.deviceState = DeviceCreated;
  return false;
}

bool IsKeyDown(int16_t code) {
  if (keyboard.deviceState != DeviceAcquired) return false;
  if (code == -1) {
    for (int i = 0; i < 255; ++i)
      if (keyboard.snapshot[i] & 0x80) return true;
    return false;
  }
  if (code <= 0 || code > 255) return false;
  return (keyboard.snapshot[code] & 0x80) != 0;
}

void ReleaseKeyboard() {
  if (keyboard.useCount == 0 && keyboard.deviceState == DeviceNone) return;
  keyboard.deviceState = DeviceNone;
  if (keyboard.useCount > 0) --keyboard.useCount;
  std::memset(keyboard.snapshot, 0, sizeof keyboard.snapshot);
}

void ResetKeyboardService() { keyboard = KeyboardState{}; }

void SubstituteKeyboard(const KeyboardSubstitute* source) { substitute = source; }
