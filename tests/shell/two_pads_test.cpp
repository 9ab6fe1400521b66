// SPDX-License-Identifier: MIT
// The whole program on the offscreen driver, a two-player game played to
// game over on two virtual game controllers, through the real tick.
#include <gtest/gtest.h>

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

}  // namespace
