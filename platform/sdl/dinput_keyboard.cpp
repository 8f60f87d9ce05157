// The DirectInput keyboard: SDL's state of the physical keys as key codes.
#include <cstring>

#include "dinput_device.h"
#include "fake_input.h"
#include "keys.h"

namespace {

class KeyboardDevice : public InputDevice {
 public:
  explicit KeyboardDevice(IDirectInput8A* parent) : InputDevice(parent, &c_dfDIKeyboard, true) {}

 protected:
  void Read(void* data) override {
    BYTE* keys = static_cast<BYTE*>(data);
    std::memset(keys, 0, 256);
    const FakeInput& fake = TheFakeInput();
    const Uint8* down = fake.scancodes;
    int count = SDL_NUM_SCANCODES;
    if (!fake.on) {
      // Updates SDL's key state; the events stay queued for the window.
      SDL_PumpEvents();
      down = SDL_GetKeyboardState(&count);
    }
    for (int sc = 0; sc < count; ++sc) {
      if (!down[sc]) continue;
      if (const BYTE code = DirectInputCodeForScancode(static_cast<SDL_Scancode>(sc))) keys[code] = 0x80;
    }
  }

  void FillCapabilities(DIDEVCAPS* caps) override {
    caps->dwDevType = DI8DEVTYPE_KEYBOARD | (DI8DEVTYPEKEYBOARD_PCENH << 8);
    bool seen[256] = {};
    for (int sc = 0; sc < SDL_NUM_SCANCODES; ++sc) seen[DirectInputCodeForScancode(static_cast<SDL_Scancode>(sc))] = true;
    for (int code = 1; code < 256; ++code) caps->dwButtons += seen[code];
  }
};

}  // namespace

InputDevice* NewKeyboardDevice(IDirectInput8A* parent) { return new KeyboardDevice(parent); }
