#include "virtual_pad.h"

#include <cstring>

namespace vrxtest {

VirtualPad::VirtualPad(const char* name, int axes, int buttons, int hats, SDL_JoystickType type)
    : name_(name), axes_(axes), buttons_(buttons), hats_(hats), type_(type) {
  Plug();
}

void VirtualPad::Plug() {
  if (handle) return;
  SDL_VirtualJoystickDesc desc;
  std::memset(&desc, 0, sizeof(desc));
  desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
  desc.type = type_;
  desc.naxes = static_cast<Uint16>(axes_);
  desc.nbuttons = static_cast<Uint16>(buttons_);
  desc.nhats = static_cast<Uint16>(hats_);
  desc.name = name_.c_str();
  desc.userdata = this;
  desc.Rumble = [](void* self, Uint16 low, Uint16 high) {
    VirtualPad* pad = static_cast<VirtualPad*>(self);
    ++pad->rumbles;
    pad->lastLow = low;
    pad->lastHigh = high;
    if (low || high) {
      ++pad->felt;
      pad->feltLow = low;
    }
    return 0;
  };
  index = SDL_JoystickAttachVirtualEx(&desc);
  if (index >= 0) handle = SDL_JoystickOpen(index);
  if (!handle) return;
  for (int axis = 0; axis < axes_; ++axis) Axis(axis, 0);
  if (type_ == SDL_JOYSTICK_TYPE_GAMECONTROLLER && axes_ > kRightTrigger) {
    Axis(kLeftTrigger, -32768);
    Axis(kRightTrigger, -32768);
  }
}

void VirtualPad::Unplug() {
  if (!handle) return;
  const SDL_JoystickID id = SDL_JoystickInstanceID(handle);
  SDL_JoystickClose(handle);
  handle = nullptr;
  for (int i = 0; i < SDL_NumJoysticks(); ++i)
    if (SDL_JoystickGetDeviceInstanceID(i) == id) SDL_JoystickDetachVirtual(i);
}

}  // namespace vrxtest
