// The rule book of a running game: one step per player per tick.
#pragma once
#include <cstdint>

struct Player;

int64_t GameTick();  // returns the milliseconds it took
void StepPlayer(Player& player);
