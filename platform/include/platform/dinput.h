// The DirectInput 8 interface the game reads its keyboard, mouse and game
// controller through. Names, numeric values, record layouts and method
// signatures are those of DirectInput 8; only what the program uses is
// declared.
//
// Implemented on SDL2 (platform/sdl). Behaviour the callers rely on:
// - The keyboard is SDL's keyboard state by physical key, as DirectInput key
//   codes (DIK_*): the PC set-1 scan code, plus 0x80 for the extended keys.
//   SDL clears it when our windows lose the keyboard focus, so in the
//   background every key reads up. The keyboard device is never "lost":
//   it stays acquired until Unacquire, whatever the focus does.
// - The mouse reports relative motion since the previous read, the wheel in
//   steps of 120 and four buttons.
// - Game controllers are SDL joysticks. One that SDL's game controller
//   layer knows (its mapping database, plus gamecontrollerdb.txt beside the
//   program and in the player's settings folder) reads as a driving device:
//   left stick X on X (centre 32768, a small dead zone unless it is a
//   wheel), right trigger on Y as an accelerator pedal (32768 released, 0
//   pressed down), left trigger on slider 0 as a brake pedal (65535
//   released, 0 pressed down), left stick Y on Z, right stick on Rx and Ry,
//   Rz 32768 and slider 1 65535, the d-pad as POV 0, and SDL's controller
//   buttons in SDL's order (0 south, 1 east, 2 west, 3 north, 4 back, 5
//   guide, 6 start, ...). Any other joystick reads raw: up to 8 axes (X, Y,
//   Z, Rx, Ry, Rz, then the two sliders) scaled to 0..65535 with the centre
//   at 32768, absent axes 0; up to 4 hats as POV angles (centred or absent
//   0xFFFFFFFF); up to 128 buttons, 0x80 while down. They are polled
//   devices: the state is the one taken by the last Poll. A controller that
//   goes away fails its next Poll with DIERR_INPUTLOST (one line on stderr),
//   then Acquire gives DIERR_UNPLUGGED and reads give DIERR_NOTACQUIRED;
//   nothing ever blocks. When the same model is plugged in again, the next
//   Acquire takes it up and says so on stderr. Rumble: platform/rumble.h.
// - Devices accept only their own data format (c_dfDIKeyboard, c_dfDIMouse,
//   c_dfDIJoystick2). Cooperative levels are checked for sense and for a live
//   window, but focus does not take devices away.
// - Reference counts as in COM: devices keep their DirectInput object alive.
// Single-threaded: use it from the thread that created the window.
#pragma once

#include "platform/types.h"

typedef uint32_t ULONG;
struct IUnknown;
typedef IUnknown* LPUNKNOWN;

#define DIRECTINPUT_VERSION 0x0800

// ---------------------------------------------------------------------------
// Result codes

#define DI_OK S_OK
#define DI_NOTATTACHED S_FALSE
#define DI_BUFFEROVERFLOW S_FALSE
#define DI_PROPNOEFFECT S_FALSE
#define DI_NOEFFECT S_FALSE
#define DI_POLLEDDEVICE ((HRESULT)0x00000002L)

#define DIERR_OLDDIRECTINPUTVERSION ((HRESULT)0x8007047Eu)
#define DIERR_BETADIRECTINPUTVERSION ((HRESULT)0x80070481u)
#define DIERR_BADDRIVERVER ((HRESULT)0x80070077u)
#define DIERR_DEVICENOTREG ((HRESULT)0x80040154u)
#define DIERR_NOTFOUND ((HRESULT)0x80070002u)
#define DIERR_OBJECTNOTFOUND ((HRESULT)0x80070002u)
#define DIERR_INVALIDPARAM E_INVALIDARG
#define DIERR_NOINTERFACE ((HRESULT)0x80004002u)
#define DIERR_GENERIC E_FAIL
#define DIERR_OUTOFMEMORY E_OUTOFMEMORY
#define DIERR_UNSUPPORTED ((HRESULT)0x80004001u)
#define DIERR_NOTINITIALIZED ((HRESULT)0x80070015u)
#define DIERR_ALREADYINITIALIZED ((HRESULT)0x800704DFu)
#define DIERR_NOAGGREGATION ((HRESULT)0x80040110u)
#define DIERR_OTHERAPPHASPRIO ((HRESULT)0x80070005u)
#define DIERR_INPUTLOST ((HRESULT)0x8007001Eu)
#define DIERR_ACQUIRED ((HRESULT)0x800700AAu)
#define DIERR_NOTACQUIRED ((HRESULT)0x8007000Cu)
#define DIERR_READONLY ((HRESULT)0x80070005u)
#define DIERR_HANDLEEXISTS ((HRESULT)0x80070005u)
#define DIERR_UNPLUGGED ((HRESULT)0x80040209u)
#define E_HANDLE ((HRESULT)0x80070006u)
#define E_POINTER ((HRESULT)0x80004003u)

// ---------------------------------------------------------------------------
// Identifiers

extern const GUID IID_IDirectInput8A;
extern const GUID GUID_SysKeyboard;
extern const GUID GUID_SysMouse;

// ---------------------------------------------------------------------------
// Device classes, types and enumeration

#define DI8DEVCLASS_ALL 0
#define DI8DEVCLASS_DEVICE 1
#define DI8DEVCLASS_POINTER 2
#define DI8DEVCLASS_KEYBOARD 3
#define DI8DEVCLASS_GAMECTRL 4

#define DI8DEVTYPE_DEVICE 0x11
#define DI8DEVTYPE_MOUSE 0x12
#define DI8DEVTYPE_KEYBOARD 0x13
#define DI8DEVTYPE_JOYSTICK 0x14
#define DI8DEVTYPE_GAMEPAD 0x15
#define DI8DEVTYPE_DRIVING 0x16
#define DI8DEVTYPE_FLIGHT 0x17
// Subtypes, in the second byte of dwDevType.
#define DI8DEVTYPEMOUSE_TRADITIONAL 2
#define DI8DEVTYPEKEYBOARD_PCENH 4
#define DI8DEVTYPEJOYSTICK_STANDARD 2
#define DI8DEVTYPEGAMEPAD_STANDARD 2
#define DI8DEVTYPEDRIVING_LIMITED 1
#define DI8DEVTYPEFLIGHT_STICK 2
#define GET_DIDEVICE_TYPE(dwDevType) LOBYTE(dwDevType)
#define GET_DIDEVICE_SUBTYPE(dwDevType) HIBYTE(dwDevType)
#ifndef LOBYTE
#define LOBYTE(w) ((BYTE)((DWORD)(w) & 0xff))
#define HIBYTE(w) ((BYTE)(((DWORD)(w) >> 8) & 0xff))
#endif

#define DIEDFL_ALLDEVICES 0x00000000
#define DIEDFL_ATTACHEDONLY 0x00000001

#define DIENUM_STOP 0
#define DIENUM_CONTINUE 1

#ifndef MAX_PATH
#define MAX_PATH 260
#endif

struct DIDEVICEINSTANCEA {
  DWORD dwSize;
  GUID guidInstance;
  GUID guidProduct;
  DWORD dwDevType;
  CHAR tszInstanceName[MAX_PATH];
  CHAR tszProductName[MAX_PATH];
  GUID guidFFDriver;
  WORD wUsagePage;
  WORD wUsage;
};
static_assert(sizeof(DIDEVICEINSTANCEA) == 580, "DIDEVICEINSTANCEA is 580 bytes");
typedef DIDEVICEINSTANCEA* LPDIDEVICEINSTANCEA;
typedef const DIDEVICEINSTANCEA* LPCDIDEVICEINSTANCEA;

// Called once per enumerated device; DIENUM_STOP ends the enumeration.
typedef BOOL (*LPDIENUMDEVICESCALLBACKA)(LPCDIDEVICEINSTANCEA lpddi, LPVOID pvRef);

// ---------------------------------------------------------------------------
// Cooperative levels

#define DISCL_EXCLUSIVE 0x00000001
#define DISCL_NONEXCLUSIVE 0x00000002
#define DISCL_FOREGROUND 0x00000004
#define DISCL_BACKGROUND 0x00000008
#define DISCL_NOWINKEY 0x00000010

// ---------------------------------------------------------------------------
// Capabilities

#define DIDC_ATTACHED 0x00000001
#define DIDC_POLLEDDEVICE 0x00000002
#define DIDC_EMULATED 0x00000004
#define DIDC_POLLEDDATAFORMAT 0x00000008

struct DIDEVCAPS {
  DWORD dwSize;
  DWORD dwFlags;
  DWORD dwDevType;
  DWORD dwAxes;
  DWORD dwButtons;
  DWORD dwPOVs;
  DWORD dwFFSamplePeriod;
  DWORD dwFFMinTimeResolution;
  DWORD dwFirmwareRevision;
  DWORD dwHardwareRevision;
  DWORD dwFFDriverVersion;
};
static_assert(sizeof(DIDEVCAPS) == 44, "DIDEVCAPS is 44 bytes");
typedef DIDEVCAPS* LPDIDEVCAPS;

// ---------------------------------------------------------------------------
// Data formats and device states

#define DIDF_ABSAXIS 0x00000001
#define DIDF_RELAXIS 0x00000002

struct DIOBJECTDATAFORMAT {
  const GUID* pguid;
  DWORD dwOfs;
  DWORD dwType;
  DWORD dwFlags;
};

// The predefined formats are recognised by identity; their object lists are
// not spelled out (rgodf is null).
struct DIDATAFORMAT {
  DWORD dwSize;
  DWORD dwObjSize;
  DWORD dwFlags;
  DWORD dwDataSize;
  DWORD dwNumObjs;
  DIOBJECTDATAFORMAT* rgodf;
};
typedef const DIDATAFORMAT* LPCDIDATAFORMAT;

extern const DIDATAFORMAT c_dfDIKeyboard;  // 256 bytes, one per key code
extern const DIDATAFORMAT c_dfDIMouse;     // DIMOUSESTATE
extern const DIDATAFORMAT c_dfDIJoystick2; // DIJOYSTATE2

struct DIMOUSESTATE {
  LONG lX;
  LONG lY;
  LONG lZ;
  BYTE rgbButtons[4];
};
static_assert(sizeof(DIMOUSESTATE) == 16, "DIMOUSESTATE is 16 bytes");

struct DIJOYSTATE2 {
  LONG lX;
  LONG lY;
  LONG lZ;
  LONG lRx;
  LONG lRy;
  LONG lRz;
  LONG rglSlider[2];
  DWORD rgdwPOV[4];
  BYTE rgbButtons[128];
  LONG lVX;
  LONG lVY;
  LONG lVZ;
  LONG lVRx;
  LONG lVRy;
  LONG lVRz;
  LONG rglVSlider[2];
  LONG lAX;
  LONG lAY;
  LONG lAZ;
  LONG lARx;
  LONG lARy;
  LONG lARz;
  LONG rglASlider[2];
  LONG lFX;
  LONG lFY;
  LONG lFZ;
  LONG lFRx;
  LONG lFRy;
  LONG lFRz;
  LONG rglFSlider[2];
};
static_assert(sizeof(DIJOYSTATE2) == 272, "DIJOYSTATE2 is 272 bytes");

// ---------------------------------------------------------------------------
// Interfaces

struct IDirectInputDevice8A {
  virtual ULONG AddRef() = 0;
  virtual ULONG Release() = 0;
  virtual HRESULT GetCapabilities(LPDIDEVCAPS lpDIDevCaps) = 0;
  virtual HRESULT Acquire() = 0;
  virtual HRESULT Unacquire() = 0;
  virtual HRESULT GetDeviceState(DWORD cbData, LPVOID lpvData) = 0;
  virtual HRESULT SetDataFormat(LPCDIDATAFORMAT lpdf) = 0;
  virtual HRESULT SetCooperativeLevel(HWND hwnd, DWORD dwFlags) = 0;
  virtual HRESULT Poll() = 0;

 protected:
  virtual ~IDirectInputDevice8A() = default;
};
typedef IDirectInputDevice8A* LPDIRECTINPUTDEVICE8A;
typedef IDirectInputDevice8A* LPDIRECTINPUTDEVICE8;

struct IDirectInput8A {
  virtual ULONG AddRef() = 0;
  virtual ULONG Release() = 0;
  // GUID_SysKeyboard, GUID_SysMouse or the instance GUID of an enumerated
  // game controller; DIERR_DEVICENOTREG for anything else or a controller
  // that is gone or cannot be opened. *lplpDirectInputDevice is null on failure.
  virtual HRESULT CreateDevice(REFGUID rguid, LPDIRECTINPUTDEVICE8A* lplpDirectInputDevice, LPUNKNOWN pUnkOuter) = 0;
  // Keyboard and mouse are always attached; game controllers are SDL's
  // joysticks in SDL's order.
  virtual HRESULT EnumDevices(DWORD dwDevType, LPDIENUMDEVICESCALLBACKA lpCallback, LPVOID pvRef, DWORD dwFlags) = 0;

 protected:
  virtual ~IDirectInput8A() = default;
};
typedef IDirectInput8A* LPDIRECTINPUT8A;
typedef IDirectInput8A* LPDIRECTINPUT8;

// dwVersion must be DIRECTINPUT_VERSION and riidltf IID_IDirectInput8A; no
// aggregation. The instance handle is not looked at.
HRESULT DirectInput8Create(HINSTANCE hinst, DWORD dwVersion, REFIID riidltf, LPVOID* ppvOut, LPUNKNOWN punkOuter);

// ---------------------------------------------------------------------------
// Keyboard codes (index into the 256-byte keyboard state)

#define DIK_ESCAPE 0x01
#define DIK_1 0x02
#define DIK_2 0x03
#define DIK_3 0x04
#define DIK_4 0x05
#define DIK_5 0x06
#define DIK_6 0x07
#define DIK_7 0x08
#define DIK_8 0x09
#define DIK_9 0x0A
#define DIK_0 0x0B
#define DIK_MINUS 0x0C
#define DIK_EQUALS 0x0D
#define DIK_BACK 0x0E
#define DIK_TAB 0x0F
#define DIK_Q 0x10
#define DIK_W 0x11
#define DIK_E 0x12
#define DIK_R 0x13
#define DIK_T 0x14
#define DIK_Y 0x15
#define DIK_U 0x16
#define DIK_I 0x17
#define DIK_O 0x18
#define DIK_P 0x19
#define DIK_LBRACKET 0x1A
#define DIK_RBRACKET 0x1B
#define DIK_RETURN 0x1C
#define DIK_LCONTROL 0x1D
#define DIK_A 0x1E
#define DIK_S 0x1F
#define DIK_D 0x20
#define DIK_F 0x21
#define DIK_G 0x22
#define DIK_H 0x23
#define DIK_J 0x24
#define DIK_K 0x25
#define DIK_L 0x26
#define DIK_SEMICOLON 0x27
#define DIK_APOSTROPHE 0x28
#define DIK_GRAVE 0x29
#define DIK_LSHIFT 0x2A
#define DIK_BACKSLASH 0x2B
#define DIK_Z 0x2C
#define DIK_X 0x2D
#define DIK_C 0x2E
#define DIK_V 0x2F
#define DIK_B 0x30
#define DIK_N 0x31
#define DIK_M 0x32
#define DIK_COMMA 0x33
#define DIK_PERIOD 0x34
#define DIK_SLASH 0x35
#define DIK_RSHIFT 0x36
#define DIK_MULTIPLY 0x37
#define DIK_LMENU 0x38
#define DIK_SPACE 0x39
#define DIK_CAPITAL 0x3A
#define DIK_F1 0x3B
#define DIK_F2 0x3C
#define DIK_F3 0x3D
#define DIK_F4 0x3E
#define DIK_F5 0x3F
#define DIK_F6 0x40
#define DIK_F7 0x41
#define DIK_F8 0x42
#define DIK_F9 0x43
#define DIK_F10 0x44
#define DIK_NUMLOCK 0x45
#define DIK_SCROLL 0x46
#define DIK_NUMPAD7 0x47
#define DIK_NUMPAD8 0x48
#define DIK_NUMPAD9 0x49
#define DIK_SUBTRACT 0x4A
#define DIK_NUMPAD4 0x4B
#define DIK_NUMPAD5 0x4C
#define DIK_NUMPAD6 0x4D
#define DIK_ADD 0x4E
#define DIK_NUMPAD1 0x4F
#define DIK_NUMPAD2 0x50
#define DIK_NUMPAD3 0x51
#define DIK_NUMPAD0 0x52
#define DIK_DECIMAL 0x53
#define DIK_OEM_102 0x56
#define DIK_F11 0x57
#define DIK_F12 0x58
#define DIK_F13 0x64
#define DIK_F14 0x65
#define DIK_F15 0x66
#define DIK_KANA 0x70
#define DIK_ABNT_C1 0x73
#define DIK_CONVERT 0x79
#define DIK_NOCONVERT 0x7B
#define DIK_YEN 0x7D
#define DIK_ABNT_C2 0x7E
#define DIK_NUMPADEQUALS 0x8D
#define DIK_PREVTRACK 0x90
#define DIK_NEXTTRACK 0x99
#define DIK_NUMPADENTER 0x9C
#define DIK_RCONTROL 0x9D
#define DIK_MUTE 0xA0
#define DIK_CALCULATOR 0xA1
#define DIK_PLAYPAUSE 0xA2
#define DIK_MEDIASTOP 0xA4
#define DIK_VOLUMEDOWN 0xAE
#define DIK_VOLUMEUP 0xB0
#define DIK_WEBHOME 0xB2
#define DIK_NUMPADCOMMA 0xB3
#define DIK_DIVIDE 0xB5
#define DIK_SYSRQ 0xB7
#define DIK_RMENU 0xB8
#define DIK_PAUSE 0xC5
#define DIK_HOME 0xC7
#define DIK_UP 0xC8
#define DIK_PRIOR 0xC9
#define DIK_LEFT 0xCB
#define DIK_RIGHT 0xCD
#define DIK_END 0xCF
#define DIK_DOWN 0xD0
#define DIK_NEXT 0xD1
#define DIK_INSERT 0xD2
#define DIK_DELETE 0xD3
#define DIK_LWIN 0xDB
#define DIK_RWIN 0xDC
#define DIK_APPS 0xDD
#define DIK_POWER 0xDE
#define DIK_SLEEP 0xDF
#define DIK_WAKE 0xE3
#define DIK_WEBSEARCH 0xE5
#define DIK_WEBFAVORITES 0xE6
#define DIK_WEBREFRESH 0xE7
#define DIK_WEBSTOP 0xE8
#define DIK_WEBFORWARD 0xE9
#define DIK_WEBBACK 0xEA
#define DIK_MYCOMPUTER 0xEB
#define DIK_MAIL 0xEC
#define DIK_MEDIASELECT 0xED

#define DIK_BACKSPACE DIK_BACK
#define DIK_NUMPADSTAR DIK_MULTIPLY
#define DIK_LALT DIK_LMENU
#define DIK_CAPSLOCK DIK_CAPITAL
#define DIK_NUMPADMINUS DIK_SUBTRACT
#define DIK_NUMPADPLUS DIK_ADD
#define DIK_NUMPADPERIOD DIK_DECIMAL
#define DIK_NUMPADSLASH DIK_DIVIDE
#define DIK_RALT DIK_RMENU
#define DIK_UPARROW DIK_UP
#define DIK_PGUP DIK_PRIOR
#define DIK_LEFTARROW DIK_LEFT
#define DIK_RIGHTARROW DIK_RIGHT
#define DIK_DOWNARROW DIK_DOWN
#define DIK_PGDN DIK_NEXT
