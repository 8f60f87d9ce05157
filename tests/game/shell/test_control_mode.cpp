// How a race is driven: the keyboard, or the game controller when the
// settings switch it on and one is plugged in (also one plugged in after the
// game started).
#include <gtest/gtest.h>

#include <SDL.h>


#include "platform/win32.h"
#include "shell/drive.h"
#include "shell/program.h"
#include "virtual_pad.h"

namespace {

struct Pad : vrxtest::VirtualPad {
  Pad() : vrxtest::VirtualPad("Menu Pad") {}
};

class ControlMode : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER), 0) << SDL_GetError();
    if (SDL_NumJoysticks() > 0) GTEST_SKIP() << "a real game controller is attached";
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = DefWindowProcA;
    wc.lpszClassName = "ControlModeWnd";
    RegisterClassExA(&wc);
    gWindow = CreateWindowExA(0, "ControlModeWnd", "VRX", 8, 100, 100, 808, 606, GetDesktopWindow(), nullptr,
                              nullptr, nullptr);
    ASSERT_NE(gWindow, nullptr);
    // As the start-up does it: no controller there yet.
    ASSERT_EQ(gInput.Init(nullptr), 0);
    ASSERT_EQ(gInput.CreateJoy(gWindow), 0);
    saved = gScreenCfg.Reserved;
  }
  void TearDown() override {
    gScreenCfg.Reserved = saved;
    gInput.CleanUp();
    if (gWindow) DestroyWindow(gWindow);
    gWindow = nullptr;
    SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
  }
  uint32_t saved = 0;
};

TEST_F(ControlMode, TheControllerDrivesOnlyWhenSwitchedOnAndPluggedIn) {
  gScreenCfg.Reserved = kCfgController;
  EXPECT_EQ(DrivingControlMode(), 0);  // switched on, nothing plugged in

  Pad pad;
  ASSERT_NE(pad.handle, nullptr) << SDL_GetError();
  gScreenCfg.Reserved = 0;
  EXPECT_EQ(DrivingControlMode(), 0);  // plugged in, switched off
  gScreenCfg.Reserved = 1;             // another switch does not count
  EXPECT_EQ(DrivingControlMode(), 0);
  gScreenCfg.Reserved = kCfgController | 1;
  EXPECT_EQ(DrivingControlMode(), 1);  // plugged in after the start: picked up
  EXPECT_EQ(DrivingControlMode(), 1);

  testing::internal::CaptureStderr();
  pad.Unplug();
  EXPECT_EQ(DrivingControlMode(), 0);  // gone: the next race is the keyboard's
  testing::internal::GetCapturedStderr();
}

}  // namespace
