// The program from its entry to its orderly end: start-up, the name screen,
// the menu, and the shutdown that writes the player's settings.
#pragma once

#include "platform/win32.h"

// The whole program; 0 after an orderly end, 1 after a start-up failure.
int RunProgram(HINSTANCE instance);
// The start-up up to the name screen: window, settings, screen, every
// long-lived object, the lists and the previews. 1 when the game can go on;
// else 0 with the program's exit code in *exitCode (anything already made
// has been shut down).
int StartProgram(HINSTANCE instance, int* exitCode);

// The main window's procedure: Esc and the window's end post the quit
// message (the race pauses on it, the menus ignore it); the window's end
// also sets gWindowClosed, which every loop obeys.
LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// The loading screen, fraction 0 .. 1: the logo fading in and the line
// "<text 11> <percent>%".
void LoadingProgress(float fraction);

// Paints gPlayer's name onto the number-plate texture gPlate (Arial, 45
// pixels, centred), as the menu's preview and the race show it.
void PaintNumberPlate();

// Releases the engine objects, the screen, music, input and listener in
// that order; writes vrx.ini when writeSettings is nonzero.
void Shutdown(HINSTANCE instance, int writeSettings);
