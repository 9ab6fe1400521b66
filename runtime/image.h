// SPDX-License-Identifier: MIT
// 32-bit RGBA images in memory: the canvas for block sprites, glyphs and text
// before they become sprites.
#pragma once
#include <cstdint>
#include <vector>

// background −1 (0xFFFFFFFF): all channels 0; any other colour (red in the
// low byte) fills the image at alpha 255. Returns 0 on failure.
int NewImage(int width, int height, uint32_t background);
bool ImageDims(int image, int& width, int& height);  // false, 0 × 0 for an invalid image
bool BeginImagePixels(int image);
void PutImageAt(int source, int x, int y);  // source-over, onto the image begun
void EndImagePixels();
void ScaleImageTo(int image, int width, int height, int mode);  // 0 smooth, 1 nearest
void DisposeImage(int image);

// What ScaleImageTo's smooth mode would make, at targetWidth × targetHeight,
// of a transparent width × height image with the pieces copied onto it at
// their places, without making that image: for large pictures that are
// mostly empty. Pieces must not overlap. A new image, or 0 on failure or
// where the target is larger than the picture on either side.
struct ImagePiece {
  int image;
  int x, y;
};
int ReducePiecesByArea(const std::vector<ImagePiece>& pieces, int width, int height,
                       int targetWidth, int targetHeight);

// Straight (not premultiplied) RGBA of one pixel, red in the low byte; 0 outside.
uint32_t ImagePixel(int image, int x, int y);
// Sets one pixel to a straight RGBA colour (stored premultiplied, each channel
// c × alpha ÷ 255 rounded). False outside the image or for an invalid image.
bool SetImagePixel(int image, int x, int y, uint32_t rgba);

// Sprite of the image's size; the image is drawn into it at (0, 0) with the
// given alpha. transparentStart true makes an alpha sprite.
int ImageToSprite(int image, bool transparentStart, uint8_t alpha);

// For the other runtime services only: the image's pixels as premultiplied
// 0xAARRGGBB words, rows `stride` bytes apart. False for an invalid image.
bool ImageRawPixels(int image, const uint32_t*& pixels, int& width, int& height, int& stride);

// Writes the image as a PNG file (for tools and test output; the game itself
// writes no files). False for an invalid image or a failed write.
bool SaveImagePng(int image, const char* path);
