// SPDX-License-Identifier: MIT
// Writes the program's icon as a Windows icon file, at the sizes Windows
// shows (16 to 256 pixels), each a 32-bit picture with its alpha, for the
// Windows program's resources.
//
//   icon_ico OUTPUT.ico
#include <cstdint>
#include <cstdio>
#include <vector>

#include "runtime/image.h"
#include "shell/icon.h"
#include "shell/state.h"

namespace {

void Put16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}

void Put32(std::vector<uint8_t>& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

// One picture as an icon file stores it: a bitmap header whose height counts
// the colour rows and the mask rows, the rows bottom up in blue, green, red,
// alpha, and a one-bit mask (all clear: the alpha decides).
bool IconBitmap(int size, std::vector<uint8_t>& out) {
  const int icon = MakeIconImage(size);
  if (!icon) return false;
  Put32(out, 40);
  Put32(out, size);
  Put32(out, 2 * size);
  Put16(out, 1);
  Put16(out, 32);
  for (int k = 0; k < 6; ++k) Put32(out, 0);
  for (int y = size - 1; y >= 0; --y) {
    for (int x = 0; x < size; ++x) {
      const uint32_t p = ImagePixel(icon, x, y);  // red in the low byte
      out.push_back(static_cast<uint8_t>(p >> 16));
      out.push_back(static_cast<uint8_t>(p >> 8));
      out.push_back(static_cast<uint8_t>(p));
      out.push_back(static_cast<uint8_t>(p >> 24));
    }
  }
  const int maskRow = (size + 31) / 32 * 4;
  out.insert(out.end(), static_cast<size_t>(maskRow) * size, 0);
  DisposeImage(icon);
  return true;
}

}  // namespace

// With C linkage: on Windows SDL's build flags rename main to SDL_main.
extern "C" int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: icon_ico OUTPUT.ico\n");
    return 2;
  }
  ZeroGlobalState();
  const int sizes[] = {16, 24, 32, 48, 64, 128, 256};
  std::vector<std::vector<uint8_t>> bitmaps;
  for (int size : sizes) {
    bitmaps.emplace_back();
    if (!IconBitmap(size, bitmaps.back())) {
      std::fprintf(stderr, "icon_ico: cannot draw the icon at %d pixels\n", size);
      return 1;
    }
  }
  std::vector<uint8_t> file;
  Put16(file, 0);
  Put16(file, 1);  // an icon
  Put16(file, static_cast<uint32_t>(bitmaps.size()));
  uint32_t offset = 6 + 16 * static_cast<uint32_t>(bitmaps.size());
  for (size_t k = 0; k < bitmaps.size(); ++k) {
    const int size = sizes[k];
    file.push_back(static_cast<uint8_t>(size == 256 ? 0 : size));  // 0 stands for 256
    file.push_back(static_cast<uint8_t>(size == 256 ? 0 : size));
    file.push_back(0);  // no palette
    file.push_back(0);
    Put16(file, 1);   // planes
    Put16(file, 32);  // bits a pixel
    Put32(file, static_cast<uint32_t>(bitmaps[k].size()));
    Put32(file, offset);
    offset += static_cast<uint32_t>(bitmaps[k].size());
  }
  for (const auto& bitmap : bitmaps) file.insert(file.end(), bitmap.begin(), bitmap.end());
  FILE* out = std::fopen(argv[1], "wb");
  const bool written = out && std::fwrite(file.data(), 1, file.size(), out) == file.size();
  if (out && std::fclose(out) != 0) return 1;
  if (!written) {
    std::fprintf(stderr, "icon_ico: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
