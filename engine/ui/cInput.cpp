#include "cInput.h"

#include <cstring>

#include "platform/rumble.h"

namespace {

// Stops and releases one device, if there is one.
void Drop(IDirectInputDevice8A*& device) {
  if (!device) return;
  device->Unacquire();
  device->Release();
  device = nullptr;
}

}  // namespace

cInput::cInput() : directInput(nullptr), Keys(), joystick(nullptr), keyboard(nullptr), mouse(nullptr), joyCaps() {}

long cInput::Init(HINSTANCE instance) {
  void* object = nullptr;
  if (FAILED(DirectInput8Create(instance, DIRECTINPUT_VERSION, IID_IDirectInput8A, &object, nullptr))) return E_FAIL;
  directInput = static_cast<IDirectInput8A*>(object);
  return 0;
}

long cInput::CreateKeyboard(HWND window) {
  if (!directInput) return E_FAIL;
  if (FAILED(directInput->CreateDevice(GUID_SysKeyboard, &keyboard, nullptr))) return E_FAIL;
  if (FAILED(keyboard->SetDataFormat(&c_dfDIKeyboard))) return E_FAIL;
  if (FAILED(keyboard->SetCooperativeLevel(window, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND))) return E_FAIL;
  keyboard->Acquire();
  return 0;
}

long cInput::GetKeyboardState() {
  if (!keyboard || FAILED(keyboard->GetDeviceState(sizeof(Keys), Keys))) return E_FAIL;
  return 0;
}

long cInput::Restore() {
  if (keyboard) keyboard->Acquire();
  return 0;
}

BOOL cInput::EnumJoystick(LPCDIDEVICEINSTANCEA instance, LPVOID self) {
  cInput* input = static_cast<cInput*>(self);
  // Go on to the next controller only while this one cannot be opened.
  return FAILED(input->directInput->CreateDevice(instance->guidInstance, &input->joystick, nullptr)) ? DIENUM_CONTINUE
                                                                                                       : DIENUM_STOP;
}

int cInput::CreateJoy(HWND window) {
  if (!directInput) return 0;
  Drop(joystick);
  directInput->EnumDevices(DI8DEVCLASS_GAMECTRL, EnumJoystick, this, DIEDFL_ATTACHEDONLY);
  if (!joystick) return 0;
  joystick->SetDataFormat(&c_dfDIJoystick2);
  joystick->SetCooperativeLevel(window, DISCL_EXCLUSIVE | DISCL_FOREGROUND);
  joyCaps.dwSize = sizeof(joyCaps);
  joystick->GetCapabilities(&joyCaps);
  joystick->Acquire();
  return 1;
}

int cInput::JoyPresent() {
  if (!joystick) return 0;
  // Taking it up again finds one that was plugged back in.
  joystick->Acquire();
  DIDEVCAPS caps;
  std::memset(&caps, 0, sizeof(caps));
  caps.dwSize = sizeof(caps);
  return SUCCEEDED(joystick->GetCapabilities(&caps)) && (caps.dwFlags & DIDC_ATTACHED) ? 1 : 0;
}

DIJOYSTATE2 cInput::RestingJoyState() {
  DIJOYSTATE2 state;
  std::memset(&state, 0, sizeof(state));
  state.lX = state.lY = state.lZ = 32768;
  state.lRx = state.lRy = state.lRz = 32768;
  state.rglSlider[0] = state.rglSlider[1] = 65535;
  for (DWORD& pov : state.rgdwPOV) pov = 0xFFFFFFFF;
  return state;
}

DIJOYSTATE2 cInput::GetJoyState() {
  // An all-zero state would read as full throttle, full brake and full
  // lock: without a controller every control is at rest instead.
  DIJOYSTATE2 state = RestingJoyState();
  if (!joystick) return state;
  if (FAILED(joystick->Poll())) joystick->Acquire();
  // A failed read (a controller that went away) writes nothing.
  joystick->GetDeviceState(sizeof(state), &state);
  return state;
}

void cInput::Rumble(float strength, DWORD milliseconds) {
  if (joystick) vrx::RumbleJoystick(joystick, strength, milliseconds);
}

int cInput::CreateMouse(HWND window) {
  if (!directInput) return E_FAIL;
  if (FAILED(directInput->CreateDevice(GUID_SysMouse, &mouse, nullptr))) return E_FAIL;
  if (FAILED(mouse->SetDataFormat(&c_dfDIMouse))) return E_FAIL;
  if (FAILED(mouse->SetCooperativeLevel(window, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND))) return E_FAIL;
  mouse->Acquire();
  return 0;
}

DIMOUSESTATE cInput::GetMouseState() {
  DIMOUSESTATE state;
  std::memset(&state, 0, sizeof(state));
  if (!mouse) return state;
  if (FAILED(mouse->Poll())) mouse->Acquire();
  mouse->GetDeviceState(sizeof(state), &state);
  return state;
}

long cInput::CleanUp() {
  Drop(keyboard);
  Drop(joystick);
  Drop(mouse);
  if (directInput) directInput->Release();
  directInput = nullptr;
  return 0;
}
