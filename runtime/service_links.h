// SPDX-License-Identifier: MIT
// What the runtime services ask of each other. Nothing outside runtime/
// includes this header.
#pragma once

struct SDL_Window;

// window.cpp
bool IsAppWindowHandle(const void* handle);  // one of the windows OpenAppWindow made
bool GameWindowHasFocus();                   // keyboard focus is on the game window
void CloseAllAppWindows();                   // with their timers and queued events
void WatchHangup();    // SIGHUP becomes a close request, unless it is ignored
void UnwatchHangup();  // SIGHUP back to its default

// screen.cpp
SDL_Window* ScreenWindow();  // the window carrying the open screen; null when none
void ScreenLostContents();   // the window must be given the whole frame again

// sprite.cpp
void ResetSpriteService();  // no sprites, versions from 1, no failures still to inject

// keyboard.cpp
void ResetKeyboardService();  // device and use count back to none, snapshot cleared

// gamepad.cpp
void ResetGamepadService();  // controllers closed, support stopped, snapshot cleared
