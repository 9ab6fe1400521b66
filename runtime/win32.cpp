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
void HandleWindowSystemErrors(bool) {}
void DestroySdlWindow(SDL_Window* window) { SDL_DestroyWindow(window); }
void AskFullscreenBeforeShowing(SDL_Window*) {}
bool WindowManagerHoldsFullscreen(SDL_Window*, bool&) { return false; }
bool IsWindowStateChange(const SDL_Event&, SDL_Window*) { return false; }
bool FullscreenKeyDownNow(SDL_Window*) { return (GetAsyncKeyState(VK_F11) & 0x8000) != 0; }
bool IsFullscreenKeyRelease(const SDL_Event&) { return false; }
void NoteKeysDown(SDL_Window*) {}
void PressKeysStillDown(SDL_Window*) {}
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
