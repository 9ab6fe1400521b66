#include "runtime/screen.h"

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <map>

#include "runtime/image.h"
#include "runtime/service_links.h"

struct Sprite {
  SDL_Texture* texture;
  SDL_Texture* whiteTexture;  // same alpha, every colour white: made on the first tinted draw
  int width;
  int height;
  int shownWidth;
  int shownHeight;
  double angle;  // degrees, clockwise on screen
  bool alphaMode;
  // What the texture holds, as straight-alpha 0xAARRGGBB: drawing into a
  // sprite starts from here instead of reading the texture back.
  std::vector<uint32_t> pixels;
};

static SDL_Renderer* renderer = nullptr;
static SDL_Window* screenWindow = nullptr;
static std::map<int, Sprite> sprites;
static int nextSpriteNumber = 1;  // numbers are not reused while a screen stays open
static int drawingSprite = 0;  // the sprite between BeginSpritePixels and EndSpritePixels
static int flipRateLimit = 0;
static uint64_t lastPresentTicks = 0;

static bool capturing = false;
static std::vector<uint32_t> lastFrame;
static int lastFrameWidth = 0;
static int lastFrameHeight = 0;

static Sprite* FindSprite(int sprite) {
  auto it = sprites.find(sprite);
  return it == sprites.end() ? nullptr : &it->second;
}

static void FreeTextures(Sprite& s) {
  if (s.texture) SDL_DestroyTexture(s.texture);
  if (s.whiteTexture) SDL_DestroyTexture(s.whiteTexture);
  s.texture = s.whiteTexture = nullptr;
}

SDL_Window* ScreenWindow() { return screenWindow; }

int StartSpriteService() { return SDL_WasInit(SDL_INIT_VIDEO) ? 1 : 0; }

int OpenGlScreen(void* nativeWindow, int x, int y, int width, int height, int stretch,
                 int rightOffset, int bottomOffset, int flipMode) {
  // The game passes none of these; the screen always covers the given area
  // unstretched and never waits for the retrace.
  (void)stretch, (void)rightOffset, (void)bottomOffset, (void)flipMode;
  CloseGlScreen();
  if (!IsAppWindowHandle(nativeWindow) || width <= 0 || height <= 0) return 0;
  SDL_Window* window = static_cast<SDL_Window*>(nativeWindow);

  SDL_Renderer* made = SDL_CreateRenderer(window, -1, SDL_RENDERER_ACCELERATED);
  if (!made) made = SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE);
  if (!made) return 0;
  SDL_Rect area{x, y, width, height};
  if (SDL_RenderSetViewport(made, &area) != 0) {
    SDL_DestroyRenderer(made);
    return 0;
  }
  SDL_SetRenderDrawColor(made, 0, 0, 0, 255);
  SDL_RenderClear(made);
  renderer = made;
  screenWindow = window;
  return 1;
}

void CloseGlScreen() {
  for (auto& [number, s] : sprites) FreeTextures(s);
  sprites.clear();
  drawingSprite = 0;
  // Every number is free again; a screen's sprites are numbered from 1.
  nextSpriteNumber = 1;
  if (renderer) SDL_DestroyRenderer(renderer);
  renderer = nullptr;
  screenWindow = nullptr;
}

void SetFlipRateLimit(int fps) { flipRateLimit = fps > 0 ? fps : 0; }

void ClearFrame(uint32_t rgba) {
  if (!renderer) return;
  // Opaque, so a captured frame is what the window shows.
  SDL_SetRenderDrawColor(renderer, rgba & 0xFF, (rgba >> 8) & 0xFF, (rgba >> 16) & 0xFF, 255);
  SDL_RenderClear(renderer);
}

void PresentFrame() {
  if (!renderer) return;
  if (capturing) {
    SDL_Rect area;
    SDL_RenderGetViewport(renderer, &area);
    lastFrame.assign(static_cast<size_t>(area.w) * area.h, 0);
    // Read before presenting: afterwards the back buffer's contents are undefined.
    if (SDL_RenderReadPixels(renderer, nullptr, SDL_PIXELFORMAT_ARGB8888, lastFrame.data(),
                             area.w * 4) == 0) {
      lastFrameWidth = area.w;
      lastFrameHeight = area.h;
    } else {
      lastFrame.clear();
      lastFrameWidth = lastFrameHeight = 0;
    }
  }
  SDL_RenderPresent(renderer);
  if (flipRateLimit > 0) {
    uint64_t earliest = lastPresentTicks + 1000 / static_cast<uint64_t>(flipRateLimit);
    uint64_t now = SDL_GetTicks64();
    if (now < earliest) SDL_Delay(static_cast<uint32_t>(earliest - now));
  }
  lastPresentTicks = SDL_GetTicks64();
}

void CaptureFrames(bool on) {
  capturing = on;
  if (!on) {
    lastFrame.clear();
    lastFrameWidth = lastFrameHeight = 0;
  }
}

const char* ScreenRendererName() {
  SDL_RendererInfo info;
  if (!renderer || SDL_GetRendererInfo(renderer, &info) != 0) return "";
  return info.name;
}

bool LastFramePixels(std::vector<uint32_t>& pixels, int& width, int& height) {
  if (lastFrame.empty()) return false;
  pixels = lastFrame;
  width = lastFrameWidth;
  height = lastFrameHeight;
  return true;
}

// ---- sprites ----------------------------------------------------------------

static SDL_Texture* MakeTexture(int width, int height, const std::vector<uint32_t>& pixels) {
  SDL_Texture* texture = SDL_CreateTexture(renderer, SDL_PIXELFORMAT_ARGB8888,
                                           SDL_TEXTUREACCESS_STATIC, width, height);
  if (!texture) return nullptr;
  if (SDL_SetTextureBlendMode(texture, SDL_BLENDMODE_BLEND) != 0 ||
      SDL_UpdateTexture(texture, nullptr, pixels.data(), width * 4) != 0) {
    SDL_DestroyTexture(texture);
    return nullptr;
  }
  // Resized and turned sprites are filtered, as rectangle textures are by default.
  SDL_SetTextureScaleMode(texture, SDL_ScaleModeLinear);
  return texture;
}

static int FreeSpriteNumber() {
  while (nextSpriteNumber <= 0 || sprites.count(nextSpriteNumber)) {
    nextSpriteNumber = nextSpriteNumber <= 0 ? 1 : nextSpriteNumber + 1;
  }
  return nextSpriteNumber++;
}

static int spriteFailures = 0;  // NewSprite calls still to fail, set by tests

void FailNextSprites(int count) { spriteFailures = count > 0 ? count : 0; }

int NewSprite(int width, int height, bool alphaMode) {
  if (spriteFailures > 0) {
    --spriteFailures;
    return 0;
  }
  if (!renderer || width <= 0 || height <= 0) return 0;
  // Beyond this no renderer makes the texture, and the pixel count would overflow.
  if (width > 16384 || height > 16384) return 0;
  Sprite s{};
  s.width = s.shownWidth = width;
  s.height = s.shownHeight = height;
  s.alphaMode = alphaMode;
  s.pixels.assign(static_cast<size_t>(width) * height, 0);
  s.texture = MakeTexture(width, height, s.pixels);
  if (!s.texture) return 0;
  int number = FreeSpriteNumber();
  sprites.emplace(number, std::move(s));
  return number;
}

bool SpriteExists(int sprite) { return FindSprite(sprite) != nullptr; }

void DeleteSprite(int sprite) {
  Sprite* s = FindSprite(sprite);
  if (!s) return;
  FreeTextures(*s);
  sprites.erase(sprite);
  if (drawingSprite == sprite) drawingSprite = 0;
}

bool BeginSpritePixels(int sprite) {
  if (drawingSprite && drawingSprite != sprite) EndSpritePixels();
  if (!FindSprite(sprite)) return false;
  drawingSprite = sprite;
  return true;
}

// Source-over of one premultiplied source pixel, already weighted by the
// draw's alpha, onto a straight-alpha destination pixel.
static uint32_t BlendOver(uint32_t source, uint32_t destination) {
  uint32_t sa = source >> 24;
  if (sa == 0) return destination;
  uint32_t da = destination >> 24;
  uint32_t keep = 255 - sa;
  uint32_t outA = sa + (da * keep + 127) / 255;
  uint32_t result = outA << 24;
  for (int shift = 0; shift < 24; shift += 8) {
    uint32_t sc = (source >> shift) & 0xFF;
    uint32_t dc = (((destination >> shift) & 0xFF) * da + 127) / 255;  // premultiply
    uint32_t premultiplied = sc + (dc * keep + 127) / 255;
    uint32_t straight = std::min<uint32_t>(255, (premultiplied * 255 + outA / 2) / outA);
    result |= straight << shift;
  }
  return result;
}

void BlendImageInto(int image, int x, int y, uint8_t alpha) {
  Sprite* s = FindSprite(drawingSprite);
  const uint32_t* source = nullptr;
  int width = 0, height = 0, stride = 0;
  if (!s || alpha == 0 || !ImageRawPixels(image, source, width, height, stride)) return;

  int left = std::max(0, x), top = std::max(0, y);
  int right = std::min(s->width, x + width), bottom = std::min(s->height, y + height);
  for (int row = top; row < bottom; ++row) {
    const uint32_t* from = reinterpret_cast<const uint32_t*>(
        reinterpret_cast<const uint8_t*>(source) + static_cast<size_t>(row - y) * stride);
    uint32_t* to = &s->pixels[static_cast<size_t>(row) * s->width];
    for (int column = left; column < right; ++column) {
      uint32_t p = from[column - x];
      if (alpha != 255) {
        uint32_t weighted = 0;
        for (int shift = 0; shift < 32; shift += 8)
          weighted |= ((((p >> shift) & 0xFF) * alpha + 127) / 255) << shift;
        p = weighted;
      }
      to[column] = BlendOver(p, to[column]);
    }
  }
}

void EndSpritePixels() {
  Sprite* s = FindSprite(drawingSprite);
  drawingSprite = 0;
  if (!s) return;
  if (!s->alphaMode) {
    // A plain sprite: black is the transparent colour, everything else opaque.
    for (uint32_t& p : s->pixels) p = (p & 0xFFFFFF) == 0 ? 0 : (p | 0xFF000000u);
  }
  SDL_UpdateTexture(s->texture, nullptr, s->pixels.data(), s->width * 4);
  // The white copy for tinting follows the new alpha when next needed.
  if (s->whiteTexture) SDL_DestroyTexture(s->whiteTexture);
  s->whiteTexture = nullptr;
}

void SetSpriteSize(int sprite, int width, int height) {
  Sprite* s = FindSprite(sprite);
  if (!s) return;
  s->shownWidth = width == -1 ? s->width : width;
  s->shownHeight = height == -1 ? s->height : height;
}

void SetSpriteAngle(int sprite, float degrees, int relative) {
  Sprite* s = FindSprite(sprite);
  if (!s) return;
  double angle = relative ? s->angle + degrees : degrees;
  s->angle = std::fmod(angle, 360.0);  // the same turn, without growing without bound
}

static void DrawTexture(const Sprite& s, SDL_Texture* texture, int x, int y) {
  if (s.shownWidth <= 0 || s.shownHeight <= 0) return;
  SDL_Rect target{x, y, s.shownWidth, s.shownHeight};
  if (s.angle == 0.0) {
    SDL_RenderCopy(renderer, texture, nullptr, &target);
  } else {
    // Turned about the centre of the target rectangle, clockwise on screen.
    SDL_RenderCopyEx(renderer, texture, nullptr, &target, s.angle, nullptr, SDL_FLIP_NONE);
  }
}

void DrawSpriteBlended(int sprite, int x, int y, uint8_t alpha) {
  Sprite* s = FindSprite(sprite);
  if (!renderer || !s) return;
  SDL_SetTextureColorMod(s->texture, 255, 255, 255);
  SDL_SetTextureAlphaMod(s->texture, alpha);
  DrawTexture(*s, s->texture, x, y);
}

void DrawSpriteTinted(int sprite, int x, int y, uint8_t alpha, uint32_t colour) {
  if (colour == 0xFFFFFFFFu) {
    DrawSpriteBlended(sprite, x, y, alpha);
    return;
  }
  Sprite* s = FindSprite(sprite);
  if (!renderer || !s) return;
  // Colour modulation multiplies; over white texels it replaces the colour,
  // whatever colour the sprite itself was drawn in.
  if (!s->whiteTexture) {
    std::vector<uint32_t> white(s->pixels.size());
    for (size_t i = 0; i < white.size(); ++i) white[i] = (s->pixels[i] & 0xFF000000u) | 0xFFFFFF;
    s->whiteTexture = MakeTexture(s->width, s->height, white);
    if (!s->whiteTexture) return;
  }
  SDL_SetTextureColorMod(s->whiteTexture, colour & 0xFF, (colour >> 8) & 0xFF,
                         (colour >> 16) & 0xFF);
  SDL_SetTextureAlphaMod(s->whiteTexture, alpha);
  DrawTexture(*s, s->whiteTexture, x, y);
}

// ---- images into sprites ------------------------------------------------------

int ImageToSprite(int image, bool transparentStart, uint8_t alpha) {
  int width = 0, height = 0;
  ImageDims(image, width, height);
  int sprite = NewSprite(width, height, transparentStart);
  if (sprite && BeginSpritePixels(sprite)) {
    BlendImageInto(image, 0, 0, alpha);
    EndSpritePixels();
  }
  return sprite;
}
