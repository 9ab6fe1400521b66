// SPDX-License-Identifier: MIT
#include "runtime/gamepad.h"

#include <SDL.h>

#include <initializer_list>

#include "runtime/service_links.h"

constexpr int MaxPads = 16;    // more at once are left unopened
// The slot of a controller that drives the menus only; also the player number
// SDL takes for none.
constexpr int MenusOnly = -1;

// The left stick holds a direction once pushed past half its travel and lets
// go only below a third, so that a stick resting near the line does not
// chatter and a worn stick's drift near the centre never counts.
constexpr int StickPress = 32767 / 2;
constexpr int StickRelease = 32767 / 3;

struct OpenPad {
  SDL_GameController* controller;
  SDL_JoystickID id;  // device indexes shift as controllers come and go; this does not
  int slot;           // 0 or 1, or MenusOnly
  uint16_t stick;     // the directions the left stick holds, between reads
};

// The controller service, started afresh in one statement as the platform
// stops.
struct GamepadState {
  bool started = false;
  int padCount = 0;
  OpenPad pads[MaxPads] = {};  // in order of connection
  uint16_t held[PadPlayers] = {};
  uint16_t heldAnywhere = 0;
  bool pulledOut[PadPlayers] = {};  // at the last read
};

static GamepadState gamepads;

static int LowestFreeSlot() {
  for (int slot = 0; slot < PadPlayers; ++slot) {
    bool taken = false;
    for (int k = 0; k < gamepads.padCount; ++k) taken = taken || gamepads.pads[k].slot == slot;
    if (!taken) return slot;
  }
  return MenusOnly;
}

static bool IsOpen(SDL_JoystickID id) {
  for (int k = 0; k < gamepads.padCount; ++k)
    if (gamepads.pads[k].id == id) return true;
  return false;
}

// Opens every controller SDL lists that is not open yet, in SDL's order. A
// device SDL does not know as a game controller stays unopened. True when
// one was opened.
static bool OpenNewPads() {
  bool opened = false;
  const int count = SDL_NumJoysticks();
  for (int index = 0; index < count && gamepads.padCount < MaxPads; ++index) {
    const SDL_JoystickID id = SDL_JoystickGetDeviceInstanceID(index);
    if (id < 0 || IsOpen(id) || !SDL_IsGameController(index)) continue;
    SDL_GameController* controller = SDL_GameControllerOpen(index);
    if (!controller) continue;
    const int slot = LowestFreeSlot();  // before the new entry counts among the pads
    gamepads.pads[gamepads.padCount++] = OpenPad{controller, id, slot, 0};
    opened = true;
  }
  return opened;
}

// Closes the controllers pulled out since the last read; their slots come
// free, nothing they held is read again, and the slots are noted as pulled
// out. True when one was closed.
static bool CloseLostPads() {
  gamepads.pulledOut[0] = gamepads.pulledOut[1] = false;
  int kept = 0;
  for (int k = 0; k < gamepads.padCount; ++k) {
    OpenPad& pad = gamepads.pads[k];
    if (SDL_GameControllerGetAttached(pad.controller)) {
      gamepads.pads[kept++] = pad;
    } else {
      SDL_GameControllerClose(pad.controller);
      if (pad.slot != MenusOnly) gamepads.pulledOut[pad.slot] = true;
    }
  }
  const bool closed = kept != gamepads.padCount;
  gamepads.padCount = kept;
  return closed;
}

// SDL numbers controllers by itself, in its own order, so a menu-only pad
// would light "3" and a pad plugged in again need not match its player. The
// menu-only pads give their numbers up first: SDL moves a pad off a number
// another is given, and a player's pad must not be the one moved.
static void NumberPadsBySlot() {
  for (const bool players : {false, true}) {
    for (int k = 0; k < gamepads.padCount; ++k) {
      const OpenPad& pad = gamepads.pads[k];
      const bool player = pad.slot != MenusOnly;
      if (player == players) SDL_GameControllerSetPlayerIndex(pad.controller, pad.slot);
    }
  }
}

// One direction of the left stick, from the axis value and whether the
// stick held it at the last read.
static bool StickHolds(int along, bool heldBefore) {
  return heldBefore ? along >= StickRelease : along > StickPress;
}

static uint16_t ReadStick(OpenPad& pad) {
  const int x = SDL_GameControllerGetAxis(pad.controller, SDL_CONTROLLER_AXIS_LEFTX);
  const int y = SDL_GameControllerGetAxis(pad.controller, SDL_CONTROLLER_AXIS_LEFTY);
  uint16_t stick = 0;
  if (StickHolds(-x, pad.stick & PadLeft)) stick |= PadLeft;
  if (StickHolds(x, pad.stick & PadRight)) stick |= PadRight;
  if (StickHolds(y, pad.stick & PadDown)) stick |= PadDown;  // SDL's y grows downwards
  if (StickHolds(-y, pad.stick & PadUp)) stick |= PadUp;
  pad.stick = stick;
  return stick;
}

static uint16_t ReadPad(OpenPad& pad) {
  struct Named {
    SDL_GameControllerButton button;
    uint16_t input;
  };
  static constexpr Named named[] = {
      {SDL_CONTROLLER_BUTTON_DPAD_LEFT, PadLeft}, {SDL_CONTROLLER_BUTTON_DPAD_RIGHT, PadRight},
      {SDL_CONTROLLER_BUTTON_DPAD_DOWN, PadDown}, {SDL_CONTROLLER_BUTTON_DPAD_UP, PadUp},
      {SDL_CONTROLLER_BUTTON_A, PadSouth},        {SDL_CONTROLLER_BUTTON_B, PadEast},
      {SDL_CONTROLLER_BUTTON_X, PadWest},         {SDL_CONTROLLER_BUTTON_BACK, PadBack},
      {SDL_CONTROLLER_BUTTON_START, PadStart},
  };
  uint16_t held = ReadStick(pad);
  for (const Named& n : named)
    if (SDL_GameControllerGetButton(pad.controller, n.button)) held |= n.input;
  // Buttons without an action of their own (Y, the shoulders, Guide) still
  // count as "any".
  for (int b = 0; b < SDL_CONTROLLER_BUTTON_MAX; ++b)
    if (SDL_GameControllerGetButton(pad.controller, static_cast<SDL_GameControllerButton>(b)))
      held |= PadAnything;
  if (held != 0) held |= PadAnything;  // the stick's directions too
  return held;
}

bool StartGamepads() {
  if (gamepads.started) return true;
  if (!SDL_WasInit(SDL_INIT_VIDEO)) return false;
  // Controllers are read once a tick, as the keyboard is. Left to itself SDL
  // would read them on every pump of events and, while one is connected,
  // turn every wait for events into a 1 ms polling loop.
  SDL_SetHint(SDL_HINT_AUTO_UPDATE_JOYSTICKS, "0");
  // SDL would drop presses while none of its windows has keyboard focus, so
  // a button held through a focus change would read up until pressed again.
  // The focus rule is kept here instead, as the keyboard keeps it.
  SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
  if (SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) != 0) return false;
  // Input is sampled, not queued: no controller event wakes the program.
  SDL_JoystickEventState(SDL_IGNORE);
  SDL_GameControllerEventState(SDL_IGNORE);
  gamepads.started = true;
  OpenNewPads();
  NumberPadsBySlot();
  return true;
}

void ReadGamepads(bool focused) {
  if (!gamepads.started) return;
  SDL_GameControllerUpdate();  // also finds controllers plugged in meanwhile
  const bool closed = CloseLostPads();
  if (OpenNewPads() || closed) NumberPadsBySlot();
  gamepads.held[0] = gamepads.held[1] = 0;
  gamepads.heldAnywhere = 0;
  for (int k = 0; k < gamepads.padCount; ++k) {
    OpenPad& pad = gamepads.pads[k];
    // The stick is read even without focus, so that its hysteresis follows it.
    const uint16_t held = ReadPad(pad);
    if (!focused) continue;
    if (pad.slot != MenusOnly) gamepads.held[pad.slot] = held;
    gamepads.heldAnywhere |= held;
  }
}

bool PadPulledOut(int slot) { return slot >= 0 && slot < PadPlayers && gamepads.pulledOut[slot]; }

bool IsPadDown(int slot, uint16_t inputs) {
  if (slot == AnyPad) return (gamepads.heldAnywhere & inputs) != 0;
  if (slot < 0 || slot >= PadPlayers) return false;
  return (gamepads.held[slot] & inputs) != 0;
}

void ResetGamepadService() {
  // Once SDL has stopped its controller support it has freed every
  // controller still open: they are only forgotten then, never closed.
  if (gamepads.started && SDL_WasInit(SDL_INIT_GAMECONTROLLER)) {
    for (int k = 0; k < gamepads.padCount; ++k) SDL_GameControllerClose(gamepads.pads[k].controller);
    SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
  }
  gamepads = GamepadState{};
}
