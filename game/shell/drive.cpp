#include "shell/drive.h"

// The race loop is not part of the game yet: the menu stays where it is.
void RunDrive(int) {}
cGround* gGround = nullptr;
cRaceCar* gRaceCar = nullptr;
DWORD gLastLapTime = 0;
