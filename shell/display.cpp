// SPDX-License-Identifier: MIT
#include "shell/display.h"

#include <algorithm>
#include <string>

#include "game/cell.h"
#include "play/effects.h"
#include "render/label.h"
#include "runtime/colour.h"
#include "runtime/image.h"
#include "runtime/random.h"
#include "runtime/screen.h"
#include "runtime/text.h"
#include "runtime/vector.h"
#include "runtime/window.h"
#include "shell/icon.h"
#include "shell/state.h"
#include "shell/tick.h"
#include "shell/version.h"

ScreenState screenState;


static const char* const WindowTitle = ProductTitle;
constexpr int32_t GridColumns = 38;
constexpr int32_t GridRows = 39;

// Scales below 0.4 are lifted once by 0.1, so that a cell never shrinks to a
// handful of pixels; 0.2 becomes 0.3, not 0.4.
static float LiftSmallScale(float scale) { return scale < 0.4f ? scale + 0.1f : scale; }

static int16_t CellSide(int16_t baseCell, float scale) {
  // The product is taken in single precision, as the scale is stored:
  // 16 × 1.1f is 17.6 and rounds to 18.
  const float side = static_cast<float>(baseCell) * scale;
  return static_cast<int16_t>(RoundEven(side));
}

void WindowSizeAt(int16_t baseCell, float scaleX, float scaleY, int32_t& width, int32_t& height) {
  width = GridColumns * CellSide(baseCell, LiftSmallScale(scaleX));
  height = GridRows * CellSide(baseCell, LiftSmallScale(scaleY));
}

bool WindowFits(int16_t baseCell, float scaleX, float scaleY, int32_t roomWidth,
                int32_t roomHeight) {
  int32_t width = 0, height = 0;
  WindowSizeAt(baseCell, scaleX, scaleY, width, height);
  return width <= roomWidth && height <= roomHeight;
}

float ScaleDown(float scale) {
  // The limit is compared in double precision, as it always was: 0.5f less
  // 0.1f is a little above 0.4 and still allowed.
  const float lower = scale - ScaleStep;
  return lower <= 0.4 ? scale : lower;
}

float LowerScaleToFit(int16_t baseCell, float scale, int32_t roomWidth, int32_t roomHeight) {
  while (!WindowFits(baseCell, scale, scale, roomWidth, roomHeight)) {
    const float lower = ScaleDown(scale);
    if (lower == scale) break;
    scale = lower;
  }
  return scale;
}

// The frame the window system draws around the game window, once known: from
// the window open now, or, before the first one opens, asked of the window
// system. It outlives the windows, so a new one is placed by the old one's.
static WindowFrame windowFrame;

WindowFrame KnownFrame(const WindowFrame& learnt, const WindowFrame& measured) {
  // A window just mapped may not have been told its frame yet: all 0 then.
  const bool told = measured.top || measured.left || measured.bottom || measured.right;
  return told ? measured : learnt;
}

void RoomForWindow(int32_t usableWidth, int32_t usableHeight, const WindowFrame& frame,
                   int32_t& width, int32_t& height) {
  width = usableWidth - frame.left - frame.right;
  height = usableHeight - frame.top - frame.bottom;
}

static void LearnWindowFrame() {
  WindowFrame frame{};
  if (screenState.window) {
    GetWindowFrame(screenState.window, frame.top, frame.left, frame.bottom, frame.right);
  } else {
    MeasureNewWindowFrame(frame.top, frame.left, frame.bottom, frame.right);
  }
  windowFrame = KnownFrame(windowFrame, frame);
}

// The room the game window may take on the desktop it opens on: the usable
// area less the window's frame (a window whose title bar is off the screen
// cannot be moved back). False when the desktop cannot say.
static bool WindowRoom(int32_t& width, int32_t& height) {
  int usableWidth = 0, usableHeight = 0;
  if (!GetDesktopUsableSize(0, usableWidth, usableHeight)) return false;
  LearnWindowFrame();
  RoomForWindow(usableWidth, usableHeight, windowFrame, width, height);
  return true;
}

// Where a display of `size` lies centred in `room`; at the edge when larger.
static int32_t CentredOffset(int32_t room, int32_t size) { return std::max(0, (room - size) / 2); }

FullscreenFit FitFullscreen(int16_t baseCell, int32_t width, int32_t height) {
  // The smallest cell above the Left key's lower limit of 0.4.
  const int16_t smallest = static_cast<int16_t>(baseCell * 0.4f) + 1;
  const int32_t fits = std::min(width / GridColumns, height / GridRows);
  FullscreenFit fit{};
  fit.cell = static_cast<int16_t>(std::max<int32_t>(smallest, fits));
  // A whole number over the base cell of 16 is exact in a float, so the cell
  // side comes back as it went in.
  fit.scale = static_cast<float>(fit.cell) / static_cast<float>(baseCell);
  fit.left = CentredOffset(width, GridColumns * fit.cell);
  fit.top = CentredOffset(height, GridRows * fit.cell);
  return fit;
}

// What fullscreen must remember beyond its screen: the desktop it fills and
// the window to go back to. Kept apart from screenState on purpose: every
// opening of a display zeroes that, and this must outlive the openings.
struct FullscreenMemory {
  int32_t desktopX, desktopY, desktopWidth, desktopHeight;
  float windowScaleX, windowScaleY;
  int32_t windowX, windowY;  // the corner of the window's frame
  bool placeWindow;          // the next window opens there, not centred
};
static FullscreenMemory fullscreen;
// How the display open now was asked for. Its window's place (the frame's
// corner) is where to go back to when the window manager, not F11, took the
// window fullscreen and the window's own place is already the desktop's
// corner. Its scale is the one asked for, before small scales are lifted:
// opening at it again lifts it once, as it was, not once more.
struct OpenedDisplay {
  int32_t x, y;
  float scaleX, scaleY;
};
static OpenedDisplay opened;

// A fresh program has no screen and nothing of fullscreen to remember.
void ZeroScreenState() {
  screenState = ScreenState{};
  fullscreen = FullscreenMemory{};
  opened = OpenedDisplay{};
}

bool ScaleFitsDesktop(float scaleX, float scaleY) {
  if (screenState.screenMode == FullscreenMode) {
    return WindowFits(screenState.baseCell, scaleX, scaleY, fullscreen.desktopWidth,
                      fullscreen.desktopHeight);
  }
  int32_t width = 0, height = 0;
  if (!WindowRoom(width, height)) return true;  // nothing known to fit against
  const int16_t baseCell = screenState.baseCell ? screenState.baseCell : BaseCell;
  return WindowFits(baseCell, scaleX, scaleY, width, height);
}

float FitStartScale(float scale) {
  windowFrame = WindowFrame{};
  int32_t width = 0, height = 0;
  if (!WindowRoom(width, height)) return scale;
  return LowerScaleToFit(BaseCell, scale, width, height);
}

// Opens the game window with its frame centred in the usable area. Window
// managers place the frame where a window asks to be, so a window centred
// by its client size alone would reach past the bottom by its title bar.
static int OpenGameWindow(int32_t width, int32_t height) {
  int x = 0, y = 0, roomWidth = 0, roomHeight = 0;
  uint32_t flags = WindowTitleBar | WindowHidden;
  if (fullscreen.placeWindow) {
    // Back from fullscreen: where the window was before.
    fullscreen.placeWindow = false;
    x = fullscreen.windowX;
    y = fullscreen.windowY;
  } else if (GetDesktopUsableArea(0, x, y, roomWidth, roomHeight)) {
    const int frameWidth = width + windowFrame.left + windowFrame.right;
    const int frameHeight = height + windowFrame.top + windowFrame.bottom;
    x += std::max(0, (roomWidth - frameWidth) / 2);
    y += std::max(0, (roomHeight - frameHeight) / 2);
  } else {
    flags |= WindowCentred;
  }
  opened.x = x;
  opened.y = y;
  return OpenAppWindow(AnyWindow, x, y, width, height, WindowTitle, flags);
}

// A borderless window covering the whole desktop fullscreen remembers.
static int OpenFullscreenWindow() {
  return OpenAppWindow(AnyWindow, fullscreen.desktopX, fullscreen.desktopY,
                       fullscreen.desktopWidth, fullscreen.desktopHeight, WindowTitle,
                       WindowFullscreen | WindowHidden);
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
    screenState.left = CentredOffset(fullscreen.desktopWidth, screenState.width);
    screenState.top = CentredOffset(fullscreen.desktopHeight, screenState.height);
  }
}

// The hidden window with its icon and the screen inside it; 0, with nothing
// left open, on failure.
static int OpenWindowAndScreen() {
  const int window = screenState.screenMode == FullscreenMode
                         ? OpenFullscreenWindow()
                         : OpenGameWindow(screenState.width, screenState.height);
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
  opened.scaleX = scaleX;
  opened.scaleY = scaleY;
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
static bool ReopenDisplayAs(uint8_t screenMode, float scaleX, float scaleY) {
  const uint8_t previousMode = screenState.screenMode;
  const int16_t baseCell = screenState.baseCell;
  const float previousX = opened.scaleX;
  const float previousY = opened.scaleY;

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
  return ReopenDisplayAs(screenState.screenMode, scaleX, scaleY);
}

static bool EnterFullscreenFrom(bool windowStillPlaced) {
  if (screenState.screenMode != WindowedMode) return true;
  FullscreenMemory next{};
  if (!GetDesktopBounds(WindowDesktop(screenState.window), next.desktopX, next.desktopY,
                        next.desktopWidth, next.desktopHeight)) {
    return true;  // no desktop known to fill
  }
  next.windowScaleX = opened.scaleX;
  next.windowScaleY = opened.scaleY;
  next.windowX = opened.x;
  next.windowY = opened.y;
  int clientX = 0, clientY = 0;
  if (windowStillPlaced && GetWindowPlace(screenState.window, clientX, clientY)) {
    // Window managers place the frame where a new window asks to be.
    LearnWindowFrame();
    next.windowX = clientX - windowFrame.left;
    next.windowY = clientY - windowFrame.top;
  }
  // Should fullscreen fail to open, the window comes back where it was.
  next.placeWindow = true;
  fullscreen = next;
  const FullscreenFit fit = FitFullscreen(screenState.baseCell, next.desktopWidth,
                                          next.desktopHeight);
  return ReopenDisplayAs(FullscreenMode, fit.scale, fit.scale);
}

bool EnterFullscreen() { return EnterFullscreenFrom(true); }

bool FollowWindowManagerFullscreen() { return EnterFullscreenFrom(false); }

bool LeaveFullscreen() {
  if (screenState.screenMode != FullscreenMode) return true;
  fullscreen.placeWindow = true;
  return ReopenDisplayAs(WindowedMode, fullscreen.windowScaleX, fullscreen.windowScaleY);
}

bool ToggleFullscreen() {
  return screenState.screenMode == FullscreenMode ? LeaveFullscreen() : EnterFullscreen();
}

void FillBlockColourList(OrderedList<uint32_t>& list) {
  ListClear(list);
  for (uint32_t red = 31; red <= 255; red += 32) {
    for (uint32_t green = 31; green <= 255; green += 32) {
      for (uint32_t blue = 31; blue <= 255; blue += 32) {
        ListAppend(list) = Rgb(red, green, blue);
      }
    }
  }
}

static void AddBlockImage(KeyedMap<int>& table, const std::string& key, int width, int height,
                          uint32_t colourA, uint32_t colourB) {
  const int image = NewImage(width, height, 0xFFFFFFFFu);
  MapAddOrFind(table, key) = image;
  DrawBlockImage(image, colourA, colourB);
}

void MakeBlockSprites(KeyedMap<int>& table, OrderedList<uint32_t>& list, int width, int height) {
  AddBlockImage(table, "2", width, height, PaleFace, PaleEdge);
  AddBlockImage(table, "1", width, height, ScaleColour(PaleFace, 0.8f), PaleEdge);
  AddBlockImage(table, "5", width, height, BrightFace, DarkEdge);
  AddBlockImage(table, "6", width, height, ScaleColour(BrightFace, 1.2f), DarkEdge);
  AddBlockImage(table, "3", width, height, PaleFace, PaleFace);
  AddBlockImage(table, "4", width, height, PaleEdge, PaleEdge);

  for (uint32_t* colour = ListFirst(list); colour; colour = ListNext(list)) {
    AddBlockImage(table, DecimalText(*colour), width, height, ScaleColour(*colour, 1.0f),
                  ScaleColour(*colour, 0.7f));
  }
}

void DrawBlockImage(int image, uint32_t colourA, uint32_t colourB) {
  colourA |= 0xFF000000u;
  colourB |= 0xFF000000u;
  const int canvas = CanvasForImage(image, 1);
  if (!canvas || !BeginVector(canvas)) return;

  // Seven units across whatever the cell size: the squares stay in proportion.
  ScaleAxes(CanvasWidth() / 7.0, CanvasHeight() / 7.0);
  SetPaint(colourB);
  PathRect(0, 0, 7, 7);
  FillCurrentPath();
  SetPaint(colourA);
  PathRect(1, 1, 5, 5);
  FillCurrentPath();
  SetPaint(colourB);
  PathRect(2, 2, 3, 3);
  FillCurrentPath();
  EndVector();
}

uint32_t ScaleColour(uint32_t colour, float factor) {
  uint32_t result = 0;
  for (int shift = 0; shift <= 16; shift += 8) {
    const float scaled = static_cast<float>((colour >> shift) & 0xFFu) * factor;
    int64_t channel = RoundEven(scaled);
    if (channel > 255) channel = 255;
    if (channel < 0) channel = 0;
    result |= static_cast<uint32_t>(channel) << shift;
  }
  return result;
}
