// SPDX-License-Identifier: MIT
// Font sheet: every glyph of the embedded font at the label sizes the game
// uses and at small, ordinary and large display scales, rendered the way a
// label is (four times the size, then reduced), written as one PNG.
//
//   font_sheet [OUTPUT.png]      (default: font.png)
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

// Where SDL renames main to SDL_main (Windows), SDL2main calls it by its C
// name: the declaration here gives the definition below C linkage.
#include <SDL_main.h>

#include "render/label.h"
#include "runtime/image.h"
#include "runtime/text.h"
#include "shell/state.h"

namespace {

constexpr uint32_t Paper = 0x00FFFFFF;          // opaque white
constexpr uint32_t CaptionColour = 0x00A05020;  // blue-grey, red in the low byte
constexpr int Margin = 12;

// All 58 glyphs, the space among them, in four lines.
const char* const GlyphLines = "0123456789()[]{}\nABCDEFGHIJKLM\nNOPQRSTUVWXYZ\n<> -_!?|=+.:;,/\\";

struct Placed {
  int image;
  int x, y;
};

}  // namespace

int main(int argc, char** argv) {
  const char* output = argc > 1 ? argv[1] : "font.png";
  ZeroGlobalState();

  const float sizes[] = {1.5f, 2.0f, 2.5f, 3.5f};
  const float scales[] = {0.5f, 1.1f, 2.0f};
  std::vector<Placed> placed;
  int y = Margin, width = 0;
  for (float size : sizes) {
    int x = Margin, rowHeight = 0;
    for (float scale : scales) {
      std::string caption = FixedText(size, 1) + " X " + FixedText(scale, 1);
      int label = RenderLabelImage(caption, 1.5f, 1.5f, CaptionColour);
      int glyphs = RenderLabelImage(GlyphLines, size * scale, size * scale, 0xFFFFFFFFu);
      int cw = 0, ch = 0, gw = 0, gh = 0;
      ImageDims(label, cw, ch);
      ImageDims(glyphs, gw, gh);
      placed.push_back({label, x, y});
      placed.push_back({glyphs, x, y + ch + 4});
      x += std::max(cw, gw) + 3 * Margin;
      rowHeight = std::max(rowHeight, ch + 4 + gh);
    }
    width = std::max(width, x);
    y += rowHeight + 2 * Margin;
  }

  int sheet = NewImage(width, y, Paper);
  if (!sheet || !BeginImagePixels(sheet)) {
    std::fprintf(stderr, "font_sheet: cannot make a %d x %d image\n", width, y);
    return 1;
  }
  for (const Placed& p : placed) PutImageAt(p.image, p.x, p.y);
  EndImagePixels();
  for (const Placed& p : placed) DisposeImage(p.image);
  bool saved = SaveImagePng(sheet, output);
  DisposeImage(sheet);
  if (!saved) {
    std::fprintf(stderr, "font_sheet: cannot write %s\n", output);
    return 1;
  }
  std::printf("%s: %d x %d\n", output, width, y);
  return 0;
}
