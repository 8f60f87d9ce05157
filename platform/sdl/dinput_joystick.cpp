// DirectInput game controllers over SDL joysticks.
#include <cstdio>
#include <cstring>
#include <string>

#include "dinput_device.h"
#include "platform/testing.h"

namespace {

const int kMaxAxes = 8;
const int kMaxPovs = 4;
const int kMaxButtons = 128;
const DWORD kPovCentred = 0xFFFFFFFF;

std::string g_unopenable;

// Our instance GUIDs carry SDL's instance id, unique for each connection.
const uint8_t kInstanceTag[8] = {'v', 'r', 'x', 'j', 'o', 'y', 0, 0};

GUID InstanceGuid(SDL_JoystickID id) {
  GUID g{};
  g.Data1 = static_cast<uint32_t>(id);
  std::memcpy(g.Data4, kInstanceTag, sizeof(kInstanceTag));
  return g;
}

bool InstanceId(const GUID& g, SDL_JoystickID* id) {
  if (g.Data2 != 0 || g.Data3 != 0 || std::memcmp(g.Data4, kInstanceTag, sizeof(kInstanceTag)) != 0) return false;
  *id = static_cast<SDL_JoystickID>(g.Data1);
  return true;
}

DWORD DeviceType(SDL_JoystickType type) {
  switch (type) {
    case SDL_JOYSTICK_TYPE_GAMECONTROLLER: return DI8DEVTYPE_GAMEPAD | (DI8DEVTYPEGAMEPAD_STANDARD << 8);
    case SDL_JOYSTICK_TYPE_WHEEL: return DI8DEVTYPE_DRIVING | (DI8DEVTYPEDRIVING_LIMITED << 8);
    case SDL_JOYSTICK_TYPE_FLIGHT_STICK:
    case SDL_JOYSTICK_TYPE_THROTTLE: return DI8DEVTYPE_FLIGHT | (DI8DEVTYPEFLIGHT_STICK << 8);
    default: return DI8DEVTYPE_JOYSTICK | (DI8DEVTYPEJOYSTICK_STANDARD << 8);
  }
}

DWORD PovOfHat(Uint8 hat) {
  switch (hat) {
    case SDL_HAT_UP: return 0;
    case SDL_HAT_RIGHTUP: return 4500;
    case SDL_HAT_RIGHT: return 9000;
    case SDL_HAT_RIGHTDOWN: return 13500;
    case SDL_HAT_DOWN: return 18000;
    case SDL_HAT_LEFTDOWN: return 22500;
    case SDL_HAT_LEFT: return 27000;
    case SDL_HAT_LEFTUP: return 31500;
    default: return kPovCentred;
  }
}

int Clamp(int n, int most) { return n < 0 ? 0 : (n > most ? most : n); }

class JoystickDevice : public InputDevice {
 public:
  JoystickDevice(IDirectInput8A* parent, SDL_Joystick* joystick)
      : InputDevice(parent, &c_dfDIJoystick2, false), joystick(joystick) {
    const char* n = SDL_JoystickName(joystick);
    name = n ? n : "game controller";
  }

 protected:
  ~JoystickDevice() override { SDL_JoystickClose(joystick); }

  bool Polled() const override { return true; }
  void Update() override { SDL_JoystickUpdate(); }

  bool Attached() override {
    if (SDL_JoystickGetAttached(joystick)) return true;
    if (!reported) std::fprintf(stderr, "vrx: game controller \"%s\" was disconnected\n", name.c_str());
    reported = true;
    return false;
  }

  void Read(void* data) override {
    DIJOYSTATE2 s{};
    LONG* axes[kMaxAxes] = {&s.lX, &s.lY, &s.lZ, &s.lRx, &s.lRy, &s.lRz, &s.rglSlider[0], &s.rglSlider[1]};
    const int nAxes = Clamp(SDL_JoystickNumAxes(joystick), kMaxAxes);
    for (int i = 0; i < nAxes; ++i) *axes[i] = SDL_JoystickGetAxis(joystick, i) + 32768;
    const int nHats = Clamp(SDL_JoystickNumHats(joystick), kMaxPovs);
    for (int i = 0; i < kMaxPovs; ++i) s.rgdwPOV[i] = i < nHats ? PovOfHat(SDL_JoystickGetHat(joystick, i)) : kPovCentred;
    const int nButtons = Clamp(SDL_JoystickNumButtons(joystick), kMaxButtons);
    for (int i = 0; i < nButtons; ++i) s.rgbButtons[i] = SDL_JoystickGetButton(joystick, i) ? 0x80 : 0;
    std::memcpy(data, &s, sizeof(s));
  }

  void FillCapabilities(DIDEVCAPS* caps) override {
    caps->dwDevType = DeviceType(SDL_JoystickGetType(joystick));
    caps->dwAxes = Clamp(SDL_JoystickNumAxes(joystick), kMaxAxes);
    caps->dwButtons = Clamp(SDL_JoystickNumButtons(joystick), kMaxButtons);
    caps->dwPOVs = Clamp(SDL_JoystickNumHats(joystick), kMaxPovs);
  }

 private:
  SDL_Joystick* joystick;
  std::string name;
  bool reported = false;
};

}  // namespace

bool StartJoysticks() {
  // Focus belongs to the window stand-in; a controller reads the same in
  // the background, and the game decides what to do with it there.
  SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
  if (SDL_InitSubSystem(SDL_INIT_JOYSTICK) != 0) {
    static bool reported = false;
    if (!reported) std::fprintf(stderr, "vrx: no game controllers: %s\n", SDL_GetError());
    reported = true;
    return false;
  }
  // States are read by polling; nobody takes joystick events from the queue.
  SDL_JoystickEventState(SDL_IGNORE);
  return true;
}

void StopJoysticks() { SDL_QuitSubSystem(SDL_INIT_JOYSTICK); }

std::vector<DIDEVICEINSTANCEA> ListJoysticks() {
  // Notices controllers plugged in since the last look.
  SDL_JoystickUpdate();
  std::vector<DIDEVICEINSTANCEA> list;
  const int n = SDL_NumJoysticks();
  for (int i = 0; i < n; ++i) {
    const SDL_JoystickID id = SDL_JoystickGetDeviceInstanceID(i);
    if (id < 0) continue;
    DIDEVICEINSTANCEA d{};
    d.dwSize = sizeof(d);
    d.guidInstance = InstanceGuid(id);
    const SDL_JoystickGUID product = SDL_JoystickGetDeviceGUID(i);
    static_assert(sizeof(product) == sizeof(GUID), "both are 16 bytes");
    std::memcpy(&d.guidProduct, &product, sizeof(GUID));
    d.dwDevType = DeviceType(SDL_JoystickGetDeviceType(i));
    const char* name = SDL_JoystickNameForIndex(i);
    std::strncpy(d.tszInstanceName, name ? name : "", sizeof(d.tszInstanceName) - 1);
    std::strncpy(d.tszProductName, name ? name : "", sizeof(d.tszProductName) - 1);
    list.push_back(d);
  }
  return list;
}

InputDevice* NewJoystickDevice(IDirectInput8A* parent, const GUID& instance) {
  SDL_JoystickID id;
  if (!InstanceId(instance, &id)) return nullptr;
  const int n = SDL_NumJoysticks();
  for (int i = 0; i < n; ++i) {
    if (SDL_JoystickGetDeviceInstanceID(i) != id) continue;
    const char* name = SDL_JoystickNameForIndex(i);
    if (!g_unopenable.empty() && name && g_unopenable == name) return nullptr;
    SDL_Joystick* joystick = SDL_JoystickOpen(i);
    return joystick ? new JoystickDevice(parent, joystick) : nullptr;
  }
  return nullptr;
}

namespace vrxtesting {

void SetUnopenableJoystick(const char* name) { g_unopenable = name ? name : ""; }

}  // namespace vrxtesting
