// The DirectInput stand-in: object creation, enumeration, the keyboard and
// mouse on the fake input of the platform layer, and game controllers on
// SDL's virtual joysticks (no hardware needed).
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include <cstdlib>

#include "platform/dinput.h"
#include "platform/rumble.h"
#include "platform/testing.h"
#include "platform/win32.h"
#include "sdl/keys.h"
#include "test_support.h"
#include "virtual_pad.h"

namespace {

class DirectInputTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = DefWindowProcA;
    wc.lpszClassName = "InputTestWnd";
    RegisterClassExA(&wc);
  }

  void SetUp() override {
    window = CreateWindowExA(0, "InputTestWnd", "input", 0, 0, 0, 64, 48, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    void* object = nullptr;
    ASSERT_EQ(DirectInput8Create(nullptr, DIRECTINPUT_VERSION, IID_IDirectInput8A, &object, nullptr), DI_OK);
    di = static_cast<IDirectInput8A*>(object);
    vrxtesting::SetFakeInput(true);
  }

  void TearDown() override {
    vrxtesting::SetFakeInput(false);
    if (di) di->Release();
    DestroyWindow(window);
  }

  IDirectInputDevice8A* Open(const GUID& guid, const DIDATAFORMAT* format, DWORD level) {
    IDirectInputDevice8A* device = nullptr;
    EXPECT_EQ(di->CreateDevice(guid, &device, nullptr), DI_OK);
    if (!device) return nullptr;
    EXPECT_EQ(device->SetDataFormat(format), DI_OK);
    EXPECT_EQ(device->SetCooperativeLevel(window, level), DI_OK);
    EXPECT_EQ(device->Acquire(), DI_OK);
    return device;
  }

  HWND window = nullptr;
  IDirectInput8A* di = nullptr;
};

TEST(DirectInputCreate, RefusesOtherVersionsInterfacesAndAggregation) {
  void* object = reinterpret_cast<void*>(1);
  EXPECT_EQ(DirectInput8Create(nullptr, 0x0700, IID_IDirectInput8A, &object, nullptr), DIERR_OLDDIRECTINPUTVERSION);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(DirectInput8Create(nullptr, 0x0900, IID_IDirectInput8A, &object, nullptr), DIERR_BETADIRECTINPUTVERSION);
  EXPECT_EQ(DirectInput8Create(nullptr, DIRECTINPUT_VERSION, GUID_SysKeyboard, &object, nullptr), DIERR_NOINTERFACE);
  EXPECT_EQ(DirectInput8Create(nullptr, DIRECTINPUT_VERSION, IID_IDirectInput8A, &object,
                               reinterpret_cast<LPUNKNOWN>(&object)),
            DIERR_NOAGGREGATION);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(DirectInput8Create(nullptr, DIRECTINPUT_VERSION, IID_IDirectInput8A, nullptr, nullptr), E_POINTER);
}

TEST(DirectInputKeyCodes, EveryPhysicalKeyHasItsOwnCode) {
  // Keys a PC keyboard has twice (Enter, Ctrl, Alt, the keypad's arrows and
  // the arrow block) must still be told apart; only the two names of the
  // key beside Enter share a code.
  std::set<int> seen;
  for (int sc = 0; sc < SDL_NUM_SCANCODES; ++sc) {
    const KeyInfo* key = KeyInfoForScancode(static_cast<SDL_Scancode>(sc));
    if (!key || sc == SDL_SCANCODE_NONUSHASH) continue;
    const BYTE code = DirectInputCodeForScancode(static_cast<SDL_Scancode>(sc));
    EXPECT_NE(code, 0) << SDL_GetScancodeName(static_cast<SDL_Scancode>(sc));
    EXPECT_TRUE(seen.insert(code).second) << SDL_GetScancodeName(static_cast<SDL_Scancode>(sc)) << " " << int(code);
  }
  const struct {
    SDL_Scancode sc;
    BYTE code;
  } cases[] = {
      {SDL_SCANCODE_ESCAPE, DIK_ESCAPE},     {SDL_SCANCODE_RETURN, DIK_RETURN},  {SDL_SCANCODE_KP_ENTER, DIK_NUMPADENTER},
      {SDL_SCANCODE_LCTRL, DIK_LCONTROL},    {SDL_SCANCODE_RCTRL, DIK_RCONTROL}, {SDL_SCANCODE_LALT, DIK_LMENU},
      {SDL_SCANCODE_RALT, DIK_RMENU},        {SDL_SCANCODE_INSERT, DIK_INSERT},  {SDL_SCANCODE_DELETE, DIK_DELETE},
      {SDL_SCANCODE_HOME, DIK_HOME},         {SDL_SCANCODE_END, DIK_END},        {SDL_SCANCODE_PAGEUP, DIK_PRIOR},
      {SDL_SCANCODE_PAGEDOWN, DIK_NEXT},     {SDL_SCANCODE_UP, DIK_UP},          {SDL_SCANCODE_DOWN, DIK_DOWN},
      {SDL_SCANCODE_LEFT, DIK_LEFT},         {SDL_SCANCODE_RIGHT, DIK_RIGHT},    {SDL_SCANCODE_KP_8, DIK_NUMPAD8},
      {SDL_SCANCODE_KP_0, DIK_NUMPAD0},      {SDL_SCANCODE_KP_PERIOD, DIK_DECIMAL}, {SDL_SCANCODE_KP_DIVIDE, DIK_DIVIDE},
      {SDL_SCANCODE_KP_MULTIPLY, DIK_MULTIPLY}, {SDL_SCANCODE_PRINTSCREEN, DIK_SYSRQ}, {SDL_SCANCODE_PAUSE, DIK_PAUSE},
      {SDL_SCANCODE_NUMLOCKCLEAR, DIK_NUMLOCK}, {SDL_SCANCODE_LGUI, DIK_LWIN},  {SDL_SCANCODE_APPLICATION, DIK_APPS},
      {SDL_SCANCODE_F11, DIK_F11},           {SDL_SCANCODE_F15, DIK_F15},        {SDL_SCANCODE_KP_EQUALS, DIK_NUMPADEQUALS},
      {SDL_SCANCODE_AUDIOMUTE, DIK_MUTE},    {SDL_SCANCODE_NONUSBACKSLASH, DIK_OEM_102},
  };
  for (const auto& c : cases) EXPECT_EQ(DirectInputCodeForScancode(c.sc), c.code) << SDL_GetScancodeName(c.sc);
}

TEST_F(DirectInputTest, KeyboardReportsHeldKeysByDirectInputCode) {
  IDirectInputDevice8A* keyboard = nullptr;
  ASSERT_EQ(di->CreateDevice(GUID_SysKeyboard, &keyboard, nullptr), DI_OK);
  BYTE keys[256];
  EXPECT_EQ(keyboard->Acquire(), DIERR_INVALIDPARAM);  // no data format yet
  EXPECT_EQ(keyboard->SetDataFormat(&c_dfDIJoystick2), DIERR_INVALIDPARAM);
  ASSERT_EQ(keyboard->SetDataFormat(&c_dfDIKeyboard), DI_OK);
  EXPECT_EQ(keyboard->GetDeviceState(sizeof(keys), keys), DIERR_NOTACQUIRED);
  ASSERT_EQ(keyboard->SetCooperativeLevel(window, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND), DI_OK);
  ASSERT_EQ(keyboard->Acquire(), DI_OK);
  EXPECT_EQ(keyboard->Acquire(), DI_NOEFFECT);
  EXPECT_EQ(keyboard->SetDataFormat(&c_dfDIKeyboard), DIERR_ACQUIRED);
  EXPECT_EQ(keyboard->GetDeviceState(255, keys), DIERR_INVALIDPARAM);
  EXPECT_EQ(keyboard->Poll(), DI_NOEFFECT);  // not a polled device

  const int held[] = {SDL_SCANCODE_KP_8, SDL_SCANCODE_RCTRL, SDL_SCANCODE_LSHIFT};
  for (int sc : held) vrxtesting::SetFakeScancode(sc, true);
  ASSERT_EQ(keyboard->GetDeviceState(sizeof(keys), keys), DI_OK);
  for (int code = 0; code < 256; ++code) {
    const bool down = code == DIK_NUMPAD8 || code == DIK_RCONTROL || code == DIK_LSHIFT;
    EXPECT_EQ(keys[code], down ? 0x80 : 0) << std::hex << code;
  }
  // The same physical keys reach the virtual-key state: the keypad by Num
  // Lock, the right Ctrl both as itself and as Ctrl.
  BYTE vk[256];
  ASSERT_TRUE(GetKeyboardState(vk));
  EXPECT_EQ(vk[VK_UP], 0x80);
  EXPECT_EQ(vk[VK_NUMPAD8], 0);
  EXPECT_EQ(vk[VK_RCONTROL], 0x80);
  EXPECT_EQ(vk[VK_CONTROL], 0x80);
  EXPECT_EQ(vk[VK_LCONTROL], 0);
  EXPECT_EQ(vk[VK_SHIFT], 0x80);
  vrxtesting::SetFakeToggle(VK_NUMLOCK, true);
  ASSERT_TRUE(GetKeyboardState(vk));
  EXPECT_EQ(vk[VK_NUMPAD8], 0x80);
  EXPECT_EQ(vk[VK_UP], 0);
  ASSERT_EQ(keyboard->GetDeviceState(sizeof(keys), keys), DI_OK);
  EXPECT_EQ(keys[DIK_NUMPAD8], 0x80);  // DirectInput sees the key, not its meaning

  for (int sc : held) vrxtesting::SetFakeScancode(sc, false);
  ASSERT_EQ(keyboard->GetDeviceState(sizeof(keys), keys), DI_OK);
  for (int code = 0; code < 256; ++code) EXPECT_EQ(keys[code], 0) << std::hex << code;

  EXPECT_EQ(keyboard->Unacquire(), DI_OK);
  EXPECT_EQ(keyboard->Unacquire(), DI_NOEFFECT);
  EXPECT_EQ(keyboard->GetDeviceState(sizeof(keys), keys), DIERR_NOTACQUIRED);
  EXPECT_EQ(keyboard->Poll(), DIERR_NOTACQUIRED);
  EXPECT_EQ(keyboard->Release(), 0u);
}

TEST_F(DirectInputTest, CooperativeLevelsMustMakeSenseAndNameALiveWindow) {
  IDirectInputDevice8A* keyboard = nullptr;
  ASSERT_EQ(di->CreateDevice(GUID_SysKeyboard, &keyboard, nullptr), DI_OK);
  EXPECT_EQ(keyboard->SetCooperativeLevel(window, DISCL_NONEXCLUSIVE), DIERR_INVALIDPARAM);
  EXPECT_EQ(keyboard->SetCooperativeLevel(window, DISCL_EXCLUSIVE | DISCL_NONEXCLUSIVE | DISCL_FOREGROUND),
            DIERR_INVALIDPARAM);
  EXPECT_EQ(keyboard->SetCooperativeLevel(window, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND | DISCL_BACKGROUND),
            DIERR_INVALIDPARAM);
  EXPECT_EQ(keyboard->SetCooperativeLevel(window, DISCL_EXCLUSIVE | DISCL_BACKGROUND), DIERR_UNSUPPORTED);
  EXPECT_EQ(keyboard->SetCooperativeLevel(nullptr, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND), E_HANDLE);
  EXPECT_EQ(keyboard->SetCooperativeLevel(nullptr, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND), DI_OK);
  HWND gone = CreateWindowExA(0, "InputTestWnd", "gone", 0, 0, 0, 8, 8, nullptr, nullptr, nullptr, nullptr);
  DestroyWindow(gone);
  EXPECT_EQ(keyboard->SetCooperativeLevel(gone, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND), E_HANDLE);
  keyboard->Release();

  IDirectInputDevice8A* nothing = reinterpret_cast<IDirectInputDevice8A*>(1);
  EXPECT_EQ(di->CreateDevice(IID_IDirectInput8A, &nothing, nullptr), DIERR_DEVICENOTREG);
  EXPECT_EQ(nothing, nullptr);
}

TEST_F(DirectInputTest, MouseGivesMotionSinceTheLastReadAndItsButtons) {
  vrxtesting::SetFakeCursorPos(100, 100);
  IDirectInputDevice8A* mouse = Open(GUID_SysMouse, &c_dfDIMouse, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND);
  ASSERT_NE(mouse, nullptr);
  DIMOUSESTATE state;
  ASSERT_EQ(mouse->GetDeviceState(sizeof(state), &state), DI_OK);
  EXPECT_EQ(state.lX, 0);
  EXPECT_EQ(state.lY, 0);
  vrxtesting::SetFakeCursorPos(112, 95);
  vrxtesting::SetFakeKey(VK_RBUTTON, true);
  ASSERT_EQ(mouse->GetDeviceState(sizeof(state), &state), DI_OK);
  EXPECT_EQ(state.lX, 12);
  EXPECT_EQ(state.lY, -5);
  EXPECT_EQ(state.lZ, 0);
  EXPECT_EQ(state.rgbButtons[0], 0);
  EXPECT_EQ(state.rgbButtons[1], 0x80);
  ASSERT_EQ(mouse->GetDeviceState(sizeof(state), &state), DI_OK);
  EXPECT_EQ(state.lX, 0);
  EXPECT_EQ(state.lY, 0);
  EXPECT_EQ(mouse->GetDeviceState(sizeof(DIJOYSTATE2), &state), DIERR_INVALIDPARAM);
  mouse->Release();
}

TEST_F(DirectInputTest, EnumerationFiltersByClassAndStopsWhenAsked) {
  struct Seen {
    std::vector<std::string> names;
    int stopAfter;
  };
  auto collect = [](LPCDIDEVICEINSTANCEA d, LPVOID ref) -> BOOL {
    Seen* seen = static_cast<Seen*>(ref);
    EXPECT_EQ(d->dwSize, sizeof(DIDEVICEINSTANCEA));
    seen->names.push_back(d->tszInstanceName);
    return static_cast<int>(seen->names.size()) >= seen->stopAfter ? DIENUM_STOP : DIENUM_CONTINUE;
  };
  Seen keyboards{{}, 100};
  ASSERT_EQ(di->EnumDevices(DI8DEVCLASS_KEYBOARD, collect, &keyboards, DIEDFL_ATTACHEDONLY), DI_OK);
  EXPECT_EQ(keyboards.names, std::vector<std::string>{"Keyboard"});
  Seen all{{}, 100};
  ASSERT_EQ(di->EnumDevices(DI8DEVCLASS_ALL, collect, &all, DIEDFL_ALLDEVICES), DI_OK);
  ASSERT_GE(all.names.size(), 2u);
  EXPECT_EQ(all.names[1], "Mouse");
  Seen first{{}, 1};
  ASSERT_EQ(di->EnumDevices(DI8DEVCLASS_ALL, collect, &first, 0), DI_OK);
  EXPECT_EQ(first.names.size(), 1u);
  EXPECT_EQ(di->EnumDevices(99, collect, &all, 0), DIERR_INVALIDPARAM);
  EXPECT_EQ(di->EnumDevices(DI8DEVCLASS_ALL, nullptr, nullptr, 0), DIERR_INVALIDPARAM);
}

TEST_F(DirectInputTest, DevicesKeepTheirDirectInputObjectAlive) {
  IDirectInputDevice8A* keyboard = Open(GUID_SysKeyboard, &c_dfDIKeyboard, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND);
  ASSERT_NE(keyboard, nullptr);
  EXPECT_EQ(di->Release(), 1u);  // the keyboard's reference
  di = nullptr;
  vrxtesting::SetFakeScancode(SDL_SCANCODE_A, true);
  BYTE keys[256];
  ASSERT_EQ(keyboard->GetDeviceState(sizeof(keys), keys), DI_OK);
  EXPECT_EQ(keys[DIK_A], 0x80);
  EXPECT_EQ(keyboard->Release(), 0u);
}

// ---------------------------------------------------------------------------
// Game controllers

// A virtual controller of this process; the test holds it open to move it.
// A wheel has no mapping of its own; a virtual game controller gets one
// from SDL.
using vrxtest::VirtualPad;

class ControllerTest : public DirectInputTest {
 protected:
  void SetUp() override {
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_JOYSTICK), 0) << SDL_GetError();
    if (SDL_NumJoysticks() > 0) GTEST_SKIP() << "a real game controller is attached";
    DirectInputTest::SetUp();
  }
  void TearDown() override {
    DirectInputTest::TearDown();
    SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
  }

  std::vector<DIDEVICEINSTANCEA> Controllers() {
    std::vector<DIDEVICEINSTANCEA> list;
    auto add = [](LPCDIDEVICEINSTANCEA d, LPVOID ref) -> BOOL {
      static_cast<std::vector<DIDEVICEINSTANCEA>*>(ref)->push_back(*d);
      return DIENUM_CONTINUE;
    };
    EXPECT_EQ(di->EnumDevices(DI8DEVCLASS_GAMECTRL, add, &list, DIEDFL_ATTACHEDONLY), DI_OK);
    return list;
  }
};

TEST_F(ControllerTest, AxesHatsAndButtonsAsAJoystickState) {
  VirtualPad pad("Test Wheel", 8, 12, 1, SDL_JOYSTICK_TYPE_WHEEL);
  ASSERT_NE(pad.handle, nullptr) << SDL_GetError();
  const std::vector<DIDEVICEINSTANCEA> list = Controllers();
  ASSERT_EQ(list.size(), 1u);
  EXPECT_STREQ(list[0].tszProductName, "Test Wheel");
  EXPECT_EQ(GET_DIDEVICE_TYPE(list[0].dwDevType), DI8DEVTYPE_DRIVING);

  IDirectInputDevice8A* joy = Open(list[0].guidInstance, &c_dfDIJoystick2, DISCL_EXCLUSIVE | DISCL_FOREGROUND);
  ASSERT_NE(joy, nullptr);
  DIDEVCAPS caps{};
  EXPECT_EQ(joy->GetCapabilities(&caps), DIERR_INVALIDPARAM);  // size not set
  caps.dwSize = sizeof(caps);
  ASSERT_EQ(joy->GetCapabilities(&caps), DI_OK);
  EXPECT_EQ(caps.dwAxes, 8u);
  EXPECT_EQ(caps.dwButtons, 12u);
  EXPECT_EQ(caps.dwPOVs, 1u);
  EXPECT_EQ(caps.dwFlags & (DIDC_ATTACHED | DIDC_POLLEDDEVICE), DWORD(DIDC_ATTACHED | DIDC_POLLEDDEVICE));

  const Sint16 axes[8] = {-32768, 0, 32767, -16384, 100, -1, 16384, -32768};
  for (int i = 0; i < 8; ++i) SDL_JoystickSetVirtualAxis(pad.handle, i, axes[i]);
  SDL_JoystickSetVirtualButton(pad.handle, 0, SDL_PRESSED);
  SDL_JoystickSetVirtualButton(pad.handle, 11, SDL_PRESSED);
  SDL_JoystickSetVirtualHat(pad.handle, 0, SDL_HAT_RIGHTUP);

  DIJOYSTATE2 s;
  ASSERT_EQ(joy->GetDeviceState(sizeof(s), &s), DI_OK);
  EXPECT_EQ(s.lX, 32768);  // a polled device: nothing moves before Poll
  EXPECT_EQ(s.rgbButtons[0], 0);

  ASSERT_EQ(joy->Poll(), DI_OK);
  ASSERT_EQ(joy->GetDeviceState(sizeof(s), &s), DI_OK);
  EXPECT_EQ(s.lX, 0);
  EXPECT_EQ(s.lY, 32768);
  EXPECT_EQ(s.lZ, 65535);
  EXPECT_EQ(s.lRx, 16384);
  EXPECT_EQ(s.lRy, 32868);
  EXPECT_EQ(s.lRz, 32767);
  EXPECT_EQ(s.rglSlider[0], 49152);
  EXPECT_EQ(s.rglSlider[1], 0);
  EXPECT_EQ(s.rgdwPOV[0], 4500u);
  EXPECT_EQ(s.rgdwPOV[1], 0xFFFFFFFFu);
  EXPECT_EQ(s.rgdwPOV[3], 0xFFFFFFFFu);
  for (int i = 0; i < 128; ++i) EXPECT_EQ(s.rgbButtons[i], (i == 0 || i == 11) ? 0x80 : 0) << i;
  EXPECT_EQ(s.lVX, 0);
  EXPECT_EQ(s.rglFSlider[1], 0);

  SDL_JoystickSetVirtualHat(pad.handle, 0, SDL_HAT_CENTERED);
  SDL_JoystickSetVirtualButton(pad.handle, 0, SDL_RELEASED);
  ASSERT_EQ(joy->Poll(), DI_OK);
  ASSERT_EQ(joy->GetDeviceState(sizeof(s), &s), DI_OK);
  EXPECT_EQ(s.rgdwPOV[0], 0xFFFFFFFFu);
  EXPECT_EQ(s.rgbButtons[0], 0);
  joy->Release();
}

TEST_F(ControllerTest, FewerAxesLeaveTheRestZero) {
  VirtualPad pad("Two Axes", 2, 1, 0, SDL_JOYSTICK_TYPE_WHEEL);
  ASSERT_NE(pad.handle, nullptr) << SDL_GetError();
  const std::vector<DIDEVICEINSTANCEA> list = Controllers();
  ASSERT_EQ(list.size(), 1u);
  IDirectInputDevice8A* joy = Open(list[0].guidInstance, &c_dfDIJoystick2, DISCL_EXCLUSIVE | DISCL_FOREGROUND);
  ASSERT_NE(joy, nullptr);
  ASSERT_EQ(joy->Poll(), DI_OK);
  DIJOYSTATE2 s;
  ASSERT_EQ(joy->GetDeviceState(sizeof(s), &s), DI_OK);
  EXPECT_EQ(s.lX, 32768);
  EXPECT_EQ(s.lY, 32768);
  EXPECT_EQ(s.lZ, 0);
  EXPECT_EQ(s.rglSlider[0], 0);
  EXPECT_EQ(s.rgdwPOV[0], 0xFFFFFFFFu);
  joy->Release();
}

TEST_F(ControllerTest, AnUnpluggedControllerFailsWithoutBlockingAndSaysSoOnce) {
  VirtualPad pad("Loose Pad", 2, 2, 0, SDL_JOYSTICK_TYPE_WHEEL);
  ASSERT_NE(pad.handle, nullptr) << SDL_GetError();
  const std::vector<DIDEVICEINSTANCEA> list = Controllers();
  ASSERT_EQ(list.size(), 1u);
  IDirectInputDevice8A* joy = Open(list[0].guidInstance, &c_dfDIJoystick2, DISCL_EXCLUSIVE | DISCL_FOREGROUND);
  ASSERT_NE(joy, nullptr);
  ASSERT_EQ(joy->Poll(), DI_OK);

  pad.Unplug();
  testing::internal::CaptureStderr();
  EXPECT_EQ(joy->Poll(), DIERR_INPUTLOST);
  EXPECT_EQ(joy->Acquire(), DIERR_UNPLUGGED);
  DIJOYSTATE2 s;
  std::memset(&s, 0x5A, sizeof(s));
  EXPECT_EQ(joy->GetDeviceState(sizeof(s), &s), DIERR_NOTACQUIRED);
  EXPECT_EQ(s.lX, 0x5A5A5A5A);  // a failed read writes nothing
  for (int frame = 0; frame < 10; ++frame) {
    EXPECT_EQ(joy->Poll(), DIERR_NOTACQUIRED);
    EXPECT_EQ(joy->Acquire(), DIERR_UNPLUGGED);
  }
  DIDEVCAPS caps{};
  caps.dwSize = sizeof(caps);
  ASSERT_EQ(joy->GetCapabilities(&caps), DI_OK);
  EXPECT_EQ(caps.dwFlags & DIDC_ATTACHED, 0u);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(err, "vrx: game controller \"Loose Pad\" was disconnected\n");
  EXPECT_TRUE(Controllers().empty());
  EXPECT_EQ(joy->Release(), 0u);
}

TEST_F(ControllerTest, AControllerGoneOrRefusedBeforeOpeningIsNotCreated) {
  VirtualPad pad("Refused Pad", 2, 2, 0, SDL_JOYSTICK_TYPE_WHEEL);
  ASSERT_NE(pad.handle, nullptr) << SDL_GetError();
  const std::vector<DIDEVICEINSTANCEA> list = Controllers();
  ASSERT_EQ(list.size(), 1u);
  IDirectInputDevice8A* joy = reinterpret_cast<IDirectInputDevice8A*>(1);
  vrxtesting::SetUnopenableJoystick("Refused Pad");
  EXPECT_EQ(di->CreateDevice(list[0].guidInstance, &joy, nullptr), DIERR_DEVICENOTREG);
  EXPECT_EQ(joy, nullptr);
  vrxtesting::SetUnopenableJoystick(nullptr);
  pad.Unplug();
  EXPECT_EQ(di->CreateDevice(list[0].guidInstance, &joy, nullptr), DIERR_DEVICENOTREG);
  EXPECT_EQ(joy, nullptr);
}

DIJOYSTATE2 Read(IDirectInputDevice8A* joy) {
  DIJOYSTATE2 s;
  std::memset(&s, 0x5A, sizeof(s));
  EXPECT_EQ(joy->Poll(), DI_OK);
  EXPECT_EQ(joy->GetDeviceState(sizeof(s), &s), DI_OK);
  return s;
}

TEST_F(ControllerTest, AMappedPadReadsAsADrivingDeviceAtRestUntilTouched) {
  VirtualPad pad("Driving Pad", 6, 15, 0, SDL_JOYSTICK_TYPE_GAMECONTROLLER);
  ASSERT_NE(pad.handle, nullptr) << SDL_GetError();
  const std::vector<DIDEVICEINSTANCEA> list = Controllers();
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(GET_DIDEVICE_TYPE(list[0].dwDevType), DI8DEVTYPE_GAMEPAD);
  IDirectInputDevice8A* joy = Open(list[0].guidInstance, &c_dfDIJoystick2, DISCL_EXCLUSIVE | DISCL_FOREGROUND);
  ASSERT_NE(joy, nullptr);
  DIDEVCAPS caps{};
  caps.dwSize = sizeof(caps);
  ASSERT_EQ(joy->GetCapabilities(&caps), DI_OK);
  EXPECT_EQ(caps.dwPOVs, 1u);
  EXPECT_GE(caps.dwButtons, 15u);

  // Sticks centred, triggers released.
  for (int axis = 0; axis < 4; ++axis) SDL_JoystickSetVirtualAxis(pad.handle, axis, 0);
  SDL_JoystickSetVirtualAxis(pad.handle, 4, -32768);
  SDL_JoystickSetVirtualAxis(pad.handle, 5, -32768);
  DIJOYSTATE2 s = Read(joy);
  EXPECT_EQ(s.lX, 32768);
  EXPECT_EQ(s.lY, 32768);  // accelerator up
  EXPECT_EQ(s.lZ, 32768);
  EXPECT_EQ(s.lRx, 32768);
  EXPECT_EQ(s.lRy, 32768);
  EXPECT_EQ(s.rglSlider[0], 65535);  // brake up
  EXPECT_EQ(s.rgdwPOV[0], 0xFFFFFFFFu);
  for (int i = 0; i < 128; ++i) EXPECT_EQ(s.rgbButtons[i], 0) << i;
  EXPECT_EQ(s.lVX, 0);

  // A stick that does not quite come back to the centre still reads centred;
  // the ends are the ends.
  SDL_JoystickSetVirtualAxis(pad.handle, 0, 1500);
  EXPECT_EQ(Read(joy).lX, 32768);
  SDL_JoystickSetVirtualAxis(pad.handle, 0, -32768);
  EXPECT_EQ(Read(joy).lX, 0);
  SDL_JoystickSetVirtualAxis(pad.handle, 0, 32767);
  EXPECT_GE(Read(joy).lX, 65530);
  SDL_JoystickSetVirtualAxis(pad.handle, 0, 16384);
  s = Read(joy);
  EXPECT_GT(s.lX, 32768 + 12000);
  EXPECT_LT(s.lX, 32768 + 16384);

  // Triggers are pedals: halfway and all the way down.
  SDL_JoystickSetVirtualAxis(pad.handle, 5, 0);
  EXPECT_NEAR(Read(joy).lY, 16384, 2);
  SDL_JoystickSetVirtualAxis(pad.handle, 5, 32767);
  SDL_JoystickSetVirtualAxis(pad.handle, 4, 32767);
  s = Read(joy);
  EXPECT_EQ(s.lY, 0);
  EXPECT_EQ(s.rglSlider[0], 0);

  // South and east are buttons 0 and 1; the d-pad is the POV.
  SDL_JoystickSetVirtualButton(pad.handle, 0, SDL_PRESSED);
  SDL_JoystickSetVirtualButton(pad.handle, 1, SDL_PRESSED);
  SDL_JoystickSetVirtualButton(pad.handle, 11, SDL_PRESSED);  // d-pad up
  SDL_JoystickSetVirtualButton(pad.handle, 14, SDL_PRESSED);  // d-pad right
  s = Read(joy);
  EXPECT_EQ(s.rgbButtons[0], 0x80);
  EXPECT_EQ(s.rgbButtons[1], 0x80);
  EXPECT_EQ(s.rgbButtons[2], 0);
  EXPECT_EQ(s.rgdwPOV[0], 4500u);
  joy->Release();
}

TEST_F(ControllerTest, RumbleRunsThePadsMotorsWhilePluggedIn) {
  VirtualPad pad("Rumble Pad", 6, 15, 0, SDL_JOYSTICK_TYPE_GAMECONTROLLER);
  ASSERT_NE(pad.handle, nullptr) << SDL_GetError();
  const std::vector<DIDEVICEINSTANCEA> list = Controllers();
  ASSERT_EQ(list.size(), 1u);
  IDirectInputDevice8A* joy = Open(list[0].guidInstance, &c_dfDIJoystick2, DISCL_EXCLUSIVE | DISCL_FOREGROUND);
  ASSERT_NE(joy, nullptr);
  EXPECT_TRUE(vrx::RumbleJoystick(joy, 0.25f, 100));
  EXPECT_EQ(pad.rumbles, 1);
  EXPECT_NEAR(pad.lastLow, 16384, 1);
  EXPECT_LT(pad.lastHigh, pad.lastLow);
  EXPECT_TRUE(vrx::RumbleJoystick(joy, 1.0f, 100));
  EXPECT_EQ(pad.lastLow, 65535);
  EXPECT_EQ(pad.lastHigh, 65535);

  IDirectInputDevice8A* keyboard = Open(GUID_SysKeyboard, &c_dfDIKeyboard, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND);
  ASSERT_NE(keyboard, nullptr);
  EXPECT_FALSE(vrx::RumbleJoystick(keyboard, 1.0f, 100));
  EXPECT_FALSE(vrx::RumbleJoystick(nullptr, 1.0f, 100));
  keyboard->Release();

  pad.Unplug();
  testing::internal::CaptureStderr();
  const int before = pad.rumbles;
  EXPECT_FALSE(vrx::RumbleJoystick(joy, 1.0f, 100));
  EXPECT_EQ(pad.rumbles, before);
  testing::internal::GetCapturedStderr();
  joy->Release();
}

// A mapping file beside the program makes a wheel SDL does not know a
// driving device; the player's own file, read after it, wins.
TEST_F(ControllerTest, MappingFilesBesideTheProgramAndInTheSettingsFolderAreRead) {
  VirtualPad wheel("Mapped Wheel", 3, 2, 0, SDL_JOYSTICK_TYPE_WHEEL);
  ASSERT_NE(wheel.handle, nullptr) << SDL_GetError();
  char guid[64];
  SDL_JoystickGetGUIDString(SDL_JoystickGetGUID(wheel.handle), guid, sizeof(guid));
  for (int i = 4; i < 8; ++i) guid[i] = '0';  // database lines carry no name checksum
  const std::string dir = vrxtest::MakeTempDir("dinput_mappings");
  const std::string program = dir + "/program", config = dir + "/config";
  ASSERT_TRUE(vrxtest::WriteTextFile(program + "/gamecontrollerdb.txt",
                                     std::string(guid) + ",Mapped Wheel,leftx:a0,righttrigger:a1,lefttrigger:a2,a:b0,b:b1,platform:Linux,\n"));
  vrxtesting::SetProgramDir(program.c_str());
  const char* oldConfig = std::getenv("XDG_CONFIG_HOME");
  const std::string keepConfig = oldConfig ? oldConfig : "";
  setenv("XDG_CONFIG_HOME", config.c_str(), 1);

  auto readWheel = [&]() {
    di->Release();
    void* object = nullptr;
    EXPECT_EQ(DirectInput8Create(nullptr, DIRECTINPUT_VERSION, IID_IDirectInput8A, &object, nullptr), DI_OK);
    di = static_cast<IDirectInput8A*>(object);
    const std::vector<DIDEVICEINSTANCEA> list = Controllers();
    EXPECT_EQ(list.size(), 1u);
    DIJOYSTATE2 s{};
    if (list.empty()) return s;
    IDirectInputDevice8A* joy = Open(list[0].guidInstance, &c_dfDIJoystick2, DISCL_EXCLUSIVE | DISCL_FOREGROUND);
    if (!joy) return s;
    s = Read(joy);
    joy->Release();
    return s;
  };

  SDL_JoystickSetVirtualAxis(wheel.handle, 0, -32768);
  SDL_JoystickSetVirtualAxis(wheel.handle, 1, -32768);  // pedals up
  SDL_JoystickSetVirtualAxis(wheel.handle, 2, 32767);   // brake down
  SDL_JoystickSetVirtualButton(wheel.handle, 0, SDL_PRESSED);
  DIJOYSTATE2 s = readWheel();
  EXPECT_EQ(s.lX, 0);
  EXPECT_EQ(s.lY, 32768);
  EXPECT_EQ(s.rglSlider[0], 0);
  EXPECT_EQ(s.rgbButtons[0], 0x80);
  EXPECT_EQ(s.rgbButtons[1], 0);

  ASSERT_TRUE(vrxtest::WriteTextFile(config + "/vrx/gamecontrollerdb.txt",
                                     std::string(guid) + ",Mapped Wheel,leftx:a0,righttrigger:a1,lefttrigger:a2,a:b1,b:b0,platform:Linux,\n"));
  s = readWheel();
  EXPECT_EQ(s.rgbButtons[0], 0);
  EXPECT_EQ(s.rgbButtons[1], 0x80);

  vrxtesting::SetProgramDir(nullptr);
  if (oldConfig) setenv("XDG_CONFIG_HOME", keepConfig.c_str(), 1);
  else unsetenv("XDG_CONFIG_HOME");
}

}  // namespace
