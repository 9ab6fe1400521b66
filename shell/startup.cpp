// SPDX-License-Identifier: MIT
#include "shell/startup.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "menu/menu.h"
#include "play/keys.h"
#include "runtime/clock.h"
#include "runtime/screen.h"
#include "runtime/gamepad.h"
#include "runtime/platform.h"
#include "runtime/window.h"
#include "shell/display.h"
#include "shell/fullscreen.h"
#include "shell/state.h"
#include "shell/tick.h"
#include "shell/version.h"

static constexpr const char* FailureCaption = "Zuz avido dovi";
static constexpr const char* FailureText = "Failed to init base video stuff";

// The keys as README.md, the man page, the AppStream description and the
// Windows zip's README list them; a test checks that all of them name every
// key the bindings use.
static constexpr const char* Usage =
    "Usage: pellovar [--help | --version]\n"
    "A falling-block puzzle game for one or two players, at one keyboard or with\n"
    "a game controller each.\n"
    "It takes no other options and ignores any other arguments.\n"
    "\n"
    "Keys                             Player 1      Player 2\n"
    "  Move left                      Left arrow    Keypad 4\n"
    "  Move right                     Right arrow   Keypad 6\n"
    "  Move down (hold to drop)       Down arrow    Keypad 5\n"
    "  Turn a quarter clockwise       Up arrow      Keypad 8\n"
    "  Pause and open the menu        Escape\n"
    "\n"
    "In the menus: Up and Down choose, Enter or Space activates, Left and Right\n"
    "change the scale, Escape or Backspace go back. F11 fills the screen and\n"
    "gives the window back.\n"
    "\n"
    "Game controllers: the first connected is player 1's, the second player 2's.\n"
    "D-pad or left stick move and turn (up), A or X turn, Start pauses; in the\n"
    "menus A activates, B or Back go back. A player's controller pulled out\n"
    "during a game pauses it. SDL_GAMECONTROLLERCONFIG adds mappings for\n"
    "controllers SDL does not know (see the manual page).\n";

const char* UsageText() { return Usage; }

int AnswerArguments(int argc, const char* const argv[]) {
  for (int i = 1; i < argc; ++i) {
    const bool asked = std::strcmp(argv[i], "--version") == 0 || std::strcmp(argv[i], "--help") == 0;
    if (asked) UseParentConsole();
    if (std::strcmp(argv[i], "--version") == 0) {
      std::printf("%s %s\n", ProductName, ProductVersion);
    } else if (std::strcmp(argv[i], "--help") == 0) {
      std::fputs(Usage, stdout);
    } else {
      continue;
    }
    // A full disk or a closed pipe must not pass for an answer, nor fail
    // without a word.
    errno = 0;
    if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return 0;
    const int error = errno;
    std::fprintf(stderr, "pellovar: write error%s%s\n", error ? ": " : "",
                 error ? std::strerror(error) : "");
    return 1;
  }
  return KeepRunning;
}

static void Shutdown() {
  // StopPlatform closes the screen before it destroys the windows, and
  // releases the keyboard.
  StopPlatform();
}

void ExitProgram() {
  gameState.mode = Quit;
  Shutdown();
  std::exit(0);
}

// "DISPLAY=:0" or "DISPLAY unset", for the line that says what is missing.
static std::string DescribeVariable(const char* name) {
  const char* value = std::getenv(name);
  return value && value[0] != '\0' ? std::string(name) + "=" + value : std::string(name) + " unset";
}

void ExitAfterVideoFailure() {
  // Also on standard error: with no display at all the box cannot be shown.
  std::fprintf(stderr, "%s: %s\n", FailureCaption, FailureText);
  if (ScreenFailure()[0] != '\0')
    std::fprintf(stderr, "pellovar: the game's picture cannot be put in a window here: %s\n", ScreenFailure());
  if (CountDesktops() > 0) {
    ShowAlert(FailureCaption, FailureText);
  } else if (const char* driver = ChosenVideoDriver()) {
    // The user's own choice failed: say which and why, not that no display
    // exists, which may not be so.
    std::fprintf(stderr, "pellovar: the video driver \"%s\" named in SDL_VIDEODRIVER did not start: %s\n",
                 driver, PlatformFailure());
  } else {
    // No display was reached, so no box either: SDL would hand it to zenity
    // or kdialog, which only add warnings of their own. Say what is missing.
    std::fprintf(stderr, "pellovar: no X11 or Wayland display could be reached (%s, %s)\n",
                 DescribeVariable("DISPLAY").c_str(), DescribeVariable("WAYLAND_DISPLAY").c_str());
  }
  Shutdown();
  std::exit(1);
}

void StartProgram() {
  ZeroGlobalState();  // global state zeroed, containers and fixed styles made
  bool platformUp = StartPlatform();
  // The game runs without input when the keyboard cannot be had; controllers
  // are a second way in, and without them the keyboard is enough.
  if (InitKeyboard()) StartGamepads();

  if (!platformUp || CountDesktops() == 0) ExitAfterVideoFailure();
  // From the width, then lowered until the window fits a desktop that is
  // short for its width.
  float scale = FitStartScale(static_cast<float>(GetDesktopWidth(0)) / 1600.0f * 1.1f);
  if (OpenDisplay(1, 16, scale, scale, true) == 0) ExitAfterVideoFailure();

  BuildMenus();
  ShowMainMenu(0);
}

// F11, or the window manager taking the window into fullscreen or out of it
// by itself: the display is rebuilt for the new screen, as a scale change.
// False for any other event.
static bool AnswerFullscreenEvent(int code) {
  bool opened = true;
  if (code == FullscreenKeyEvent) {
    opened = ToggleFullscreen();
  } else if (code == FullscreenWantedEvent) {
    opened = FollowWindowManagerFullscreen();
  } else if (code == WindowWantedEvent) {
    opened = LeaveFullscreen();
  } else {
    return false;
  }
  if (!opened) ExitAfterVideoFailure();
  RefreshScaleCaption();
  return true;
}

bool EventLoopPass(int timeout) {
  int code = WaitEvent(timeout);
  if (AnswerFullscreenEvent(code)) return true;
  if (code == CloseWindowEvent) {
    gameState.mode = Quit;
  } else if (code != 0) {
    return true;  // drain pending events before ticking directly
  }
  if (gameState.mode == Quit) return false;
  Tick(GetNativeWindow(screenState.window), 0, 0, 0);
  return true;
}

// How long the loop may wait before a tick is due. Waking every millisecond
// only to find the tick not yet due would cost more than the game itself
// while it is idle; waking when it is due starts each tick on the same
// millisecond, and any event still ends the wait at once.
int UntilTickDue() {
  const int64_t wait = tickState.nextTickTime - ReadClock();
  return static_cast<int>(std::clamp<int64_t>(wait, 0, TickPeriod));
}

int RunProgram(int argc, const char* const argv[]) {
  const int answered = AnswerArguments(argc, argv);
  if (answered != KeepRunning) return answered;
  StartProgram();
  while (EventLoopPass(UntilTickDue())) {
  }
  ExitProgram();
}
