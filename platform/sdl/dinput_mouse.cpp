// The DirectInput mouse: motion since the previous read, wheel and buttons.
#include "dinput_device.h"
#include "fake_input.h"
#include "platform/win32.h"

namespace {

// One wheel notch, as Windows counts it.
const LONG kWheelDelta = 120;

class MouseDevice : public InputDevice {
 public:
  explicit MouseDevice(IDirectInput8A* parent) : InputDevice(parent, &c_dfDIMouse, false) {
    // Wheel turns exist only as events; watching does not take them from
    // the window's queue.
    SDL_AddEventWatch(WatchWheel, this);
  }

 protected:
  ~MouseDevice() override { SDL_DelEventWatch(WatchWheel, this); }

  void Acquired() override {
    // Motion before the acquisition is not reported.
    SDL_GetRelativeMouseState(nullptr, nullptr);
    wheel = 0;
    lastFake = TheFakeInput().cursor;
  }

  void Read(void* data) override {
    DIMOUSESTATE state{};
    const FakeInput& fake = TheFakeInput();
    if (fake.on) {
      state.lX = fake.cursor.x - lastFake.x;
      state.lY = fake.cursor.y - lastFake.y;
      lastFake = fake.cursor;
      state.rgbButtons[0] = fake.keys[VK_LBUTTON] & 0x80;
      state.rgbButtons[1] = fake.keys[VK_RBUTTON] & 0x80;
      state.rgbButtons[2] = fake.keys[VK_MBUTTON] & 0x80;
    } else {
      SDL_PumpEvents();
      int dx = 0, dy = 0;
      const Uint32 buttons = SDL_GetRelativeMouseState(&dx, &dy);
      state.lX = dx;
      state.lY = dy;
      state.rgbButtons[0] = (buttons & SDL_BUTTON_LMASK) ? 0x80 : 0;
      state.rgbButtons[1] = (buttons & SDL_BUTTON_RMASK) ? 0x80 : 0;
      state.rgbButtons[2] = (buttons & SDL_BUTTON_MMASK) ? 0x80 : 0;
      state.rgbButtons[3] = (buttons & SDL_BUTTON_X1MASK) ? 0x80 : 0;
    }
    state.lZ = wheel;
    wheel = 0;
    *static_cast<DIMOUSESTATE*>(data) = state;
  }

  void FillCapabilities(DIDEVCAPS* caps) override {
    caps->dwDevType = DI8DEVTYPE_MOUSE | (DI8DEVTYPEMOUSE_TRADITIONAL << 8);
    caps->dwAxes = 3;
    caps->dwButtons = 4;
  }

 private:
  static int WatchWheel(void* self, SDL_Event* e) {
    MouseDevice* mouse = static_cast<MouseDevice*>(self);
    if (e->type == SDL_MOUSEWHEEL && mouse->acquired) {
      const LONG notches = e->wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -e->wheel.y : e->wheel.y;
      mouse->wheel += notches * kWheelDelta;
    }
    return 0;
  }

  LONG wheel = 0;
  POINT lastFake = {0, 0};
};

}  // namespace

InputDevice* NewMouseDevice(IDirectInput8A* parent) { return new MouseDevice(parent); }
