// SPDX-License-Identifier: MIT
// The three menus, their items and handlers, navigation and the scale option.
#pragma once
#include <cstdint>

#include "runtime/containers.h"

struct TextLabel;

using MenuHandler = void (*)(int32_t keyCode);

struct MenuItem {
  TextLabel* label;
  MenuHandler handler;  // null: the entry cannot be activated
};

struct MenuState {
  OrderedList<MenuItem*> entries;  // the menu shown; current = selected entry
  KeyedMap<MenuItem> items;
  int64_t MenuNextInputTime;
  MenuHandler BackHandler;
};

extern MenuState menuState;

void InitMenuState();  // zeroed, with an empty entry list and item map
void BuildMenus();
void ShowMainMenu(int32_t keyCode);
void ShowNewGameMenu(int32_t keyCode);
void ShowOptionsMenu(int32_t keyCode);
void ResumeGame(int32_t keyCode);
void QuitProgram(int32_t keyCode);
void ChangeScale(int32_t keyCode);
// The "Scale:" caption again after the scale changed outside the menu (F11).
void RefreshScaleCaption();

// The menu screen: a panel with the entries stacked in the middle and a bar
// behind the selected one; composes and shows one frame, returns its time.
int64_t DrawMenuScreen();
int64_t MenuLogic();
