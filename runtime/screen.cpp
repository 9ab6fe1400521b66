// SPDX-License-Identifier: MIT
// The screen is composed in main memory with pixman and put into the window
// from shared memory of its own where the window system has it (native.h),
// elsewhere through SDL's window surface; no GPU is involved.
//
// Callers still describe every frame whole: a clear and one draw per visible
// sprite. The draws are only recorded until PresentFrame. There the frame is
// cut into tiles, and each tile gets a hash of the clear colour and of every
// draw that touches it, in order. Only tiles whose hash changed since the last
// frame are cleared and repainted (each draw clipped to them), and only they
// are put on screen. A sprite's contents enter the hash as a version number
// that changes whenever its pixels do.
#include "runtime/screen.h"

#include <SDL.h>
#include <pixman.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <cstring>
#include <string>
#include <vector>

#include "runtime/colour.h"
#include "runtime/service_links.h"
#include "runtime/memory.h"
#include "runtime/sprite_store.h"
#include "runtime/turned_draw.h"
#include "runtime/native.h"

constexpr int TileSize = 16;  // the best of 12, 16, 24 and 32 (docs/performance.md)
constexpr uint32_t NoTint = 0xFFFFFFFFu;

// One recorded draw. It holds a reference to the sprite's pixels, so what
// it showed stays alive until the frame is presented even if the sprite is
// deleted or drawn into meanwhile.
struct Draw {
  pixman_image_t* image;         // the sprite's plain or turned image
  bool transformed;              // resized or turned: `image` is the turned one
  int x, y;                      // the sprite's displayed top-left corner
  int shownWidth, shownHeight;
  int spriteWidth, spriteHeight;
  double angle;                  // degrees, clockwise on screen
  int left, top, right, bottom;  // the pixels it can touch, clipped to the frame
  uint8_t alpha;
  uint32_t tint;
  uint64_t key;
};

// Changed tiles from (tx0, ty0) to (tx1, ty1), inclusive.
struct ChangedArea {
  int tx0, ty0, tx1, ty1;
};

// A window surface as the screen saw it. SDL may make a new surface at the
// address of the one it has just freed (a resized window), so the address
// alone does not tell them apart: its pixels and size go with it.
struct SurfaceSeen {
  SDL_Surface* surface = nullptr;
  void* pixels = nullptr;
  int width = 0;
  int height = 0;
};

static SurfaceSeen Seen(SDL_Surface* s) {
  return s ? SurfaceSeen{s, s->pixels, s->w, s->h} : SurfaceSeen{};
}

static bool IsSame(const SurfaceSeen& seen, SDL_Surface* s) {
  const SurfaceSeen now = Seen(s);
  return seen.surface == now.surface && seen.pixels == now.pixels && seen.width == now.width &&
         seen.height == now.height;
}

// One open screen. ReleaseScreen gives everything back and starts the record
// afresh in one statement, so no field can be forgotten on the way.
struct OpenScreenState {
  SDL_Window* window = nullptr;
  int left = 0;  // the screen's place in the window's client area
  int top = 0;
  int width = 0;
  int height = 0;
  pixman_image_t* frameImage = nullptr;  // the composed frame, x8r8g8b8
  // Frames reach the window from shared memory of the screen's size, which
  // no resize of the window replaces; SDL's window surface is never made.
  bool shared = false;
  uint32_t* sharedPixels = nullptr;
  int sharedPitch = 0;
  SurfaceSeen boundTo;                   // otherwise, the window surface the frame is bound to
  bool composedInWindow = false;         // the frame lies in the window's pixels
  std::vector<uint32_t> frameBits;       // otherwise, the frame's own pixels
  SDL_Surface* frameSurface = nullptr;   // over frameBits, for blitting
  SurfaceSeen presentedTo;               // the window surface last written
  int presentedWidth = 0;                // the window's size when last written
  int presentedHeight = 0;
  bool marginByServer = false;           // the window system paints the margin
  pixman_image_t* tintSource = nullptr;  // 1 × 1, repeated: a solid colour
  pixman_image_t* alphaMask = nullptr;   // 1 × 1, repeated: a solid coverage

  int tilesAcross = 0;
  int tilesDown = 0;
  std::vector<uint64_t> tileHash;   // this frame's
  std::vector<uint64_t> shownHash;  // what each tile shows now
  uint64_t shownFrameKey = 0;       // the whole frame's description, hashed
  std::vector<uint8_t> tileDirty;
  std::vector<ChangedArea> areas;  // the changed tiles gathered into rectangles
  std::vector<int> areaOfTile;     // each tile's area, −1 where unchanged
  std::vector<int> areaDrawn;      // per area, the draw last composited into it
  std::vector<SDL_Rect> presentRects;
  std::vector<Draw> draws;
  bool frameOpen = false;        // draws are being recorded
  bool wholeFrameStale = true;   // nothing valid on screen: repaint everything
  bool wholeWindowStale = true;  // the window lost its contents: put all of it
  bool capturedFrame = false;    // a frame was presented since capture went on
};

// What outlives a screen, kept apart from it on purpose: ReleaseScreen must
// not reset any of it. The platform's stop does (ResetScreenService), once
// every sprite has gone with the last screen.
struct ScreenLasting {
  // Set by the game or a test whether or not a screen is open, and kept
  // until set again: a reopened screen (a scale change) keeps them.
  int flipRateLimit = 0;
  bool repaintWholeFrames = false;
  bool composeApart = false;
  bool capturing = false;
  // The rate limit spaces presents, not screens: a screen reopened at once
  // still waits out the period since the last frame shown.
  uint64_t lastPresentTicks = 0;
  // Never reused, so a sprite's drawnInFrame can match no frame but the one
  // that drew it. Restarting with each screen would be safe only because every
  // sprite goes with its screen; a count that never repeats needs no such rule.
  uint64_t frameSerial = 1;
  // The colour of the last clear: a screen presented before a clear of its
  // own is filled with it, as it always was.
  uint32_t clearColour = 0;  // x8r8g8b8
  uint32_t marginColour = 0;  // red in the low byte
  // Why the last screen found no window pixels, for the start-up failure.
  std::string failure;
};

static OpenScreenState screen;
static ScreenLasting lasting;

static void DropDraws() {
  for (Draw& d : screen.draws) {
    UnrefImage(d.image);
  }
  screen.draws.clear();
}

SDL_Window* ScreenWindow() { return screen.window; }

int StartSpriteService() { return SDL_WasInit(SDL_INIT_VIDEO) ? 1 : 0; }

static void ReleaseScreen() {
  FinishTakingInRows();  // done with the surface before it goes
  if (screen.shared) ReleaseSharedImage();
  DropDraws();
  ForgetSprites();
  if (screen.frameSurface) SDL_FreeSurface(screen.frameSurface);
  UnrefImage(screen.frameImage);
  UnrefImage(screen.tintSource);
  UnrefImage(screen.alphaMask);
  // Memory a closed screen no longer needs goes back, not just its contents:
  // the fresh record's vectors hold none.
  screen = OpenScreenState{};
}

// The window's pixels frames are written to: SDL's window surface, or none
// where the shared memory takes them.
static SDL_Surface* WindowSurface() {
  return screen.shared ? nullptr : SDL_GetWindowSurface(screen.window);
}

// Frames are composed straight into the window's pixels where they are laid
// out as the frame's (X11's shared memory and the offscreen driver's memory
// both are): nothing is copied per frame, and no second frame is kept (18 MB
// at 3840 × 2160). Anything else gets a frame of its own, copied across as it
// is presented.
static bool ComposeInWindow(uint8_t* origin, int pitch) {
  screen.frameImage = pixman_image_create_bits(PIXMAN_x8r8g8b8, screen.width, screen.height,
                                               reinterpret_cast<uint32_t*>(origin), pitch);
  screen.composedInWindow = screen.frameImage != nullptr;
  if (screen.composedInWindow)
    TakeInRows(origin, screen.height, static_cast<size_t>(screen.width) * 4, pitch);
  return screen.composedInWindow;
}

static bool ComposeApart() {
  const int width = screen.width, height = screen.height;
  if (screen.frameBits.empty() &&
      !TryToAllocate([&] { screen.frameBits.assign(static_cast<size_t>(width) * height, 0); })) {
    return false;
  }
  if (!screen.frameSurface) {
    screen.frameSurface = SDL_CreateRGBSurfaceWithFormatFrom(screen.frameBits.data(), width, height,
                                                             32, width * 4, SDL_PIXELFORMAT_RGB888);
    if (!screen.frameSurface) return false;
    SDL_SetSurfaceBlendMode(screen.frameSurface, SDL_BLENDMODE_NONE);
  }
  screen.frameImage =
      pixman_image_create_bits(PIXMAN_x8r8g8b8, width, height, screen.frameBits.data(), width * 4);
  return screen.frameImage != nullptr;
}

// A window surface made anew (the window system resized the window) is
// blank, so the frame bound to it is made whole again.
static bool BindFrame(SDL_Surface* surface) {
  UnrefImage(screen.frameImage);
  screen.boundTo = Seen(surface);
  screen.composedInWindow = false;
  screen.wholeFrameStale = true;
  if (screen.shared) {
    return lasting.composeApart
               ? ComposeApart()
               : ComposeInWindow(reinterpret_cast<uint8_t*>(screen.sharedPixels), screen.sharedPitch);
  }
  if (!surface || surface->w < screen.left + screen.width || surface->h < screen.top + screen.height)
    return false;
  if (surface->format->format == SDL_PIXELFORMAT_RGB888 && !lasting.composeApart) {
    return ComposeInWindow(static_cast<uint8_t*>(surface->pixels) +
                               static_cast<size_t>(screen.top) * surface->pitch + screen.left * 4,
                           surface->pitch);
  }
  return ComposeApart();
}

// Everything a frame needs is made here, so presenting allocates nothing.
static bool MakeScreen(SDL_Window* window, int left, int top, int width, int height) {
  screen.tilesAcross = (width + TileSize - 1) / TileSize;
  screen.tilesDown = (height + TileSize - 1) / TileSize;
  const size_t tiles = static_cast<size_t>(screen.tilesAcross) * screen.tilesDown;
  const bool allocated = TryToAllocate([&] {
    screen.tileHash.assign(tiles, 0);
    screen.shownHash.assign(tiles, 0);
    screen.tileDirty.assign(tiles, 0);
    screen.areas.reserve(tiles);
    screen.areaOfTile.assign(tiles, -1);
    screen.areaDrawn.assign(tiles, -1);
    screen.presentRects.reserve(tiles);
    screen.draws.reserve(4096);  // a full grid of cells and every label, with room to spare
  });
  if (!allocated) return false;
  screen.tintSource = pixman_image_create_bits(PIXMAN_a8r8g8b8, 1, 1, nullptr, 0);
  screen.alphaMask = pixman_image_create_bits(PIXMAN_a8, 1, 1, nullptr, 0);
  if (!screen.tintSource || !screen.alphaMask) return false;
  pixman_image_set_repeat(screen.tintSource, PIXMAN_REPEAT_NORMAL);
  pixman_image_set_repeat(screen.alphaMask, PIXMAN_REPEAT_NORMAL);
  screen.window = window;
  screen.left = left;
  screen.top = top;
  screen.width = width;
  screen.height = height;
  screen.shared = BindSharedImage(window, width, height, screen.sharedPixels, screen.sharedPitch);
  SDL_Surface* surface = WindowSurface();
  lasting.failure = screen.shared || surface ? "" : SDL_GetError();
  return BindFrame(surface);
}

int OpenGlScreen(void* nativeWindow, int x, int y, int width, int height, int stretch,
                 int rightOffset, int bottomOffset, int flipMode) {
  // The game passes none of these; the screen is never stretched and never
  // waits for the retrace.
  (void)stretch, (void)rightOffset, (void)bottomOffset, (void)flipMode;
  CloseGlScreen();
  if (!IsAppWindowHandle(nativeWindow) || width <= 0 || height <= 0 || x < 0 || y < 0) return 0;
  SDL_Window* window = static_cast<SDL_Window*>(nativeWindow);
  int windowWidth = 0, windowHeight = 0;
  SDL_GetWindowSizeInPixels(window, &windowWidth, &windowHeight);
  if (windowWidth < x + width || windowHeight < y + height) return 0;
  if (!MakeScreen(window, x, y, width, height)) {
    ReleaseScreen();
    return 0;
  }
  return 1;
}

void CloseGlScreen() { ReleaseScreen(); }

const char* ScreenFailure() { return lasting.failure.c_str(); }

void ResetScreenService() {
  ReleaseScreen();
  lasting = ScreenLasting{};
}

void SetFlipRateLimit(int fps) { lasting.flipRateLimit = fps > 0 ? fps : 0; }

void SetScreenMargin(uint32_t rgba) { lasting.marginColour = rgba; }

// The window around the screen, in the margin colour: the four bands left,
// right, above and below it (none for a screen that fills its window). On
// X11 the server keeps them: the window's background takes the colour and
// the bands are cleared to it, so the margin never passes through the window
// surface, neither written there nor sent (millions of pixels of fresh
// shared memory on every opening of a large fullscreen screen), and
// the server paints it again itself wherever the window is uncovered. True
// when the server keeps it; elsewhere the bands are filled in the surface.
static bool PaintMargin(SDL_Surface* surface, int windowWidth, int windowHeight) {
  const uint32_t rgba = lasting.marginColour;
  const uint8_t red = rgba & 0xFF, green = rgba >> 8 & 0xFF, blue = rgba >> 16 & 0xFF;
  // The window's pixels are in its own visual: their value for the colour
  // is the window's too. Shared memory is only ever x8r8g8b8.
  const uint32_t colour = surface ? SDL_MapRGB(surface->format, red, green, blue)
                                  : uint32_t(red) << 16 | uint32_t(green) << 8 | blue;
  const int right = screen.left + screen.width, bottom = screen.top + screen.height;
  const SDL_Rect bands[4] = {{0, 0, windowWidth, screen.top},
                             {0, bottom, windowWidth, windowHeight - bottom},
                             {0, screen.top, screen.left, screen.height},
                             {right, screen.top, windowWidth - right, screen.height}};
  if (PaintMarginByWindowSystem(screen.window, colour, bands, 4)) return true;
  for (const SDL_Rect& band : bands)
    if (surface && band.w > 0 && band.h > 0) SDL_FillRect(surface, &band, colour);
  return false;
}

static void BeginFrame() {
  if (screen.frameOpen) return;
  screen.frameOpen = true;
  ++lasting.frameSerial;
}

void ClearFrame(uint32_t rgba) {
  if (!screen.window) return;
  DropDraws();  // a frame started and never presented is abandoned
  screen.frameOpen = false;
  BeginFrame();
  lasting.clearColour = 0xFF000000u | (rgba & 0xFF) << 16 | (rgba & 0xFF00) | (rgba >> 16 & 0xFF);
}

// ---- recording draws ---------------------------------------------------------

static uint64_t Mix(uint64_t hash, uint64_t value) {
  // splitmix64's finaliser over the running hash: order matters, as it must.
  uint64_t z = hash ^ (value + 0x9E3779B97F4A7C15ull + (hash << 6) + (hash >> 2));
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

static uint64_t DrawKey(const Sprite& s, int x, int y, uint8_t alpha, uint32_t tint) {
  uint64_t angleBits = 0;
  std::memcpy(&angleBits, &s.angle, sizeof angleBits);
  uint64_t key = Mix(s.version, static_cast<uint32_t>(x) | uint64_t(static_cast<uint32_t>(y)) << 32);
  key = Mix(key, static_cast<uint32_t>(s.shownWidth) |
                     uint64_t(static_cast<uint32_t>(s.shownHeight)) << 32);
  key = Mix(key, angleBits);
  return Mix(key, tint | uint64_t(alpha) << 32);
}

static void Record(Sprite& s, int x, int y, uint8_t alpha, uint32_t tint) {
  const int w = s.shownWidth, h = s.shownHeight;
  // Larger than any sprite can be, a draw would overflow the compositor's
  // fixed-point coordinates.
  if (!screen.window || alpha == 0 || w <= 0 || h <= 0 || w > MaxSpriteSide ||
      h > MaxSpriteSide) {
    return;
  }
  BeginFrame();

  Draw d{};
  d.x = x;
  d.y = y;
  d.shownWidth = w;
  d.shownHeight = h;
  d.spriteWidth = s.width;
  d.spriteHeight = s.height;
  d.angle = s.angle;
  d.alpha = alpha;
  d.tint = tint;
  d.transformed = s.angle != 0.0 || w != s.width || h != s.height;
  d.image = d.transformed ? s.turned : s.image;
  double left = x, top = y, right = double(x) + w, bottom = double(y) + h;
  if (s.angle != 0.0) {
    // The turned rectangle's bounds, a pixel wider for the filter's reach.
    const double radians = s.angle * (std::numbers::pi / 180.0);
    const double c = std::abs(std::cos(radians)), sn = std::abs(std::sin(radians));
    if (!std::isfinite(c)) return;
    const double halfW = (w * c + h * sn) / 2.0, halfH = (w * sn + h * c) / 2.0;
    const double cx = x + w / 2.0, cy = y + h / 2.0;
    left = std::floor(cx - halfW) - 1;
    top = std::floor(cy - halfH) - 1;
    right = std::ceil(cx + halfW) + 1;
    bottom = std::ceil(cy + halfH) + 1;
  }
  d.left = static_cast<int>(std::clamp(left, 0.0, double(screen.width)));
  d.top = static_cast<int>(std::clamp(top, 0.0, double(screen.height)));
  d.right = static_cast<int>(std::clamp(right, 0.0, double(screen.width)));
  d.bottom = static_cast<int>(std::clamp(bottom, 0.0, double(screen.height)));
  if (d.left >= d.right || d.top >= d.bottom) return;  // wholly off the screen
  d.key = DrawKey(s, x, y, alpha, tint);

  if (!TryToAllocate([&] { screen.draws.push_back(d); })) {
    return;  // the draw is skipped, as a failed texture would be
  }
  pixman_image_ref(d.image);
  s.drawnInFrame = lasting.frameSerial;
}

void DrawSpriteBlended(int sprite, int x, int y, uint8_t alpha) {
  if (Sprite* s = FindSprite(sprite)) Record(*s, x, y, alpha, NoTint);
}

void DrawSpriteTinted(int sprite, int x, int y, uint8_t alpha, uint32_t colour) {
  if (Sprite* s = FindSprite(sprite)) Record(*s, x, y, alpha, colour);
}

// ---- composing and presenting --------------------------------------------------

// Draw space to sprite texels: about the displayed centre, turned back,
// scaled to the texture, about the texture's centre. False when the numbers
// are beyond the compositor's reach.
static bool DrawToTexels(const Draw& d, pixman_transform_t& fixed) {
  const double radians = d.angle * (std::numbers::pi / 180.0);
  const double c = std::cos(radians), sn = std::sin(radians);
  const double w = d.shownWidth, h = d.shownHeight;
  const double kx = d.spriteWidth / w, ky = d.spriteHeight / h;
  pixman_f_transform_t t{};
  t.m[0][0] = c * kx;
  t.m[0][1] = sn * kx;
  t.m[0][2] = kx * (-c * w / 2.0 - sn * h / 2.0) + d.spriteWidth / 2.0;
  t.m[1][0] = -sn * ky;
  t.m[1][1] = c * ky;
  t.m[1][2] = ky * (sn * w / 2.0 - c * h / 2.0) + d.spriteHeight / 2.0;
  t.m[2][2] = 1.0;
  return pixman_transform_from_pixman_f_transform(&fixed, &t);
}

// A turned draw without a tint is drawn as a clamped texture on a quad: the
// edge texels repeat outward, and only pixels whose centres fall inside the
// rectangle are drawn. The background's turning blocks are all such draws.
static void CompositeTurned(const Draw& d, int left, int top, int right, int bottom) {
  TurnedDraw turned{reinterpret_cast<const uint32_t*>(pixman_image_get_data(d.image)),
                    d.spriteWidth,
                    d.spriteHeight,
                    pixman_image_get_stride(d.image) / 4,
                    {},
                    d.alpha,
                    d.x,
                    d.y};
  if (!DrawToTexels(d, turned.toTexels)) return;
  CompositeTurnedDraw(turned, pixman_image_get_data(screen.frameImage),
                      pixman_image_get_stride(screen.frameImage) / 4, left, top, right, bottom);
}

// Composites one draw, limited to the given frame rectangle.
static void Composite(const Draw& d, int left, int top, int right, int bottom) {
  if (d.angle != 0.0 && d.tint == NoTint) {
    CompositeTurned(d, left, top, right, bottom);
    return;
  }
  if (d.transformed) {
    pixman_transform_t fixed;
    if (!DrawToTexels(d, fixed)) return;
    pixman_image_set_transform(d.image, &fixed);
    // A tinted draw has the sprite for the tint's mask: its own edges fade
    // out. A resized one is a clamped texture, clipped to its rectangle
    // anyway.
    pixman_image_set_repeat(d.image, d.tint != NoTint ? PIXMAN_REPEAT_NONE : PIXMAN_REPEAT_PAD);
  }
  // Draw space starts at the draw's corner, wherever the clip begins.
  const int sx = left - d.x, sy = top - d.y;
  const int width = right - left, height = bottom - top;
  if (d.tint != NoTint) {
    // The tint colour through the sprite's coverage.
    *pixman_image_get_data(screen.tintSource) = PremultipliedPixel(d.tint, d.alpha);
    pixman_image_composite32(PIXMAN_OP_OVER, screen.tintSource, d.image, screen.frameImage, 0, 0,
                             sx, sy, left, top, width, height);
    return;
  }
  pixman_image_t* mask = nullptr;
  if (d.alpha != 255) {
    *reinterpret_cast<uint8_t*>(pixman_image_get_data(screen.alphaMask)) = d.alpha;
    mask = screen.alphaMask;
  }
  pixman_image_composite32(PIXMAN_OP_OVER, d.image, mask, screen.frameImage, sx, sy, sx, sy, left,
                           top, width, height);
}

static void FillFrame(int left, int top, int right, int bottom) {
  pixman_fill(pixman_image_get_data(screen.frameImage), pixman_image_get_stride(screen.frameImage) / 4,
              32, left, top, right - left, bottom - top, lasting.clearColour);
}

// Which tiles a draw touches.
static void TileSpan(const Draw& d, int& tx0, int& ty0, int& tx1, int& ty1) {
  tx0 = d.left / TileSize;
  ty0 = d.top / TileSize;
  tx1 = (d.right - 1) / TileSize;
  ty1 = (d.bottom - 1) / TileSize;
}

// Hashes the frame's description into its tiles and marks those that differ
// from what the screen shows. Returns how many do.
static int MarkChangedTiles(bool all) {
  // A frame described exactly as the one on screen changes no tile. The
  // background's spinning blocks turn every other frame: half the frames
  // are found unchanged here, at one mix a draw instead of one a tile.
  const uint64_t cleared = Mix(0, lasting.clearColour);
  uint64_t frameKey = cleared;
  for (const Draw& d : screen.draws) frameKey = Mix(frameKey, d.key);
  if (!all && frameKey == screen.shownFrameKey) return 0;
  screen.shownFrameKey = frameKey;
  std::fill(screen.tileHash.begin(), screen.tileHash.end(), cleared);
  for (const Draw& d : screen.draws) {
    int tx0, ty0, tx1, ty1;
    TileSpan(d, tx0, ty0, tx1, ty1);
    for (int ty = ty0; ty <= ty1; ++ty) {
      uint64_t* row = &screen.tileHash[static_cast<size_t>(ty) * screen.tilesAcross];
      for (int tx = tx0; tx <= tx1; ++tx) row[tx] = Mix(row[tx], d.key);
    }
  }
  int changed = 0;
  for (size_t i = 0; i < screen.tileHash.size(); ++i) {
    screen.tileDirty[i] = all || screen.tileHash[i] != screen.shownHash[i];
    changed += screen.tileDirty[i];
    screen.shownHash[i] = screen.tileHash[i];
  }
  return changed;
}

// Gathers the changed tiles into rectangles: the runs of changed tiles in
// each row, a run spanning the same columns as one ending in the row above
// lengthening that one downwards. A rectangle is one fill, one composite for
// each draw that crosses it and one piece sent to the window; runs row by
// row took six of each for a block turning in the background.
static void GatherChangedAreas() {
  screen.areas.clear();
  std::fill(screen.areaOfTile.begin(), screen.areaOfTile.end(), -1);
  for (int ty = 0; ty < screen.tilesDown; ++ty) {
    const size_t row = static_cast<size_t>(ty) * screen.tilesAcross;
    for (int tx = 0; tx < screen.tilesAcross; ++tx) {
      if (!screen.tileDirty[row + tx]) continue;
      int last = tx;
      while (last + 1 < screen.tilesAcross && screen.tileDirty[row + last + 1]) ++last;
      int area = ty > 0 ? screen.areaOfTile[row - screen.tilesAcross + tx] : -1;
      if (area >= 0 && screen.areas[area].tx0 == tx && screen.areas[area].tx1 == last &&
          screen.areas[area].ty1 == ty - 1) {
        screen.areas[area].ty1 = ty;
      } else {
        area = static_cast<int>(screen.areas.size());
        screen.areas.push_back(ChangedArea{tx, ty, last, ty});  // within the capacity reserved
      }
      for (int k = tx; k <= last; ++k) screen.areaOfTile[row + k] = area;
      tx = last;
    }
  }
}

// The pixels of a changed area.
static SDL_Rect AreaPixels(const ChangedArea& area) {
  const int left = area.tx0 * TileSize, top = area.ty0 * TileSize;
  return SDL_Rect{left, top, std::min((area.tx1 + 1) * TileSize, screen.width) - left,
                  std::min((area.ty1 + 1) * TileSize, screen.height) - top};
}

// Clears the changed areas and replays into them, in order, every draw that
// crosses them.
static void RepaintChangedTiles() {
  for (const ChangedArea& area : screen.areas) {
    const SDL_Rect r = AreaPixels(area);
    FillFrame(r.x, r.y, r.x + r.w, r.y + r.h);
  }
  std::fill(screen.areaDrawn.begin(), screen.areaDrawn.end(), -1);
  for (size_t i = 0; i < screen.draws.size(); ++i) {
    const Draw& d = screen.draws[i];
    int tx0, ty0, tx1, ty1;
    TileSpan(d, tx0, ty0, tx1, ty1);
    for (int ty = ty0; ty <= ty1; ++ty) {
      for (int tx = tx0; tx <= tx1; ++tx) {
        const int area = screen.areaOfTile[static_cast<size_t>(ty) * screen.tilesAcross + tx];
        if (area < 0 || screen.areaDrawn[area] == static_cast<int>(i)) continue;
        screen.areaDrawn[area] = static_cast<int>(i);  // one composite a draw and area
        const SDL_Rect r = AreaPixels(screen.areas[area]);
        const int left = std::max(r.x, d.left), top = std::max(r.y, d.top);
        const int right = std::min(r.x + r.w, d.right), bottom = std::min(r.y + r.h, d.bottom);
        if (left < right && top < bottom) Composite(d, left, top, right, bottom);
      }
    }
  }
}

// The frame as a plain renderer makes it: cleared whole, each draw composited
// whole.
static void RepaintWholeFrame() {
  FillFrame(0, 0, screen.width, screen.height);
  for (const Draw& d : screen.draws) Composite(d, d.left, d.top, d.right, d.bottom);
}

// Copies the changed parts of the frame (or all of it) into the window.
static void PutOnScreen(bool whole) {
  SDL_Surface* surface = WindowSurface();
  if (!IsSame(screen.boundTo, surface) || !screen.frameImage) {
    // The frame went with the surface it was bound to: the next one is made
    // whole in the new surface.
    BindFrame(surface);
    return;
  }
  int windowWidth = surface ? surface->w : 0, windowHeight = surface ? surface->h : 0;
  if (!surface) SDL_GetWindowSizeInPixels(screen.window, &windowWidth, &windowHeight);
  if (!IsSame(screen.presentedTo, surface) || windowWidth != screen.presentedWidth ||
      windowHeight != screen.presentedHeight) {
    // A new surface, or a window of a new size, starts out blank: the
    // margin is painted once, and every frame after only sends the screen's
    // changed tiles.
    whole = true;
    screen.marginByServer = PaintMargin(surface, windowWidth, windowHeight);
  }
  screen.presentRects.clear();
  if (whole) {
    screen.presentRects.push_back(SDL_Rect{0, 0, screen.width, screen.height});
  } else {
    for (const ChangedArea& area : screen.areas) screen.presentRects.push_back(AreaPixels(area));
  }
  if (screen.presentRects.empty()) return;
  if (screen.shared) {
    if (!screen.composedInWindow) {
      AwaitSharedPut();  // the memory is about to be written
      for (const SDL_Rect& r : screen.presentRects) {
        pixman_blt(screen.frameBits.data(), reinterpret_cast<uint32_t*>(screen.sharedPixels),
                   screen.width, screen.sharedPitch / 4, 32, 32, r.x, r.y, r.x, r.y, r.w, r.h);
      }
    }
    PutSharedImage(screen.presentRects.data(), static_cast<int>(screen.presentRects.size()),
                   screen.left, screen.top);
    screen.presentedWidth = windowWidth;
    screen.presentedHeight = windowHeight;
    screen.wholeWindowStale = false;
    return;
  }
  for (SDL_Rect& r : screen.presentRects) {
    SDL_Rect target{r.x + screen.left, r.y + screen.top, r.w, r.h};
    if (!screen.composedInWindow) SDL_BlitSurface(screen.frameSurface, &r, surface, &target);
    r = target;  // the window is updated where the tile went
  }
  // A whole window given back includes the margin it lost too, unless the
  // server keeps that.
  if (whole && !screen.marginByServer)
    screen.presentRects.front() = SDL_Rect{0, 0, surface->w, surface->h};
  if (SDL_UpdateWindowSurfaceRects(screen.window, screen.presentRects.data(),
                                   static_cast<int>(screen.presentRects.size())) == 0) {
    screen.presentedTo = Seen(surface);
    screen.presentedWidth = windowWidth;
    screen.presentedHeight = windowHeight;
    screen.wholeWindowStale = false;
  }
}

// The frame in memory is complete: the window gets all of it back at once,
// not only when the next frame is presented.
void ScreenLostContents() {
  screen.wholeWindowStale = true;
  if (screen.window && !screen.wholeFrameStale) PutOnScreen(true);
}

bool ScreenIsOpen() { return screen.window != nullptr; }

bool DrawnInOpenFrame(const Sprite& s) {
  return screen.frameOpen && s.drawnInFrame == lasting.frameSerial;
}

void PresentFrame() {
  if (!screen.window) return;
  SDL_Surface* surface = WindowSurface();
  if ((!IsSame(screen.boundTo, surface) || !screen.frameImage) && !BindFrame(surface)) {
    DropDraws();  // nowhere to compose this frame: the next one tries again
    screen.frameOpen = false;
    return;
  }
  const bool all = screen.wholeFrameStale || lasting.repaintWholeFrames;
  const int changed = MarkChangedTiles(all);
  // The last frame put from the memory about to be written must have been
  // read: almost always it was, long ago, and this reads the server's word
  // without sleeping.
  if (screen.shared && screen.composedInWindow && (all || changed > 0)) AwaitSharedPut();
  if (all) {
    RepaintWholeFrame();
  } else if (changed > 0) {
    GatherChangedAreas();
    RepaintChangedTiles();
  }
  screen.wholeFrameStale = false;
  DropDraws();
  screen.frameOpen = false;
  if (changed > 0 || screen.wholeWindowStale) PutOnScreen(all || screen.wholeWindowStale);
  if (lasting.capturing) screen.capturedFrame = true;

  if (lasting.flipRateLimit > 0) {
    uint64_t earliest =
        lasting.lastPresentTicks + 1000 / static_cast<uint64_t>(lasting.flipRateLimit);
    uint64_t now = SDL_GetTicks64();
    if (now < earliest) SDL_Delay(static_cast<uint32_t>(earliest - now));
  }
  lasting.lastPresentTicks = SDL_GetTicks64();
}

void RepaintWholeFrames(bool on) { lasting.repaintWholeFrames = on; }

void ComposeApartFromWindow(bool on) { lasting.composeApart = on; }

void CaptureFrames(bool on) {
  lasting.capturing = on;
  screen.capturedFrame = false;
}

bool LastFramePixels(std::vector<uint32_t>& pixels, int& width, int& height) {
  if (!lasting.capturing || !screen.capturedFrame || !screen.frameImage) return false;
  if (!IsSame(screen.boundTo, WindowSurface())) return false;  // the frame is gone
  pixels.resize(static_cast<size_t>(screen.width) * screen.height);
  const uint8_t* bits = reinterpret_cast<const uint8_t*>(pixman_image_get_data(screen.frameImage));
  const int stride = pixman_image_get_stride(screen.frameImage);
  // The frame's unused byte is not alpha: what the window shows is opaque.
  for (int y = 0; y < screen.height; ++y) {
    const uint32_t* row = reinterpret_cast<const uint32_t*>(bits + static_cast<size_t>(y) * stride);
    for (int x = 0; x < screen.width; ++x)
      pixels[static_cast<size_t>(y) * screen.width + x] = row[x] | 0xFF000000u;
  }
  width = screen.width;
  height = screen.height;
  return true;
}

bool WindowPixels(std::vector<uint32_t>& pixels, int& width, int& height) {
  if (!screen.window) return false;
  // The shared memory holds the screen alone, in the frame's layout.
  const uint8_t* origin = reinterpret_cast<const uint8_t*>(screen.sharedPixels);
  int pitch = screen.sharedPitch;
  uint32_t format = SDL_PIXELFORMAT_RGB888;
  if (!screen.shared) {
    SDL_Surface* surface = SDL_GetWindowSurface(screen.window);
    if (!surface) return false;
    origin = static_cast<const uint8_t*>(surface->pixels) + screen.top * surface->pitch +
             screen.left * surface->format->BytesPerPixel;
    pitch = surface->pitch;
    format = surface->format->format;
  }
  pixels.resize(static_cast<size_t>(screen.width) * screen.height);
  if (SDL_ConvertPixels(screen.width, screen.height, format, origin, pitch,
                        SDL_PIXELFORMAT_ARGB8888, pixels.data(), screen.width * 4) != 0) {
    return false;
  }
  // As in LastFramePixels: what the window shows is opaque.
  for (uint32_t& p : pixels) p |= 0xFF000000u;
  width = screen.width;
  height = screen.height;
  return true;
}
