// SPDX-License-Identifier: MIT
// Menu navigation and handlers, headless: keys go through the real polling
// with a substitute keyboard, time through gameState.now.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "menu/menu.h"
#include "play/keys.h"
#include "tests/support/keyboard.h"
#include "render/label.h"
#include "runtime/keyboard.h"
#include "shell/state.h"

namespace {

KeyboardSubstitute keyboard;

class MenuTest : public testing::Test {
 protected:
  void SetUp() override {
    StartWithSubstituteKeyboard(keyboard);
    BuildMenus();
    ShowMainMenu(0);
  }
  void TearDown() override { SubstituteKeyboard(nullptr); }

  // One tick of the menu: poll the keys as they are now, run the logic.
  void TickAt(int64_t now) {
    gameState.now = now;
    PollKeyboard();
    MenuLogic();
  }
  // Press and release a key over two ticks well after the input delay.
  void Tap(int16_t code) {
    int64_t t = menuState.MenuNextInputTime + 1;
    keyboard.keys[code] = 0x80;
    TickAt(t);
    keyboard.keys[code] = 0;
    TickAt(t + 16);
  }
  std::string Current() {
    MenuItem** item = ListCurrent(menuState.entries);
    if (!item) return "(none)";
    std::string key;
    MapReset(menuState.items);
    while (MenuItem* candidate = MapNext(menuState.items, &key)) {
      if (candidate == *item) return key;
    }
    return "(unknown)";
  }
};

TEST_F(MenuTest, UpAndDownWrapAround) {
  EXPECT_EQ(Current(), "resume");
  Tap(DIK_UP);
  EXPECT_EQ(Current(), "quit");
  Tap(DIK_DOWN);
  EXPECT_EQ(Current(), "resume");
  Tap(DIK_DOWN);
  Tap(DIK_DOWN);
  Tap(DIK_DOWN);
  EXPECT_EQ(Current(), "quit");
  Tap(DIK_DOWN);
  EXPECT_EQ(Current(), "resume");
}

TEST_F(MenuTest, HeldDownStepsAboutEveryTwoHundredMilliseconds) {
  keyboard.keys[DIK_DOWN] = 0x80;
  int steps = 0;
  std::string last = Current();
  for (int64_t t = 0; t <= 1000; t += 16) {
    TickAt(t);
    if (Current() != last) ++steps;
    last = Current();
  }
  // Keys are ignored until now passes 200; then one step per 200 ms or so:
  // at 208, 416, 624, 832 (the first tick more than 200 ms after the last).
  EXPECT_EQ(steps, 4);
  EXPECT_EQ(Current(), "resume") << "four steps cycle through all four entries";
}

TEST_F(MenuTest, KeysAreIgnoredRightAfterStartUp) {
  keyboard.keys[DIK_DOWN] = 0x80;
  for (int64_t t = 0; t <= 192; t += 16) TickAt(t);
  EXPECT_EQ(Current(), "resume");
  TickAt(201);
  EXPECT_EQ(Current(), "new");
}

TEST_F(MenuTest, ContinueWithoutAGameDoesNothing) {
  Tap(DIK_RETURN);
  EXPECT_EQ(gameState.mode, Menu);
  EXPECT_EQ(Current(), "resume");
  Tap(DIK_ESCAPE);  // the main menu's back key resumes, and there is nothing to resume
  EXPECT_EQ(gameState.mode, Menu);
  EXPECT_EQ(ListCount(menuState.entries), 4u);
}

TEST_F(MenuTest, EscapeAndBackspaceInTheMainMenuResumeAPausedGame) {
  gameState.playerCount = 1;  // a game exists
  ShowMainMenu(0);
  EXPECT_EQ(MapFind(menuState.items, "resume")->label->alpha, 222);
  Tap(DIK_ESCAPE);
  EXPECT_EQ(gameState.mode, Game);
  ShowMainMenu(0);
  Tap(DIK_BACK);
  EXPECT_EQ(gameState.mode, Game);
}

TEST_F(MenuTest, DimmedEntryDoesNothing) {
  Tap(DIK_DOWN);
  Tap(DIK_RETURN);  // "New Game"
  ASSERT_EQ(Current(), "new_1p_standart");
  Tap(DIK_DOWN);
  Tap(DIK_DOWN);
  ASSERT_EQ(Current(), "new_dummy");
  for (int16_t key : {DIK_RETURN, DIK_LEFT, DIK_RIGHT, DIK_SPACE}) {
    Tap(key);
    EXPECT_EQ(Current(), "new_dummy") << "key " << key;
    EXPECT_EQ(gameState.mode, Menu);
    EXPECT_EQ(gameState.playerCount, 0);
  }
  EXPECT_EQ(MapFind(menuState.items, "new_dummy")->label->alpha, 64);
}

TEST_F(MenuTest, EveryMenuStartsOnItsFirstEntry) {
  Tap(DIK_DOWN);
  Tap(DIK_DOWN);
  Tap(DIK_RETURN);  // "Options"
  EXPECT_EQ(Current(), "opts_scale");
  Tap(DIK_DOWN);
  EXPECT_EQ(Current(), "opts_back");
  Tap(DIK_ESCAPE);  // back to the main menu, on its first entry
  EXPECT_EQ(Current(), "resume");
  EXPECT_EQ(ListCount(menuState.entries), 4u);
  Tap(DIK_DOWN);
  Tap(DIK_RETURN);  // "New Game"
  Tap(DIK_DOWN);
  Tap(DIK_DOWN);
  Tap(DIK_DOWN);
  Tap(DIK_RETURN);  // "Back"
  EXPECT_EQ(Current(), "resume");
}

TEST_F(MenuTest, ShowingAMenuIgnoresOtherKeyCodes) {
  ShowOptionsMenu(keyBindingTable.bindings[MenuLeft].primaryKey);
  EXPECT_EQ(Current(), "resume") << "a left key code must not open a menu";
  ShowOptionsMenu(keyBindingTable.bindings[MenuConfirm].primaryKey);
  EXPECT_EQ(Current(), "opts_scale");
  EXPECT_EQ(menuState.MenuNextInputTime, gameState.now + 200);
}

TEST_F(MenuTest, TitleLineIsPlacedBottomLeft) {
  TextLabel* title = MapFind(menuState.items, "v")->label;
  ASSERT_NE(title, nullptr);
  EXPECT_EQ(title->alpha, 88);
  EXPECT_EQ(title->align, 20);
  EXPECT_EQ(title->x, 4);
  EXPECT_EQ(title->layer, 2);
  EXPECT_EQ(MapCount(menuState.items), 11u);
  EXPECT_EQ(MapCount(TextLabelMap), 11u);
}

}  // namespace
