// The menu's pictures in "MENU/": the logo, the physics-library badge, the
// background, the cursor, the start-race flag, the button and field skins and
// the smoke puff. Sizes follow from where and how large the game draws them
// (relative scale 1 is one texel per pixel on a 1000 x 750 client area).
#pragma once

#include "builders.h"

namespace vrxdata {

// Command buttons: 256 x 64 texels, the widest is drawn 0.85 wide (218
// pixels, inside the menu's left column) and 0.7 high.
constexpr int kButtonWidth = 256, kButtonHeight = 64;
// Field skins (player name, key fields): drawn 0.1 x 0.2 for a key field,
// the same size on screen as the switches beside them.
constexpr int kFrameWidth = 1024, kFrameHeight = 128;
// The background is drawn at scale (0.98, 0.732): 1024 x 1024 fills the
// reference screen.
constexpr int kMenuSize = 1024;

bool BuildMenuArt(const BuildContext& ctx);

}  // namespace vrxdata
