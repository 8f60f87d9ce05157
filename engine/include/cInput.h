// cInput: the game's keyboard, game controller and mouse through DirectInput.
// The keyboard is read into a public 256-byte table indexed by DirectInput
// key code (bit 7 set = down); the controller and the mouse are read as whole
// states. Results are 0 for success and E_FAIL for failure unless noted.
#pragma once

#include "platform/dinput.h"

class cInput {
 public:
  cInput();
  cInput(const cInput&) = delete;
  cInput& operator=(const cInput&) = delete;

  long Init(HINSTANCE instance);
  // Creates and acquires the keyboard for the window (non-exclusive, foreground).
  long CreateKeyboard(HWND window);
  // Reads the keyboard into Keys; E_FAIL leaves Keys as it was.
  long GetKeyboardState();
  // Acquires the keyboard again after it was lost; returns 0.
  long Restore();
  // Opens the first game controller that can be opened; 1 when there is one,
  // else 0. A controller opened before is let go first, so calling it again
  // picks up one plugged in since.
  int CreateJoy(HWND window);
  // 1 while a controller is open and plugged in (or plugged back in).
  int JoyPresent();
  // The controller's state; the resting state (RestingJoyState) without a
  // controller or when it cannot be read, so a pad that goes away leaves
  // every control released.
  DIJOYSTATE2 GetJoyState();
  // A driving controller left alone: axes centred, pedals up (Y 32768,
  // sliders 65535), POVs centred, no button down.
  static DIJOYSTATE2 RestingJoyState();
  // Rumbles the controller, strength 0..1; nothing without one.
  void Rumble(float strength, DWORD milliseconds);
  // 0 or E_FAIL.
  int CreateMouse(HWND window);
  // All zero without a mouse.
  DIMOUSESTATE GetMouseState();
  // Releases the devices and DirectInput; returns 0. Afterwards the object
  // is as constructed (its reads fail or give zero states).
  long CleanUp();

 private:
  static BOOL EnumJoystick(LPCDIDEVICEINSTANCEA instance, LPVOID self);

  IDirectInput8A* directInput;

 public:
  BYTE Keys[256];

 private:
  IDirectInputDevice8A* joystick;
  IDirectInputDevice8A* keyboard;
  IDirectInputDevice8A* mouse;
  DIDEVCAPS joyCaps;
};
