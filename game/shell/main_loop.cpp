#include "shell/main_loop.h"


#include <chrono>
#include <thread>

#include "mathkit/mathkit.h"
#include "shell/program.h"

void CreateShadowTarget(UINT edge) {
  const D3DFORMAT format = gScreen.IsRenderTargetFormatExisting(D3DFMT_A4R4G4B4) ? D3DFMT_A4R4G4B4 : D3DFMT_A8R8G8B8;
  gShadowTarget = new cTexture(edge, D3DUSAGE_RENDERTARGET, format, &gScreen);
  gShadowDepth = nullptr;
  if (IDirect3DDevice9* device = gScreen.GetDevicePointer())
    device->CreateDepthStencilSurface(edge, edge, gScreen.GetDepthFormat(), D3DMULTISAMPLE_NONE, 0, TRUE,
                                      &gShadowDepth, nullptr);
}

void ReleaseShadowTarget() {
  delete gShadowTarget;
  gShadowTarget = nullptr;
  if (gShadowDepth) gShadowDepth->Release();
  gShadowDepth = nullptr;
}

void SetMenuView() {
  gScreen.SetTransformMatrix(1.33f, 0.0f, 0.01f, 600.0f, FALSE);
  gScreen.SetCamera(D3DXVECTOR3(0, 30, 0), D3DXVECTOR3(1, 30, 1), D3DXVECTOR3(0, 1, 0));
  D3DXMATRIX world;
  MatrixIdentity(&world);
  gScreen.SetWorldMatrix(&world);
}

void RestoreViewState() {
  gScreen.SetGamma(1.1f);
  D3DXVECTOR3 light(0, -1, 1);
  gScreen.AddDirectionalLight(&light, 1.0f);
  SetMenuView();
}

int MenuResetSequence() {
  ReleaseShadowTarget();
  if (!gScreen.Restore()) return 0;
  CreateShadowTarget(128);
  RestoreViewState();
  return 1;
}

void IdleBriefly() { std::this_thread::sleep_for(std::chrono::milliseconds(10)); }

int MenuLoopPass() {
  if (PeekMessageA(&gMsg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&gMsg);
    DispatchMessageA(&gMsg);
    return 0;
  }
  IDirect3DDevice9* device = gScreen.GetDevicePointer();
  if (!device) {
    IdleBriefly();
    return 0;
  }
  const HRESULT state = device->TestCooperativeLevel();
  if (state == D3DERR_DEVICENOTRESET) {
    if (!MenuResetSequence()) IdleBriefly();
    return 0;
  }
  if (state == D3DERR_DEVICELOST) {
    if (ID3DXSprite* sprite = gScreen.GetSpritePointer()) sprite->OnLostDevice();
    IdleBriefly();
    return 0;
  }
  if (FAILED(state) || !gAppActive) {
    IdleBriefly();
    return 0;
  }
  return 1;
}
