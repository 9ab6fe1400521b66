// SPDX-License-Identifier: MIT
// The whole program, headless, played for a long time by a seeded random
// player: menus, one- and two-player games to game over, pauses, scale
// changes, game controllers plugged, pulled and pressed alongside the keyboard,
// and faults injected at random moments. The registries are checked
// against what the game can reach after every tick, and the heap at every
// new game.
//
//   pellovar_soak [ticks [seed]]     defaults: 100000 ticks, seed 1
//
// Ends with status 0 when every check held, 1 at the first that did not.
#include <malloc.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <unordered_set>

#include "game/cell.h"
#include "menu/menu.h"
#include "play/effects.h"
#include "play/keys.h"
#include "play/player.h"
#include "render/label.h"
#include "runtime/clock.h"
#include "runtime/keyboard.h"
#include "runtime/platform.h"
#include "runtime/screen.h"
#include "runtime/text.h"
#include "shell/display.h"
#include "shell/startup.h"
#include "shell/state.h"
#include "shell/tick.h"
#include "tests/support/env_scope.h"
#include "tests/support/registry_check.h"
#include "tests/support/stepping_clock.h"
#include "tests/support/virtual_pad.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
// From the sanitizer runtime; GCC ships no header that declares it.
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace {

// The program's clock, moved by hand: by the seed first, as the game seeds
// itself from the clock, then a tick period at a time.
int64_t& clockNow = testclock::now;

KeyboardSubstitute keyboard;
std::mt19937 rng;
int64_t tick = 0;

int Roll(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); }
bool Chance(int oneIn) { return Roll(1, oneIn) == 1; }

[[noreturn]] void Fail(const char* format, ...) {
  std::fprintf(stderr, "soak failed at tick %lld: ", static_cast<long long>(tick));
  va_list args;
  va_start(args, format);
  std::vfprintf(stderr, format, args);
  va_end(args);
  std::fprintf(stderr, "\n");
  std::fflush(nullptr);
  // At once: the records a failed run leaves behind are no leaks to report.
  _exit(1);
}

// ---- the keyboard: keys held for human-like times ------------------------------

int64_t heldUntil[256];

void Hold(int16_t code, int ticks) { heldUntil[code] = tick + ticks; }
bool IsHeld(int16_t code) { return heldUntil[code] > tick; }
void ApplyKeys() {
  for (int code = 0; code < 256; ++code) keyboard.keys[code] = heldUntil[code] > tick ? 0x80 : 0;
}
bool AnyHeld() {
  for (int64_t until : heldUntil)
    if (until > tick) return true;
  return false;
}

// ---- what happened ----------------------------------------------------------------

struct Tally {
  int64_t gamesStarted, twoPlayerGames, gamesOver, pauses, resumes, scaleChanges;
  int64_t spriteFaults, allocationFaults, reopenFaults, focusLosses;
  int64_t padsPlugged, padsPulled, padsPulledInGames, pullPauses, padPresses;
};
Tally tally;

// ---- the player -------------------------------------------------------------------

enum Goal { NoGoal, GoResume, GoNewOne, GoNewTwo, GoScale };
Goal goal = NoGoal;
int scaleSteps = 0;
int16_t scaleKey = 0;
int64_t gameOverSince = -1;

const char* CurrentItemKey() {
  MenuItem** current = ListCurrent(menuState.entries);
  if (!current) return "";
  for (auto& [key, item] : menuState.items.slots)
    if (&item == *current) return key.c_str();
  return "";
}

const char* FirstItemKey() {
  if (menuState.entries.items.empty()) return "";
  for (auto& [key, item] : menuState.items.slots)
    if (&item == menuState.entries.items.front()) return key.c_str();
  return "";
}

void Tap(int16_t code) { Hold(code, Roll(3, 11)); }

void PickGoal() {
  const int roll = Roll(1, 100);
  if (gameState.playerCount != 0 && roll <= 40) {
    goal = GoResume;
  } else if (roll <= 88) {
    goal = Roll(0, 1) ? GoNewOne : GoNewTwo;
  } else {
    goal = GoScale;
    scaleSteps = Roll(1, 3);
    // Kept between about 0.5 and 1.0: every frame costs more the larger the
    // cells, and the soak is about many frames, not large ones.
    const float scale = screenState.scaleX;
    scaleKey = scale > 0.95f ? DIK_LEFT : scale < 0.55f ? DIK_RIGHT : (Roll(0, 1) ? DIK_LEFT : DIK_RIGHT);
  }
}

void SteerTo(const char* target) {
  if (std::strcmp(CurrentItemKey(), target) == 0) {
    Tap(Roll(0, 1) ? DIK_RETURN : DIK_SPACE);
  } else {
    Tap(Roll(0, 3) ? DIK_DOWN : DIK_UP);
  }
}

void PlayMenu() {
  if (AnyHeld() || gameState.now <= menuState.MenuNextInputTime) return;
  if (Chance(12)) {
    // Wandering: a key a person might press anywhere, except Enter on "Quit".
    const int16_t keys[] = {DIK_UP, DIK_DOWN, DIK_BACK, DIK_ESCAPE, DIK_RETURN, DIK_A};
    const int16_t key = keys[Roll(0, 5)];
    if (key == DIK_RETURN && std::strcmp(CurrentItemKey(), "quit") == 0) return;
    if (key == DIK_RETURN && std::strcmp(CurrentItemKey(), "opts_scale") == 0) return;
    Hold(key, Chance(5) ? Roll(15, 40) : Roll(3, 11));  // sometimes long enough to repeat
    return;
  }
  if (goal == NoGoal) PickGoal();
  const std::string menu = FirstItemKey();
  const bool inMain = menu == "resume", inNew = menu == "new_1p_standart",
             inOptions = menu == "opts_scale";
  switch (goal) {
    case GoResume:
      if (gameState.playerCount == 0) goal = NoGoal;
      else if (inMain) SteerTo("resume");
      else Tap(DIK_ESCAPE);
      break;
    case GoNewOne:
    case GoNewTwo:
      if (inMain) SteerTo("new");
      else if (inNew) SteerTo(goal == GoNewOne ? "new_1p_standart" : "new_2p_standart");
      else Tap(DIK_BACK);
      break;
    case GoScale:
      if (inMain) {
        SteerTo("options");
      } else if (inOptions && scaleSteps > 0) {
        if (std::strcmp(CurrentItemKey(), "opts_scale") == 0) {
          Tap(scaleKey);
          --scaleSteps;
          ++tally.scaleChanges;
        } else {
          Tap(DIK_UP);
        }
      } else {
        Tap(DIK_ESCAPE);
        if (inOptions) goal = NoGoal;
      }
      break;
    case NoGoal:
      break;
  }
}

struct PlayerKeys {
  int16_t left, right, down, rotate;
};
const PlayerKeys playerKeys[2] = {{DIK_LEFT, DIK_RIGHT, DIK_DOWN, DIK_UP},
                                  {DIK_NUMPAD4, DIK_NUMPAD6, DIK_NUMPAD5, DIK_NUMPAD8}};

void PlayField(int index) {
  const PlayerKeys& k = playerKeys[index];
  if (IsHeld(k.left) || IsHeld(k.right) || IsHeld(k.down) || IsHeld(k.rotate)) return;
  const int roll = Roll(1, 100);
  if (roll <= 50) {
    Hold(k.down, Roll(5, 60));
  } else if (roll <= 68) {
    Hold(Roll(0, 1) ? k.left : k.right, Chance(3) ? Roll(10, 30) : Roll(3, 8));
  } else if (roll <= 84) {
    Hold(k.rotate, Chance(40) ? Roll(100, 140) : Roll(3, 10));  // a long hold recolours
  }
  // otherwise a moment's thought: nothing this tick
}

void PlayGame() {
  bool anyAlive = false;
  for (int i = 0; i < gameState.playerCount; ++i) anyAlive |= gameState.players[i].alive != 0;
  if (!anyAlive) {
    if (gameOverSince < 0) {
      gameOverSince = tick;
      ++tally.gamesOver;
    }
    if (tick - gameOverSince > Roll(20, 120) && !AnyHeld()) {
      Tap(DIK_ESCAPE);
      goal = NoGoal;
    }
    return;
  }
  if (Chance(1500) && !IsHeld(DIK_ESCAPE)) {
    Tap(DIK_ESCAPE);
    ++tally.pauses;
    goal = NoGoal;
    return;
  }
  for (int i = 0; i < gameState.playerCount; ++i)
    if (gameState.players[i].alive) PlayField(i);
}

// ---- controllers: plugged, pulled and pressed at random ------------------------

// More sockets than player slots, so that some controllers drive the menus
// only. They steer figures in a game, and are let go of in the menus, where
// the soak's player steers with the keys towards its goals. They are plugged
// and pulled in games as in the menus.
constexpr int PadSockets = 3;
vpad::Pad pads[PadSockets];
int64_t padHeldUntil[PadSockets];
// The player numbers the controllers pulled out in this tick showed, while a
// game was being played: each one still in the game afterwards must find
// the game paused.
int pulledPlayers[PadSockets];
int pulledCount = 0;

void LetGo(const vpad::Pad& pad) {
  for (int button : {SDL_CONTROLLER_BUTTON_DPAD_LEFT, SDL_CONTROLLER_BUTTON_DPAD_RIGHT,
                     SDL_CONTROLLER_BUTTON_DPAD_DOWN, SDL_CONTROLLER_BUTTON_X})
    vpad::Button(pad, button, false);
  vpad::Axis(pad, SDL_CONTROLLER_AXIS_LEFTX, 0);
  vpad::Axis(pad, SDL_CONTROLLER_AXIS_LEFTY, 0);
}

void PlayControllers() {
  for (int k = 0; k < PadSockets; ++k) {
    vpad::Pad& pad = pads[k];
    if (!pad.joystick) {
      if (!Chance(3000)) continue;
      pad = vpad::Plug();
      if (!pad.joystick) Fail("a virtual controller could not be plugged in: %s", SDL_GetError());
      ++tally.padsPlugged;
      continue;
    }
    if (Chance(4000)) {  // often in the middle of a held move
      if (gameState.mode == Game) {
        pulledPlayers[pulledCount++] = SDL_JoystickGetPlayerIndex(pad.joystick);
        ++tally.padsPulledInGames;
      }
      vpad::Unplug(pad);
      ++tally.padsPulled;
      continue;
    }
    if (gameState.mode != Game) padHeldUntil[k] = 0;
    if (padHeldUntil[k] > tick) continue;
    LetGo(pad);
    if (gameState.mode != Game || !Chance(15)) continue;
    const int roll = Roll(0, 5);
    if (roll < 4) {
      const int buttons[] = {SDL_CONTROLLER_BUTTON_DPAD_LEFT, SDL_CONTROLLER_BUTTON_DPAD_RIGHT,
                             SDL_CONTROLLER_BUTTON_DPAD_DOWN, SDL_CONTROLLER_BUTTON_X};
      vpad::Button(pad, buttons[roll], true);
    } else {
      vpad::Axis(pad, roll == 4 ? SDL_CONTROLLER_AXIS_LEFTX : SDL_CONTROLLER_AXIS_LEFTY,
                 Roll(-32768, 32767));
    }
    padHeldUntil[k] = tick + Roll(3, 40);
    ++tally.padPresses;
  }
}

// ---- checks -----------------------------------------------------------------------

// Each controller shows the player whose slot it holds, two never the same,
// and a pulled-out player's controller paused the game they were in; any
// other controller pulled out left a game going on, unless Escape stopped it.
void CheckControllers(bool escapeHeld) {
  bool shown[2] = {};
  for (const vpad::Pad& pad : pads) {
    if (!pad.joystick) continue;
    const int player = SDL_JoystickGetPlayerIndex(pad.joystick);
    if (player < -1 || player > 1 || (player >= 0 && shown[player]))
      Fail("a controller shows player number %d", player);
    if (player >= 0) shown[player] = true;
  }
  bool playerLost = false;
  for (int k = 0; k < pulledCount; ++k) {
    const int player = pulledPlayers[k];
    playerLost |= player >= 0 && player < gameState.playerCount && gameState.players[player].alive;
  }
  if (playerLost && gameState.mode != Menu) Fail("a player's controller pulled out, the game went on");
  if (playerLost) ++tally.pullPauses;
  if (pulledCount > 0 && !playerLost && !escapeHeld && gameState.mode != Game)
    Fail("a controller of nobody in the game pulled out, and the game stopped");
  pulledCount = 0;
}

size_t backgroundBaseline = 0;
size_t menuLabelBaseline = 0;
size_t backgroundEffectBaseline = 0;

// Every registry holds exactly what the program can reach from the
// background, the menus, the players' fields, figures and labels.
void CheckRegistries(bool wholeGrid) {
  RegistryCheck check;
  size_t backgroundCells = 0, backgroundEffects = 0, menuLabels = 0;
  for (CellStyle* cell : BackgroundLayer.cells) {
    if (!cell) continue;
    check.Cell(cell, BackgroundCellTag, "the background");
    ++backgroundCells;
    backgroundEffects += cell->effect ? 1 : 0;
  }
  for (auto& [key, item] : menuState.items.slots) {
    check.Label(item.label, "a menu");
    menuLabels += item.label ? 1 : 0;
  }
  for (Player& p : gameState.players) {
    check.Field(p.field, wholeGrid);
    check.FigureInPlay(p.current, false);
    check.FigureInPlay(p.next, false);
    check.Label(p.nameLabel, "a name");
    check.Label(p.scoreLabel, "a score");
    check.Label(p.gameOverLabel, "a game-over label");
  }
  check.Finish();
  if (!check.Ok()) Fail("%s", check.Failure().c_str());

  if (backgroundCells != backgroundBaseline || menuLabels != menuLabelBaseline ||
      backgroundEffects != backgroundEffectBaseline) {
    Fail("the baseline moved: %zu background cells (%zu), %zu menu labels (%zu), "
         "%zu background effects (%zu)",
         backgroundCells, backgroundBaseline, menuLabels, menuLabelBaseline,
         backgroundEffects, backgroundEffectBaseline);
  }
  if (screenState.screenMode != 1 || MapCount(SpriteTable) != 518 || ListCount(BlockColourList) != 512)
    Fail("the screen is not whole: mode %d, %zu sprites", screenState.screenMode,
         MapCount(SpriteTable));

  // Every live sprite is a block's or a label's: one left behind by a label
  // that was rendered again is a leak the registries cannot see.
  std::unordered_set<int> held;
  for (auto& [key, sprite] : SpriteTable.slots)
    if (sprite) held.insert(sprite);
  for (auto& [key, label] : TextLabelMap.slots)
    if (label && label->sprite) held.insert(label->sprite);
  for (int sprite : held)
    if (!SpriteExists(sprite)) Fail("sprite %d is held but does not exist", sprite);
  if (CountSprites() != static_cast<int>(held.size()))
    Fail("%d sprites alive, %zu held by blocks and labels", CountSprites(), held.size());
}

// Right after a new game: empty fields, two fresh figures and three labels
// per player, nothing else of a game left.
void CheckFreshGame() {
  const size_t players = gameState.playerCount;
  size_t settled = 0;
  for (Player& p : gameState.players)
    for (auto& row : p.field.cells)
      for (CellStyle* cell : row) settled += cell ? 1 : 0;
  if (settled != 0) Fail("a new game starts with %zu settled cells", settled);
  if (TextLabelMap.slots.size() != menuLabelBaseline + 3 * players)
    Fail("a new game of %zu players has %zu labels", players, TextLabelMap.slots.size());
  if (FigureRegistry.slots.size() > 2 * players)
    Fail("a new game of %zu players has %zu figures", players, FigureRegistry.slots.size());
}

size_t HeapInUse() {
#if defined(__SANITIZE_ADDRESS__)
  return __sanitizer_get_current_allocated_bytes();
#else
  // Large blocks (a frame, a window surface) live in the arena or in mappings
  // of their own, as malloc's moving threshold decides: count both.
  const struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;
#endif
}

// The heap at the start of a game, once everything made on first use (the
// decoded glyphs, say) exists, against each later start at the same scale:
// the sprites alone take several times more memory at a large scale.
constexpr int64_t WarmGames = 20;
constexpr size_t HeapSlack = 1u << 20;
std::map<int, size_t> heapAtScale;  // cell width: heap at the first warm game start
size_t largestGrowth = 0;

void CheckGrowth() {
  if (tally.gamesStarted <= WarmGames) return;
  const size_t heap = HeapInUse();
  auto [entry, first] = heapAtScale.try_emplace(screenState.cellWidth, heap);
  if (first || heap <= entry->second) return;
  largestGrowth = std::max(largestGrowth, heap - entry->second);
  if (heap > entry->second + HeapSlack)
    Fail("the heap at %d-pixel cells grew from %zu to %zu bytes by game %lld", entry->first,
         entry->second, heap, static_cast<long long>(tally.gamesStarted));
}

// ---- faults -----------------------------------------------------------------------

int64_t focusBackAt = -1;
bool focusReturned = false;

void InjectFaults() {
  if (Chance(3000)) {
    FailNextSprites(Roll(1, 3));
    ++tally.spriteFaults;
  }
  if (gameState.mode == Game && Chance(1500)) {
    FailNextAllocations(Roll(1, 4));
    ++tally.allocationFaults;
  }
  if (Chance(25000)) {
    // A scale no screen can be opened at: the previous one must come back.
    const float scale = screenState.scaleX;
    if (!ReopenDisplay(1000.0f, 1000.0f)) Fail("reopening lost the screen");
    if (screenState.scaleX != scale) Fail("the scale did not fall back");
    ++tally.reopenFaults;
  }
  if (focusBackAt < 0 && Chance(2500)) {
    keyboard.focused = false;
    focusBackAt = tick + Roll(5, 60);
    ++tally.focusLosses;
  } else if (focusBackAt >= 0 && tick >= focusBackAt) {
    keyboard.focused = true;
    focusBackAt = -1;
    focusReturned = true;
  }
}

// Without focus nothing reads as held; with the focus back, a key held all
// along is a fresh press.
void CheckFocus() {
  const int highest = keyboard.focused ? (focusReturned ? 1 : 100) : 0;
  focusReturned = false;
  for (const KeyBinding& binding : keyBindingTable.bindings)
    if (binding.holdCounter > highest)
      Fail("a hold counter reads %d, at most %d expected", binding.holdCounter, highest);
}

// ---- the run ------------------------------------------------------------------------

// A signal from outside ends the program as it should, but then the soak
// says so instead of reporting a close request out of nowhere.
volatile sig_atomic_t outsideSignal = 0;
struct sigaction programHandlers[NSIG];

void NoteSignal(int number) {
  outsideSignal = number;
  if (programHandlers[number].sa_handler != SIG_DFL && programHandlers[number].sa_handler != SIG_IGN)
    programHandlers[number].sa_handler(number);
}

void WatchOutsideSignals() {
  for (int number : {SIGINT, SIGTERM, SIGHUP}) {
    sigaction(number, nullptr, &programHandlers[number]);
    struct sigaction note {};
    note.sa_handler = NoteSignal;
    sigemptyset(&note.sa_mask);
    sigaction(number, &note, nullptr);
  }
}

// Runs event-loop passes until one tick has run at the current clock.
void RunOneTick() {
  for (int pass = 0; pass < 100; ++pass) {
    if (!EventLoopPass(0)) {
      if (outsideSignal) Fail("signal %d from outside ended the program", int(outsideSignal));
      Fail("the program wanted to end, mode %d", gameState.mode);
    }
    if (tickState.nextTickTime > clockNow) return;
  }
  Fail("no tick ran");
}

// The program ends the process itself when "Quit" is chosen; the soak must
// not pass for it.
bool finished = false;
void NoteEarlyExit() {
  if (finished) return;
  std::fprintf(stderr, "soak failed at tick %lld: the program ended the process\n",
               static_cast<long long>(tick));
  std::fflush(nullptr);
  _exit(1);
}

// Leaves the records the program never frees one by one (it ends with its
// heap) reachable only through the registries, as at the real exit, so that
// what the leak check finds was really lost.
void Finish() {
  finished = true;
  StopPlatform();
  SubstituteKeyboard(nullptr);
  testclock::Remove();
#if defined(__SANITIZE_ADDRESS__)
  __lsan_do_leak_check();
#endif
}

}  // namespace

int main(int argc, char** argv) {
  const int64_t ticks = argc > 1 ? std::atoll(argv[1]) : 100000;
  const uint32_t seed = argc > 2 ? static_cast<uint32_t>(std::strtoul(argv[2], nullptr, 10)) : 1;
  rng.seed(seed);
  testclock::Install(1000 + seed % 100000);
  if (!std::getenv("SDL_VIDEODRIVER")) SetEnvironment("SDL_VIDEODRIVER", "offscreen");
  if (!std::getenv("SDL_AUDIODRIVER")) SetEnvironment("SDL_AUDIODRIVER", "dummy");

  std::memset(&keyboard, 0, sizeof keyboard);
  keyboard.focused = true;
  SubstituteKeyboard(&keyboard);
  std::atexit(NoteEarlyExit);
  StartProgram();
  WatchOutsideSignals();

  for (CellStyle* cell : BackgroundLayer.cells) {
    backgroundBaseline += cell ? 1 : 0;
    backgroundEffectBaseline += cell && cell->effect ? 1 : 0;
  }
  for (auto& [key, item] : menuState.items.slots) menuLabelBaseline += item.label ? 1 : 0;

  uint8_t lastMode = gameState.mode;
  for (tick = 1; tick <= ticks; ++tick) {
    if (gameState.mode == Menu) {
      PlayMenu();
    } else {
      PlayGame();
    }
    InjectFaults();
    ApplyKeys();
    PlayControllers();
    const bool escapeHeld = IsHeld(DIK_ESCAPE);
    clockNow += TickPeriod;
    RunOneTick();

    CheckFocus();
    CheckControllers(escapeHeld);
    CheckRegistries(tick % 5000 == 0);
    // A game started in this tick: the reset put the time back to 0.
    if (gameState.now == 0 && gameState.playerCount != 0) {
      ++tally.gamesStarted;
      tally.twoPlayerGames += gameState.playerCount == 2 ? 1 : 0;
      gameOverSince = -1;
      goal = NoGoal;
      CheckFreshGame();
      CheckGrowth();
    }
    if (lastMode == Menu && gameState.mode == Game && gameState.now != 0) ++tally.resumes;
    if (gameState.mode == Game) goal = NoGoal;
    lastMode = gameState.mode;
  }

  std::printf("soak: %lld ticks, seed %u: %lld games started (%lld for two), %lld played to "
              "game over, %lld pauses, %lld resumed, %lld scale steps\n",
              static_cast<long long>(ticks), seed, static_cast<long long>(tally.gamesStarted),
              static_cast<long long>(tally.twoPlayerGames), static_cast<long long>(tally.gamesOver),
              static_cast<long long>(tally.pauses), static_cast<long long>(tally.resumes),
              static_cast<long long>(tally.scaleChanges));
  std::printf("soak: faults: %lld sprite, %lld allocation, %lld failed reopenings, %lld focus "
              "losses; heap at a game's start grew at most %zu bytes over the first at its scale\n",
              static_cast<long long>(tally.spriteFaults),
              static_cast<long long>(tally.allocationFaults),
              static_cast<long long>(tally.reopenFaults), static_cast<long long>(tally.focusLosses),
              largestGrowth);
  std::printf("soak: controllers: %lld plugged in, %lld pulled out (%lld in games, %lld of them "
              "pausing), %lld presses\n",
              static_cast<long long>(tally.padsPlugged), static_cast<long long>(tally.padsPulled),
              static_cast<long long>(tally.padsPulledInGames),
              static_cast<long long>(tally.pullPauses), static_cast<long long>(tally.padPresses));
  Finish();
  return 0;
}
