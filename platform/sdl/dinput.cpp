// The DirectInput object: creation, device enumeration and device creation.
#include <cstring>
#include <vector>

#include "dinput_device.h"

const GUID IID_IDirectInput8A = {0xBF798030, 0x483A, 0x4DA2, {0xAA, 0x99, 0x5D, 0x64, 0xED, 0x36, 0x97, 0x00}};
const GUID GUID_SysMouse = {0x6F1D2B60, 0xD5A0, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const GUID GUID_SysKeyboard = {0x6F1D2B61, 0xD5A0, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};

const DIDATAFORMAT c_dfDIKeyboard = {sizeof(DIDATAFORMAT), sizeof(DIOBJECTDATAFORMAT), DIDF_RELAXIS, 256, 0,
                                     nullptr};
const DIDATAFORMAT c_dfDIMouse = {sizeof(DIDATAFORMAT), sizeof(DIOBJECTDATAFORMAT), DIDF_RELAXIS,
                                  sizeof(DIMOUSESTATE), 0, nullptr};
const DIDATAFORMAT c_dfDIJoystick2 = {sizeof(DIDATAFORMAT), sizeof(DIOBJECTDATAFORMAT), DIDF_ABSAXIS,
                                      sizeof(DIJOYSTATE2), 0, nullptr};

namespace {

bool SameGuid(const GUID& a, const GUID& b) { return std::memcmp(&a, &b, sizeof(GUID)) == 0; }

DIDEVICEINSTANCEA SystemDevice(const GUID& guid, DWORD type, const char* name) {
  DIDEVICEINSTANCEA d{};
  d.dwSize = sizeof(d);
  d.guidInstance = guid;
  d.guidProduct = guid;
  d.dwDevType = type;
  std::strncpy(d.tszInstanceName, name, sizeof(d.tszInstanceName) - 1);
  std::strncpy(d.tszProductName, name, sizeof(d.tszProductName) - 1);
  return d;
}

// Whether an enumeration filter (a device class or a device type) takes a device.
bool Matches(DWORD filter, DWORD devType) {
  const DWORD type = GET_DIDEVICE_TYPE(devType);
  switch (filter) {
    case DI8DEVCLASS_ALL: return true;
    case DI8DEVCLASS_DEVICE: return type == DI8DEVTYPE_DEVICE;
    case DI8DEVCLASS_POINTER: return type == DI8DEVTYPE_MOUSE;
    case DI8DEVCLASS_KEYBOARD: return type == DI8DEVTYPE_KEYBOARD;
    case DI8DEVCLASS_GAMECTRL: return type >= DI8DEVTYPE_JOYSTICK && type <= DI8DEVTYPE_FLIGHT;
    default: return filter == type;
  }
}

bool KnownFilter(DWORD filter) {
  return filter <= DI8DEVCLASS_GAMECTRL || (filter >= DI8DEVTYPE_DEVICE && filter <= DI8DEVTYPE_FLIGHT);
}

class DirectInput : public IDirectInput8A {
 public:
  DirectInput() : joysticks(StartJoysticks()) {}

  ULONG AddRef() override { return ++refs; }

  ULONG Release() override {
    if (--refs > 0) return refs;
    delete this;
    return 0;
  }

  HRESULT CreateDevice(REFGUID guid, LPDIRECTINPUTDEVICE8A* device, LPUNKNOWN outer) override {
    if (!device) return E_POINTER;
    *device = nullptr;
    if (outer) return DIERR_NOAGGREGATION;
    if (SameGuid(guid, GUID_SysKeyboard))
      *device = NewKeyboardDevice(this);
    else if (SameGuid(guid, GUID_SysMouse))
      *device = NewMouseDevice(this);
    else if (joysticks)
      *device = NewJoystickDevice(this, guid);
    return *device ? DI_OK : DIERR_DEVICENOTREG;
  }

  HRESULT EnumDevices(DWORD filter, LPDIENUMDEVICESCALLBACKA callback, LPVOID ref, DWORD flags) override {
    if (!callback || !KnownFilter(filter)) return DIERR_INVALIDPARAM;
    // The list is taken first, so a callback that opens or closes devices
    // does not change what it is shown.
    std::vector<DIDEVICEINSTANCEA> all;
    all.push_back(SystemDevice(GUID_SysKeyboard, DI8DEVTYPE_KEYBOARD | (DI8DEVTYPEKEYBOARD_PCENH << 8), "Keyboard"));
    all.push_back(SystemDevice(GUID_SysMouse, DI8DEVTYPE_MOUSE | (DI8DEVTYPEMOUSE_TRADITIONAL << 8), "Mouse"));
    if (joysticks) {
      const std::vector<DIDEVICEINSTANCEA> pads = ListJoysticks();
      all.insert(all.end(), pads.begin(), pads.end());
    }
    for (const DIDEVICEINSTANCEA& d : all) {
      if (!Matches(filter, d.dwDevType)) continue;
      if (callback(&d, ref) == DIENUM_STOP) break;
    }
    return DI_OK;
  }

 private:
  ~DirectInput() override {
    if (joysticks) StopJoysticks();
  }

  ULONG refs = 1;
  bool joysticks;
};

}  // namespace

HRESULT DirectInput8Create(HINSTANCE hinst, DWORD dwVersion, REFIID riidltf, LPVOID* ppvOut, LPUNKNOWN punkOuter) {
  if (!ppvOut) return E_POINTER;
  *ppvOut = nullptr;
  if (punkOuter) return DIERR_NOAGGREGATION;
  if (dwVersion < DIRECTINPUT_VERSION) return DIERR_OLDDIRECTINPUTVERSION;
  if (dwVersion > DIRECTINPUT_VERSION) return DIERR_BETADIRECTINPUTVERSION;
  if (!SameGuid(riidltf, IID_IDirectInput8A)) return DIERR_NOINTERFACE;
  *ppvOut = static_cast<IDirectInput8A*>(new DirectInput());
  return DI_OK;
}
