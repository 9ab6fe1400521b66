// SPDX-License-Identifier: MIT
// The whole program on the offscreen driver, a two-player game played to
// game over on two virtual game controllers, and controllers pulled out in
// the middle of a game, through the real tick.
#include <gtest/gtest.h>

#include "menu/menu.h"
#include "play/player.h"
#include "shell/state.h"
#include "tests/support/program.h"
#include "tests/support/virtual_pad.h"

namespace {

class TwoPadGame : public probe::ProgramTest {
 protected:
  static bool AnyAlive() {
    for (int i = 0; i < gameState.playerCount; ++i)
      if (gameState.players[i].alive) return true;
    return false;
  }
};

TEST_F(TwoPadGame, EachControllerSteersItsPlayerToGameOver) {
  // Plugged in after start-up: the game finds them at its next tick.
  const vpad::Pad one = vpad::Plug();
  const vpad::Pad two = vpad::Plug();
  ASSERT_NE(one.joystick, nullptr) << SDL_GetError();
  ASSERT_NE(two.joystick, nullptr) << SDL_GetError();
  NewGame("Player1", "Player2");
  ASSERT_EQ(gameState.playerCount, 2);
  ASSERT_TRUE(RunOneTick());

  // Player 1 steers left on the D-pad, player 2 right on the stick.
  const Figure* first = gameState.players[0].current;
  const Figure* second = gameState.players[1].current;
  const int x1 = first->x, x2 = second->x;
  vpad::Button(one, SDL_CONTROLLER_BUTTON_DPAD_LEFT, true);
  vpad::Axis(two, SDL_CONTROLLER_AXIS_LEFTX, 32767);
  for (int tick = 0; tick < 10; ++tick) ASSERT_TRUE(RunOneTick());
  ASSERT_EQ(gameState.players[0].current, first);
  ASSERT_EQ(gameState.players[1].current, second);
  EXPECT_LT(first->x, x1) << "player 1's figure, from column " << x1;
  EXPECT_GT(second->x, x2) << "player 2's figure, from column " << x2;
  vpad::Button(one, SDL_CONTROLLER_BUTTON_DPAD_LEFT, false);
  vpad::Axis(two, SDL_CONTROLLER_AXIS_LEFTX, 0);

  // Both drop every figure as fast as the game lets them, turning now and
  // then, until neither field has room left.
  vpad::Button(one, SDL_CONTROLLER_BUTTON_DPAD_DOWN, true);
  vpad::Axis(two, SDL_CONTROLLER_AXIS_LEFTY, 32767);
  int ticks = 0;
  for (; ticks < 100000 && AnyAlive(); ++ticks) {
    const bool turn = ticks % 50 < 5;
    vpad::Button(one, SDL_CONTROLLER_BUTTON_A, turn);
    vpad::Button(two, SDL_CONTROLLER_BUTTON_X, turn);
    ASSERT_TRUE(RunOneTick()) << "tick " << ticks;
  }
  EXPECT_FALSE(gameState.players[0].alive) << "after " << ticks << " ticks";
  EXPECT_FALSE(gameState.players[1].alive) << "after " << ticks << " ticks";
  EXPECT_EQ(gameState.mode, Game);
}

// A controller pulled out in a game: a player still in it loses theirs and
// the main menu opens as Escape opens it, with Continue back to the game as
// it stood; any other controller changes nothing.
TEST_F(TwoPadGame, PullingAPlayersControllerPausesTheGame) {
  struct Row {
    const char* pulled;
    bool twoPlayers;
    int pad;         // 0 player 1's, 1 player 2's, 2 the menu-only one
    int overBefore;  // the player whose game is over before the pull, or -1
    bool pauses;
  };
  const Row rows[] = {
      {"player 1's", true, 0, -1, true},
      {"player 2's", true, 1, -1, true},
      {"player 1's, alone in the game", false, 0, -1, true},
      {"the menu-only one", true, 2, -1, false},
      {"the second in a one-player game", false, 1, -1, false},
      {"player 1's after player 1's game over", true, 0, 0, false},
      {"player 2's after player 1's game over", true, 1, 0, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.pulled);
    vpad::Pad pads[3] = {vpad::Plug(), vpad::Plug(), vpad::Plug()};
    NewGame("Player1", row.twoPlayers ? "Player2" : "");
    ASSERT_TRUE(RunOneTick());  // the game takes the controllers, in order
    // What the step's game over leaves: the rule reads only this.
    if (row.overBefore >= 0) gameState.players[row.overBefore].alive = 0;

    vpad::Unplug(pads[row.pad]);
    ASSERT_TRUE(RunOneTick());
    ASSERT_EQ(gameState.mode, row.pauses ? Menu : Game);
    if (row.pauses) {
      const MenuItem* resume = MapFind(menuState.items, "resume");
      ASSERT_NE(ListCurrent(menuState.entries), nullptr);
      EXPECT_EQ(*ListCurrent(menuState.entries), resume) << "the main menu, on Continue";
      EXPECT_EQ(menuState.MenuNextInputTime, gameState.now + 200);
      const Figure* figure = gameState.players[row.pad].current;
      const int64_t fallDue = gameState.players[row.pad].nextFallTime;
      while (gameState.now <= menuState.MenuNextInputTime) ASSERT_TRUE(RunOneTick());
      keyboard.keys[DIK_RETURN] = 0x80;
      ASSERT_TRUE(RunOneTick());
      keyboard.keys[DIK_RETURN] = 0;
      EXPECT_EQ(gameState.mode, Game) << "Continue";
      EXPECT_EQ(gameState.players[row.pad].current, figure);
      EXPECT_EQ(gameState.players[row.pad].nextFallTime, fallDue);
    }
    // Out of the game, so that the controllers left are pulled out harmlessly.
    ShowMainMenu(0);
    for (vpad::Pad& pad : pads)
      if (pad.joystick) vpad::Unplug(pad);
    ASSERT_TRUE(RunOneTick());
  }
}

}  // namespace
