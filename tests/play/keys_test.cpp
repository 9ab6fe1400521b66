// SPDX-License-Identifier: MIT
// Key bindings and hold counters, read through the keyboard substitute.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "play/keys.h"
#include "tests/support/keyboard.h"
#include "runtime/keyboard.h"
#include "shell/state.h"

namespace {

KeyboardSubstitute keyboard;

class KeysTest : public testing::Test {
 protected:
  void SetUp() override {
    StartWithSubstituteKeyboard(keyboard);
  }
  void TearDown() override { SubstituteKeyboard(nullptr); }

  static void Press(int code) { keyboard.keys[code] = 0x80; }
  static void Release(int code) { keyboard.keys[code] = 0; }
  static uint8_t Counter(Action action) { return keyBindingTable.bindings[action].holdCounter; }
};

TEST_F(KeysTest, DefaultBindings) {
  struct Row {
    Action action;
    int16_t primary;
    int16_t secondary;
  };
  const Row rows[] = {
      {P1Left, 0xCB, 0},     {P1Right, 0xCD, 0},    {P1Down, 0xD0, 0},
      {P1Rotate, 0xC8, 0},   {P2Left, 0x4B, 0},     {P2Right, 0x4D, 0},
      {P2Down, 0x4C, 0},     {P2Rotate, 0x48, 0},   {MenuEscape, 0x01, 0},
      {MenuConfirm, 0x1C, 0x39}, {MenuBack, 0x0E, 0}, {MenuLeft, 0xCB, 0},
      {MenuRight, 0xCD, 0},  {MenuDown, 0xD0, 0},   {MenuUp, 0xC8, 0},
      {AnyKey, -1, 0},
  };
  EXPECT_EQ(keyBindingTable.ready, 1);
  for (const Row& row : rows) {
    const KeyBinding& b = keyBindingTable.bindings[row.action];
    EXPECT_EQ(b.primaryKey, row.primary) << "action " << row.action;
    EXPECT_EQ(b.secondaryKey, row.secondary) << "action " << row.action;
    EXPECT_EQ(b.holdCounter, 0) << "action " << row.action;
  }
}

TEST_F(KeysTest, HeldKeyCountsUpToHundredAndDropsOnRelease) {
  Press(DIK_DOWN);
  for (int poll = 1; poll <= 105; ++poll) {
    PollKeyboard();
    int expected = poll < 100 ? poll : 100;
    ASSERT_EQ(Counter(P1Down), expected) << "poll " << poll;
    ASSERT_EQ(Counter(MenuDown), expected) << "poll " << poll;
  }
  Release(DIK_DOWN);
  PollKeyboard();
  EXPECT_EQ(Counter(P1Down), 0);
  EXPECT_EQ(Counter(MenuDown), 0);
  // A new press starts over at 1.
  Press(DIK_DOWN);
  PollKeyboard();
  EXPECT_EQ(Counter(P1Down), 1);
}

TEST_F(KeysTest, EitherConfirmKeyCountsOnce) {
  Press(DIK_RETURN);
  Press(DIK_SPACE);
  for (int poll = 1; poll <= 3; ++poll) {
    PollKeyboard();
    EXPECT_EQ(Counter(MenuConfirm), poll) << "both keys, poll " << poll;
  }
  // Letting go of one keeps the press going.
  Release(DIK_RETURN);
  PollKeyboard();
  EXPECT_EQ(Counter(MenuConfirm), 4);
  Release(DIK_SPACE);
  PollKeyboard();
  EXPECT_EQ(Counter(MenuConfirm), 0);
}

TEST_F(KeysTest, CodeZeroNeverDownAndAnyKeySkipsCode255) {
  Press(0);
  PollKeyboard();
  // Only "any key" covers code 0; the empty secondary slots stay up.
  EXPECT_EQ(HeldActions(), std::vector<int>{AnyKey});
  Release(0);

  Press(255);
  PollKeyboard();
  EXPECT_EQ(HeldActions(), std::vector<int>{});
  Release(255);

  Press(254);
  PollKeyboard();
  EXPECT_EQ(HeldActions(), std::vector<int>{AnyKey});
}

TEST_F(KeysTest, LeftArrowRaisesPlayerAndMenuActions) {
  Press(DIK_LEFT);
  PollKeyboard();
  EXPECT_EQ(HeldActions(), (std::vector<int>{P1Left, MenuLeft, AnyKey}));
  Release(DIK_LEFT);
  Press(DIK_NUMPAD8);
  PollKeyboard();
  EXPECT_EQ(HeldActions(), (std::vector<int>{P2Rotate, AnyKey}));
}

TEST_F(KeysTest, FocusLossDropsEveryCounter) {
  Press(DIK_LEFT);
  Press(DIK_ESCAPE);
  for (int poll = 0; poll < 5; ++poll) PollKeyboard();
  ASSERT_EQ(Counter(P1Left), 5);

  ExpectNothingHeldWithoutFocus(keyboard);
  PollKeyboard();
  EXPECT_EQ(Counter(P1Left), 1) << "a key held throughout is a new press";
  EXPECT_EQ(Counter(MenuEscape), 1);
}

TEST(KeysWithoutDevice, EverythingStaysZero) {
  ZeroGlobalState();
  SubstituteKeyboard(nullptr);
  // Without the platform started there is no keyboard to open.
  EXPECT_FALSE(InitKeyboard());
  EXPECT_EQ(keyBindingTable.ready, 0);
  for (int a = 0; a < ActionCount; ++a) {
    EXPECT_EQ(keyBindingTable.bindings[a].primaryKey, 0) << "action " << a;
    EXPECT_EQ(keyBindingTable.bindings[a].secondaryKey, 0) << "action " << a;
  }
  // Keys that appear later are still never read.
  std::memset(&keyboard, 0, sizeof keyboard);
  keyboard.focused = true;
  std::memset(keyboard.keys, 0x80, sizeof keyboard.keys);
  SubstituteKeyboard(&keyboard);
  for (int poll = 0; poll < 3; ++poll) PollKeyboard();
  for (int a = 0; a < ActionCount; ++a) {
    EXPECT_EQ(keyBindingTable.bindings[a].holdCounter, 0) << "action " << a;
  }
  SubstituteKeyboard(nullptr);
}

}  // namespace
