// SPDX-License-Identifier: MIT
#include "runtime/window.h"

#include <SDL.h>

#include <algorithm>
#include <map>
#include <vector>

#include "runtime/clock.h"
#include "runtime/image.h"
#include "runtime/native.h"
#include "runtime/screen.h"
#include "runtime/service_links.h"

// The message code WaitEvent returns after running a timer callback, as the
// window system reports a dispatched timer message.
constexpr int TimerMessage = 0x0113;
constexpr uint32_t MinimumTimerPeriod = 10;  // ms

struct AppWindow {
  SDL_Window* window;
  uint64_t openedAt;  // order of opening: the latest is the game window
  bool fullscreen;    // opened to cover its desktop
};

struct WindowTimer {
  void* window;
  uintptr_t id;
  uint32_t period;
  TimerCallback callback;
  uint64_t due;  // SDL ticks
};

// The program's windows and what hangs on them. CloseAllAppWindows closes
// the windows and starts the record afresh in one statement.
struct WindowState {
  std::map<int, AppWindow> byNumber;
  uint64_t openingCount = 0;
  std::vector<WindowTimer> timers;
  // A close request still queued for a window the program closed itself (a
  // scale change replaces the window): it stands for the user closing the
  // game and is handed out by the next WaitEvent.
  bool closeCarriedOver = false;
  // The F11 press that last toggled fullscreen has not been seen to end.
  bool fullscreenKeyHeld = false;
  // The X windows the program closed most recently. What the window system
  // had already sent one of them when it went (a close request, a key)
  // arrives afterwards and is passed on to the window that took its place.
  std::vector<uint64_t> closedXWindows;
  // When the program closed the window that had the keyboard focus (a scale
  // change or F11 replaces it), until the focus comes to the new one, and
  uint64_t focusHandedOverAt = 0;
};

constexpr size_t ClosedWindowsKept = 8;
// How long the keyboard is taken to be on its way to a new window at most.
constexpr uint64_t FocusHandOverMs = 250;

static WindowState appWindows;

static AppWindow* FindWindow(int number) {
  auto it = appWindows.byNumber.find(number);
  return it == appWindows.byNumber.end() ? nullptr : &it->second;
}

static int NumberOfHandle(const void* handle) {
  if (!handle) return 0;
  for (auto& [number, entry] : appWindows.byNumber)
    if (entry.window == handle) return number;
  return 0;
}

static int NumberOfSdlId(uint32_t id) {
  for (auto& [number, entry] : appWindows.byNumber)
    if (SDL_GetWindowID(entry.window) == id) return number;
  return 0;
}

bool IsAppWindowHandle(const void* handle) { return NumberOfHandle(handle) != 0; }

// The window the keyboard belongs to: the one carrying the screen, or else
// the window opened last.
static SDL_Window* GameWindow() {
  if (SDL_Window* screen = ScreenWindow(); screen && IsAppWindowHandle(screen)) return screen;
  SDL_Window* latest = nullptr;
  uint64_t latestAt = 0;
  for (auto& [number, entry] : appWindows.byNumber) {
    if (!latest || entry.openedAt > latestAt) {
      latest = entry.window;
      latestAt = entry.openedAt;
    }
  }
  return latest;
}

// SDL tracks focus from the window system's focus-in and focus-out events
// as it pumps them; reading its record here sees a loss at the same moment
// the FOCUS_LOST event is queued, before the event loop gets to it.
bool GameWindowHasFocus() {
  SDL_Window* game = GameWindow();
  return game && SDL_GetKeyboardFocus() == game;
}


bool FocusBeingHandedOver() {
  if (appWindows.focusHandedOverAt == 0) return false;
  const bool arrived = SDL_GetKeyboardFocus() != nullptr;
  if (!arrived && SDL_GetTicks64() - appWindows.focusHandedOverAt < FocusHandOverMs) return true;
  appWindows.focusHandedOverAt = 0;
  if (!arrived) return false;
  PressKeysStillDown(GameWindow());
  return true;  // SDL has them at its next look
}

bool KeyLetGoDuringHandOver() { return KeyLetGoSinceHandOver(GameWindow()); }




int OpenAppWindow(int number, int x, int y, int width, int height, const std::string& title,
                  uint32_t flags) {
  if (!SDL_WasInit(SDL_INIT_VIDEO) || width <= 0 || height <= 0) return 0;
  if (number == AnyWindow) {
    number = 1;
    while (appWindows.byNumber.count(number)) ++number;
  } else if (number <= 0 || appWindows.byNumber.count(number)) {
    return 0;
  }

  uint32_t sdlFlags = (flags & WindowHidden) ? SDL_WINDOW_HIDDEN : SDL_WINDOW_SHOWN;
  if (!(flags & WindowTitleBar)) sdlFlags |= SDL_WINDOW_BORDERLESS;
  if (flags & WindowCentred) x = y = SDL_WINDOWPOS_CENTERED;
  const bool fullscreen = (flags & WindowFullscreen) != 0;
  // SDL's own fullscreen would show the window first and then wait up to
  // 100 ms for the window manager to move and resize a window that already
  // covers the desktop: a tenth of a second on every F11. The same request
  // made on the window before it is shown costs nothing.
  if (fullscreen) sdlFlags = SDL_WINDOW_HIDDEN | SDL_WINDOW_BORDERLESS;

  SDL_Window* window = SDL_CreateWindow(title.c_str(), x, y, width, height, sdlFlags);
  if (!window) return 0;
  if (fullscreen) {
    AskFullscreenBeforeShowing(window);
    if (!(flags & WindowHidden)) SDL_ShowWindow(window);
  }
  // The window manager's fullscreen, and what reaches a window since
  // replaced, come only this way where the window system needs them.
  if (WantsWindowSystemEvents()) SDL_EventState(SDL_SYSWMEVENT, SDL_ENABLE);
  int clientWidth = 0, clientHeight = 0;
  SDL_GetWindowSize(window, &clientWidth, &clientHeight);
  if (clientWidth != width || clientHeight != height) {
    DestroySdlWindow(window);
    return 0;
  }
  appWindows.byNumber[number] = AppWindow{window, ++appWindows.openingCount, fullscreen};
  return number;
}

void* GetNativeWindow(int number) {
  AppWindow* entry = FindWindow(number);
  return entry ? entry->window : nullptr;
}

void RevealWindow(int number) {
  if (AppWindow* entry = FindWindow(number)) SDL_ShowWindow(entry->window);
}

void SetTitleText(int number, const std::string& text) {
  if (AppWindow* entry = FindWindow(number)) SDL_SetWindowTitle(entry->window, text.c_str());
}

std::string GetTitleText(int number) {
  AppWindow* entry = FindWindow(number);
  return entry ? std::string(SDL_GetWindowTitle(entry->window)) : std::string();
}

uint64_t X11WindowId(int number) {
  AppWindow* entry = FindWindow(number);
  return entry ? NativeWindowId(entry->window) : 0;
}

static bool CloseQueuedFor(SDL_Window* window) {
  const uint32_t id = SDL_GetWindowID(window);
  SDL_Event events[64];
  const int count = SDL_PeepEvents(events, 64, SDL_PEEKEVENT, SDL_WINDOWEVENT, SDL_WINDOWEVENT);
  for (int k = 0; k < count; ++k)
    if (events[k].window.event == SDL_WINDOWEVENT_CLOSE && events[k].window.windowID == id) return true;
  return false;
}

void CloseAppWindow(int number) {
  AppWindow* entry = FindWindow(number);
  if (!entry) return;
  SDL_Window* window = entry->window;
  if (CloseQueuedFor(window)) appWindows.closeCarriedOver = true;
  if (SDL_GetKeyboardFocus() == window) {
    appWindows.focusHandedOverAt = std::max<uint64_t>(1, SDL_GetTicks64());
    NoteKeysDown(window);
  }
  if (const uint64_t xid = X11WindowId(number)) {
    if (appWindows.closedXWindows.size() == ClosedWindowsKept)
      appWindows.closedXWindows.erase(appWindows.closedXWindows.begin());
    appWindows.closedXWindows.push_back(xid);
  }
  // A screen left open on the window would draw into a destroyed window.
  if (ScreenWindow() == window) CloseGlScreen();
  std::erase_if(appWindows.timers, [window](const WindowTimer& t) { return t.window == window; });
  appWindows.byNumber.erase(number);
  DestroySdlWindow(window);
}

bool GetWindowPlace(int number, int& x, int& y) {
  x = y = 0;
  AppWindow* entry = FindWindow(number);
  if (!entry) return false;
  SDL_GetWindowPosition(entry->window, &x, &y);
  return true;
}

bool GetWindowArea(int number, int& x, int& y, int& width, int& height) {
  width = height = 0;
  if (!GetWindowPlace(number, x, y)) return false;
  SDL_GetWindowSize(FindWindow(number)->window, &width, &height);
  return true;
}

void CloseAllAppWindows() {
  std::vector<int> numbers;
  for (auto& [number, entry] : appWindows.byNumber) numbers.push_back(number);
  for (int number : numbers) CloseAppWindow(number);
  appWindows = WindowState{};  // with every timer and a close carried over
}

// ---- timers ---------------------------------------------------------------

bool SetTimer(void* window, uintptr_t timerId, uint32_t periodMs, TimerCallback callback) {
  if (!IsAppWindowHandle(window) || !callback) return false;
  // Like desktop window systems, timers fire no faster than a minimum
  // period: a timer asked to fire every millisecond would wake the program
  // a thousand times a second for ticks that are due only every 16 ms.
  uint32_t period = std::max(periodMs, MinimumTimerPeriod);
  uint64_t due = SDL_GetTicks64() + period;
  for (WindowTimer& t : appWindows.timers) {
    if (t.window == window && t.id == timerId) {
      t = WindowTimer{window, timerId, period, callback, due};
      return true;
    }
  }
  appWindows.timers.push_back(WindowTimer{window, timerId, period, callback, due});
  return true;
}

void KillTimer(void* window, uintptr_t timerId) {
  std::erase_if(appWindows.timers,
                [&](const WindowTimer& t) { return t.window == window && t.id == timerId; });
}

// Runs the most overdue timer, if any is due. The timer is rescheduled
// before its callback runs, so the callback may kill or replace it, or close
// the window, safely.
static bool RunDueTimer(uint64_t now) {
  WindowTimer* due = nullptr;
  for (WindowTimer& t : appWindows.timers)
    if (t.due <= now && (!due || t.due < due->due)) due = &t;
  if (!due) return false;
  due->due = now + due->period;
  WindowTimer fired = *due;
  fired.callback(fired.window, TimerMessage, fired.id, static_cast<uint32_t>(now));
  return true;
}

// The timer due soonest; null when no timer runs.
static const WindowTimer* SoonestTimer() {
  const WindowTimer* soonest = nullptr;
  for (const WindowTimer& t : appWindows.timers)
    if (!soonest || t.due < soonest->due) soonest = &t;
  return soonest;
}

// How long a wait may last: the caller's wait (-1: forever), shortened for a
// timer. A timer falls in with a caller's deadline that comes less than one
// of its periods after it is due, as desktop window systems coalesce timers:
// a timer and a deadline of their own would each wake the program, twice a
// period, though both are there for the same work.
static int64_t WaitWithTimers(int64_t wait, uint64_t now) {
  const WindowTimer* timer = SoonestTimer();
  if (!timer) return wait;
  const int64_t timerWait = timer->due <= now ? 0 : static_cast<int64_t>(timer->due - now);
  if (wait < 0 || wait > timerWait + static_cast<int64_t>(timer->period)) return timerWait;
  return wait;
}

// ---- events ---------------------------------------------------------------


// Whether the program opened the window to cover its desktop.
static bool OpenedFullscreen(SDL_Window* window) {
  const AppWindow* entry = FindWindow(NumberOfHandle(window));
  return entry && entry->fullscreen;
}


// A change of size or state the window manager made on its own: the program
// is told when it now disagrees with the window about fullscreen, so that the
// display is laid out again instead of left in a corner of the screen.
static int FullscreenDisagreement(SDL_Window* window) {
  const bool ours = OpenedFullscreen(window);
  // Where no window manager keeps that state, nobody else can change it:
  // how the program opened the window is the answer.
  bool managers = ours;
  WindowManagerHoldsFullscreen(window, managers);
  if (managers && !ours) return FullscreenWantedEvent;
  if (!managers && ours) return WindowWantedEvent;
  return 0;
}



// Fullscreen replaces the window, and SDL forgets the keys of a window that
// goes: a held F11's repeats reach the new window as fresh presses and would
// toggle back and forth. So the press that acted counts as held until the
// key is found up. It is looked at on each sign that it may have been let
// go: SDL's key-up (also made for the dropped window, while the key may
// still be down), the window system's own (SDL passes none on for a key it
// already counts as up, whichever window it came to) and a gain of focus
// (let go while another program had the keyboard).
static bool MayEndFullscreenPress(const SDL_Event& event) {
  if (event.type == SDL_KEYUP) return event.key.keysym.scancode == SDL_SCANCODE_F11;
  if (event.type == SDL_WINDOWEVENT) return event.window.event == SDL_WINDOWEVENT_FOCUS_GAINED;
  return IsFullscreenKeyRelease(event);
}

static bool NewFullscreenPress(const SDL_Event& event) {
  if (event.type != SDL_KEYDOWN || event.key.keysym.scancode != SDL_SCANCODE_F11 ||
      event.key.repeat || appWindows.fullscreenKeyHeld || NumberOfSdlId(event.key.windowID) == 0) {
    return false;
  }
  appWindows.fullscreenKeyHeld = true;
  return true;
}


// An event code, or 0 for an event that means nothing to the program: the
// window system's own events are asked for only to see the window manager's
// fullscreen and F11 let go, and are otherwise passed over as if they never
// came.
static int HandleEvent(const SDL_Event& event) {
  if (appWindows.fullscreenKeyHeld && MayEndFullscreenPress(event)) {
    appWindows.fullscreenKeyHeld = FullscreenKeyDownNow(ScreenWindow());
  }
  if (event.type == SDL_SYSWMEVENT) {
    if (AnswerClosedWindow(event, appWindows.closedXWindows, GameWindow())) return CloseWindowEvent;
    return IsWindowStateChange(event, ScreenWindow()) ? FullscreenDisagreement(ScreenWindow()) : 0;
  }
  if (event.type == SDL_QUIT) {
    // Only the session ending gets here: the program treats it as the user
    // closing its window.
    return CloseWindowEvent;
  }
  if (event.type == SDL_WINDOWEVENT && event.window.event == SDL_WINDOWEVENT_CLOSE &&
      NumberOfSdlId(event.window.windowID) != 0) {
    // The window stays open; the program decides what a close request means.
    // Should SDL still add a quit event for the same request, it must not
    // count as a second one.
    SDL_FlushEvent(SDL_QUIT);
    return CloseWindowEvent;
  }
  if (event.type == SDL_WINDOWEVENT && ScreenWindow() &&
      event.window.windowID == SDL_GetWindowID(ScreenWindow())) {
    // The window system dropped what the window showed (it was covered,
    // minimised or moved): only parts of the frame would come back.
    const uint8_t what = event.window.event;
    if (what == SDL_WINDOWEVENT_EXPOSED || what == SDL_WINDOWEVENT_SHOWN ||
        what == SDL_WINDOWEVENT_RESTORED || what == SDL_WINDOWEVENT_SIZE_CHANGED) {
      ScreenLostContents();
    }
    if (what == SDL_WINDOWEVENT_SIZE_CHANGED || what == SDL_WINDOWEVENT_MAXIMIZED ||
        what == SDL_WINDOWEVENT_RESTORED) {
      if (const int code = FullscreenDisagreement(ScreenWindow())) return code;
    }
  }
  // F11 is no game key: it acts on the press itself.
  if (NewFullscreenPress(event)) return FullscreenKeyEvent;
  return static_cast<int>(event.type);
}

bool CloseRequestPending() {
  if (EndRequested() || appWindows.closeCarriedOver) return true;
  if (!SDL_WasInit(SDL_INIT_EVENTS)) return false;
  SDL_PumpEvents();
  if (SDL_PeepEvents(nullptr, 0, SDL_PEEKEVENT, SDL_QUIT, SDL_QUIT) > 0) return true;
  SDL_Event events[32];
  const int count = SDL_PeepEvents(events, 32, SDL_PEEKEVENT, SDL_WINDOWEVENT, SDL_WINDOWEVENT);
  for (int k = 0; k < count; ++k)
    if (events[k].window.event == SDL_WINDOWEVENT_CLOSE && NumberOfSdlId(events[k].window.windowID))
      return true;
  return false;
}

int WaitEvent(int timeout) {
  if (appWindows.closeCarriedOver) {
    appWindows.closeCarriedOver = false;
    return CloseWindowEvent;
  }
  if (!SDL_WasInit(SDL_INIT_EVENTS)) return 0;

  const uint64_t start = SDL_GetTicks64();
  // The program clock's millisecond the caller waits for (the tick's): where
  // whole-millisecond waits land late, the wait aims at its start.
  const bool fine = timeout >= 0 && !ClockSubstituted() && FineWaits();
  const int64_t dueMs = fine ? ReadClock() + timeout : 0;
  bool justPumped = false;  // a wait has just read the window system's queue
  for (;;) {
    if (TakeEndRequest()) return CloseWindowEvent;
    // Window events come first; a due timer runs only when none is waiting.
    // A tick slower than the timer period leaves a timer due at every call,
    // and would otherwise keep close requests and keys waiting for ever.
    // Right after a wait, SDL's own queue is up to date: reading the window
    // system again would only cost another round of system calls.
    SDL_Event event;
    const bool queued =
        justPumped ? SDL_PeepEvents(&event, 1, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) > 0
                   : SDL_PollEvent(&event) != 0;
    if (queued) {
      if (const int code = HandleEvent(event)) return code;
      continue;  // passed over: the next event, or the wait, as before it came
    }
    const uint64_t now = SDL_GetTicks64();
    if (RunDueTimer(now)) return TimerMessage;

    int64_t wait = -1;  // forever
    if (timeout >= 0) {
      const uint64_t end = start + static_cast<uint64_t>(timeout);
      if (now >= end) return 0;
      wait = static_cast<int64_t>(end - now);
    }
    wait = WaitWithTimers(wait, now);

    int got = 0;
    if (fine) {
      const double left = static_cast<double>(dueMs) - ReadClockFinely();
      if (left <= 0) return 0;
      WaitFinely(std::min(left, static_cast<double>(wait)));
      got = SDL_PollEvent(&event);
    } else if (wait < 0) {
      got = SDL_WaitEvent(&event);
      if (!got) return 0;  // SDL_WaitEvent failed: nothing will arrive
    } else if (wait > 0) {
      got = SDL_WaitEventTimeout(&event, static_cast<int>(wait));
    }
    if (got) {
      if (const int code = HandleEvent(event)) return code;
      justPumped = true;
      continue;
    }
    justPumped = wait > 0;
    // The wait ended: back to the top, where a timer that fell due meanwhile
    // still comes after any event that arrived with it.
  }
}

// ---- alert and desktops ---------------------------------------------------

void AllowScreenSaver(bool allowed) {
  if (!SDL_WasInit(SDL_INIT_VIDEO)) return;
  if (allowed) {
    SDL_EnableScreenSaver();
  } else {
    SDL_DisableScreenSaver();
  }
}

bool ShowAlert(const std::string& title, const std::string& text) {
  SDL_Window* owner = nullptr;
  if (SDL_WasInit(SDL_INIT_VIDEO)) {
    SDL_Window* focused = SDL_GetKeyboardFocus();
    if (IsAppWindowHandle(focused)) owner = focused;
  }
  return SDL_ShowSimpleMessageBox(0, title.c_str(), text.c_str(), owner) == 0;
}

int CountDesktops() {
  if (!SDL_WasInit(SDL_INIT_VIDEO)) return 0;
  int count = SDL_GetNumVideoDisplays();
  return count > 0 ? count : 0;
}

int GetDesktopWidth(int index) {
  if (index < 0 || index >= CountDesktops()) return 0;
  SDL_DisplayMode mode;
  if (SDL_GetDesktopDisplayMode(index, &mode) != 0) return 0;
  return mode.w;
}

// ---- desktop room and window decoration -----------------------------------

// An area of desktop `index` as SDL's `bounds` gives it.
static bool DesktopArea(int (*bounds)(int, SDL_Rect*), int index, int& x, int& y, int& width,
                        int& height) {
  x = y = width = height = 0;
  if (index < 0 || index >= CountDesktops()) return false;
  SDL_Rect area;
  if (bounds(index, &area) != 0 || area.w <= 0 || area.h <= 0) return false;
  x = area.x;
  y = area.y;
  width = area.w;
  height = area.h;
  return true;
}

bool GetDesktopUsableArea(int index, int& x, int& y, int& width, int& height) {
  return DesktopArea(SDL_GetDisplayUsableBounds, index, x, y, width, height);
}

bool GetDesktopBounds(int index, int& x, int& y, int& width, int& height) {
  return DesktopArea(SDL_GetDisplayBounds, index, x, y, width, height);
}

bool GetDesktopUsableSize(int index, int& width, int& height) {
  int x = 0, y = 0;
  return GetDesktopUsableArea(index, x, y, width, height);
}

void GetWindowFrame(int number, int& top, int& left, int& bottom, int& right) {
  top = left = bottom = right = 0;
  AppWindow* entry = FindWindow(number);
  if (!entry || SDL_GetWindowBordersSize(entry->window, &top, &left, &bottom, &right) != 0) {
    top = left = bottom = right = 0;
  }
}


bool MeasureNewWindowFrame(int& top, int& left, int& bottom, int& right) {
  top = left = bottom = right = 0;
  // Only where windows are real: an offscreen window has no frame to ask for.
  if (!SDL_WasInit(SDL_INIT_VIDEO) ||
      std::string(RealWindowDrivers()).find(SDL_GetCurrentVideoDriver()) == std::string::npos) {
    return false;
  }
  SDL_Window* probe = SDL_CreateWindow("", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, 64, 64,
                                       SDL_WINDOW_HIDDEN);
  if (!probe) return false;
  const bool known = AskWindowManagerForFrame(probe, top, left, bottom, right);
  DestroySdlWindow(probe);
  return known;
}

bool SetWindowIcon(int number, int image) {
  AppWindow* entry = FindWindow(number);
  int width = 0, height = 0;
  if (!entry || !ImageDims(image, width, height)) return false;
  // Straight alpha, red in the low byte: what ImagePixel reads out.
  SDL_Surface* icon = SDL_CreateRGBSurfaceWithFormat(0, width, height, 32, SDL_PIXELFORMAT_ABGR8888);
  if (!icon) return false;
  for (int y = 0; y < height; ++y) {
    uint32_t* row = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(icon->pixels) + y * icon->pitch);
    for (int x = 0; x < width; ++x) row[x] = ImagePixel(image, x, y);
  }
  SDL_SetWindowIcon(entry->window, icon);
  SDL_FreeSurface(icon);
  return true;
}
