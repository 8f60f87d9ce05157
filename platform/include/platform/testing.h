// Hooks for tests of code built on the platform layer: a fake clock, fake
// keyboard and cursor state, a stand-in program directory, message boxes on
// stderr only, and waiting for programs started with WinExec.
// Not for use by the game itself.
#pragma once

#include "platform/types.h"

namespace vrxtesting {

// GetTickCount calls source() instead of reading SDL's clock; null restores it.
typedef DWORD (*TickSource)();
void SetTickSource(TickSource source);
// GetTickCount returns exactly now until the next call of either function.
void SetFakeTickCount(DWORD now);

// While fake input is on, GetKeyboardState, GetAsyncKeyState, GetKeyState,
// GetCursorPos and the DirectInput keyboard and mouse read the state set here
// instead of SDL's. Turning it on
// starts with every key up and the cursor at (0, 0).
void SetFakeInput(bool on);
// Sets or clears bit 7 of one virtual key (VK_LBUTTON for the left button;
// pressing a mouse button also counts in vrx::MouseButtonPresses).
// Generic and side keys are separate: set VK_SHIFT for ToAscii to see Shift.
void SetFakeKey(BYTE vk, bool down);
// Presses or releases a physical key, by SDL scancode (SDL_SCANCODE_UP):
// GetKeyboardState shows it as its virtual key (and side key, as for a real
// key), the DirectInput keyboard as its DirectInput code.
void SetFakeScancode(int scancode, bool down);
// Sets the lock bit (bit 0) of VK_CAPITAL or VK_NUMLOCK.
void SetFakeToggle(BYTE vk, bool on);
// Screen coordinates, as GetCursorPos returns them.
void SetFakeCursorPos(LONG x, LONG y);

// DirectInput's CreateDevice refuses game controllers of this name, as for
// a controller the system cannot open; null clears it.
void SetUnopenableJoystick(const char* name);

// Message boxes only write their stderr line.
void SetMessageBoxesToStderr(bool on);

// WinExec and LoadLibraryA look for their files here instead of beside the
// executable; null restores the executable's directory.
void SetProgramDir(const char* dir);

// Waits until every program started by WinExec has ended; returns how many
// there were and stores the exit status of the last one in *lastStatus.
int WaitForStartedPrograms(int* lastStatus);

}  // namespace vrxtesting
