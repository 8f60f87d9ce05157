// The race HUD: speedometer, rev needle, gear, damage bar, logo and times.
#pragma once

class cRaceCar;

// Draws over the finished 3D frame; in a replay only the logo and the times.
void DrawHud(cRaceCar* car);
