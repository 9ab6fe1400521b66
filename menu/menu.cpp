// SPDX-License-Identifier: MIT
#include "menu/menu.h"

#include <initializer_list>
#include <string>

#include "play/keys.h"
#include "play/player.h"
#include "render/label.h"
#include "runtime/clock.h"
#include "runtime/text.h"
#include "shell/display.h"
#include "shell/fullscreen.h"
#include "shell/scale.h"
#include "shell/startup.h"
#include "shell/state.h"
#include "shell/version.h"

MenuState menuState;

static constexpr uint32_t CaptionColour = 0xF6FFF6;  // (246, 255, 246)
static constexpr float CaptionSizeX = 3.5f;
static constexpr float CaptionSizeY = 3.0f;
static constexpr uint8_t Usable = 222;
static constexpr uint8_t Dimmed = 64;
static constexpr int64_t InputDelay = 200;

void InitMenuState() {
  menuState.MenuNextInputTime = 0;
  menuState.BackHandler = nullptr;
  ListCreate(menuState.entries);
  MapCreate(menuState.items);
}

static int16_t PrimaryKey(Action action) { return keyBindingTable.bindings[action].primaryKey; }
static bool Held(Action action) { return keyBindingTable.bindings[action].holdCounter != 0; }

static std::string ScaleCaption() { return "Scale:" + FixedText(screenState.scaleX, 2); }

static void AddItem(const char* key, const std::string& caption, float sizeX, float sizeY,
                    uint8_t alpha, MenuHandler handler) {
  MenuItem& item = MapAddOrFind(menuState.items, key);
  item.label = CreateTextLabel(MenuLabelLayer);
  RefreshTextLabel(item.label, caption, sizeX, sizeY, CaptionColour);
  if (item.label) item.label->alpha = alpha;
  item.handler = handler;
}

void BuildMenus() {
  AddItem("v", ProductTitle, 1.5f, 1.5f, 88, nullptr);
  if (TextLabel* title = MapFind(menuState.items, "v")->label) {
    title->align = AlignLeft | AlignTop;
    title->x = 4;
    title->y = static_cast<int16_t>(screenState.rows - 5);
  }
  AddItem("resume", "Continue", CaptionSizeX, CaptionSizeY, Usable, ResumeGame);
  AddItem("new", "New Game", CaptionSizeX, CaptionSizeY, Usable, ShowNewGameMenu);
  AddItem("options", "Options", CaptionSizeX, CaptionSizeY, Usable, ShowOptionsMenu);
  AddItem("quit", "Quit", CaptionSizeX, CaptionSizeY, Usable, QuitProgram);
  AddItem("new_1p_standart", "1-P/classic", CaptionSizeX, CaptionSizeY, Usable, StartOnePlayer);
  AddItem("new_2p_standart", "2-P/classic", CaptionSizeX, CaptionSizeY, Usable, StartTwoPlayers);
  AddItem("new_dummy", "(LOT Others)", CaptionSizeX, CaptionSizeY, Dimmed, nullptr);
  AddItem("new_back", "Back", CaptionSizeX, CaptionSizeY, Usable, ShowMainMenu);
  AddItem("opts_scale", ScaleCaption(), CaptionSizeX, CaptionSizeY, Usable, ChangeScale);
  AddItem("opts_back", "Back", CaptionSizeX, CaptionSizeY, Usable, ShowMainMenu);
}

// Fills the visible entries with the given items and starts the menu on its
// first entry. False when the key code does not open menus.
static bool ShowMenu(int32_t keyCode, std::initializer_list<const char*> keys, MenuHandler back) {
  if (keyCode != 0 && keyCode != PrimaryKey(MenuConfirm)) return false;
  gameState.mode = Menu;
  ListClear(menuState.entries);
  for (const char* key : keys) {
    if (MenuItem* item = MapFind(menuState.items, key)) ListAppend(menuState.entries) = item;
  }
  ListFirst(menuState.entries);
  menuState.BackHandler = back;
  menuState.MenuNextInputTime = gameState.now + InputDelay;
  return true;
}

void ShowMainMenu(int32_t keyCode) {
  if (!ShowMenu(keyCode, {"resume", "new", "options", "quit"}, ResumeGame)) return;
  if (MenuItem* resume = MapFind(menuState.items, "resume"); resume && resume->label) {
    resume->label->alpha = gameState.playerCount != 0 ? Usable : Dimmed;
  }
}

void ShowNewGameMenu(int32_t keyCode) {
  ShowMenu(keyCode, {"new_1p_standart", "new_2p_standart", "new_dummy", "new_back"}, ShowMainMenu);
}

void ShowOptionsMenu(int32_t keyCode) {
  ShowMenu(keyCode, {"opts_scale", "opts_back"}, ShowMainMenu);
}

void ResumeGame(int32_t keyCode) {
  if (keyCode == PrimaryKey(MenuConfirm) && gameState.playerCount != 0) gameState.mode = Game;
}

void QuitProgram(int32_t keyCode) {
  if (keyCode == PrimaryKey(MenuConfirm)) ExitProgram();
}

static void Reopen(float scaleX, float scaleY) {
  if (!ReopenDisplay(scaleX, scaleY)) ExitAfterVideoFailure();
}

void ChangeScale(int32_t keyCode) {
  float sx = screenState.scaleX;
  float sy = screenState.scaleY;
  if (keyCode == PrimaryKey(MenuRight)) {
    // A window larger than the desktop puts its title bar out of reach; the
    // step is refused like a step below the lower limit.
    if (!ScaleFitsDesktop(sx + ScaleStep, sy + ScaleStep)) return;
    Reopen(sx + ScaleStep, sy + ScaleStep);
  } else if (keyCode == PrimaryKey(MenuLeft)) {
    // The limit looks at the horizontal scale only.
    if (ScaleDown(sx) == sx) return;
    Reopen(ScaleDown(sx), sy - ScaleStep);
  }
  RefreshScaleCaption();
}

void RefreshScaleCaption() {
  if (MenuItem* item = MapFind(menuState.items, "opts_scale")) {
    RefreshTextLabel(item->label, ScaleCaption(), CaptionSizeX, CaptionSizeY, CaptionColour);
  }
}

static void CallCurrent(int32_t keyCode) {
  MenuItem** current = ListCurrent(menuState.entries);
  if (current && *current && (*current)->handler) (*current)->handler(keyCode);
}

int64_t MenuLogic() {
  int64_t t0 = ReadClock();
  if (gameState.mode == Menu && gameState.now > menuState.MenuNextInputTime) {
    if (Held(AnyKey)) menuState.MenuNextInputTime = gameState.now + InputDelay;

    if (Held(MenuDown)) {
      if (!ListNext(menuState.entries)) ListFirst(menuState.entries);
    } else if (Held(MenuUp)) {
      if (!ListPrevious(menuState.entries)) ListLast(menuState.entries);
    }
    // Each call acts on whatever entry is current at that moment: a handler
    // may already have replaced the menu.
    if (Held(MenuLeft)) {
      CallCurrent(PrimaryKey(MenuLeft));
    } else if (Held(MenuRight)) {
      CallCurrent(PrimaryKey(MenuRight));
    }
    if (Held(MenuConfirm)) CallCurrent(PrimaryKey(MenuConfirm));
    if ((Held(MenuEscape) || Held(MenuBack)) && menuState.BackHandler) {
      menuState.BackHandler(PrimaryKey(MenuConfirm));
    }
  }
  return ReadClock() - t0;
}
