// A drive: one race or one replay, from the menu's button to the return to
// the menu.
#pragma once

#include "platform/types.h"

class cGhost;
class cGhostCar;
class cGround;
class cRaceCar;

// The track and the car of the running drive (null between drives).
extern cGround* gGround;
extern cRaceCar* gRaceCar;
// The last lap booked in this drive; 0 before the first.
extern DWORD gLastLapTime;
// In a race: the track's best lap raced against and its car (null without
// either, and in replays).
extern cGhost* gGhost;
extern cGhostCar* gGhostCar;
// The ghost car is drawn (G toggles it; kept for the program's life).
extern int gGhostShown;

// The running lap's time in ms: 0 until the start gate first starts the
// clock (a stopped clock can read anything).
DWORD RunningLapTime();

// How the player drives the next race: 1 (the game controller) when the
// settings ask for it and a controller is plugged in, else 0 (the keyboard).
// A controller plugged in since the game started is picked up here.
int DrivingControlMode();

// Builds the track and the car, runs the race loop (and the pause screen),
// tears both down and rebuilds the menu's previews. replay 0: the player
// drives and the run is recorded; 1: the last recorded run is played back.
void RunDrive(int replay);

// At the start gate: books the lap when the half-lap flag says the car went
// round (the track keeps it if it is its best, outside replays; a new best
// becomes the ghost), and starts the lap clock again.
void BookLap(cRaceCar* car);

// The replay's part of a frame: the recorded controls (and now and then the
// recorded body state) into the car, its step at the replay's speed, the lap
// gate. Nothing while the replay is paused.
void ReplayStep(cRaceCar* car, float dt);

// The running lap time as the HUD shows it ("mm:ss:hh").
const char* LapClockText();

// Runs race frames until Esc, the window's end, the end of a replay or 7 s
// after the car is wrecked; then the pause screen where that applies.
void RunRace();
