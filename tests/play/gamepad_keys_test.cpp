// SPDX-License-Identifier: MIT
// Game controllers holding the actions of the key table, through SDL's real
// controller mapping on virtual controllers, headless.
#include <gtest/gtest.h>

#include <vector>

#include "play/keys.h"
#include "runtime/gamepad.h"
#include "runtime/keyboard.h"
#include "runtime/platform.h"
#include "tests/support/keyboard.h"
#include "tests/support/screen_fixture.h"
#include "tests/support/virtual_pad.h"

namespace {

KeyboardSubstitute keyboard;

// A fresh program on the offscreen driver with a substitute keyboard; each
// test plugs what is there at start and then starts the game's input.
class GamepadKeysTest : public probe::PlatformTest {
 protected:
  void SetUp() override {
    StartWithSubstituteKeyboard(keyboard);
    StartOffscreen();
    ASSERT_TRUE(vpad::Prepare()) << SDL_GetError();
  }
  void TearDown() override {
    StopPlatform();
    SubstituteKeyboard(nullptr);
  }

  static vpad::Pad Plug() {
    vpad::Pad pad = vpad::Plug();
    EXPECT_NE(pad.joystick, nullptr) << SDL_GetError();
    return pad;
  }
  static uint8_t Counter(Action action) { return keyBindingTable.bindings[action].holdCounter; }
  // The player number the controller shows on its lights.
  static int Lights(const vpad::Pad& pad) { return SDL_JoystickGetPlayerIndex(pad.joystick); }
};

constexpr int Button = 0;
constexpr int Axis = 1;

TEST_F(GamepadKeysTest, EachInputDrivesItsActions) {
  vpad::Pad pads[3] = {Plug(), Plug(), Plug()};  // player 1, player 2, menus only
  ASSERT_TRUE(InitKeyboard() && StartGamepads());
  struct Row {
    int pad;
    int kind;
    int which;
    int value;
    std::vector<int> held;
  };
  const Row rows[] = {
      {0, Button, SDL_CONTROLLER_BUTTON_DPAD_LEFT, 1, {P1Left, MenuLeft, AnyKey}},
      {0, Button, SDL_CONTROLLER_BUTTON_DPAD_RIGHT, 1, {P1Right, MenuRight, AnyKey}},
      {0, Button, SDL_CONTROLLER_BUTTON_DPAD_DOWN, 1, {P1Down, MenuDown, AnyKey}},
      {0, Button, SDL_CONTROLLER_BUTTON_DPAD_UP, 1, {P1Rotate, MenuUp, AnyKey}},
      {0, Button, SDL_CONTROLLER_BUTTON_A, 1, {P1Rotate, MenuConfirm, AnyKey}},
      {0, Button, SDL_CONTROLLER_BUTTON_X, 1, {P1Rotate, AnyKey}},
      {0, Button, SDL_CONTROLLER_BUTTON_B, 1, {MenuBack, AnyKey}},
      {0, Button, SDL_CONTROLLER_BUTTON_BACK, 1, {MenuBack, AnyKey}},
      {0, Button, SDL_CONTROLLER_BUTTON_START, 1, {MenuEscape, AnyKey}},
      {0, Button, SDL_CONTROLLER_BUTTON_Y, 1, {AnyKey}},
      {0, Button, SDL_CONTROLLER_BUTTON_RIGHTSHOULDER, 1, {AnyKey}},
      {0, Axis, SDL_CONTROLLER_AXIS_LEFTX, -32768, {P1Left, MenuLeft, AnyKey}},
      {0, Axis, SDL_CONTROLLER_AXIS_LEFTX, 32767, {P1Right, MenuRight, AnyKey}},
      {0, Axis, SDL_CONTROLLER_AXIS_LEFTY, 32767, {P1Down, MenuDown, AnyKey}},
      {0, Axis, SDL_CONTROLLER_AXIS_LEFTY, -32768, {P1Rotate, MenuUp, AnyKey}},
      {0, Axis, SDL_CONTROLLER_AXIS_RIGHTX, -32768, {}},
      {0, Axis, SDL_CONTROLLER_AXIS_TRIGGERLEFT, 32767, {}},
      {1, Button, SDL_CONTROLLER_BUTTON_DPAD_LEFT, 1, {P2Left, MenuLeft, AnyKey}},
      {1, Button, SDL_CONTROLLER_BUTTON_DPAD_RIGHT, 1, {P2Right, MenuRight, AnyKey}},
      {1, Button, SDL_CONTROLLER_BUTTON_DPAD_DOWN, 1, {P2Down, MenuDown, AnyKey}},
      {1, Button, SDL_CONTROLLER_BUTTON_X, 1, {P2Rotate, AnyKey}},
      {1, Button, SDL_CONTROLLER_BUTTON_START, 1, {MenuEscape, AnyKey}},
      {1, Axis, SDL_CONTROLLER_AXIS_LEFTY, -32768, {P2Rotate, MenuUp, AnyKey}},
      {2, Button, SDL_CONTROLLER_BUTTON_DPAD_LEFT, 1, {MenuLeft, AnyKey}},
      {2, Button, SDL_CONTROLLER_BUTTON_A, 1, {MenuConfirm, AnyKey}},
      {2, Button, SDL_CONTROLLER_BUTTON_B, 1, {MenuBack, AnyKey}},
      {2, Axis, SDL_CONTROLLER_AXIS_LEFTX, 32767, {MenuRight, AnyKey}},
  };
  for (const Row& row : rows) {
    const vpad::Pad& pad = pads[row.pad];
    auto set = [&](int value) {
      row.kind == Button ? vpad::Button(pad, row.which, value) : vpad::Axis(pad, row.which, value);
    };
    set(row.value);
    PollKeyboard();
    EXPECT_EQ(HeldActions(), row.held) << "pad " << row.pad << " kind " << row.kind << " input "
                                       << row.which << " at " << row.value;
    set(0);
    PollKeyboard();
    EXPECT_EQ(HeldActions(), std::vector<int>{}) << "released: pad " << row.pad << " input "
                                                 << row.which;
  }
}

TEST_F(GamepadKeysTest, KeyAndControllerHoldOneCounter) {
  vpad::Pad pad = Plug();
  ASSERT_TRUE(InitKeyboard() && StartGamepads());
  keyboard.keys[DIK_LEFT] = 0x80;
  vpad::Button(pad, SDL_CONTROLLER_BUTTON_DPAD_LEFT, true);
  for (int poll = 1; poll <= 3; ++poll) {
    PollKeyboard();
    EXPECT_EQ(Counter(P1Left), poll) << "both held, poll " << poll;
  }
  keyboard.keys[DIK_LEFT] = 0;  // the controller alone keeps the press going
  for (int poll = 4; poll <= 105; ++poll) {
    PollKeyboard();
    ASSERT_EQ(Counter(P1Left), poll < 100 ? poll : 100) << "poll " << poll;
  }
}

TEST_F(GamepadKeysTest, StickHoldsPastHalfAndLetsGoBelowAThird) {
  vpad::Pad pad = Plug();
  ASSERT_TRUE(InitKeyboard() && StartGamepads());
  struct Row {
    int x;
    int counter;  // P1Left after the poll
  };
  const Row rows[] = {
      {0, 0},       {-16000, 0}, {-16383, 0}, {-16384, 1}, {-12000, 2},
      {-10922, 3},  {-10921, 0}, {-12000, 0}, {-16383, 0}, {-32768, 1},
  };
  for (const Row& row : rows) {
    vpad::Axis(pad, SDL_CONTROLLER_AXIS_LEFTX, row.x);
    PollKeyboard();
    EXPECT_EQ(Counter(P1Left), row.counter) << "stick at " << row.x;
  }
  // Let go while another window had the focus, then resting between a third
  // and a half: the hysteresis followed the stick all the while.
  keyboard.focused = false;
  vpad::Axis(pad, SDL_CONTROLLER_AXIS_LEFTX, 0);
  PollKeyboard();
  vpad::Axis(pad, SDL_CONTROLLER_AXIS_LEFTX, -12000);
  PollKeyboard();
  keyboard.focused = true;
  PollKeyboard();
  EXPECT_EQ(Counter(P1Left), 0) << "a stick let go without focus still holds its direction";
}

TEST_F(GamepadKeysTest, SlotsFollowPluggingAndUnplugging) {
  // A and B are connected before the game starts and found at start-up.
  vpad::Pad a = Plug();
  vpad::Pad b = Plug();
  ASSERT_TRUE(InitKeyboard() && StartGamepads());
  vpad::Button(a, SDL_CONTROLLER_BUTTON_DPAD_LEFT, true);
  vpad::Button(b, SDL_CONTROLLER_BUTTON_DPAD_RIGHT, true);
  PollKeyboard();
  PollKeyboard();
  EXPECT_EQ(Counter(P1Left), 2);
  EXPECT_EQ(Counter(P2Right), 2);
  EXPECT_EQ(Lights(a), 0);
  EXPECT_EQ(Lights(b), 1);

  vpad::Unplug(a);  // in the middle of a held move
  PollKeyboard();
  EXPECT_EQ(HeldActions(), (std::vector<int>{P2Right, MenuRight, AnyKey}))
      << "A's Left reads up, B stays player 2";

  vpad::Pad c = Plug();
  vpad::Button(c, SDL_CONTROLLER_BUTTON_DPAD_DOWN, true);
  PollKeyboard();
  EXPECT_EQ(Counter(P1Down), 1) << "C takes the free slot of player 1";
  EXPECT_EQ(Counter(P2Down), 0);
  EXPECT_EQ(Lights(c), 0) << "C shows player 1";
  EXPECT_EQ(Lights(b), 1);

  vpad::Pad d = Plug();  // both slots taken
  vpad::Button(b, SDL_CONTROLLER_BUTTON_DPAD_RIGHT, false);
  vpad::Button(c, SDL_CONTROLLER_BUTTON_DPAD_DOWN, false);
  vpad::Button(d, SDL_CONTROLLER_BUTTON_DPAD_LEFT, true);
  vpad::Button(d, SDL_CONTROLLER_BUTTON_A, true);
  PollKeyboard();
  EXPECT_EQ(HeldActions(), (std::vector<int>{MenuConfirm, MenuLeft, AnyKey}))
      << "a third controller drives the menus only";
  EXPECT_EQ(Lights(d), -1) << "and shows no player";

  vpad::Unplug(c);  // a slot comes free, but D keeps to the menus
  PollKeyboard();
  EXPECT_EQ(HeldActions(), (std::vector<int>{MenuConfirm, MenuLeft, AnyKey}));
  EXPECT_EQ(Lights(d), -1);
  vpad::Pad e = Plug();  // takes player 1's slot, though D came first
  PollKeyboard();
  EXPECT_EQ(Lights(e), 0);
  EXPECT_EQ(Lights(d), -1);
  EXPECT_EQ(Lights(b), 1);

  vpad::Button(d, SDL_CONTROLLER_BUTTON_DPAD_LEFT, false);
  vpad::Button(d, SDL_CONTROLLER_BUTTON_A, false);
  vpad::Button(b, SDL_CONTROLLER_BUTTON_DPAD_RIGHT, true);
  PollKeyboard();
  vpad::Unplug(b);  // player 2's, in the middle of a held move
  PollKeyboard();
  EXPECT_EQ(HeldActions(), std::vector<int>{}) << "player 2's figure would keep sliding";
}

TEST_F(GamepadKeysTest, HeldButtonReadsUpWithoutFocus) {
  vpad::Pad pad = Plug();
  ASSERT_TRUE(InitKeyboard() && StartGamepads());
  vpad::Button(pad, SDL_CONTROLLER_BUTTON_A, true);
  PollKeyboard();
  PollKeyboard();
  ASSERT_EQ(Counter(MenuConfirm), 2);

  ExpectNothingHeldWithoutFocus(keyboard);
  PollKeyboard();
  EXPECT_EQ(Counter(MenuConfirm), 1) << "a button held throughout is a new press";
}

}  // namespace
