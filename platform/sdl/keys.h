// Key tables shared by the message queue and the keyboard queries: SDL
// scancodes, Windows virtual keys and PC set-1 scan codes. Internal.
#pragma once

#include <SDL.h>

#include "platform/types.h"

struct KeyInfo {
  SDL_Scancode sdl;
  BYTE vk;       // the virtual key in key messages (generic for Shift/Ctrl/Alt, keypad with Num Lock)
  BYTE sideVk;   // VK_LSHIFT and friends; the navigation key of a keypad key without Num Lock
  BYTE scan;     // set-1 make code
  bool extended; // sent with the E0 prefix
  bool keypad;   // a keypad key whose virtual key depends on Num Lock
};

// The table entry of an SDL scancode, or null for keys a PC keyboard lacks.
const KeyInfo* KeyInfoForScancode(SDL_Scancode sc);

// The virtual key a key event reports, honouring the keyboard layout for
// letters and Num Lock for the keypad; 0 for unknown keys.
BYTE VirtualKeyForEvent(const KeyInfo& key, SDL_Keycode sym, bool numLock);

// The DirectInput code of a key (the scan code, plus 0x80 when extended;
// Pause and Num Lock are swapped in DirectInput), also for the few keys
// without a virtual key (F13-F15, media keys); 0 for unknown keys.
BYTE DirectInputCodeForScancode(SDL_Scancode sc);
