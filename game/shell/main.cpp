// vrx: the game. Everything happens in the game library; see shell/startup.h.
#include "shell/startup.h"

int main() { return RunProgram(nullptr); }
