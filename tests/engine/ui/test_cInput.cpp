// cInput on the DirectInput stand-in: keys pressed on the platform's fake
// keyboard, game controllers as SDL virtual joysticks.
#include <gtest/gtest.h>

#include <SDL.h>

#include <cstring>
#include <string>

#include "cInput.h"
#include "platform/testing.h"
#include "platform/win32.h"
#include "virtual_pad.h"

namespace {

bool SameState(const DIJOYSTATE2& a, const DIJOYSTATE2& b) { return std::memcmp(&a, &b, sizeof(a)) == 0; }

bool AllZero(const void* data, size_t size) {
  const BYTE* p = static_cast<const BYTE*>(data);
  for (size_t i = 0; i < size; ++i)
    if (p[i]) return false;
  return true;
}

class InputTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = DefWindowProcA;
    wc.lpszClassName = "MainWnd";
    RegisterClassExA(&wc);
  }

  void SetUp() override {
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_JOYSTICK), 0) << SDL_GetError();
    realControllers = SDL_NumJoysticks() > 0;
    window = CreateWindowExA(0, "MainWnd", "VRX", 8, 100, 100, 808, 606, GetDesktopWindow(), nullptr, nullptr,
                             nullptr);
    ASSERT_NE(window, nullptr);
    vrxtesting::SetFakeInput(true);
  }

  void TearDown() override {
    vrxtesting::SetFakeInput(false);
    DestroyWindow(window);
    SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
  }

  HWND window = nullptr;
  bool realControllers = false;
};

// Eight axes and four buttons, as a plain pad has.
struct VirtualPad : vrxtest::VirtualPad {
  explicit VirtualPad(const char* name) : vrxtest::VirtualPad(name, 8, 4) {}
};

TEST_F(InputTest, WithoutDevicesTheControllerIsAtRestAndTheMouseStill) {
  cInput input;
  const DIJOYSTATE2 joy = input.GetJoyState();
  EXPECT_EQ(sizeof(joy), 272u);
  // Released pedals and a centred wheel, not the all-zero state that a
  // driving game would read as full throttle, full brake and full lock.
  EXPECT_TRUE(SameState(joy, cInput::RestingJoyState()));
  EXPECT_EQ(joy.lX, 32768);
  EXPECT_EQ(joy.lY, 32768);
  EXPECT_EQ(joy.rglSlider[0], 65535);
  EXPECT_EQ(joy.rgdwPOV[0], 0xFFFFFFFFu);
  EXPECT_TRUE(AllZero(joy.rgbButtons, sizeof(joy.rgbButtons)));
  EXPECT_EQ(input.JoyPresent(), 0);
  input.Rumble(1.0f, 100);  // nothing to rumble, nothing happens
  const DIMOUSESTATE mouse = input.GetMouseState();
  EXPECT_EQ(sizeof(mouse), 16u);
  EXPECT_TRUE(AllZero(&mouse, sizeof(mouse)));
  // Without Init nothing can be created, and nothing crashes either.
  EXPECT_EQ(input.CreateKeyboard(window), E_FAIL);
  EXPECT_EQ(input.GetKeyboardState(), E_FAIL);
  EXPECT_EQ(input.CreateJoy(window), 0);
  EXPECT_EQ(input.CreateMouse(window), E_FAIL);

  ASSERT_EQ(input.Init(nullptr), 0);
  if (!realControllers) {
    EXPECT_EQ(input.CreateJoy(window), 0);
    const DIJOYSTATE2 none = input.GetJoyState();
    EXPECT_TRUE(SameState(none, cInput::RestingJoyState()));
  }
  const DIMOUSESTATE noMouse = input.GetMouseState();
  EXPECT_TRUE(AllZero(&noMouse, sizeof(noMouse)));
  EXPECT_EQ(input.CleanUp(), 0);
}

TEST_F(InputTest, KeyTableHoldsTheDefaultDrivingKeysWhileHeld) {
  cInput input;
  ASSERT_EQ(input.Init(nullptr), 0);
  ASSERT_EQ(input.CreateKeyboard(window), 0);
  const struct {
    int scancode;
    BYTE code;
  } keys[] = {{SDL_SCANCODE_UP, 0xC8},    {SDL_SCANCODE_LEFT, 0xCB},  {SDL_SCANCODE_A, 0x1E},
              {SDL_SCANCODE_Z, 0x2C},     {SDL_SCANCODE_SPACE, 0x39}, {SDL_SCANCODE_RCTRL, 0x9D}};
  for (const auto& k : keys) vrxtesting::SetFakeScancode(k.scancode, true);
  ASSERT_EQ(input.GetKeyboardState(), 0);
  for (int code = 0; code < 256; ++code) {
    bool held = false;
    for (const auto& k : keys) held = held || k.code == code;
    EXPECT_EQ(input.Keys[code] & 0x80, held ? 0x80 : 0) << std::hex << code;
  }
  // Keys stay down from read to read while held, and go up one at a time.
  ASSERT_EQ(input.GetKeyboardState(), 0);
  EXPECT_EQ(input.Keys[0xC8], 0x80);
  vrxtesting::SetFakeScancode(SDL_SCANCODE_UP, false);
  ASSERT_EQ(input.GetKeyboardState(), 0);
  EXPECT_EQ(input.Keys[0xC8], 0);
  EXPECT_EQ(input.Keys[0x9D], 0x80);
  EXPECT_EQ(input.Keys[0x1D], 0);  // the left Ctrl is a key of its own
  EXPECT_EQ(input.Restore(), 0);
  ASSERT_EQ(input.GetKeyboardState(), 0);
  EXPECT_EQ(input.Keys[0x39], 0x80);
  EXPECT_EQ(input.CleanUp(), 0);
}

TEST_F(InputTest, TheRealKeyboardReadsWithNothingPressed) {
  vrxtesting::SetFakeInput(false);
  cInput input;
  ASSERT_EQ(input.Init(nullptr), 0);
  ASSERT_EQ(input.CreateKeyboard(window), 0);
  std::memset(input.Keys, 0xFF, sizeof(input.Keys));
  ASSERT_EQ(input.GetKeyboardState(), 0);
  EXPECT_TRUE(AllZero(input.Keys, sizeof(input.Keys)));
  input.CleanUp();
}

TEST_F(InputTest, AKeyboardThatCannotBeSetUpFailsAndKeepsTheTable) {
  cInput input;
  ASSERT_EQ(input.Init(nullptr), 0);
  // A foreground device needs a window.
  EXPECT_EQ(input.CreateKeyboard(nullptr), E_FAIL);
  input.Keys[5] = 0x80;
  EXPECT_EQ(input.GetKeyboardState(), E_FAIL);
  EXPECT_EQ(input.Keys[5], 0x80);
  input.CleanUp();
}

TEST_F(InputTest, CleanUpReleasesEverythingAndMayBeRepeated) {
  cInput input;
  ASSERT_EQ(input.Init(nullptr), 0);
  ASSERT_EQ(input.CreateKeyboard(window), 0);
  ASSERT_EQ(input.CreateMouse(window), 0);
  EXPECT_EQ(input.CleanUp(), 0);
  EXPECT_EQ(input.GetKeyboardState(), E_FAIL);
  const DIMOUSESTATE mouse = input.GetMouseState();
  EXPECT_TRUE(AllZero(&mouse, sizeof(mouse)));
  EXPECT_EQ(input.CleanUp(), 0);
}

TEST_F(InputTest, MouseMovesAndClicks) {
  cInput input;
  ASSERT_EQ(input.Init(nullptr), 0);
  vrxtesting::SetFakeCursorPos(400, 300);
  ASSERT_EQ(input.CreateMouse(window), 0);
  vrxtesting::SetFakeCursorPos(390, 320);
  vrxtesting::SetFakeKey(VK_LBUTTON, true);
  const DIMOUSESTATE m = input.GetMouseState();
  EXPECT_EQ(m.lX, -10);
  EXPECT_EQ(m.lY, 20);
  EXPECT_EQ(m.rgbButtons[0], 0x80);
  EXPECT_EQ(m.rgbButtons[1], 0);
  input.CleanUp();
}

TEST_F(InputTest, TheFirstControllerThatOpensIsUsed) {
  if (realControllers) GTEST_SKIP() << "a real game controller is attached";
  VirtualPad refused("Refused Pad");
  VirtualPad second("Second Pad");
  ASSERT_NE(refused.handle, nullptr) << SDL_GetError();
  ASSERT_NE(second.handle, nullptr) << SDL_GetError();
  SDL_JoystickSetVirtualAxis(refused.handle, 0, 32767);
  SDL_JoystickSetVirtualAxis(second.handle, 0, -32768);
  SDL_JoystickSetVirtualAxis(second.handle, 1, 0);
  SDL_JoystickSetVirtualButton(second.handle, 1, SDL_PRESSED);

  vrxtesting::SetUnopenableJoystick("Refused Pad");
  cInput input;
  ASSERT_EQ(input.Init(nullptr), 0);
  EXPECT_EQ(input.CreateJoy(window), 1);
  vrxtesting::SetUnopenableJoystick(nullptr);
  const DIJOYSTATE2 s = input.GetJoyState();
  EXPECT_EQ(s.lX, 0);  // the second pad's stick, hard left
  EXPECT_EQ(s.lY, 32768);
  EXPECT_EQ(s.rgbButtons[0], 0);
  EXPECT_NE(s.rgbButtons[1], 0);
  input.CleanUp();
}

TEST_F(InputTest, AnUntouchedPadIsAtRestAndItsTriggersArePedals) {
  if (realControllers) GTEST_SKIP() << "a real game controller is attached";
  VirtualPad pad("Rest Pad");
  ASSERT_NE(pad.handle, nullptr) << SDL_GetError();
  cInput input;
  ASSERT_EQ(input.Init(nullptr), 0);
  ASSERT_EQ(input.CreateJoy(window), 1);
  EXPECT_EQ(input.JoyPresent(), 1);
  EXPECT_TRUE(SameState(input.GetJoyState(), cInput::RestingJoyState()));

  SDL_JoystickSetVirtualAxis(pad.handle, 5, 32767);  // right trigger down
  SDL_JoystickSetVirtualAxis(pad.handle, 4, 32767);  // left trigger down
  DIJOYSTATE2 s = input.GetJoyState();
  EXPECT_EQ(s.lY, 0);
  EXPECT_EQ(s.rglSlider[0], 0);
  SDL_JoystickSetVirtualAxis(pad.handle, 5, -32768);
  SDL_JoystickSetVirtualAxis(pad.handle, 4, -32768);
  EXPECT_TRUE(SameState(input.GetJoyState(), cInput::RestingJoyState()));
  input.CleanUp();
}

TEST_F(InputTest, AControllerUnpluggedMidGameRestsIsReportedOnceAndComesBack) {
  if (realControllers) GTEST_SKIP() << "a real game controller is attached";
  VirtualPad pad("Loose Pad");
  ASSERT_NE(pad.handle, nullptr) << SDL_GetError();
  cInput input;
  ASSERT_EQ(input.Init(nullptr), 0);
  ASSERT_EQ(input.CreateJoy(window), 1);
  SDL_JoystickSetVirtualAxis(pad.handle, 5, 32767);
  SDL_JoystickSetVirtualButton(pad.handle, 0, SDL_PRESSED);
  EXPECT_EQ(input.GetJoyState().lY, 0);

  pad.Unplug();
  testing::internal::CaptureStderr();
  for (int frame = 0; frame < 30; ++frame) {
    const DIJOYSTATE2 s = input.GetJoyState();
    EXPECT_TRUE(SameState(s, cInput::RestingJoyState())) << frame;
  }
  EXPECT_EQ(input.JoyPresent(), 0);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "vrx: game controller \"Loose Pad\" was disconnected\n");

  // The same pad plugged back in is read again without a new CreateJoy.
  VirtualPad back("Loose Pad");
  ASSERT_NE(back.handle, nullptr) << SDL_GetError();
  SDL_JoystickSetVirtualAxis(back.handle, 5, 32767);
  testing::internal::CaptureStderr();
  EXPECT_EQ(input.GetJoyState().lY, 0);
  EXPECT_EQ(input.JoyPresent(), 1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "vrx: game controller \"Loose Pad\" is back\n");
  EXPECT_EQ(input.CleanUp(), 0);
}

TEST_F(InputTest, CreateJoyAgainPicksUpAPadPluggedInLaterAndRumbleReachesIt) {
  if (realControllers) GTEST_SKIP() << "a real game controller is attached";
  cInput input;
  ASSERT_EQ(input.Init(nullptr), 0);
  EXPECT_EQ(input.CreateJoy(window), 0);
  VirtualPad pad("Late Pad");
  ASSERT_NE(pad.handle, nullptr) << SDL_GetError();
  EXPECT_EQ(input.JoyPresent(), 0);
  EXPECT_EQ(input.CreateJoy(window), 1);
  EXPECT_EQ(input.CreateJoy(window), 1);  // again: the open one is let go first
  EXPECT_EQ(input.JoyPresent(), 1);

  input.Rumble(0.5f, 200);
  EXPECT_EQ(pad.rumbles, 1);
  EXPECT_NEAR(pad.lastLow, 32767, 1);
  EXPECT_LT(pad.lastHigh, pad.lastLow);  // the light motor only for hard knocks
  input.Rumble(3.0f, 200);
  EXPECT_EQ(pad.lastLow, 65535);
  EXPECT_EQ(pad.lastHigh, 65535);
  input.Rumble(-1.0f, 200);
  EXPECT_EQ(pad.lastLow, 0);
  input.CleanUp();
}

}  // namespace
