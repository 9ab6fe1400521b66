// SPDX-License-Identifier: MIT
// The screen inside the game window, and sprites: pictures with a displayed
// size, a rotation and a per-draw alpha. Each frame is described whole; only
// what differs from the frame before is composed again and put on screen.
#pragma once
#include <cstdint>
#include <vector>

int StartSpriteService();  // nonzero on success; called before every screen opens

// Opens a screen covering width × height of the window's client area at
// (x, y). The game passes (handle, x, y, width, height, 0, 0, 0, 0): (0, 0) in
// a window, the centring offset in fullscreen. Despite the names, no GL is
// involved: frames are composed in main memory.
int OpenGlScreen(void* nativeWindow, int x, int y, int width, int height, int stretch,
                 int rightOffset, int bottomOffset, int flipMode);
// Why the last OpenGlScreen failed to reach the window, in SDL's words;
// empty when it did not fail that way.
const char* ScreenFailure();
void CloseGlScreen();  // frees every sprite; sprite numbers become invalid
void SetFlipRateLimit(int fps);  // 0: none
// The colour (red in the low byte) of the window around a screen smaller than
// its window, painted once whenever the window gets a new surface.
void SetScreenMargin(uint32_t rgba);
void ClearFrame(uint32_t rgba);  // red in the low byte
void PresentFrame();

int NewSprite(int width, int height, bool alphaMode);  // 0 on failure
bool SpriteExists(int sprite);
void DeleteSprite(int sprite);

// Drawing into a sprite's pixels. A plain sprite turns exact black into holes
// and everything else opaque when the drawing ends; an alpha sprite keeps the
// alpha that was drawn.
bool BeginSpritePixels(int sprite);
void BlendImageInto(int image, int x, int y, uint8_t alpha);
void EndSpritePixels();

void SetSpriteSize(int sprite, int width, int height);  // −1 keeps the texture's own side
void SetSpriteAngle(int sprite, float degrees, int relative);  // clockwise on screen
void DrawSpriteBlended(int sprite, int x, int y, uint8_t alpha);
// Every pixel takes the colour's red, green and blue; alpha = texel alpha ×
// alpha ÷ 255. A colour of −1 (0xFFFFFFFF) is a plain blended draw.
void DrawSpriteTinted(int sprite, int x, int y, uint8_t alpha, uint32_t colour);

// ---- for tests and benchmarks ------------------------------------------------

// The next count NewSprite calls fail as if memory ran out.
void FailNextSprites(int count);
int CountSprites();  // how many sprites are alive
// Compose every frame whole, as a plain renderer would, instead of only what
// changed.
void RepaintWholeFrames(bool on);
// Compose frames apart from the window surface and copy them across, as for
// a window surface of another pixel format. Screens opened after the call
// follow it.
void ComposeApartFromWindow(bool on);

// The pixels of the frame most recently presented, as 0xAARRGGBB rows of
// width pixels, once a frame has been presented with capture on.
void CaptureFrames(bool on);
bool LastFramePixels(std::vector<uint32_t>& pixels, int& width, int& height);
// What the window itself holds where the screen lies, in the same form;
// false when no screen is open.
bool WindowPixels(std::vector<uint32_t>& pixels, int& width, int& height);
