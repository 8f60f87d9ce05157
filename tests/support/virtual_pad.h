// A joystick for tests on SDL's virtual joysticks (no hardware needed),
// held open by the test to move it. A game controller gets SDL's own
// mapping: axes left stick X and Y, right stick X and Y, left trigger,
// right trigger; buttons south, east, west, north, ... Its motors count
// the rumbles sent to it.
#pragma once

#include <SDL.h>

#include <string>

namespace vrxtest {

struct VirtualPad {
  enum { kLeftX = 0, kLeftY = 1, kLeftTrigger = 4, kRightTrigger = 5 };
  enum { kSouth = 0, kEast = 1 };

  SDL_Joystick* handle = nullptr;
  int index = -1;
  int rumbles = 0;                  // every request, stops included
  Uint16 lastLow = 0, lastHigh = 0;
  int felt = 0;                     // requests that move a motor
  Uint16 feltLow = 0;               // the last of them, heavy motor

  // Plugged in untouched: sticks centred, a controller's triggers released.
  explicit VirtualPad(const char* name, int axes = 6, int buttons = 15, int hats = 0,
                      SDL_JoystickType type = SDL_JOYSTICK_TYPE_GAMECONTROLLER);
  ~VirtualPad() { Unplug(); }
  VirtualPad(const VirtualPad&) = delete;
  VirtualPad& operator=(const VirtualPad&) = delete;

  void Plug();
  void Unplug();

  void Axis(int axis, Sint16 value) { SDL_JoystickSetVirtualAxis(handle, axis, value); }
  // A trigger from released (0) to all the way down (1).
  void Trigger(int axis, float down) { Axis(axis, Sint16(-32768 + int(down * 65535.0f))); }
  void Button(int button, bool down) {
    SDL_JoystickSetVirtualButton(handle, button, down ? SDL_PRESSED : SDL_RELEASED);
  }

 private:
  std::string name_;
  int axes_, buttons_, hats_;
  SDL_JoystickType type_;
};

}  // namespace vrxtest
