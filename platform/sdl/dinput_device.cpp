// What all DirectInput devices share: format, cooperative level, acquisition.
#include <cstring>

#include "dinput_device.h"
#include "platform/win32.h"

InputDevice::InputDevice(IDirectInput8A* parent, const DIDATAFORMAT* format, bool keyboard)
    : parent(parent), ownFormat(format), keyboard(keyboard) {
  parent->AddRef();
}

InputDevice::~InputDevice() { parent->Release(); }

ULONG InputDevice::AddRef() { return ++refs; }

ULONG InputDevice::Release() {
  if (--refs > 0) return refs;
  delete this;
  return 0;
}

HRESULT InputDevice::GetCapabilities(LPDIDEVCAPS caps) {
  if (!caps) return E_POINTER;
  // The DirectX 3 record is the first 24 bytes of the full one.
  const DWORD size = caps->dwSize;
  if (size != sizeof(DIDEVCAPS) && size != 24) return DIERR_INVALIDPARAM;
  DIDEVCAPS full{};
  FillCapabilities(&full);
  full.dwSize = size;
  if (Attached()) full.dwFlags |= DIDC_ATTACHED;
  if (Polled()) full.dwFlags |= DIDC_POLLEDDEVICE | DIDC_POLLEDDATAFORMAT;
  std::memcpy(caps, &full, size);
  return DI_OK;
}

HRESULT InputDevice::Acquire() {
  if (!formatSet) return DIERR_INVALIDPARAM;
  if (Polled()) Update();
  // A device lost while acquired is no longer acquired; the check after it
  // may find it plugged back in.
  if (acquired && !Attached()) acquired = false;
  if (!Attached()) return DIERR_UNPLUGGED;
  if (acquired) return DI_NOEFFECT;
  acquired = true;
  Acquired();
  return DI_OK;
}

HRESULT InputDevice::Unacquire() {
  if (!acquired) return DI_NOEFFECT;
  acquired = false;
  return DI_OK;
}

HRESULT InputDevice::Poll() {
  if (!acquired) return DIERR_NOTACQUIRED;
  if (Polled()) Update();
  if (!Attached()) {
    acquired = false;
    return DIERR_INPUTLOST;
  }
  return Polled() ? DI_OK : DI_NOEFFECT;
}

HRESULT InputDevice::GetDeviceState(DWORD size, LPVOID data) {
  if (!data) return E_POINTER;
  if (!acquired) return DIERR_NOTACQUIRED;
  if (size != ownFormat->dwDataSize) return DIERR_INVALIDPARAM;
  if (!Attached()) {
    acquired = false;
    return DIERR_INPUTLOST;
  }
  Read(data);
  return DI_OK;
}

HRESULT InputDevice::SetDataFormat(LPCDIDATAFORMAT format) {
  if (!format) return E_POINTER;
  if (acquired) return DIERR_ACQUIRED;
  if (format != ownFormat) return DIERR_INVALIDPARAM;
  formatSet = true;
  return DI_OK;
}

HRESULT InputDevice::SetCooperativeLevel(HWND hwnd, DWORD flags) {
  const DWORD known = DISCL_EXCLUSIVE | DISCL_NONEXCLUSIVE | DISCL_FOREGROUND | DISCL_BACKGROUND | DISCL_NOWINKEY;
  const bool exclusive = flags & DISCL_EXCLUSIVE, shared = flags & DISCL_NONEXCLUSIVE;
  const bool foreground = flags & DISCL_FOREGROUND, background = flags & DISCL_BACKGROUND;
  if ((flags & ~known) || exclusive == shared || foreground == background) return DIERR_INVALIDPARAM;
  if ((exclusive || foreground) && !IsWindow(hwnd)) return E_HANDLE;
  // The system keeps the keyboard for itself in the background.
  if (keyboard && exclusive && background) return DIERR_UNSUPPORTED;
  if (acquired) return DIERR_ACQUIRED;
  return DI_OK;
}
