// SPDX-License-Identifier: MIT
// Writes the program's icon at one size as a PNG, for installing into the
// desktop's icon theme.
//
//   icon_png SIZE OUTPUT.png
#include <cstdio>
#include <cstdlib>

// Where SDL renames main to SDL_main (Windows), SDL2main calls it by its C
// name: the declaration here gives the definition below C linkage.
#include <SDL_main.h>

#include "runtime/image.h"
#include "shell/icon.h"
#include "shell/state.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: icon_png SIZE OUTPUT.png\n");
    return 2;
  }
  const int size = std::atoi(argv[1]);
  ZeroGlobalState();
  const int icon = MakeIconImage(size);
  if (!icon) {
    std::fprintf(stderr, "icon_png: cannot draw the icon at %s pixels\n", argv[1]);
    return 1;
  }
  const bool saved = SaveImagePng(icon, argv[2]);
  DisposeImage(icon);
  if (!saved) {
    std::fprintf(stderr, "icon_png: cannot write %s\n", argv[2]);
    return 1;
  }
  return 0;
}
