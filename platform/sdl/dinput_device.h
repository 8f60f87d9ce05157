// The parts of the DirectInput stand-in shared by its devices. Internal.
#pragma once

#include <SDL.h>

#include <vector>

#include "platform/dinput.h"

// What every device has in common: reference count, data format,
// cooperative level and acquisition. Subclasses read their hardware.
class InputDevice : public IDirectInputDevice8A {
 public:
  InputDevice(IDirectInput8A* parent, const DIDATAFORMAT* format, bool keyboard);

  ULONG AddRef() override;
  ULONG Release() override;
  HRESULT GetCapabilities(LPDIDEVCAPS caps) override;
  HRESULT Acquire() override;
  HRESULT Unacquire() override;
  HRESULT GetDeviceState(DWORD size, LPVOID data) override;
  HRESULT SetDataFormat(LPCDIDATAFORMAT format) override;
  HRESULT SetCooperativeLevel(HWND hwnd, DWORD flags) override;
  HRESULT Poll() override;

 protected:
  ~InputDevice() override;

  // Fills the format's whole record; called only while acquired.
  virtual void Read(void* data) = 0;
  virtual void FillCapabilities(DIDEVCAPS* caps) = 0;
  // A device that can go away says so here; the first call that finds it
  // gone while acquired drops the acquisition.
  virtual bool Attached() { return true; }
  virtual void Acquired() {}
  // Polled devices take their state here.
  virtual bool Polled() const { return false; }
  virtual void Update() {}

  bool acquired = false;

 private:
  IDirectInput8A* parent;
  const DIDATAFORMAT* ownFormat;
  bool keyboard;
  ULONG refs = 1;
  bool formatSet = false;
};

InputDevice* NewKeyboardDevice(IDirectInput8A* parent);
InputDevice* NewMouseDevice(IDirectInput8A* parent);

// Game controllers over SDL's joystick subsystem.
// Starts and stops the subsystem (reference counted by SDL); false when it
// cannot start, after one line on stderr.
bool StartJoysticks();
void StopJoysticks();
// The attached controllers, in SDL's order.
std::vector<DIDEVICEINSTANCEA> ListJoysticks();
// Opens the controller with this instance GUID; null when there is none or
// it cannot be opened.
InputDevice* NewJoystickDevice(IDirectInput8A* parent, const GUID& instance);
