// Keyboard and cursor state installed by tests (platform/testing.h). Internal.
#pragma once

#include <SDL.h>

#include "platform/types.h"

struct FakeInput {
  bool on = false;
  BYTE keys[256] = {};
  POINT cursor = {0, 0};
  // Physical keys by SDL scancode, 1 while down: what SDL_GetKeyboardState
  // would say. They feed the virtual keys and the DirectInput keyboard alike.
  Uint8 scancodes[SDL_NUM_SCANCODES] = {};
  // Presses of the left, right and middle mouse button (VK_LBUTTON,
  // VK_RBUTTON, VK_MBUTTON) so far.
  DWORD presses[3] = {};
};

FakeInput& TheFakeInput();
