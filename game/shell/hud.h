// The race HUD: speedometer, rev needle, gear, damage bar, logo and times,
// and the gap to the ghost.
#pragma once

#include <cstddef>

#include "platform/types.h"

class cRaceCar;

// The gap's colours: behind the ghost, ahead of it.
constexpr DWORD kGapBehind = 0xFFFF4040u;
constexpr DWORD kGapAhead = 0xFF40FF40u;

// Draws over the finished 3D frame; in a replay only the logo and the times.
// With a ghost, once the lap clock runs, the gap under the lap times.
void DrawHud(cRaceCar* car);

// The gap as the HUD shows it ("+1.23", "-0.45"); 1 behind, -1 ahead, 0
// level (within half a hundredth, "+0.00").
int FormatGap(float seconds, char* text, size_t size);

// The gap line alone (nothing without a ghost or before the clock runs).
void DrawGap(cRaceCar* car);
