// SPDX-License-Identifier: MIT
// Windows, the window timer and platform start-up, on SDL's offscreen
// driver. What needs a real X server is in window_xtest.cpp.
#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "runtime/platform.h"
#include "runtime/clock.h"
#include "runtime/window.h"
#include "shell/version.h"
#include "tests/support/env_scope.h"
#include "tests/support/screen_fixture.h"

namespace {

class WindowTest : public probe::PlatformTest {
 protected:
  static int Open(int number = AnyWindow) {
    return OpenAppWindow(number, 0, 0, 40, 30, "window test",
                         WindowCentred | WindowTitleBar | WindowHidden);
  }
  // Takes whatever SDL queued while windows were made.
  static void Drain() {
    for (int k = 0; k < 1000 && WaitEvent(0) != 0; ++k) {
    }
  }
};

// A Linux machine may have no display at all; Windows always has its desktop.
#ifndef _WIN32
TEST(Platform, HeadlessWithoutANamedDriverFails) {
  // No display and no driver named: SDL would fall back to an invisible one.
  EnvScope driver("SDL_VIDEODRIVER", nullptr);
  EnvScope display("DISPLAY", nullptr);
  EnvScope wayland("WAYLAND_DISPLAY", nullptr);
  EXPECT_FALSE(StartPlatform());
  EXPECT_EQ(CountDesktops(), 0) << "nothing may be left started";
  EXPECT_EQ(OpenAppWindow(AnyWindow, 0, 0, 10, 10, "x", WindowHidden), 0);
  StopPlatform();
}
#endif

// The app id a Wayland desktop matches to the menu entry: the entry's own,
// unless the user chose another.
TEST(Platform, WaylandAppIdIsTheEntrysUnlessSet) {
  EnvScope driver("SDL_VIDEODRIVER", "offscreen");
  const struct {
    const char* before;
    const char* expected;
  } rows[] = {{nullptr, "org.pellovar.Pellovar"}, {"my.own.Id", "my.own.Id"}};
  for (const auto& row : rows) {
    EnvScope appId("SDL_VIDEO_WAYLAND_WMCLASS", row.before);
    ASSERT_TRUE(StartPlatform());
    // As SDL reads it: on Windows the C library keeps a copy of its own.
    const char* now = SDL_getenv("SDL_VIDEO_WAYLAND_WMCLASS");
    EXPECT_STREQ(now, row.expected) << "set before: " << (row.before ? row.before : "nothing");
    StopPlatform();
  }
}

TEST(Platform, StopIsSafeTwiceAndStartWorksAgain) {
  EnvScope driver("SDL_VIDEODRIVER", "offscreen");
  for (int round = 0; round < 2; ++round) {
    ASSERT_TRUE(StartPlatform()) << "round " << round;
    EXPECT_TRUE(StartPlatform()) << "starting twice is harmless";
    int window = OpenAppWindow(AnyWindow, 0, 0, 20, 20, "x", WindowHidden);
    EXPECT_EQ(window, 1) << "round " << round;
    StopPlatform();
    EXPECT_EQ(GetNativeWindow(window), nullptr) << "stop closes the windows";
    StopPlatform();
  }
}

TEST_F(WindowTest, NumbersAreChosenAndReused) {
  EXPECT_EQ(Open(), 1);
  EXPECT_EQ(Open(), 2);
  EXPECT_EQ(Open(5), 5);
  EXPECT_EQ(Open(5), 0) << "a number in use cannot be opened again";
  EXPECT_EQ(Open(0), 0);
  EXPECT_EQ(Open(-7), 0);
  CloseAppWindow(1);
  EXPECT_EQ(GetNativeWindow(1), nullptr);
  EXPECT_EQ(Open(), 1) << "the lowest free number";
  EXPECT_EQ(Open(), 3);
  CloseAppWindow(42);  // not open: nothing happens
  RevealWindow(42);
  EXPECT_EQ(X11WindowId(42), 0u);
  EXPECT_NE(GetNativeWindow(2), nullptr);
  EXPECT_NE(GetNativeWindow(1), GetNativeWindow(2));

  struct {
    int w, h;
  } badSizes[] = {{0, 10}, {10, 0}, {-5, 10}};
  for (auto s : badSizes)
    EXPECT_EQ(OpenAppWindow(AnyWindow, 0, 0, s.w, s.h, "x", WindowHidden), 0)
        << s.w << " x " << s.h;
}

TEST_F(WindowTest, TitleRoundTrip) {
  int window = Open();
  ASSERT_NE(window, 0);
  EXPECT_EQ(GetTitleText(window), "window test");
  const std::string titles[] = {ProductTitle, std::string(ProductTitle) + " 62.5 fps", "",
                                "Ünïcödé ✓"};
  for (const std::string& title : titles) {
    SetTitleText(window, title);
    EXPECT_EQ(GetTitleText(window), title);
  }
  SetTitleText(99, "nobody");
  EXPECT_EQ(GetTitleText(99), "");
}

struct TimerLog {
  std::vector<uintptr_t> ids;
  void* window = nullptr;
  uint32_t message = 0;
  bool killSelf = false;
};
TimerLog timerLog;

void RecordTimer(void* window, uint32_t message, uintptr_t id, uint32_t) {
  timerLog.ids.push_back(id);
  timerLog.window = window;
  timerLog.message = message;
  if (timerLog.killSelf) KillTimer(window, id);
}

TEST_F(WindowTest, TimerRunsInsideWaitEventUntilKilled) {
  int window = Open();
  void* handle = GetNativeWindow(window);
  Drain();
  timerLog = TimerLog{};
  ASSERT_TRUE(SetTimer(handle, 109, 1, RecordTimer));
  int timerCode = 0;
  for (int k = 0; k < 5000 && timerLog.ids.size() < 3; ++k) {
    int code = WaitEvent(1);
    if (!timerLog.ids.empty() && timerCode == 0) timerCode = code;
  }
  ASSERT_GE(timerLog.ids.size(), 3u) << "the timer never ran";
  EXPECT_EQ(timerLog.ids[0], 109u);
  EXPECT_EQ(timerLog.window, handle);
  EXPECT_NE(timerLog.message, 0u);
  EXPECT_NE(timerCode, 0) << "WaitEvent reports the timer it ran";

  // Held to a minimum period: a timer asked for every millisecond must not
  // wake the program a thousand times a second.
  timerLog = TimerLog{};
  const auto start = std::chrono::steady_clock::now();
  while (std::chrono::steady_clock::now() - start < std::chrono::milliseconds(100)) WaitEvent(1);
  EXPECT_LE(timerLog.ids.size(), 11u) << "a period-1 timer fired this often in 100 ms";

  KillTimer(handle, 109);
  size_t calls = timerLog.ids.size();
  for (int k = 0; k < 20; ++k) WaitEvent(1);
  EXPECT_EQ(timerLog.ids.size(), calls) << "killed timer ran again";
}

TEST_F(WindowTest, TimerMayKillItselfAndDiesWithItsWindow) {
  int first = Open(), second = Open();
  Drain();
  timerLog = TimerLog{};
  timerLog.killSelf = true;
  ASSERT_TRUE(SetTimer(GetNativeWindow(first), 7, 1, RecordTimer));
  for (int k = 0; k < 50; ++k) WaitEvent(2);
  EXPECT_EQ(timerLog.ids.size(), 1u) << "a timer that kills itself runs once";

  timerLog = TimerLog{};
  ASSERT_TRUE(SetTimer(GetNativeWindow(second), 8, 1, RecordTimer));
  ASSERT_TRUE(SetTimer(GetNativeWindow(second), 8, 1, RecordTimer)) << "replacing is allowed";
  CloseAppWindow(second);
  for (int k = 0; k < 20; ++k) WaitEvent(2);
  EXPECT_TRUE(timerLog.ids.empty()) << "timer outlived its window";

  int notAWindow = 0;
  EXPECT_FALSE(SetTimer(&notAWindow, 1, 1, RecordTimer));
  EXPECT_FALSE(SetTimer(nullptr, 1, 1, RecordTimer));
  KillTimer(&notAWindow, 1);  // nothing to kill: nothing happens
}

// A loop that wakes for deadlines of its own, half a period out of step with
// a timer of the same period, must not be woken by the timer as well. Only a
// timer run well before the caller's deadline counts: a busy machine makes
// wake-ups late, never early, so the count does not depend on the load.
TEST_F(WindowTest, ATimerFallsInWithTheCallersDeadlines) {
  using namespace std::chrono;
  void* handle = GetNativeWindow(Open());
  Drain();
  timerLog = TimerLog{};
  ASSERT_TRUE(SetTimer(handle, 5, 16, RecordTimer));
  auto deadline = steady_clock::now() + milliseconds(8);
  int early = 0;
  for (int k = 0; k < 20; ++k) {
    const auto left = ceil<milliseconds>(deadline - steady_clock::now()).count();
    const size_t runs = timerLog.ids.size();
    WaitEvent(static_cast<int>(std::max<int64_t>(left, 0)));
    const auto now = steady_clock::now();
    if (timerLog.ids.size() > runs && now + milliseconds(2) < deadline) ++early;
    while (deadline <= now) deadline += milliseconds(16);
  }
  // A run due just after a deadline waits for the next one: over 100 runs
  // here the count went from 9 to 19. A starved timer runs not at all.
  EXPECT_GE(timerLog.ids.size(), 5u) << "the timer must still run";
  EXPECT_LE(early, 2) << "the timer woke the loop between the caller's deadlines";
}

TEST_F(WindowTest, WaitEventReturnsZeroWhenNothingArrives) {
  Open();
  Drain();
  for (int timeout : {0, 1, 5, 16}) {
    const int64_t asked = ReadClock();
    EXPECT_EQ(WaitEvent(timeout), 0) << "timeout " << timeout;
#ifdef _WIN32
    // Windows' waits aim at the start of the program clock's millisecond the
    // caller waits for. A busy machine makes them end late, never early: an
    // early end would leave the tick not yet due, and the loop spinning.
    EXPECT_GE(ReadClock(), asked + timeout) << "timeout " << timeout << " ended early";
#else
    (void)asked;  // SDL's waits count SDL's own milliseconds, out of step by a fraction
#endif
  }
}

TEST_F(WindowTest, DesktopsUnderTheOffscreenDriver) {
  int count = CountDesktops();
  ASSERT_GE(count, 1);
  EXPECT_GT(GetDesktopWidth(0), 0);
  for (int index : {-1, count, count + 4}) EXPECT_EQ(GetDesktopWidth(index), 0) << index;
}

}  // namespace
