// SPDX-License-Identifier: MIT
// The rule book of a running game: one step per player per tick.
#pragma once
#include <cstdint>
#include <string>

struct Figure;
struct Player;
struct Playfield;

int64_t GameTick();  // returns the milliseconds it took
void StepPlayer(Player& player);

// Points for clearing `rows` rows at once with row-score factor `factor`
// (768 to 1280) while the fall interval is `fallInterval` ms.
int64_t RowScore(int32_t rows, int32_t factor, int32_t fallInterval);

// The fall interval after one more row-clearing lock.
int32_t NextFallInterval(int32_t fallInterval);

// The score as shown: eight digits, zero-padded; a longer number shows its
// first eight digits.
std::string ScoreText(int64_t score);

// Places a figure at the entry position at the top of the field, centred,
// its bottom row on the second visible row. Overlapping cells are allowed.
void PlaceAtEntry(Playfield& field, Figure* figure);

// A new figure of random colour, type and orientation, not placed. With
// `allowScatter` one figure in 512 is a scatter figure of one to five cells.
Figure* MakeRandomFigure(Playfield& field, bool allowScatter);
