// SPDX-License-Identifier: MIT
// What the runtime services ask of each other. Nothing outside runtime/
// includes this header.
#pragma once

struct SDL_Window;

// window.cpp
bool IsAppWindowHandle(const void* handle);  // one of the windows OpenAppWindow made
bool GameWindowHasFocus();                   // keyboard focus is on the game window
// The program replaced the window that had the keyboard focus a moment ago,
// and no window has the focus yet: keys held go on being held meanwhile.
bool FocusBeingHandedOver();
bool KeyLetGoDuringHandOver();  // one of the keys held as the focus went is up now
void CloseAllAppWindows();                   // with their timers and queued events

// screen.cpp
SDL_Window* ScreenWindow();  // the window carrying the open screen; null when none
void ScreenLostContents();   // the window must be given the whole frame again
void ResetScreenService();   // screen closed, rate limit, test switches and colours back to none

// sprite.cpp
void ResetSpriteService();  // no sprites, versions from 1, no failures still to inject

// keyboard.cpp
void ResetKeyboardService();  // device and use count back to none, snapshot cleared

// gamepad.cpp
void ResetGamepadService();  // controllers closed, support stopped, snapshot cleared
