// SPDX-License-Identifier: MIT
// Key bindings and hold counters, read through the keyboard substitute.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "play/keys.h"
#include "tests/support/keyboard.h"
#include "runtime/keyboard.h"
#include "shell/startup.h"
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

#ifndef _WIN32  // the texts are checked once, where the sources are at hand
// Every key the bindings use is named in each text that lists the controls,
// so a binding changed in the table and not in the texts shows here.
TEST_F(KeysTest, EveryBoundKeyIsNamedWhereverTheControlsAreListed) {
  const std::map<int16_t, const char*> names = {
      {DIK_LEFT, "Left"},       {DIK_RIGHT, "Right"},      {DIK_UP, "Up"},
      {DIK_DOWN, "Down"},       {DIK_NUMPAD4, "Keypad 4"}, {DIK_NUMPAD6, "Keypad 6"},
      {DIK_NUMPAD5, "Keypad 5"}, {DIK_NUMPAD8, "Keypad 8"}, {DIK_ESCAPE, "Escape"},
      {DIK_RETURN, "Enter"},    {DIK_SPACE, "Space"},      {DIK_BACK, "Backspace"}};
  const std::filesystem::path root = std::filesystem::path(__FILE__).parent_path() / "../..";
  std::vector<std::pair<std::string, std::string>> texts = {{"--help", UsageText()}};
  for (const char* file : {"README.md", "packaging/pellovar.6.in",
                           "packaging/org.pellovar.Pellovar.metainfo.xml.in",
                           "packaging/windows/README.txt.in"}) {
    std::ifstream in(root / file);
    ASSERT_TRUE(in) << file;
    texts.emplace_back(file, std::string(std::istreambuf_iterator<char>(in), {}));
  }
  for (int action = 0; action < ActionCount; ++action) {
    const KeyBinding& binding = keyBindingTable.bindings[action];
    for (int16_t code : {binding.primaryKey, binding.secondaryKey}) {
      if (code <= 0) continue;  // unbound, or the any-key catch-all
      const auto name = names.find(code);
      ASSERT_NE(name, names.end()) << "action " << action << " is bound to code " << code
                                   << ", which no text names yet";
      for (const auto& [where, text] : texts) {
        EXPECT_NE(text.find(name->second), std::string::npos) << where << " never names " << name->second;
      }
    }
  }
}
#endif

// The fixed classic scan codes, pressed one at a time: each holds its
// actions and nothing else.
TEST_F(KeysTest, FixedKeysHoldTheirActions) {
  struct Row {
    int16_t code;
    std::vector<int> held;
  };
  const Row rows[] = {
      {0xCB, {P1Left, MenuLeft, AnyKey}},  {0xC8, {P1Rotate, MenuUp, AnyKey}},
      {0x4B, {P2Left, AnyKey}},            {0x4C, {P2Down, AnyKey}},
      {0x48, {P2Rotate, AnyKey}},          {0x01, {MenuEscape, AnyKey}},
      {0x1C, {MenuConfirm, AnyKey}},       {0x39, {MenuConfirm, AnyKey}},
      {0x0E, {MenuBack, AnyKey}},          {0x2C, {AnyKey}},
  };
  EXPECT_EQ(keyBindingTable.ready, 1);
  for (const Row& row : rows) {
    Press(row.code);
    PollKeyboard();
    EXPECT_EQ(HeldActions(), row.held) << "code " << row.code;
    Release(row.code);
    PollKeyboard();
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
