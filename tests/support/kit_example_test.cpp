// SPDX-License-Identifier: MIT
// The screen test shown at the top of screen_fixture.h, kept compiling and
// passing so that the example a newcomer copies is known to work.
#include "render/screens.h"
#include "tests/support/screen_fixture.h"

namespace {

class KitExample : public probe::ScreenTest {};

TEST_F(KitExample, GameLabelShowsOverTheBackdrop) {
  const uint32_t ink = probe::Rgb(10, 10, 10);
  TextLabel* label = probe::SolidLabel(GameLabelLayer, 20, 8, ink);
  label->x = 30;  // in cells
  label->y = 30;
  DrawGameScreen();  // draws and presents the frame, which is captured
  const probe::Frame frame = probe::LastFrame();
  const uint32_t inside = frame.At(30 * CellW() + 9, 30 * CellH() + 9);
  EXPECT_TRUE(probe::Near(inside, ink)) << probe::ColourText(inside);
  EXPECT_TRUE(probe::Near(frame.At(5, 5), probe::Backdrop));
}

}  // namespace
