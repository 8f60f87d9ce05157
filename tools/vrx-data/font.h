// The game's bitmap font: "MENU/Font1.bmp", 256 character cells in a 16 x 16
// grid on black (black is the font's colour key), and "MENU/Font1.dat", the
// 256 character widths in pixels.
#pragma once

#include <cstdint>
#include <vector>

#include "builders.h"
#include "image_files.h"

namespace vrxdata {

// Cell side in pixels, which is also the font's row height: 32 makes a
// caption fill about four fifths of its button's height (cButton scales the
// caption by the row height and the button's texel height).
constexpr int kFontCell = 32;

struct BitmapFont {
  Picture image;                // 16 * kFontCell square, black background
  std::vector<uint8_t> widths;  // 256 entries, none above kFontCell
};

// Renders the font from the game's sans; false (with a message) when no
// usable font is installed.
bool RenderBitmapFont(BitmapFont* font);

bool BuildFont(const BuildContext& ctx);

}  // namespace vrxdata
