#include "menu/menu.h"

MenuState menuState;

void InitMenuState() {
  menuState.MenuNextInputTime = 0;
  menuState.BackHandler = nullptr;
  ListCreate(menuState.entries);
  MapCreate(menuState.items);
}
