// The menu's machinery on a real screen: the window procedure, the reset
// after a lost device, the shadow target, and what the options page keeps
// and drops.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstring>
#include <string>

#include "mathkit/mathkit.h"
#include "platform/d3d9_testing.h"
#include "shell/main_loop.h"
#include "shell/menu.h"
#include "shell/program.h"
#include "shell/startup.h"
#include "test_support.h"

namespace {

HWND gTestWindow = nullptr;

HWND MakeWindow() {
  static bool registered = false;
  if (!registered) {
    WNDCLASSEXA wc;
    memset(&wc, 0, sizeof wc);
    wc.cbSize = sizeof wc;
    wc.style = CS_CLASSDC;
    wc.lpfnWndProc = WindowProc;
    wc.lpszClassName = "MainWnd";
    registered = RegisterClassExA(&wc) != 0;
  }
  HWND w = CreateWindowExA(0, "MainWnd", "VRX", 8, 100, 100, 808, 606, GetDesktopWindow(), nullptr, nullptr, nullptr);
  if (w) ShowWindow(w, SW_SHOWDEFAULT);
  return w;
}

void DrainMessages() {
  MSG m;
  while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
}

bool QuitWaiting() {
  MSG m;
  bool quit = false;
  while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) quit = quit || m.message == WM_QUIT;
  return quit;
}

class MenuState : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_EQ(chdir(VRX_BIN_DIR), 0);
    gTestWindow = MakeWindow();
    ASSERT_NE(gTestWindow, nullptr);
    gWindow = gTestWindow;
    ASSERT_EQ(gScreen.Init3D(gTestWindow, 800, 600, 7, TRUE), 1);
    strcpy(gLangText[34], "On");
    strcpy(gLangText[35], "Off");
    SetPlayerDefaultsForTest();
    CreateShadowTarget(256);
    RestoreViewState();
    CreateButtons();
  }
  static void TearDownTestSuite() {
    DeleteButtons();
    ReleaseShadowTarget();
    gScreen.CleanUp();
  }
  static void SetPlayerDefaultsForTest() {
    memset(&gPlayer, 0, sizeof gPlayer);
    strcpy(gPlayer.Name, "Player");
    const uint8_t keys[7] = {0xC8, 0xD0, 0xCB, 0xCD, 0x1E, 0x2C, 0x39};
    memcpy(gPlayer.KeyMap, keys, 7);
    gPlayer.Automatic = gPlayer.Damage = gPlayer.Reflections = gPlayer.WBuffer = 1;
  }
};

TEST_F(MenuState, WindowProcedureQuitsOnEscOnlyAndFollowsActivation) {
  DrainMessages();
  EXPECT_EQ(SendMessageA(gTestWindow, WM_KEYDOWN, 'A', 0), 0);
  EXPECT_FALSE(QuitWaiting());
  EXPECT_EQ(SendMessageA(gTestWindow, WM_KEYDOWN, VK_ESCAPE, 0), 0);
  EXPECT_TRUE(QuitWaiting());
  EXPECT_EQ(gWindowClosed, 0);

  SendMessageA(gTestWindow, WM_ACTIVATEAPP, 0, 0);
  EXPECT_EQ(gAppActive, 0);
  SendMessageA(gTestWindow, WM_ACTIVATEAPP, 1, 0);
  EXPECT_EQ(gAppActive, 1);
}

TEST_F(MenuState, ShadowTargetFollowsTheScreensFormats) {
  ASSERT_NE(gShadowTarget, nullptr);
  ASSERT_NE(gShadowDepth, nullptr);
  const D3DSURFACE_DESC d = gShadowTarget->GetTextureInfo();
  EXPECT_EQ(d.Width, 256u);
  EXPECT_EQ(d.Format, gScreen.IsRenderTargetFormatExisting(D3DFMT_A4R4G4B4) ? D3DFMT_A4R4G4B4 : D3DFMT_A8R8G8B8);
  D3DSURFACE_DESC depth;
  ASSERT_EQ(gShadowDepth->GetDesc(&depth), D3D_OK);
  EXPECT_EQ(depth.Width, 256u);
  EXPECT_EQ(depth.Format, gScreen.GetDepthFormat());
}

TEST_F(MenuState, ALostDeviceComesBackWithTheMenusViewAndASmallShadowTarget) {
  IDirect3DDevice9* device = gScreen.GetDevicePointer();
  D3DGAMMARAMP menuRamp;
  device->GetGammaRamp(0, &menuRamp);
  const D3DXMATRIX menuProjection = gScreen.GetTransformMtx();

  // Whatever a race left behind.
  gScreen.SetGamma(2.0f);
  D3DXVECTOR3 side(1, 0, 0);
  gScreen.AddDirectionalLight(&side, 0.2f);
  gScreen.SetTransformMatrix(1.0f, 0, 1.0f, 50.0f, FALSE);
  gScreen.SetCamera(D3DXVECTOR3(5, 5, 5), D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, 1, 0));
  D3DXMATRIX moved;
  TranslationV(&moved, 1, 2, 3);
  gScreen.SetWorldMatrix(&moved);

  vrxtesting::ForceDeviceLoss(device);
  gAppActive = 1;
  int passes = 0;
  while (!MenuLoopPass() && ++passes < 500) {
  }
  ASSERT_LT(passes, 500) << "the device never came back";
  EXPECT_EQ(device->TestCooperativeLevel(), D3D_OK);

  ASSERT_NE(gShadowTarget, nullptr);
  EXPECT_EQ(gShadowTarget->GetTextureInfo().Width, 128u);
  ASSERT_NE(gShadowDepth, nullptr);
  D3DSURFACE_DESC depth;
  gShadowDepth->GetDesc(&depth);
  EXPECT_EQ(depth.Width, 128u);

  D3DGAMMARAMP ramp;
  device->GetGammaRamp(0, &ramp);
  EXPECT_EQ(memcmp(&ramp, &menuRamp, sizeof ramp), 0);
  D3DLIGHT9 light;
  ASSERT_EQ(device->GetLight(0, &light), D3D_OK);
  EXPECT_NEAR(light.Direction.x, 0.0f, 1e-5f);
  EXPECT_LT(light.Direction.y, -0.1f);
  EXPECT_NEAR(light.Direction.y, -light.Direction.z, 1e-5f);
  const D3DXMATRIX projection = gScreen.GetTransformMtx();
  EXPECT_EQ(memcmp(&projection, &menuProjection, sizeof projection), 0);
  EXPECT_EQ(gScreen.GetCameraPos(), D3DXVECTOR3(0, 30, 0));
  EXPECT_EQ(gScreen.GetCameraTarget(), D3DXVECTOR3(1, 30, 1));
  D3DXMATRIX identity;
  MatrixIdentity(&identity);
  const D3DXMATRIX world = gScreen.GetWorldMtx();
  EXPECT_EQ(memcmp(&world, &identity, sizeof world), 0);
}

TEST_F(MenuState, InactiveWindowDrawsNothing) {
  DrainMessages();
  gAppActive = 0;
  EXPECT_EQ(MenuLoopPass(), 0);
  gAppActive = 1;
  EXPECT_EQ(MenuLoopPass(), 1);
}

TEST_F(MenuState, OptionsPageKeepsOnlyWhatIsAccepted) {
  SetPlayerDefaultsForTest();
  OpenOptionsPage();
  EXPECT_EQ(gMenuPage, 1);
  for (int i = 0; i < 7; ++i) EXPECT_EQ(gKeyButtons[i]->GetMappedKey(), gPlayer.KeyMap[i]);
  EXPECT_STREQ(gWBufferButton->Caption, "On");

  // A changed key and reflections switched off, then cancel: nothing changes.
  gKeyButtons[0]->SetMappedKey(0x11);  // W
  gPendingReflections = 0;
  CancelOptions();
  EXPECT_EQ(gMenuPage, 0);
  EXPECT_EQ(gPlayer.KeyMap[0], 0xC8);
  EXPECT_EQ(gPlayer.Reflections, 1);
  OpenOptionsPage();
  EXPECT_EQ(gKeyButtons[0]->GetMappedKey(), 0xC8);  // the next visit shows the saved key
  EXPECT_EQ(gPendingReflections, 1);

  // The same changes accepted.
  gKeyButtons[0]->SetMappedKey(0x11);
  gKeyButtons[6]->SetMappedKey(0x1D);
  gPendingReflections = 0;
  AcceptOptions();
  EXPECT_EQ(gPlayer.KeyMap[0], 0x11);
  EXPECT_EQ(gPlayer.KeyMap[6], 0x1D);
  EXPECT_EQ(gPlayer.KeyMap[1], 0xD0);
  EXPECT_EQ(gPlayer.Reflections, 0);
}

TEST_F(MenuState, WBufferIsAppliedOnAcceptAndRestoredFromTheScreenOnCancel) {
  SetPlayerDefaultsForTest();
  gScreen.UseW(TRUE);
  IDirect3DDevice9* device = gScreen.GetDevicePointer();

  // Twice and cancel: as it was.
  OpenOptionsPage();
  gPlayer.WBuffer = !gPlayer.WBuffer;
  gPlayer.WBuffer = !gPlayer.WBuffer;
  CancelOptions();
  EXPECT_EQ(gPlayer.WBuffer, 1);
  EXPECT_EQ(gScreen.IsW(), 1);

  // Once and cancel: the screen's value again.
  OpenOptionsPage();
  gPlayer.WBuffer = 0;
  CancelOptions();
  EXPECT_EQ(gPlayer.WBuffer, gScreen.IsW());

  // Off and accepted: the screen leaves w mode but keeps testing depth, and
  // a later cancel keeps the accepted value.
  OpenOptionsPage();
  gPlayer.WBuffer = 0;
  AcceptOptions();
  EXPECT_EQ(gScreen.IsW(), 0);
  DWORD z = 0;
  device->GetRenderState(D3DRS_ZENABLE, &z);
  EXPECT_EQ(z, (DWORD)D3DZB_TRUE);
  OpenOptionsPage();
  EXPECT_STREQ(gWBufferButton->Caption, "Off");
  CancelOptions();
  EXPECT_EQ(gPlayer.WBuffer, 0);
}

// Last: the window goes.
TEST_F(MenuState, ClosingTheWindowEndsEveryLoop) {
  DrainMessages();
  gWindowClosed = 0;
  DestroyWindow(gTestWindow);
  EXPECT_EQ(gWindowClosed, 1);
  EXPECT_TRUE(QuitWaiting());
  // The loops return at once now.
  RunNameScreen();
  RunMenu();
}

}  // namespace
