// SPDX-License-Identifier: MIT
// The scale option on a real (offscreen) display: each step reopens the
// window, and the caption follows the stored 32-bit scale.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "menu/menu.h"
#include "play/keys.h"
#include "tests/support/keyboard.h"
#include "tests/support/screen_fixture.h"
#include "render/label.h"
#include "runtime/keyboard.h"
#include "runtime/platform.h"
#include "runtime/window.h"
#include "shell/display.h"
#include "shell/state.h"

namespace {

KeyboardSubstitute keyboard;

class ScaleOption : public probe::PlatformTest {
 protected:
  void SetUp() override {
    StartWithSubstituteKeyboard(keyboard);
    if (HasFatalFailure()) return;
    StartOffscreen();  // after the keyboard: PlatformTest::SetUp would clear it
  }
  void TearDown() override {
    PlatformTest::TearDown();
    SubstituteKeyboard(nullptr);
  }
  void OpenAt(float scale) {
    ASSERT_NE(OpenDisplay(1, 16, scale, scale, true), 0);
    BuildMenus();
    ShowOptionsMenu(0);
  }
  TextLabel* Caption() { return MapFind(menuState.items, "opts_scale")->label; }
  int16_t Key(Action action) { return keyBindingTable.bindings[action].primaryKey; }
};

TEST_F(ScaleOption, RightGrowsTheWindowAndKeepsTheSelection) {
  OpenAt(1.1f);
  EXPECT_EQ(Caption()->text, "Scale:1.10");
  // Through the menu logic, as a press of Right on the selected entry.
  gameState.now = menuState.MenuNextInputTime + 1;
  keyboard.keys[DIK_RIGHT] = 0x80;
  PollKeyboard();
  MenuLogic();
  EXPECT_EQ(screenState.scaleX, 1.1f + 0.1f);
  EXPECT_FLOAT_EQ(screenState.scaleX, 1.2000000477f);
  EXPECT_EQ(screenState.scaleY, 1.1f + 0.1f);
  EXPECT_EQ(screenState.cellWidth, 19);
  EXPECT_EQ(screenState.width, 722);
  EXPECT_EQ(screenState.height, 741);
  EXPECT_EQ(Caption()->text, "Scale:1.20");
  EXPECT_EQ(*ListCurrent(menuState.entries), MapFind(menuState.items, "opts_scale"));
}

TEST_F(ScaleOption, RightStopsBeforeTheWindowOutgrowsTheDesktop) {
  // The offscreen desktop is 1024 x 768: 1.2 gives 741 rows of pixels, 1.3
  // would give 819.
  int width = 0, height = 0;
  ASSERT_TRUE(GetDesktopUsableSize(0, width, height));
  ASSERT_EQ(height, 768);
  OpenAt(1.1f);
  ChangeScale(Key(MenuRight));
  EXPECT_EQ(screenState.height, 741);
  const int window = screenState.window;
  const int caption = Caption()->sprite;
  for (int press = 0; press < 3; ++press) ChangeScale(Key(MenuRight));
  EXPECT_EQ(screenState.scaleX, 1.1f + 0.1f);
  EXPECT_EQ(screenState.height, 741);
  EXPECT_EQ(screenState.window, window) << "a refused step does not reopen the window";
  EXPECT_EQ(Caption()->sprite, caption) << "nor render the caption again";
  ChangeScale(Key(MenuLeft));
  EXPECT_EQ(screenState.height, 702) << "Left still works from the top";
}

TEST_F(ScaleOption, EnterRendersTheSameCaptionAgain) {
  OpenAt(1.1f);
  int before = Caption()->sprite;
  ChangeScale(Key(MenuConfirm));
  EXPECT_EQ(screenState.scaleX, 1.1f);
  EXPECT_EQ(Caption()->text, "Scale:1.10");
  EXPECT_NE(Caption()->sprite, before) << "the caption is rendered anew";
  EXPECT_NE(Caption()->sprite, 0);
}

struct FloorCase {
  float start;
  float floor;
  const char* caption;
};

TEST_F(ScaleOption, LeftStopsAboveFourTenths) {
  const FloorCase cases[] = {{1.1f, 0.49999991f, "Scale:0.50"}, {1.32f, 0.41999987f, "Scale:0.42"}};
  for (const FloorCase& c : cases) {
    ZeroGlobalState();
    ASSERT_TRUE(InitKeyboard());
    OpenAt(c.start);
    for (int step = 0; step < 12; ++step) ChangeScale(Key(MenuLeft));
    EXPECT_FLOAT_EQ(screenState.scaleX, c.floor) << "from " << c.start;
    EXPECT_EQ(screenState.scaleY, screenState.scaleX) << "both axes move together";
    EXPECT_EQ(Caption()->text, c.caption) << "from " << c.start;
    StopPlatform();
    ASSERT_TRUE(StartPlatform());
  }
}

TEST_F(ScaleOption, OtherEntriesIgnoreLeftAndRight) {
  OpenAt(1.1f);
  ShowMainMenu(0);
  int window = screenState.window;
  for (const char* key : {"resume", "new", "options", "quit"}) {
    MenuItem* item = MapFind(menuState.items, key);
    item->handler(Key(MenuLeft));
    item->handler(Key(MenuRight));
  }
  EXPECT_EQ(screenState.window, window);
  EXPECT_EQ(screenState.scaleX, 1.1f);
  EXPECT_EQ(gameState.mode, Menu);
  EXPECT_EQ(ListCount(menuState.entries), 4u) << "still the main menu";
}

}  // namespace
