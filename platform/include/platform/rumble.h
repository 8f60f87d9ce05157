// Rumble for the game controllers of the DirectInput stand-in. DirectInput's
// force-feedback effects are far more than a pad's two motors need, so this
// one call stands for them.
#pragma once

#include "platform/dinput.h"

namespace vrx {

// Runs the controller's motors at strength 0..1 (values outside are
// clamped) for the given time; a new call replaces a running rumble. False
// when the device is no game controller of ours, is unplugged or has no
// motors.
bool RumbleJoystick(IDirectInputDevice8A* device, float strength, unsigned milliseconds);

}  // namespace vrx
