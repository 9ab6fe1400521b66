// SPDX-License-Identifier: MIT
// Virtual game controllers for tests: SDL attaches them as controllers of
// its standard layout and reads them through its real controller mapping,
// with no hardware and no display. Button and axis numbers are SDL's
// SDL_CONTROLLER_BUTTON_ and SDL_CONTROLLER_AXIS_ values.
#pragma once
#include <SDL.h>

namespace vpad {

struct Pad {
  SDL_Joystick* joystick = nullptr;  // the test's own handle, for setting inputs
  SDL_JoystickID id = -1;
};

// Lets virtual controllers be plugged in before the game starts its own
// controller support. The platform must be started.
inline bool Prepare() { return SDL_InitSubSystem(SDL_INIT_JOYSTICK) == 0; }

inline Pad Plug() {
  SDL_VirtualJoystickDesc desc{};
  desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
  desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
  desc.naxes = SDL_CONTROLLER_AXIS_MAX;
  desc.nbuttons = SDL_CONTROLLER_BUTTON_MAX;
  desc.button_mask = (1u << SDL_CONTROLLER_BUTTON_MAX) - 1;
  desc.axis_mask = (1u << SDL_CONTROLLER_AXIS_MAX) - 1;
  desc.name = "Virtual test controller";
  const int index = SDL_JoystickAttachVirtualEx(&desc);
  if (index < 0) return Pad{};
  return Pad{SDL_JoystickOpen(index), SDL_JoystickGetDeviceInstanceID(index)};
}

// Pulls the controller out; SDL finds it gone at its next update.
inline void Unplug(Pad& pad) {
  SDL_JoystickClose(pad.joystick);
  for (int index = 0; index < SDL_NumJoysticks(); ++index)
    if (SDL_JoystickGetDeviceInstanceID(index) == pad.id) SDL_JoystickDetachVirtual(index);
  pad = Pad{};
}

inline void Button(const Pad& pad, int button, bool down) {
  SDL_JoystickSetVirtualButton(pad.joystick, button, down ? 1 : 0);
}

inline void Axis(const Pad& pad, int axis, int value) {
  SDL_JoystickSetVirtualAxis(pad.joystick, axis, static_cast<Sint16>(value));
}

}  // namespace vpad
