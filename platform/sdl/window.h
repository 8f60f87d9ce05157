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

// Moves every waiting SDL event into the window message queue. Call this
// instead of SDL_PollEvent anywhere in the platform layer (SDL_PumpEvents is
// fine too): events polled elsewhere would be lost to the window procedure.
void PumpSdlEvents();

// The cursor in screen coordinates from the state SDL already has (or the
// fake cursor of a test), without pumping events.
void ReadCursorScreenPos(POINT* point);
