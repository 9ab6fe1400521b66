// SPDX-License-Identifier: MIT
// Windows, events, the window timer, the alert box and desktop enumeration.
#pragma once
#include <cstdint>
#include <string>

constexpr int CloseWindowEvent = 13116;  // queued when the user closes a window
constexpr int AnyWindow = -1;            // OpenAppWindow: pick a free number
// WaitEvent codes for fullscreen: F11 pressed (once per press, never for the
// key's repeats), and the window manager putting the game window into
// fullscreen or taking it out by itself (its own shortcut, _NET_WM_STATE).
constexpr int FullscreenKeyEvent = 13117;
constexpr int FullscreenWantedEvent = 13118;
constexpr int WindowWantedEvent = 13119;

// OpenAppWindow flags.
constexpr uint32_t WindowCentred = 1;    // centred on the desktop, x and y ignored
constexpr uint32_t WindowTitleBar = 2;   // title bar with system menu and close box
constexpr uint32_t WindowHidden = 4;     // created hidden, shown by RevealWindow
// A borderless window covering the desktop at (x, y) of width × height, the
// desktop's own size: no video mode changes.
constexpr uint32_t WindowFullscreen = 8;

// width × height is the client area, exactly. Returns the window number, 0 on
// failure.
int OpenAppWindow(int number, int x, int y, int width, int height, const std::string& title,
                  uint32_t flags);
void* GetNativeWindow(int number);  // null for a number that is not open
void RevealWindow(int number);
void SetTitleText(int number, const std::string& text);
void CloseAppWindow(int number);
// The client area's top-left corner on the desktop; false for a number not open.
bool GetWindowPlace(int number, int& x, int& y);
// The client area's place and size on the desktop; false (and 0s) for a
// number not open.
bool GetWindowArea(int number, int& x, int& y, int& width, int& height);

// Waits up to timeout ms (−1: forever) for one event, runs due timer
// callbacks, and returns an event code, CloseWindowEvent for a close request
// (the window stays open), or 0 when nothing arrived in time.
int WaitEvent(int timeout);

// True when a close request (or a signal that ends the program) is waiting
// for WaitEvent. Takes nothing from the queue; long work such as a scale
// change asks, so that the program can end soon.
bool CloseRequestPending();

// The window timer. The callback runs inside WaitEvent on the one thread, as
// a window system runs timer callbacks while dispatching messages.
using TimerCallback = void (*)(void* window, uint32_t message, uintptr_t timerId, uint32_t time);
bool SetTimer(void* window, uintptr_t timerId, uint32_t periodMs, TimerCallback callback);
void KillTimer(void* window, uintptr_t timerId);

// Whether the desktop may blank the screen or start its screensaver while the
// program runs. It may from the start; SDL alone would hold it off throughout.
void AllowScreenSaver(bool allowed);

// A modal box with an OK button. False when it could not be shown.
bool ShowAlert(const std::string& title, const std::string& text);

int CountDesktops();                // attached displays, primary first; 0 on failure
int GetDesktopWidth(int index);     // 0 for an index outside 0 to count − 1

// The part of desktop `index` that windows may take: its size less panels and
// docks the window system keeps for itself. False (and 0 × 0) when unknown.
bool GetDesktopUsableSize(int index, int& width, int& height);
// The same area with its top-left corner in desktop coordinates.
bool GetDesktopUsableArea(int index, int& x, int& y, int& width, int& height);
// The whole of desktop `index`, panels included. False (and 0s) when unknown.
bool GetDesktopBounds(int index, int& x, int& y, int& width, int& height);

// The thickness of the frame the window system draws around a window's
// client area; all 0 for a window without one or when it is not known.
void GetWindowFrame(int number, int& top, int& left, int& bottom, int& right);
// The frame the window system will draw around a new window with a title
// bar, asked of it before any such window is shown (a hidden one is made and
// destroyed for it). False, and all 0, where nothing draws frames or the
// window system does not say.
bool MeasureNewWindowFrame(int& top, int& left, int& bottom, int& right);

// Shows the image (see runtime/image.h) as the window's icon in the window
// list and task switcher. False for a window not open or an invalid image.
bool SetWindowIcon(int number, int image);

// ---- for tests ----------------------------------------------------------------

std::string GetTitleText(int number);  // empty for a number not open
// The window's id on the X server, 0 when it is not open or not on X11.
uint64_t X11WindowId(int number);
