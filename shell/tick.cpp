// SPDX-License-Identifier: MIT
#include "shell/tick.h"

#include <string>

#include "game/cell.h"
#include "game/figure.h"
#include "game/step.h"
#include "menu/menu.h"
#include "play/effects.h"
#include "play/keys.h"
#include "play/player.h"
#include "render/label.h"
#include "render/screens.h"
#include "runtime/clock.h"
#include "runtime/text.h"
#include "runtime/window.h"
#include "render/display.h"
#include "shell/state.h"
#include "shell/version.h"

TickState tickState;

void ZeroTickState() { tickState = TickState{}; }

std::string StatisticsText() {
  std::string text = " | FPS:" + DecimalText(tickState.ticksCounted) +
                     ", Gc" + DecimalText(MapCount(CellStyleRegistry)) +
                     ", Tc" + DecimalText(MapCount(TextLabelMap)) +
                     ", Fc" + DecimalText(MapCount(FigureRegistry)) +
                     ", Sc" + DecimalText(ListCount(EffectList));
  if (tickState.ticksCounted != 0) {
    // The averages are held as 32-bit floats before they are written.
    float logic = static_cast<float>(tickState.logicMs) / static_cast<float>(tickState.ticksCounted);
    float video = static_cast<float>(tickState.videoMs) / static_cast<float>(tickState.ticksCounted);
    text += ", L" + FixedText(logic, 1) + ", V" + FixedText(video, 1);
  }
  return text;
}

// Someone is playing: not in the menus (a paused game), not after the last
// game over. Only then must the screen stay lit with no key pressed.
static bool GameBeingPlayed() {
  if (gameState.mode != Game) return false;
  for (int i = 0; i < gameState.playerCount; ++i)
    if (gameState.players[i].alive) return true;
  return false;
}

void Tick(void*, uint32_t, uintptr_t, uint32_t) {
  int64_t t0 = ReadClock();
  if (t0 < tickState.nextTickTime) return;
  gameState.now = t0;
  PollKeyboard();

  // The branch follows the mode as it was when the tick began, even if a
  // handler changes it half-way.
  switch (gameState.mode) {
    case Menu:
      tickState.logicMs += MenuLogic();
      tickState.videoMs += AdvanceEffects();
      tickState.videoMs += DrawMenuScreen();
      break;
    case Game:
      tickState.logicMs += GameTick();
      tickState.videoMs += AdvanceEffects();
      tickState.videoMs += DrawGameScreen();
      // A player's controller pulled out pauses at once, whatever the
      // menu's input delay: the poll that finds it gone is the only one
      // that tells.
      if ((keyBindingTable.bindings[MenuEscape].holdCounter != 0 &&
           gameState.now > menuState.MenuNextInputTime) ||
          PlayerControllerLost()) {
        ShowMainMenu(0);
      }
      break;
    default:
      break;
  }
  tickState.ticksCounted += 1;

  // Asked of the desktop only when it changes, whatever changed the mode.
  if (const bool playing = GameBeingPlayed(); playing != tickState.screenSaverHeldOff) {
    AllowScreenSaver(!playing);
    tickState.screenSaverHeldOff = playing;
  }

  if (ReadClock() >= tickState.nextTitleTime) {
    SetTitleText(screenState.window, ProductTitle + StatisticsText());
    tickState.logicMs = 0;
    tickState.videoMs = 0;
    tickState.nextTitleTime = ReadClock() + TitleInterval;
    tickState.ticksCounted = 0;
  }

  // Due 16 ms after this tick began, however long it took: no catch-up.
  int64_t r1 = ReadClock();
  int64_t r2 = ReadClock();
  tickState.nextTickTime = r1 + TickPeriod - (r2 - t0);
}
