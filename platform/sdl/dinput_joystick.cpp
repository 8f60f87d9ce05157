// DirectInput game controllers over SDL joysticks.
#include <cstdio>
#include <cstring>
#include <string>

#include <unistd.h>

#include "dinput_device.h"
#include "platform/files.h"
#include "platform/rumble.h"
#include "platform/testing.h"
#include "platform/user_files.h"

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

// A game controller SDL knows the buttons of is read as a driving device:
// the left stick steers on X, the right trigger is an accelerator pedal on
// Y (32768 released, 0 pressed down) and the left trigger a brake pedal on
// the first slider (65535 released, 0 pressed down), so an untouched pad
// reads as no input. The rest: left stick Y on Z, right stick on Rx/Ry, the
// d-pad as the first POV, and SDL's buttons in SDL's order (0 south, 1 east,
// 2 west, 3 north, ...).
const int kPadAxes = 6;
const int kPadButtons = SDL_CONTROLLER_BUTTON_MAX;
// Sticks rarely come back exactly to the centre; a wheel does, and needs
// its whole travel.
const int kStickDeadZone = 2500;

LONG StickAxis(Sint16 value, bool deadZone) {
  int v = value;
  if (deadZone) {
    const int size = v < 0 ? -v : v;
    if (size <= kStickDeadZone) v = 0;
    else v = (v < 0 ? -1 : 1) * int(int64_t(size - kStickDeadZone) * 32768 / (32768 - kStickDeadZone));
  }
  return Clamp(v + 32768, 65535);
}

// Released (0) gives `rest`, pressed down (32767) gives 0.
LONG PedalAxis(Sint16 trigger, int rest) {
  const int t = Clamp(trigger, 32767);
  return rest - int((int64_t(t) * rest + 16383) / 32767);
}

DWORD PovOfPad(SDL_GameController* pad) {
  const bool up = SDL_GameControllerGetButton(pad, SDL_CONTROLLER_BUTTON_DPAD_UP);
  const bool down = SDL_GameControllerGetButton(pad, SDL_CONTROLLER_BUTTON_DPAD_DOWN);
  const bool left = SDL_GameControllerGetButton(pad, SDL_CONTROLLER_BUTTON_DPAD_LEFT);
  const bool right = SDL_GameControllerGetButton(pad, SDL_CONTROLLER_BUTTON_DPAD_RIGHT);
  Uint8 hat = SDL_HAT_CENTERED;
  if (up != down) hat |= up ? SDL_HAT_UP : SDL_HAT_DOWN;
  if (left != right) hat |= left ? SDL_HAT_LEFT : SDL_HAT_RIGHT;
  return PovOfHat(hat);
}

bool SameProduct(const SDL_JoystickGUID& a, const SDL_JoystickGUID& b) { return std::memcmp(&a, &b, sizeof(a)) == 0; }

class JoystickDevice : public InputDevice {
 public:
  JoystickDevice(IDirectInput8A* parent, int index) : InputDevice(parent, &c_dfDIJoystick2, false) {
    Open(index);
    const char* n = SDL_JoystickName(joystick);
    name = n ? n : "game controller";
  }

  bool Opened() const { return joystick != nullptr; }

  bool Rumble(float strength, unsigned milliseconds) {
    if (!joystick || !SDL_JoystickGetAttached(joystick)) return false;
    if (!(strength > 0.0f)) strength = 0.0f;  // NaN too
    if (strength > 1.0f) strength = 1.0f;
    // The heavy motor follows the strength, the light one only hard knocks.
    const Uint16 low = Uint16(strength * 65535.0f);
    const Uint16 high = Uint16(strength * strength * 65535.0f);
    if (pad) return SDL_GameControllerRumble(pad, low, high, milliseconds) == 0;
    return SDL_JoystickRumble(joystick, low, high, milliseconds) == 0;
  }

 protected:
  ~JoystickDevice() override { Close(); }

  bool Polled() const override { return true; }
  void Update() override { SDL_GameControllerUpdate(); }

  bool Attached() override {
    if (joystick && SDL_JoystickGetAttached(joystick)) return true;
    if (!reported) std::fprintf(stderr, "vrx: game controller \"%s\" was disconnected\n", name.c_str());
    reported = true;
    // Plugged back in (a new connection of the same model): acquiring it
    // again takes it up, as DirectInput does.
    if (!acquired && Reconnect()) {
      std::fprintf(stderr, "vrx: game controller \"%s\" is back\n", name.c_str());
      reported = false;
      return true;
    }
    return false;
  }

  void Read(void* data) override {
    DIJOYSTATE2 s{};
    if (pad) ReadPad(&s);
    else ReadJoystick(&s);
    std::memcpy(data, &s, sizeof(s));
  }

  void FillCapabilities(DIDEVCAPS* caps) override {
    caps->dwDevType = DeviceType(type);
    if (pad) {
      caps->dwAxes = kPadAxes;
      caps->dwButtons = kPadButtons;
      caps->dwPOVs = 1;
      return;
    }
    caps->dwAxes = Clamp(SDL_JoystickNumAxes(joystick), kMaxAxes);
    caps->dwButtons = Clamp(SDL_JoystickNumButtons(joystick), kMaxButtons);
    caps->dwPOVs = Clamp(SDL_JoystickNumHats(joystick), kMaxPovs);
  }

 private:
  void Open(int index) {
    if (SDL_IsGameController(index)) {
      pad = SDL_GameControllerOpen(index);
      if (pad) joystick = SDL_GameControllerGetJoystick(pad);
    }
    if (!joystick) joystick = SDL_JoystickOpen(index);
    if (!joystick) return;
    product = SDL_JoystickGetGUID(joystick);
    type = SDL_JoystickGetType(joystick);
  }

  void Close() {
    if (pad) SDL_GameControllerClose(pad);
    else if (joystick) SDL_JoystickClose(joystick);
    pad = nullptr;
    joystick = nullptr;
  }

  bool Reconnect() {
    const SDL_JoystickID gone = joystick ? SDL_JoystickInstanceID(joystick) : -1;
    const int n = SDL_NumJoysticks();
    for (int i = 0; i < n; ++i) {
      const SDL_JoystickID id = SDL_JoystickGetDeviceInstanceID(i);
      if (id < 0 || id == gone || !SameProduct(SDL_JoystickGetDeviceGUID(i), product)) continue;
      Close();
      Open(i);
      // A fresh handle holds no state until SDL's next update.
      if (joystick) Update();
      return joystick != nullptr;
    }
    return false;
  }

  void ReadPad(DIJOYSTATE2* s) const {
    s->lX = StickAxis(SDL_GameControllerGetAxis(pad, SDL_CONTROLLER_AXIS_LEFTX), type != SDL_JOYSTICK_TYPE_WHEEL);
    s->lY = PedalAxis(SDL_GameControllerGetAxis(pad, SDL_CONTROLLER_AXIS_TRIGGERRIGHT), 32768);
    s->lZ = StickAxis(SDL_GameControllerGetAxis(pad, SDL_CONTROLLER_AXIS_LEFTY), false);
    s->lRx = StickAxis(SDL_GameControllerGetAxis(pad, SDL_CONTROLLER_AXIS_RIGHTX), false);
    s->lRy = StickAxis(SDL_GameControllerGetAxis(pad, SDL_CONTROLLER_AXIS_RIGHTY), false);
    s->lRz = 32768;
    s->rglSlider[0] = PedalAxis(SDL_GameControllerGetAxis(pad, SDL_CONTROLLER_AXIS_TRIGGERLEFT), 65535);
    s->rglSlider[1] = 65535;
    s->rgdwPOV[0] = PovOfPad(pad);
    for (int i = 1; i < kMaxPovs; ++i) s->rgdwPOV[i] = kPovCentred;
    for (int i = 0; i < kPadButtons; ++i)
      s->rgbButtons[i] = SDL_GameControllerGetButton(pad, SDL_GameControllerButton(i)) ? 0x80 : 0;
  }

  void ReadJoystick(DIJOYSTATE2* s) const {
    LONG* axes[kMaxAxes] = {&s->lX, &s->lY, &s->lZ, &s->lRx, &s->lRy, &s->lRz, &s->rglSlider[0], &s->rglSlider[1]};
    const int nAxes = Clamp(SDL_JoystickNumAxes(joystick), kMaxAxes);
    for (int i = 0; i < nAxes; ++i) *axes[i] = SDL_JoystickGetAxis(joystick, i) + 32768;
    const int nHats = Clamp(SDL_JoystickNumHats(joystick), kMaxPovs);
    for (int i = 0; i < kMaxPovs; ++i) s->rgdwPOV[i] = i < nHats ? PovOfHat(SDL_JoystickGetHat(joystick, i)) : kPovCentred;
    const int nButtons = Clamp(SDL_JoystickNumButtons(joystick), kMaxButtons);
    for (int i = 0; i < nButtons; ++i) s->rgbButtons[i] = SDL_JoystickGetButton(joystick, i) ? 0x80 : 0;
  }

  SDL_GameController* pad = nullptr;  // null: a plain joystick
  SDL_Joystick* joystick = nullptr;   // the pad's own joystick, or the plain one
  SDL_JoystickGUID product{};
  SDL_JoystickType type = SDL_JOYSTICK_TYPE_UNKNOWN;
  std::string name;
  bool reported = false;
};

// Mapping files: one shipped beside the program and the player's own in the
// settings folder (read last, so its lines win). SDL itself also reads
// SDL_GAMECONTROLLERCONFIG and SDL_GAMECONTROLLERCONFIG_FILE.
void LoadMappings(const std::string& path) {
  if (access(path.c_str(), F_OK) != 0) return;
  if (SDL_GameControllerAddMappingsFromFile(path.c_str()) < 0)
    std::fprintf(stderr, "vrx: cannot read the game controller mappings %s: %s\n", path.c_str(), SDL_GetError());
}

}  // namespace

bool StartJoysticks() {
  // Focus belongs to the window stand-in; a controller reads the same in
  // the background, and the game decides what to do with it there.
  SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
  if (SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) != 0) {
    static bool reported = false;
    if (!reported) std::fprintf(stderr, "vrx: no game controllers: %s\n", SDL_GetError());
    reported = true;
    return false;
  }
  // States are read by polling; nobody takes joystick events from the queue.
  SDL_JoystickEventState(SDL_IGNORE);
  SDL_GameControllerEventState(SDL_IGNORE);
  LoadMappings(vrx::ProgramDir() + "/gamecontrollerdb.txt");
  LoadMappings(vrx::PlayerFolder(vrx::PlayerFile::kSettings) + "/gamecontrollerdb.txt");
  return true;
}

void StopJoysticks() { SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER); }

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
    JoystickDevice* device = new JoystickDevice(parent, i);
    if (device->Opened()) return device;
    device->Release();
    return nullptr;
  }
  return nullptr;
}

namespace vrx {

bool RumbleJoystick(IDirectInputDevice8A* device, float strength, unsigned milliseconds) {
  JoystickDevice* joystick = dynamic_cast<JoystickDevice*>(device);
  return joystick && joystick->Rumble(strength, milliseconds);
}

}  // namespace vrx

namespace vrxtesting {

void SetUnopenableJoystick(const char* name) { g_unopenable = name ? name : ""; }

}  // namespace vrxtesting
