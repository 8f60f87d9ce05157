// The race's shared pictures: in "CARS/COMMON/" the shadow shape, skid mark,
// number plate, speedometer dial and needle, gear sprites, damage bar and
// light flares; in "TRACKS/COMMON/" the reflection map and the sun.
//
// The dial is laid out from where the HUD draws it: the dial at (0.8, 0.7)
// with scale 0.4, the speed needle's pivot at (0.902, 0.814) with scale 1 and
// the engine needle's at (0.902, 0.921) with scale 0.4; each needle turns to
// 3.9 - m/s x 0.07058823 and 3.7 - rpm / 1800 radians (clockwise on screen,
// 0 pointing right). The scales are painted at exactly those angles.
#pragma once

#include "builders.h"

namespace vrxdata {

namespace hud {

constexpr int kDialSize = 512;  // Licznik.tga, square
// Needle pivots in dial texels: (position - dial position) x screen size / 0.4.
constexpr float kSpeedPivotX = 255.0f, kSpeedPivotY = 213.75f;
constexpr float kRevPivotX = 255.0f, kRevPivotY = 414.375f;
// Strzalka.tga: 64 x 16, turning about (7, 7), pointing along +x at angle 0.
constexpr int kNeedleWidth = 64, kNeedleHeight = 16;
constexpr float kNeedleTip = 62.0f;  // tip x in needle texels
// The tips' distance from their pivots in dial texels (needle length x needle
// scale / dial scale).
constexpr float kSpeedTipRadius = (kNeedleTip - 7.0f) * 1.0f / 0.4f;
constexpr float kRevTipRadius = (kNeedleTip - 7.0f) * 0.4f / 0.4f;
constexpr float kSpeedMaxKmh = 240.0f;
constexpr float kRevMaxRpm = 8000.0f;
constexpr float kRevRedRpm = 7000.0f;

// The screen angles the HUD gives its needles.
inline float SpeedAngle(float kmh) { return 3.9f - kmh / 3.6f * 0.07058823f; }
inline float RevAngle(float rpm) { return 3.7f - rpm * 0.00055555557f; }

// Gear sprites g_R, g_N, g_1 ... g_6: 64 x 64, drawn 0.5 x 0.6.
constexpr int kGearSize = 64;
// Damage bar: the frame, 256 x 16 drawn 0.8 x 1 at (0.01, 0.95), has its
// window where the bar, 4 x 4 drawn (damage x 0.5) x 2.3 at (0.013, 0.955),
// ends at damage 100.
constexpr int kBarFrameWidth = 256, kBarFrameHeight = 16, kBarDotSize = 4;

}  // namespace hud

bool BuildHudArt(const BuildContext& ctx);

}  // namespace vrxdata
