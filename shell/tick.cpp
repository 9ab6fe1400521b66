#include "shell/tick.h"

TickState tickState;

void ZeroTickState() { tickState = TickState{}; }
