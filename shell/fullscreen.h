// SPDX-License-Identifier: MIT
// Where the game window goes and comes back to: centred in the room the
// desktop leaves for windows, fitted to it, taken fullscreen by F11 or by the
// window manager, and given back at its scale and place.
#pragma once
#include <cstdint>

// The scale fits the desktop the window opens on: its usable area less the
// frame around the window open now, or in fullscreen the desktop itself.
// True when the desktop cannot tell its size.
bool ScaleFitsDesktop(float scaleX, float scaleY);
// The start scale lowered in the Left key's steps until the window fits.
float FitStartScale(float scale);

// Notes the desktop that holds the game window's centre (a window whose
// centre is on none, the nearest): a window reopened at another scale opens
// centred there, and fullscreen covers it. Called before the window closes.
void NoteWindowsDesktop();

// Opens the hidden window of width × height for screenState's mode: in a
// window, centred (or back where it was before fullscreen); in fullscreen,
// covering the desktop remembered. The window number, 0 on failure.
int OpenDisplayWindow(int32_t width, int32_t height);
// The desktop fullscreen covers, for centring the display in it.
void FullscreenDesktopSize(int32_t& width, int32_t& height);
// The scale the display open now was asked for, before small scales were
// lifted: kept as the display opens, read to open it at that scale again.
void NoteAskedScale(float scaleX, float scaleY);
void AskedScale(float& scaleX, float& scaleY);

// F11: fullscreen on the desktop the window is on at the largest scale that
// fits, or back to the window at the scale and place it had. Both rebuild the
// display as a scale change does; false when no display could be opened.
bool EnterFullscreen();
bool LeaveFullscreen();
// Fullscreen the window manager asked for: as F11, but the window goes back
// to where it was opened, its own place being the desktop's corner by now.
bool FollowWindowManagerFullscreen();
bool ToggleFullscreen();

// Nothing known of frames, places or desktops: a fresh program.
void ZeroFullscreenState();
