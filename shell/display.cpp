#include "shell/display.h"

ScreenState screenState;

void ZeroScreenState() { screenState = ScreenState{}; }
