// SPDX-License-Identifier: MIT
// runtime/native.h on Windows. SDL's own Windows driver does what X11 needs
// extra code for: its window surface goes to the window through GDI without
// a round trip, a destroyed window leaves nothing behind and a window never
// replaced receives nothing late. What stays is F11 as the keyboard has it,
// and the console's and the session's ends as requests to close.
#include <SDL.h>
#include <windows.h>

#include <atomic>
#include <cstdio>

#include "runtime/native.h"

const char* RealWindowDrivers() { return "windows"; }
const char* MissingDisplayReason(const char*) { return ""; }
bool WantsWindowSystemEvents() { return false; }
uint64_t NativeWindowId(SDL_Window*) { return 0; }

void AttachParentConsole() {
  // Output already going somewhere (a file, a pipe) stays there.
  const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  if (out && out != INVALID_HANDLE_VALUE) return;
  if (!AttachConsole(ATTACH_PARENT_PROCESS)) return;
  std::freopen("CONOUT$", "w", stdout);
  std::freopen("CONOUT$", "w", stderr);
}
// A wait in whole milliseconds ends on average half a millisecond late or more,
// so a tick due 16 ms after the last began would mostly start a millisecond
// late: 59 ticks a second. A timer of the program's own, in tenths of a
// microsecond, ends where it is asked. The one timer lives as long as the
// process: a kernel object the next window reuses.
static HANDLE fineTimer;
#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION  // Windows 10 1803 on; older MinGW headers lack it
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

bool FineWaits() {
  if (!fineTimer) {
    fineTimer = CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION,
                                       TIMER_ALL_ACCESS);
  }
  return fineTimer != nullptr;
}

void WaitFinely(double ms) {
  LARGE_INTEGER due;
  due.QuadPart = -static_cast<LONGLONG>(ms * 10000.0);  // relative, in 100 ns
  if (!SetWaitableTimer(fineTimer, &due, 0, nullptr, nullptr, FALSE)) return;
  MsgWaitForMultipleObjectsEx(1, &fineTimer, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
  CancelWaitableTimer(fineTimer);
}

void HandleWindowSystemErrors(bool) {}
void DestroySdlWindow(SDL_Window* window) { SDL_DestroyWindow(window); }
void AskFullscreenBeforeShowing(SDL_Window*) {}
bool WindowManagerHoldsFullscreen(SDL_Window*, bool&) { return false; }
bool IsWindowStateChange(const SDL_Event&, SDL_Window*) { return false; }
bool FullscreenKeyDownNow(SDL_Window*) { return (GetAsyncKeyState(VK_F11) & 0x8000) != 0; }
bool IsFullscreenKeyRelease(const SDL_Event&) { return false; }
void NoteKeysDown(SDL_Window*) {}
void PressKeysStillDown(SDL_Window*) {}
bool KeyLetGoSinceHandOver(SDL_Window*) { return false; }
bool AnswerClosedWindow(const SDL_Event&, const std::vector<uint64_t>&, SDL_Window*) { return false; }
// Windows knows a window's frame as soon as it exists, hidden or not.
bool AskWindowManagerForFrame(SDL_Window* probe, int& top, int& left, int& bottom, int& right) {
  return SDL_GetWindowBordersSize(probe, &top, &left, &bottom, &right) == 0;
}

bool PaintMarginByWindowSystem(SDL_Window*, uint32_t, const SDL_Rect*, int) { return false; }
bool BindSharedImage(SDL_Window*, int, int, uint32_t*&, int&) { return false; }
void PutSharedImage(const SDL_Rect*, int, int, int) {}
void AwaitSharedPut() {}
void ReleaseSharedImage() {}
void StopSharedPresenting() {}
void TakeInRows(uint8_t*, int, size_t, int) {}
void FinishTakingInRows() {}

// Ctrl+C, Ctrl+Break, the console window closed, the user logging off and
// the system shutting down all come to a handler on a thread of the
// system's. It asks the event loop to close, and for the last three, after
// which Windows ends the process as soon as the handler returns, it gives
// the loop two seconds to end the game first.
static std::atomic<bool> endRequested{false};
static std::atomic<bool> watching{false};

static BOOL WINAPI OnConsoleEvent(DWORD event) {
  endRequested = true;
  if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) return TRUE;
  for (int waited = 0; waited < 2000 && watching; waited += 20) Sleep(20);
  return TRUE;
}

void WatchEndSignals() {
  if (!watching.exchange(true)) SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

void UnwatchEndSignals() {
  if (watching.exchange(false)) SetConsoleCtrlHandler(OnConsoleEvent, FALSE);
  endRequested = false;
}

bool EndRequested() { return endRequested; }

bool TakeEndRequest() { return endRequested.exchange(false); }
