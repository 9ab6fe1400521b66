// SPDX-License-Identifier: MIT
// The keyboard service's device states and snapshot, read from a substitute
// keyboard. The real keyboard is exercised in window_xtest.cpp.
#include <gtest/gtest.h>

#include <cstring>

#include "runtime/keyboard.h"
#include "runtime/platform.h"

namespace {

class KeyboardTest : public testing::Test {
 protected:
  void SetUp() override {
    std::memset(&source, 0, sizeof source);
    source.focused = true;
    SubstituteKeyboard(&source);
  }
  void TearDown() override {
    ReleaseKeyboard();
    SubstituteKeyboard(nullptr);
    StopPlatform();
  }
  KeyboardSubstitute source;
};

TEST_F(KeyboardTest, KeysReadDownOnlyAfterASuccessfulRead) {
  ASSERT_TRUE(CreateKeyboardDevice());
  source.keys[DIK_LEFT] = 0x80;
  EXPECT_FALSE(IsKeyDown(DIK_LEFT)) << "created, not yet read";
  ASSERT_TRUE(ReadKeyboardState());
  EXPECT_TRUE(IsKeyDown(DIK_LEFT));
  source.keys[DIK_LEFT] = 0;
  EXPECT_TRUE(IsKeyDown(DIK_LEFT)) << "the snapshot changes only when read";
  ASSERT_TRUE(ReadKeyboardState());
  EXPECT_FALSE(IsKeyDown(DIK_LEFT));
}

TEST_F(KeyboardTest, CodesTable) {
  ASSERT_TRUE(CreateKeyboardDevice());
  struct Case {
    const char* what;
    int downCode;  // the one byte set in the snapshot, -1 for none
    uint8_t value;
    int16_t asked;
    bool expected;
  } cases[] = {
      {"a held key", DIK_SPACE, 0x80, DIK_SPACE, true},
      {"another key", DIK_SPACE, 0x80, DIK_RETURN, false},
      {"only bit 7 counts", DIK_SPACE, 0x7F, DIK_SPACE, false},
      {"bit 7 with others", DIK_SPACE, 0xFF, DIK_SPACE, true},
      {"code 0 never down", 0, 0x80, 0, false},
      {"any key sees code 0", 0, 0x80, -1, true},
      {"any key sees code 254", 254, 0x80, -1, true},
      {"any key ignores code 255", 255, 0x80, -1, false},
      {"code 255 itself", 255, 0x80, 255, true},
      {"any key with nothing down", -1, 0, -1, false},
      {"codes past 255", DIK_ESCAPE, 0x80, 256 + DIK_ESCAPE, false},
      {"other negative codes", DIK_ESCAPE, 0x80, -2, false},
  };
  for (const Case& c : cases) {
    std::memset(source.keys, 0, sizeof source.keys);
    if (c.downCode >= 0) source.keys[c.downCode] = c.value;
    ASSERT_TRUE(ReadKeyboardState());
    EXPECT_EQ(IsKeyDown(c.asked), c.expected) << c.what << ": code " << c.asked;
  }
}

TEST_F(KeyboardTest, UnfocusedReadFailsAndEveryKeyReadsUp) {
  ASSERT_TRUE(CreateKeyboardDevice());
  source.keys[DIK_DOWN] = 0x80;
  ASSERT_TRUE(ReadKeyboardState());
  ASSERT_TRUE(IsKeyDown(DIK_DOWN));

  source.focused = false;
  EXPECT_FALSE(ReadKeyboardState());
  EXPECT_FALSE(IsKeyDown(DIK_DOWN)) << "held key must read up while unfocused";
  EXPECT_FALSE(IsKeyDown(-1));
  EXPECT_FALSE(ReadKeyboardState()) << "still unfocused";

  source.focused = true;
  EXPECT_TRUE(ReadKeyboardState()) << "reads again once focused";
  EXPECT_TRUE(IsKeyDown(DIK_DOWN));
}

TEST_F(KeyboardTest, ReleaseEndsReadingAndCreateStartsAgain) {
  EXPECT_FALSE(ReadKeyboardState()) << "no device yet";
  ASSERT_TRUE(CreateKeyboardDevice());
  ASSERT_TRUE(CreateKeyboardDevice()) << "a second create finds the device";
  source.keys[DIK_A] = 0x80;
  ASSERT_TRUE(ReadKeyboardState());
  ReleaseKeyboard();
  EXPECT_FALSE(IsKeyDown(DIK_A));
  EXPECT_FALSE(ReadKeyboardState());
  ReleaseKeyboard();
  ReleaseKeyboard();  // more releases than creates: harmless
  ASSERT_TRUE(CreateKeyboardDevice());
  EXPECT_TRUE(ReadKeyboardState());
  EXPECT_TRUE(IsKeyDown(DIK_A));
}

TEST(KeyboardWithoutWindowSystem, CreateFailsAndNothingReadsDown) {
  SubstituteKeyboard(nullptr);
  StopPlatform();
  EXPECT_FALSE(CreateKeyboardDevice());
  EXPECT_FALSE(ReadKeyboardState());
  EXPECT_FALSE(IsKeyDown(-1));
  ReleaseKeyboard();
}

TEST(KeyboardWithoutWindowSystem, StopPlatformReleasesTheDevice) {
  KeyboardSubstitute source{};
  source.focused = true;
  source.keys[DIK_Q] = 0x80;
  SubstituteKeyboard(&source);
  ASSERT_TRUE(CreateKeyboardDevice());
  ASSERT_TRUE(ReadKeyboardState());
  StopPlatform();
  EXPECT_FALSE(IsKeyDown(DIK_Q));
  EXPECT_FALSE(ReadKeyboardState()) << "the device went with the platform";
  SubstituteKeyboard(nullptr);
}

}  // namespace
