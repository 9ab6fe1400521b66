// SPDX-License-Identifier: MIT
#include "shell/display.h"

#include "game/cell.h"
#include "play/effects.h"
#include "render/display.h"
#include "render/label.h"
#include "runtime/image.h"
#include "runtime/random.h"
#include "runtime/screen.h"
#include "runtime/window.h"
#include "shell/blocks.h"
#include "shell/fullscreen.h"
#include "shell/icon.h"
#include "shell/scale.h"
#include "shell/tick.h"

// A fresh program has no screen and nothing of fullscreen to remember.
void ZeroScreenState() {
  screenState = ScreenState{};
  ZeroFullscreenState();
}

// The layer is made only at start-up; when it is made again, the cells of the
// old one are destroyed so that neither they nor their effects outlive it.
static void DestroyBackgroundCells() {
  for (CellStyle*& cell : BackgroundLayer.cells) {
    if (cell) DestroyCellStyle(cell);
    cell = nullptr;
  }
}

// The window list and task switcher show the picture the desktop's menus show.
static void SetIcon(int window) {
  constexpr int WindowIconSize = 64;
  if (const int icon = MakeIconImage(WindowIconSize)) {
    SetWindowIcon(window, icon);
    DisposeImage(icon);
  }
}

// The geometry of a screen at a scale: 38 × 39 cells of the scaled side.
static void SetScreenGeometry(uint8_t screenMode, int16_t baseCell, float scaleX, float scaleY) {
  screenState.screenMode = screenMode;
  screenState.scaleX = scaleX;
  screenState.scaleY = scaleY;
  screenState.baseCell = baseCell;
  screenState.cellWidth = CellSide(baseCell, scaleX);
  screenState.cellHeight = CellSide(baseCell, scaleY);
  screenState.columns = GridColumns;
  screenState.rows = GridRows;
  screenState.width = screenState.columns * screenState.cellWidth;
  screenState.height = screenState.rows * screenState.cellHeight;
  if (screenMode == FullscreenMode) {
    int32_t desktopWidth = 0, desktopHeight = 0;
    FullscreenDesktopSize(desktopWidth, desktopHeight);
    screenState.left = CentredOffset(desktopWidth, screenState.width);
    screenState.top = CentredOffset(desktopHeight, screenState.height);
  }
}

// The hidden window with its icon and the screen inside it; 0, with nothing
// left open, on failure.
static int OpenWindowAndScreen() {
  const int window = OpenDisplayWindow(screenState.width, screenState.height);
  if (!window) return 0;
  SetIcon(window);
  SetScreenMargin(BrightFace);
  if (!OpenGlScreen(GetNativeWindow(window), screenState.left, screenState.top, screenState.width,
                    screenState.height, 0, 0, 0, 0)) {
    CloseAppWindow(window);
    return 0;
  }
  SetFlipRateLimit(0);
  return window;
}

// The block pictures at the cell size, each made into the sprite that takes
// its place in the table.
static void MakeSpriteTable() {
  FillBlockColourList(BlockColourList);
  MakeBlockSprites(SpriteTable, BlockColourList, screenState.cellWidth, screenState.cellHeight);
  MapReset(SpriteTable);
  while (int* entry = MapNext(SpriteTable)) {
    const int image = *entry;
    const int sprite = ImageToSprite(image, false, 255);
    DisposeImage(image);
    *entry = sprite;
  }
}

static void CreateBackgroundLayer() {
  DestroyBackgroundCells();
  Array2DCreate(LayerPriority, screenState.columns + 1, screenState.rows + 1);
  Array2DCreate(BackgroundLayer, screenState.columns + 1, screenState.rows + 1);
  FillBackgroundLayer();
}

// OpenDisplay in either mode; fullscreen is reached only from a closed
// display, through EnterFullscreen.
static int32_t OpenDisplayIn(uint8_t screenMode, int16_t baseCell, float scaleX, float scaleY,
                             bool createBackground) {
  if (!StartSpriteService()) return 0;

  // The previous screen, if any, has been closed and took its sprites with
  // it: the table's numbers are stale and are only dropped here.
  screenState = ScreenState{};
  MapClear(SpriteTable);
  ListClear(BlockColourList);

  SetScreenGeometry(screenMode, baseCell, LiftSmallScale(scaleX), LiftSmallScale(scaleY));
  const int window = OpenWindowAndScreen();
  if (!window) {
    screenState = ScreenState{};
    return 0;
  }
  screenState.window = window;
  NoteAskedScale(scaleX, scaleY);
  MakeSpriteTable();
  if (createBackground) CreateBackgroundLayer();

  RevealWindow(window);
  SetTimer(GetNativeWindow(window), TimerId, static_cast<uint32_t>(TickPeriod), Tick);
  return window;
}

int32_t OpenDisplay(uint8_t screenMode, int16_t baseCell, float scaleX, float scaleY,
                    bool createBackground) {
  if (screenMode != WindowedMode) return screenState.window;
  return OpenDisplayIn(screenMode, baseCell, scaleX, scaleY, createBackground);
}

void FillBackgroundLayer() {
  // The draws are made in exactly this order so that a seed gives the same
  // background every time.
  for (int32_t x = 0; x <= screenState.columns; ++x) {
    for (int32_t y = 0; y <= screenState.rows; ++y) {
      CellStyle** slot = Array2DAt(BackgroundLayer, x, y);
      if (!slot) continue;
      if (RandomInt(0, 8) != 0) continue;

      CellStyle* cell = CreateCellStyle(BackgroundCellTag);
      *slot = cell;
      if (!cell) continue;
      SetCellKind(cell, RandomInt(0, 1) ? 3 : 4);

      if (RandomInt(0, 3) != 0) {
        cell->alpha = static_cast<uint8_t>(RandomInt(32, 64));
        if (RandomInt(0, 1) != 0) {
          const bool backwards = RandomInt(0, 1) != 0;
          float step = static_cast<float>(RandomInt(30, 45));
          if (backwards) step = -step;
          StartSpin(cell, -1.0f, 0.032f, step, 0.0f);
        }
      } else {
        cell->alpha = static_cast<uint8_t>(RandomInt(164, 192));
      }

      if (RandomInt(0, 3) == 0) {
        const float factor = static_cast<float>(RandomInt(5, 18)) / 10.0f;
        StartScale(cell, -1.0f, factor);
      }
    }
  }
}

static void CloseDisplay() {
  KillTimer(GetNativeWindow(screenState.window), TimerId);
  CloseGlScreen();
  CloseAppWindow(screenState.window);

  // Closing the screen freed every sprite, the labels' too. Their numbers are
  // forgotten now, before the new screen hands the same numbers out again:
  // otherwise refreshing a label would delete whichever new sprite inherited
  // its old number.
  MapReset(TextLabelMap);
  while (TextLabel** label = MapNext(TextLabelMap)) {
    if (*label) (*label)->sprite = 0;
  }
}

// The display rebuilt in a screen mode at a scale, the game and the
// background layer left as they are.
bool ReopenDisplayIn(uint8_t screenMode, float scaleX, float scaleY) {
  const uint8_t previousMode = screenState.screenMode;
  const int16_t baseCell = screenState.baseCell;
  float previousX = 0, previousY = 0;
  AskedScale(previousX, previousY);

  NoteWindowsDesktop();
  CloseDisplay();

  // A scale or mode the screen cannot be opened at (too large a window, say)
  // falls back to the one that was working a moment ago.
  if (!OpenDisplayIn(screenMode, baseCell, scaleX, scaleY, false) &&
      !OpenDisplayIn(previousMode, baseCell, previousX, previousY, false)) {
    return false;
  }

  MarkLabelsStale();
  return true;
}

bool ReopenDisplay(float scaleX, float scaleY) {
  if (screenState.screenMode == 0) return true;  // no screen, nothing to rebuild
  return ReopenDisplayIn(screenState.screenMode, scaleX, scaleY);
}
