// SPDX-License-Identifier: MIT
// Bringing the platform layer up and down. Everything above runtime/ reaches
// the window system only through the procedures of the runtime headers.
#pragma once

// Starts the window system (video, events, timers). Unless the user named a
// video driver in SDL_VIDEODRIVER, only drivers that put a window on a real
// display are accepted, so a headless machine fails here instead of running
// invisibly. False on failure; nothing is left started.
bool StartPlatform();

// The video driver the user named in SDL_VIDEODRIVER; null when none.
const char* ChosenVideoDriver();
// Why the last StartPlatform failed, as far as SDL said; empty otherwise.
const char* PlatformFailure();

// Releases everything StartPlatform and the other services still hold:
// sprites, screen, windows, timers, keyboard, controllers. Safe to call more than once.
void StopPlatform();

// Before --help or --version write to standard output: a Windows program
// with windows has no console of its own and takes the one it was started
// from, where there is one and the output goes nowhere else.
void UseParentConsole();
