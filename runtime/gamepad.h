// SPDX-License-Identifier: MIT
// Game controllers as a second way to hold the game's actions: a polled
// snapshot of which inputs are held on player 1's controller, player 2's,
// and any controller at all. The first controller connected is player 1's,
// the second player 2's; one plugged in later takes the lowest free player
// slot, and one plugged in while both are taken drives the menus only. Each
// controller is told its slot as its player number, so that pads with player
// lights show whose they are.
#pragma once
#include <cstdint>

// Controller inputs as bits, so that one action can name several. The four
// directions are the D-pad or the left stick; buttons are named by place in
// SDL's standard layout (south is A, east B, west X).
enum : uint16_t {
  PadLeft = 1 << 0,
  PadRight = 1 << 1,
  PadDown = 1 << 2,
  PadUp = 1 << 3,
  PadSouth = 1 << 4,
  PadEast = 1 << 5,
  PadWest = 1 << 6,
  PadBack = 1 << 7,
  PadStart = 1 << 8,
  PadAnything = 1 << 9,  // any button or direction at all
};

constexpr int PadPlayers = 2;  // slots 0 and 1: player 1's and player 2's controller
constexpr int AnyPad = -1;     // every connected controller, menu-only ones included

// Starts SDL's game controller support and opens the controllers already
// connected, in SDL's order. Needs the platform started. False when the
// support cannot start: the game then plays on the keyboard alone.
bool StartGamepads();
// Takes the snapshot: picks up controllers plugged in and lets go of those
// pulled out since the last read. With `focused` false (the game window
// lacks keyboard focus) every input reads up.
void ReadGamepads(bool focused);
// True when the controller of `slot` (0 or 1) was found pulled out by the
// last read. Told once: the read after it no longer says so.
bool PadPulledOut(int slot);
// True when any of `inputs` is held on the controller of `slot` (0 or 1) or,
// for AnyPad, on any controller.
bool IsPadDown(int slot, uint16_t inputs);
