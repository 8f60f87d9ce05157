// What the rest of the platform layer needs from the window stand-in: the SDL
// window behind a handle and its state. Internal to libvrxplatform.
#pragma once

#include <SDL.h>

#include "platform/win32.h"

// Starts SDL's video subsystem once; false when no display can be opened.
bool EnsureSdlVideo();

// The SDL window of a live window handle; null for the desktop handle, a
// destroyed window or anything that is not a window handle. After
// DestroyWindow the SDL window itself stays alive (hidden) until the process
// ends, so a pointer taken earlier remains safe to use.
SDL_Window* SdlWindowFromHwnd(HWND hwnd);
HWND HwndFromSdlWindow(SDL_Window* window);

// Window state for device-loss checks: minimised, or not shown at all.
// A dead handle counts as hidden.
bool SdlWindowIsMinimized(HWND hwnd);
bool SdlWindowIsHidden(HWND hwnd);

// Where a picture of picW x picH pixels lands in an area of outerW x outerH
// when it is scaled to fit and keeps its aspect: centred, with bars on two
// sides where the shapes differ. Empty (all zero) for an empty area or picture.
struct PictureRect {
  int x, y, w, h;
};
PictureRect FitPicture(int outerW, int outerH, int picW, int picH);

// A device that presents a width x height back buffer into the window sets
// this (0 x 0 takes it back). The program then sees a client area of that
// size whatever size the window has: GetClientRect reports it, and cursor
// positions (ScreenToClient, ClientToScreen, mouse messages) are mapped
// through the picture's place in the window, bars excluded.
void SetSdlWindowPictureSize(HWND hwnd, int width, int height);

// Moves every waiting SDL event into the window message queue. Call this
// instead of SDL_PollEvent anywhere in the platform layer (SDL_PumpEvents is
// fine too): events polled elsewhere would be lost to the window procedure.
void PumpSdlEvents();

// The cursor in screen coordinates from the state SDL already has (or the
// fake cursor of a test), without pumping events.
void ReadCursorScreenPos(POINT* point);
