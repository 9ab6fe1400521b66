// SPDX-License-Identifier: MIT
// The window, events and keyboard services against a real X server (Xvfb,
// 1600 × 900, no window manager). Xlib and the X tools stand in for the
// user: they ask windows to close, move the focus and press keys.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <SDL.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>
#include <functional>
#include <string>
#include <vector>

#include "runtime/image.h"
#include "runtime/keyboard.h"
#include "runtime/platform.h"
#include "runtime/screen.h"
#include "runtime/window.h"
#include "shell/version.h"
#include "tests/support/env_scope.h"
#include "tests/support/pixels.h"

namespace {

constexpr int GameW = 456;  // 38 × 39 cells of 12 pixels
constexpr int GameH = 468;

// A busy Xvfb can refuse a connection for a moment (EAGAIN), so the X tools
// and the test's own connection try again a few times before giving up.
std::string RunCommand(const std::string& command) {
  std::string output;
  for (int attempt = 0; attempt < 20; ++attempt) {
    output.clear();
    if (FILE* pipe = popen((command + " 2>&1").c_str(), "r")) {
      char buffer[512];
      while (fgets(buffer, sizeof buffer, pipe)) output += buffer;
      pclose(pipe);
    }
    if (output.find("open display") == std::string::npos) break;
    usleep(20000);
  }
  while (!output.empty() && (output.back() == '\n' || output.back() == ' ')) output.pop_back();
  return output;
}

Display* ConnectToX() {
  for (int attempt = 0; attempt < 20; ++attempt) {
    if (Display* display = XOpenDisplay(nullptr)) return display;
    usleep(20000);
  }
  return nullptr;
}

// The value after "label" on its line of xwininfo's report.
std::string WindowInfo(uint64_t xid, const std::string& label) {
  std::string report = RunCommand("xwininfo -id " + std::to_string(xid));
  size_t at = report.find(label);
  if (at == std::string::npos) return "(no " + label + " in: " + report + ")";
  size_t start = at + label.size();
  size_t end = report.find('\n', start);
  std::string value = report.substr(start, end == std::string::npos ? end : end - start);
  while (!value.empty() && value.front() == ' ') value.erase(0, 1);
  return value;
}

// Lets the program's event loop run until `done` holds, for at most
// `rounds` waits of 5 ms. Returns whether it held.
bool PumpUntil(const std::function<bool()>& done, int rounds = 400) {
  for (int k = 0; k < rounds; ++k) {
    if (done()) return true;
    WaitEvent(5);
  }
  return done();
}

int KeysDown() {
  int count = 0;
  for (int code = 1; code < 256; ++code) count += IsKeyDown(static_cast<int16_t>(code)) ? 1 : 0;
  return count;
}

class XWindowTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(StartPlatform());
    display = ConnectToX();
    ASSERT_NE(display, nullptr);
    window = OpenAppWindow(AnyWindow, 0, 0, GameW, GameH, ProductTitle,
                           WindowCentred | WindowTitleBar | WindowHidden);
    ASSERT_NE(window, 0);
    xid = X11WindowId(window);
    ASSERT_NE(xid, 0u);
  }
  void TearDown() override {
    if (other) XDestroyWindow(display, other);
    if (display) XCloseDisplay(display);
    StopPlatform();
  }

  void Reveal() {
    revealed = true;
    RevealWindow(window);
    ASSERT_TRUE(PumpUntil([&] { return WindowInfo(xid, "Map State:") == "IsViewable"; }))
        << "map state: " << WindowInfo(xid, "Map State:");
  }

  // As the game does it. Opening a screen may replace the X window
  // behind the SDL window, so the id is read again.
  void OpenScreen() {
    ASSERT_NE(OpenGlScreen(GetNativeWindow(window), 0, 0, GameW, GameH, 0, 0, 0, 0), 0);
    xid = X11WindowId(window);
    ASSERT_NE(xid, 0u);
    if (revealed) {
      ASSERT_TRUE(PumpUntil([&] { return WindowInfo(xid, "Map State:") == "IsViewable"; }));
    }
  }

  // What a window manager sends when the user clicks the close box.
  void RequestClose() {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = xid;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, xid, False, NoEventMask, &event);
    XFlush(display);
  }

  // A plain X window of another client, to take the focus away.
  void FocusOtherWindow() {
    if (!other) {
      other = XCreateSimpleWindow(display, DefaultRootWindow(display), 10, 10, 50, 50, 0, 0, 0);
      XSelectInput(display, other, StructureNotifyMask);
      XMapWindow(display, other);
      XEvent event;
      do XWindowEvent(display, other, StructureNotifyMask, &event);
      while (event.type != MapNotify);
    }
    XSetInputFocus(display, other, RevertToParent, CurrentTime);
    XSync(display, False);
  }

  // As a scale change does it: the window closed and another opened, with
  // whatever `meanwhile` does between the two.
  void ReplaceWindow(const std::function<void()>& meanwhile = {}) {
    CloseAppWindow(window);
    if (meanwhile) meanwhile();
    window = OpenAppWindow(AnyWindow, 0, 0, GameW, GameH, ProductTitle, WindowCentred);
    ASSERT_NE(window, 0);
  }

  // Left held down on a shown game window with a screen, read as down.
  void HoldLeft() {
    Reveal();
    OpenScreen();
    ASSERT_TRUE(CreateKeyboardDevice());
    FocusGameWindow();
    RunCommand("xdotool keydown Left");
    ASSERT_TRUE(PumpUntil([] { return ReadKeyboardState() && IsKeyDown(DIK_LEFT); }));
  }

  void FocusGameWindow() {
    std::string output = RunCommand("xdotool windowfocus --sync " + std::to_string(xid));
    ASSERT_EQ(output, "") << "xdotool windowfocus";
  }

  Display* display = nullptr;
  Window other = 0;
  int window = 0;
  uint64_t xid = 0;
  bool revealed = false;
};

TEST(XPlatform, StartsOnTheX11DriverWithoutBeingTold) {
  EnvScope driver("SDL_VIDEODRIVER", nullptr);
  bool started = StartPlatform();
  StopPlatform();
  EXPECT_TRUE(started) << "a real X display must be accepted";
}

TEST_F(XWindowTest, ClientAreaIsExactCentredFixedAndHiddenUntilRevealed) {
  EXPECT_EQ(WindowInfo(xid, "Map State:"), "IsUnMapped") << "created hidden";
  Reveal();
  EXPECT_EQ(WindowInfo(xid, "Width:"), std::to_string(GameW));
  EXPECT_EQ(WindowInfo(xid, "Height:"), std::to_string(GameH));
  EXPECT_EQ(WindowInfo(xid, "Absolute upper-left X:"), std::to_string((1600 - GameW) / 2));
  EXPECT_EQ(WindowInfo(xid, "Absolute upper-left Y:"), std::to_string((900 - GameH) / 2));
  // Not resizable: the size hints pin the minimum and maximum to the client size.
  std::string hints = RunCommand("xprop -id " + std::to_string(xid) + " WM_NORMAL_HINTS");
  std::string size = std::to_string(GameW) + " by " + std::to_string(GameH);
  EXPECT_NE(hints.find("minimum size: " + size), std::string::npos) << hints;
  EXPECT_NE(hints.find("maximum size: " + size), std::string::npos) << hints;
}

TEST_F(XWindowTest, CloseRequestArrivesOnceAndTheWindowStays) {
  Reveal();
  for (int request = 1; request <= 2; ++request) {
    PumpUntil([] { return WaitEvent(0) == 0; });
    RequestClose();
    int closes = 0;
    PumpUntil([&] {
      closes += WaitEvent(5) == CloseWindowEvent ? 1 : 0;
      return closes > 0;
    });
    // Keep the loop running a while longer: a second report must not follow.
    for (int k = 0; k < 40; ++k) closes += WaitEvent(5) == CloseWindowEvent ? 1 : 0;
    EXPECT_EQ(closes, 1) << "close request " << request;
    EXPECT_NE(GetNativeWindow(window), nullptr);
    EXPECT_EQ(WindowInfo(xid, "Map State:"), "IsViewable") << "close request " << request;
  }
}

// A close request the window system delivered just before the program
// replaced the window (a scale change in the same tick) still ends the game.
TEST_F(XWindowTest, ACloseRequestOutlivesTheWindowItWasFor) {
  Reveal();
  PumpUntil([] { return WaitEvent(0) == 0; });
  RequestClose();
  for (int k = 0; k < 400 && !CloseRequestPending(); ++k) usleep(5000);
  ASSERT_TRUE(CloseRequestPending()) << "the request never reached SDL's queue";
  ReplaceWindow();
  EXPECT_TRUE(CloseRequestPending());
  EXPECT_EQ(WaitEvent(0), CloseWindowEvent);
  EXPECT_FALSE(CloseRequestPending()) << "the request counts once";
}

// Sent, and queued for the program, but not yet read when the program
// replaces the window (F11 or a scale change in the same tick): the close
// request and the key both still count.
TEST_F(XWindowTest, WhatWasSentToAReplacedWindowStillCounts) {
  OpenScreen();
  XWindowAttributes attributes{};
  ASSERT_NE(XGetWindowAttributes(display, xid, &attributes), 0);
  XEvent key{};
  key.xkey.type = KeyPress;
  key.xkey.window = xid;
  key.xkey.root = DefaultRootWindow(display);
  key.xkey.same_screen = True;
  key.xkey.keycode = XKeysymToKeycode(display, XK_Escape);
  XSendEvent(display, xid, False, NoEventMask, &key);
  RequestClose();
  XSync(display, False);
  ReplaceWindow();
  OpenScreen();
  std::vector<int> codes{0};
  for (int k = 0; k < 100 && codes.back() != CloseWindowEvent; ++k) codes.push_back(WaitEvent(5));
  EXPECT_EQ(codes.back(), CloseWindowEvent) << "the close request was lost";
  for (int k = 0; k < 10; ++k) codes.push_back(WaitEvent(5));
  EXPECT_NE(std::find(codes.begin(), codes.end(), int{SDL_KEYDOWN}), codes.end())
      << "the key was lost";

  // Nor does the closed window leave its colormap behind.
  static int error = 0;
  XErrorHandler earlier = XSetErrorHandler([](Display*, XErrorEvent* e) { return error = e->error_code, 0; });
  XColor colour{};
  XQueryColor(display, attributes.colormap, &colour);
  XSync(display, False);
  XSetErrorHandler(earlier);
  EXPECT_EQ(error, BadColor) << "colormap " << attributes.colormap << " outlived its window";
}

TEST_F(XWindowTest, AKeyHeldWhileTheWindowIsReplacedStaysHeld) {
  HoldLeft();
  ReplaceWindow();
  OpenScreen();
  bool held = true;
  for (int k = 0; k < 20; ++k) {
    held = held && ReadKeyboardState() && IsKeyDown(DIK_LEFT);
    WaitEvent(5);
  }
  RunCommand("xdotool keyup Left");
  EXPECT_TRUE(held) << "read up as the focus went to the new window: a new press after";
  EXPECT_TRUE(PumpUntil([] { return ReadKeyboardState() && !IsKeyDown(DIK_LEFT); }))
      << "still held after it was let go";
  ReleaseKeyboard();
}

// Let go before the new window has the focus, the key went to no window of
// ours: kept down, a tap on "Scale:" would step twice.
TEST_F(XWindowTest, AKeyLetGoWhileTheWindowIsReplacedReadsUp) {
  HoldLeft();
  ReplaceWindow([] { RunCommand("xdotool keyup Left"); });
  OpenScreen();
  EXPECT_FALSE(ReadKeyboardState() && IsKeyDown(DIK_LEFT));
  ReleaseKeyboard();
}

// The screen presents through a second connection to the server, which
// need not read it before SDL's: closed before its first frame, a screen's
// requests could reach the server after its window was gone, and Xlib ends
// the program on the error.
TEST_F(XWindowTest, ScreensClosedBeforeTheirFirstFrameLeaveNoError) {
  Reveal();
  for (int k = 0; k < 50; ++k) {
    OpenScreen();
    ReplaceWindow();
  }
}

TEST_F(XWindowTest, WaitEventOnAQuietQueueReturnsZero) {
  Reveal();
  // Mapping the window sends a burst of events; wait for ten quiet polls in a row.
  int quiet = 0;
  ASSERT_TRUE(PumpUntil([&] {
    quiet = WaitEvent(0) == 0 ? quiet + 1 : 0;
    return quiet >= 10;
  })) << "the queue never settled";
  for (int k = 0; k < 3; ++k) EXPECT_EQ(WaitEvent(1), 0) << "call " << k;
}

TEST_F(XWindowTest, TitleIsWhatTheWindowSystemShows) {
  Reveal();
  const std::string titles[] = {ProductTitle, std::string(ProductTitle) + " 62.50 tps, 14 cells"};
  for (const std::string& title : titles) {
    SetTitleText(window, title);
    std::string id = std::to_string(xid);
    std::string name, property;
    PumpUntil([&] {
      name = RunCommand("xdotool getwindowname " + id);
      return name == title;
    });
    EXPECT_EQ(name, title) << "xdotool getwindowname";
    property = RunCommand("xprop -id " + id + " WM_NAME");
    EXPECT_NE(property.find("= \"" + title + "\""), std::string::npos) << property;
  }
}

TEST_F(XWindowTest, DesktopsOfTheXvfbScreen) {
  EXPECT_EQ(CountDesktops(), 1);
  struct {
    int index, width;
  } cases[] = {{0, 1600}, {1, 0}, {5, 0}, {-1, 0}};
  for (auto c : cases) EXPECT_EQ(GetDesktopWidth(c.index), c.width) << "desktop " << c.index;

  // Without a window manager nothing is kept back for panels, and no window
  // gets a frame.
  int width = -1, height = -1;
  EXPECT_TRUE(GetDesktopUsableSize(0, width, height));
  EXPECT_EQ(width, 1600);
  EXPECT_EQ(height, 900);
  EXPECT_FALSE(GetDesktopUsableSize(1, width, height));
  EXPECT_EQ(width, 0);
  int top = -1, left = -1, bottom = -1, right = -1;
  GetWindowFrame(window, top, left, bottom, right);
  EXPECT_EQ(top + left + bottom + right, 0);
}

TEST_F(XWindowTest, IconIsWhatTheWindowSystemShows) {
  // Opaque colours in each channel and a half-transparent pixel, whose colour
  // must arrive straight, not premultiplied.
  const uint32_t pixels[] = {0xFF0000FFu, 0xFF00FF00u, 0xFFFF0000u, 0x80204080u};
  int image = NewImage(2, 2, 0xFFFFFFFFu);
  for (int k = 0; k < 4; ++k) ASSERT_TRUE(SetImagePixel(image, k % 2, k / 2, pixels[k]));
  EXPECT_FALSE(SetWindowIcon(window + 1, image)) << "no such window";
  EXPECT_FALSE(SetWindowIcon(window, 0)) << "no such image";
  ASSERT_TRUE(SetWindowIcon(window, image));
  DisposeImage(image);
  XSync(display, False);

  Atom type = 0;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  ASSERT_EQ(XGetWindowProperty(display, xid, XInternAtom(display, "_NET_WM_ICON", False), 0, 64,
                               False, AnyPropertyType, &type, &format, &count, &after, &data),
            Success);
  ASSERT_NE(data, nullptr);
  ASSERT_EQ(count, 6u) << "width, height and four pixels";
  const unsigned long* words = reinterpret_cast<const unsigned long*>(data);
  EXPECT_EQ(words[0], 2u);
  EXPECT_EQ(words[1], 2u);
  // The property holds 0xAARRGGBB; the image's colours have red in the low byte.
  const unsigned long expected[] = {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0x80804020u};
  for (int k = 0; k < 4; ++k) {
    const unsigned long actual = words[2 + k] & 0xFFFFFFFFu;
    if (k < 3) {
      EXPECT_EQ(actual, expected[k]) << "pixel " << k;
    } else {
      EXPECT_EQ(actual >> 24, 0x80u);
      for (int shift = 0; shift <= 16; shift += 8) {
        const int got = static_cast<int>((actual >> shift) & 0xFF);
        const int want = static_cast<int>((expected[k] >> shift) & 0xFF);
        EXPECT_NEAR(got, want, probe::HalfCoverageRounding) << "half-transparent pixel, channel at bit " << shift;
      }
    }
  }
  XFree(data);
}

TEST_F(XWindowTest, KeysReachTheSnapshotWhileFocused) {
  Reveal();
  OpenScreen();
  ASSERT_TRUE(CreateKeyboardDevice());
  FocusGameWindow();
  ASSERT_TRUE(PumpUntil(ReadKeyboardState)) << "the focused window's keyboard never read";

  struct Case {
    const char* keysym;
    int16_t code;
  } cases[] = {
      {"Left", DIK_LEFT},         {"Right", DIK_RIGHT},       {"Up", DIK_UP},
      {"Down", DIK_DOWN},         {"KP_Left", DIK_NUMPAD4},   {"KP_Begin", DIK_NUMPAD5},
      {"KP_Right", DIK_NUMPAD6},  {"KP_Up", DIK_NUMPAD8},     {"KP_Home", DIK_NUMPAD7},
      {"KP_Insert", DIK_NUMPAD0}, {"KP_Enter", DIK_NUMPADENTER}, {"Return", DIK_RETURN},
      {"space", DIK_SPACE},       {"Escape", DIK_ESCAPE},     {"BackSpace", DIK_BACK},
      {"Tab", DIK_TAB},           {"a", DIK_A},               {"q", DIK_Q},
      {"z", DIK_Z},               {"1", DIK_1},               {"F1", DIK_F1},
      {"Shift_L", DIK_LSHIFT},    {"Control_L", DIK_LCONTROL}, {"Home", 0xC7},
      {"Prior", 0xC9},            {"End", 0xCF},              {"Next", 0xD1},
      {"Insert", 0xD2},           {"Delete", 0xD3},           {"F12", 0x58},
  };
  for (const Case& c : cases) {
    RunCommand(std::string("xdotool keydown ") + c.keysym);
    bool down = PumpUntil([&] { return ReadKeyboardState() && IsKeyDown(c.code); });
    int others = KeysDown() - (down ? 1 : 0);
    RunCommand(std::string("xdotool keyup ") + c.keysym);
    bool up = PumpUntil([&] { return ReadKeyboardState() && KeysDown() == 0; });
    EXPECT_TRUE(down) << c.keysym << " never read down as code " << c.code;
    EXPECT_EQ(others, 0) << c.keysym << " also set other codes";
    EXPECT_TRUE(up) << c.keysym << " never read up again";
  }
  ReleaseKeyboard();
}

TEST_F(XWindowTest, FocusLossReadsEveryKeyUp) {
  Reveal();
  OpenScreen();
  ASSERT_TRUE(CreateKeyboardDevice());
  FocusGameWindow();
  RunCommand("xdotool keydown Left");
  ASSERT_TRUE(PumpUntil([] { return ReadKeyboardState() && IsKeyDown(DIK_LEFT); }))
      << "Left never read down";

  FocusOtherWindow();
  bool failed = PumpUntil([] { return !ReadKeyboardState(); });
  EXPECT_TRUE(failed) << "reads kept succeeding after the focus left";
  EXPECT_FALSE(IsKeyDown(DIK_LEFT)) << "a held key read down without focus";
  EXPECT_FALSE(IsKeyDown(-1));
  for (int k = 0; k < 5; ++k) {
    WaitEvent(5);
    EXPECT_FALSE(ReadKeyboardState()) << "read " << k << " while unfocused";
    EXPECT_EQ(KeysDown(), 0);
  }

  // Back in focus with the key still held: it reads down again.
  FocusGameWindow();
  EXPECT_TRUE(PumpUntil([] { return ReadKeyboardState() && IsKeyDown(DIK_LEFT); }))
      << "the held key did not come back with the focus";
  RunCommand("xdotool keyup Left");
  EXPECT_TRUE(PumpUntil([] { return ReadKeyboardState() && !IsKeyDown(DIK_LEFT); }));
  ReleaseKeyboard();
}

// A tick slower than the timer's period (1 ms asked, raised to the 10 ms
// minimum) leaves the timer due at every call; keys and close requests must
// still come through.
struct SlowTicks {
  int ticks = 0;
  bool leftSeen = false;
};
SlowTicks slowTicks;

void SlowTick(void*, uint32_t, uintptr_t, uint32_t) {
  ++slowTicks.ticks;
  usleep(20000);
  if (ReadKeyboardState() && IsKeyDown(DIK_LEFT)) slowTicks.leftSeen = true;
}

TEST_F(XWindowTest, SlowTicksStillLetKeysAndCloseRequestsThrough) {
  Reveal();
  OpenScreen();
  ASSERT_TRUE(CreateKeyboardDevice());
  FocusGameWindow();
  slowTicks = SlowTicks{};
  ASSERT_TRUE(SetTimer(GetNativeWindow(window), 109, 1, SlowTick));
  ASSERT_TRUE(PumpUntil([] { return slowTicks.ticks >= 3; }));

  RunCommand("xdotool keydown Left");
  const int pressedAt = slowTicks.ticks;
  PumpUntil([] { return slowTicks.leftSeen; }, 100);
  RunCommand("xdotool keyup Left");
  EXPECT_TRUE(slowTicks.leftSeen) << "Left never reached the snapshot in "
                                  << slowTicks.ticks - pressedAt << " ticks";

  RequestClose();
  XSync(display, False);  // the request is on its way to the program
  const int requestedAt = slowTicks.ticks;
  bool closed = false;
  for (int k = 0; k < 100 && !closed; ++k) closed = WaitEvent(1) == CloseWindowEvent;
  EXPECT_TRUE(closed) << "the close request never came through";
  EXPECT_LE(slowTicks.ticks - requestedAt, 2) << "ticks ran before the close request was read";
  KillTimer(GetNativeWindow(window), 109);
  ReleaseKeyboard();
}

TEST_F(XWindowTest, PlainTurnedAndTintedSpritesShowOnAnXWindow) {
  OpenScreen();
  Reveal();
  CaptureFrames(true);

  // 8 × 4, left half red, right half blue, with one black pixel (a hole in a
  // plain sprite) and a half-transparent bottom row in the alpha copy.
  int image = NewImage(8, 4, 0xFF0000);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) SetImagePixel(image, x, y, 0xFF0000FFu);
  SetImagePixel(image, 1, 1, 0xFF000000u);
  for (int x = 0; x < 8; ++x) SetImagePixel(image, x, 3, 0x80FFFFFFu);
  int plain = ImageToSprite(image, false, 255);
  int alpha = ImageToSprite(image, true, 255);
  DisposeImage(image);
  ASSERT_NE(plain, 0);
  ASSERT_NE(alpha, 0);

  ClearFrame(0x00FF00);
  DrawSpriteBlended(plain, 10, 10, 255);
  SetSpriteAngle(plain, 90, 0);
  DrawSpriteBlended(plain, 40, 20, 255);  // centre (44, 22): red on top, blue below
  DrawSpriteTinted(alpha, 70, 10, 255, 0xFF8000);
  PresentFrame();
  std::vector<uint32_t> frame;
  int w = 0, h = 0;
  ASSERT_TRUE(LastFramePixels(frame, w, h));
  ASSERT_EQ(w, GameW);
  ASSERT_EQ(h, GameH);

  struct {
    int x, y;
    uint32_t rgb;  // 0xRRGGBB
    const char* what;
  } cases[] = {
      {10, 10, 0xFF0000, "plain red"},       {16, 10, 0x0000FF, "plain blue"},
      {11, 11, 0x00FF00, "hole"},            {43, 20, 0xFF0000, "turned: red on top"},
      {44, 19, 0x00FF00, "turned: the hole"},   {44, 24, 0x0000FF, "turned: blue below"}, {41, 22, 0x00FF00, "turned: beside it"},
      {70, 10, 0x0080FF, "tinted"},          {77, 12, 0x0080FF, "tinted, hole kept opaque"},
      {72, 13, 0x00BF80, "tinted half alpha over green"},
  };
  for (const auto& c : cases) {
    uint32_t got = frame[static_cast<size_t>(c.y) * w + c.x] & 0xFFFFFF;
    EXPECT_TRUE(probe::Near(got, c.rgb)) << c.what << " at (" << c.x << ", " << c.y
                       << "): expected " << std::hex << c.rgb << ", got " << got;
  }
  CaptureFrames(false);
}

}  // namespace

namespace {

// The frame is put on screen only where it changed, so whatever the window
// system drops must be given back whole: cover the window with another
// client's window, uncover it, and read what the X server shows.
TEST_F(XWindowTest, UncoveredWindowShowsTheWholeFrameAgain) {
  OpenScreen();
  Reveal();
  int image = NewImage(40, 40, 0x0000FF);  // red
  int sprite = ImageToSprite(image, false, 255);
  DisposeImage(image);
  ASSERT_NE(sprite, 0);
  auto drawFrame = [&] {
    ClearFrame(0x00FF00);
    DrawSpriteBlended(sprite, 20, 20, 255);
    PresentFrame();
  };
  drawFrame();
  // Every event of showing the window handled first: only the uncovering may
  // bring the frame back.
  for (int quiet = 0, k = 0; quiet < 5 && k < 500; ++k) quiet = WaitEvent(20) == 0 ? quiet + 1 : 0;

  Window cover = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1600, 900, 0, 0,
                                     0x123456);
  XSelectInput(display, cover, StructureNotifyMask);
  XMapRaised(display, cover);
  XEvent event;
  do XWindowEvent(display, cover, StructureNotifyMask, &event);
  while (event.type != MapNotify);
  XUnmapWindow(display, cover);
  XSync(display, False);

  // The program goes on drawing the same frame; nothing in it changed.
  auto shown = [&](int x, int y) {
    XImage* got = XGetImage(display, xid, x, y, 1, 1, AllPlanes, ZPixmap);
    if (!got) return 0ul;
    unsigned long pixel = XGetPixel(got, 0, 0) & 0xFFFFFF;
    XDestroyImage(got);
    return pixel;
  };
  EXPECT_TRUE(PumpUntil([&] {
    drawFrame();
    return shown(30, 30) == 0xFF0000 && shown(5, 5) == 0x00FF00 &&
           shown(GameW - 1, GameH - 1) == 0x00FF00;
  })) << "shown: " << std::hex << shown(30, 30) << " " << shown(5, 5) << " "
      << shown(GameW - 1, GameH - 1);
  XDestroyWindow(display, cover);
}

}  // namespace

namespace {

// Frames reach the window from shared memory that the server reads while
// the program goes on. Whatever the server shows must be the frame as it was
// composed, at the screen's place, with the margin around it: after frames
// that change a few tiles each, and after the window system resizes the
// window. Once composing in the shared memory, once in a frame of its own.
TEST_F(XWindowTest, TheServerShowsEachFrameAsComposed) {
  constexpr int Left = 20, Top = 12, W = GameW - 40, H = GameH - 24;
  int sprite = 0;
  auto firstDifference = [&]() -> std::string {
    std::vector<uint32_t> frame;
    int w = 0, h = 0;
    XWindowAttributes size;
    if (!LastFramePixels(frame, w, h) || !XGetWindowAttributes(display, xid, &size)) return "unread";
    XImage* shown = XGetImage(display, xid, 0, 0, size.width, size.height, AllPlanes, ZPixmap);
    if (!shown) return "no image";
    std::string difference;
    for (int y = 0; y < size.height && difference.empty(); ++y) {
      for (int x = 0; x < size.width && difference.empty(); ++x) {
        const bool inside = x >= Left && x < Left + W && y >= Top && y < Top + H;
        const uint32_t want = inside ? frame[static_cast<size_t>(y - Top) * W + x - Left] & 0xFFFFFF
                                     : 0x336699;
        const uint32_t got = XGetPixel(shown, x, y) & 0xFFFFFF;
        if (got != want) difference = probe::Hex(got) + " at (" + std::to_string(x) + ", " +
                                      std::to_string(y) + "), not " + probe::Hex(want);
      }
    }
    XDestroyImage(shown);
    return difference;
  };
  for (const bool apart : {false, true}) {
    ComposeApartFromWindow(apart);
    SetScreenMargin(0x996633);  // red in the low byte
    ASSERT_NE(OpenGlScreen(GetNativeWindow(window), Left, Top, W, H, 0, 0, 0, 0), 0);
    if (!revealed) Reveal();
    CaptureFrames(true);
    const int image = NewImage(20, 20, 0x0000FF);
    sprite = ImageToSprite(image, false, 255);
    DisposeImage(image);
    for (int frame = 0; frame < 13; ++frame) {
      if (frame == 12) XResizeWindow(display, xid, GameW + 30, GameH + (apart ? -8 : 20));
      std::string difference;
      // The same frame again on every tick, as the game describes them.
      EXPECT_TRUE(PumpUntil([&] {
        ClearFrame(0x00FF00);
        DrawSpriteBlended(sprite, 5 + frame * 29 % (W - 20), 7 + frame * 17 % (H - 20), 255);
        PresentFrame();
        return (difference = firstDifference()).empty();
      })) << (apart ? "apart" : "in the window's memory") << ", frame " << frame << ": "
          << difference;
    }
    CaptureFrames(false);
    CloseGlScreen();
  }
  ComposeApartFromWindow(false);
}

}  // namespace
