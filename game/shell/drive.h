// A drive: one race or one replay, from the menu's button to the return to
// the menu.
#pragma once

// Builds the track and the car, runs the race loop (and the pause screen),
// tears both down and rebuilds the menu's previews. replay 0: the player
// drives and the run is recorded; 1: the last recorded run is played back.
void RunDrive(int replay);
