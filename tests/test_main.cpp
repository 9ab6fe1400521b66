// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

// With C linkage: on Windows SDL's build flags rename main to SDL_main.
extern "C" int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
