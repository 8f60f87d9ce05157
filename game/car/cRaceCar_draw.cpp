// cRaceCar: drawing - reflection cube map, body with reflection and road
// shadow, wheels, light sprites, smoke, the silhouette for the projected
// shadow, and the road shadow intensity under the car.
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "cCar.h"
#include "cGround.h"
#include "cMoObject.h"
#include "cParticle.h"
#include "cScreen.h"
#include "cTexture.h"
#include "car/cRaceCar.h"
#include "mathkit/mathkit.h"
#include "platform/win32.h"

namespace {

constexpr DWORD kReflectionFactor = 0x38000000;  // cube map weight 0x38 / 255 over the body
constexpr BYTE kDeepShadow = 64;                  // at or below: the light comes from straight above
constexpr float kFadePerMs = 0.01f;
constexpr DWORD kSpriteFlags =
    D3DXSPRITE_OBJECTSPACE | D3DXSPRITE_BILLBOARD | D3DXSPRITE_ALPHABLEND | D3DXSPRITE_SORT_DEPTH_FRONTTOBACK;

// Look direction and up vector of each cube face, in Direct3D's face order.
const D3DXVECTOR3 kFaceLook[6] = {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}};
const D3DXVECTOR3 kFaceUp[6] = {{0, 1, 0}, {0, 1, 0}, {0, 0, -1}, {0, 0, 1}, {0, 1, 0}, {0, 1, 0}};

}  // namespace

void cRaceCar::Draw(cTexture* envTexture, cTexture* plateTexture) {
  if (!car || !screen) return;
  IDirect3DDevice9* dev = screen->GetDevicePointer();
  if (!dev) return;

  // 1. The cube map is refreshed every second frame.
  if (reflectionToggle == 1 && reflectionsEnabled && reflectionCube) RenderReflectionCube();
  reflectionToggle = reflectionToggle ? 0 : 1;

  screen->SetWorldMatrix(&worldMatrix);

  // 3. Reflection on stage 1: the live cube map, else the static picture.
  if (reflectionsEnabled && reflectionCube) {
    dev->SetRenderState(D3DRS_NORMALIZENORMALS, 1);
    dev->SetRenderState(D3DRS_TEXTUREFACTOR, kReflectionFactor);
    dev->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_BLENDFACTORALPHA);
    dev->SetTextureStageState(1, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_DISABLE);
    dev->SetTextureStageState(1, D3DTSS_TEXCOORDINDEX, D3DTSS_TCI_CAMERASPACEREFLECTIONVECTOR);
    dev->SetTexture(1, reflectionCube);
    dev->SetRenderState(D3DRS_NORMALIZENORMALS, 0);
  } else if (envTexture) {
    dev->SetRenderState(D3DRS_NORMALIZENORMALS, 1);
    dev->SetTextureStageState(1, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_DISABLE);
    dev->SetTextureStageState(1, D3DTSS_TEXCOORDINDEX, D3DTSS_TCI_CAMERASPACEREFLECTIONVECTOR);
    envTexture->Set(1);
    dev->SetRenderState(D3DRS_NORMALIZENORMALS, 0);
  }

  // 4. The road's shadow map laid over the car in the same pass.
  cTexture* roadShadow = ground ? ground->GetRoadSM() : nullptr;
  if (roadShadow && !roadShadow->GetTexturePointer()) roadShadow = nullptr;  // the file was missing
  if (roadShadow && textureStageCount > 2) {
    dev->SetTextureStageState(2, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT2);
    D3DXMATRIX m = ground->GetShadowTexMtx();
    dev->SetTransform(D3DTS_TEXTURE2, &m);
    dev->SetTextureStageState(2, D3DTSS_TEXCOORDINDEX, D3DTSS_TCI_CAMERASPACEPOSITION);
    roadShadow->Set(2);
  }

  // 5. In deep shadow the sun's direction would show: light from above, no shine.
  const BYTE b = SampleShadowIntensity();
  D3DXVECTOR3 light = b <= kDeepShadow ? D3DXVECTOR3(0, -1, 0) : D3DXVECTOR3(0, -1, 1);
  screen->AddDirectionalLight(&light, (float)b * 0.003921569f);

  // 6.
  dev->SetRenderState(D3DRS_SPECULARENABLE, 1);
  mesh->Draw(bodyObject);
  screen->OffStage(1);
  dev->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_BLENDTEXTUREALPHA);
  for (uint32_t i = 0; i < partCount; ++i) mesh->Draw(partObjects[i]);
  for (uint32_t i = 0; i < plateCount; ++i) mesh->DrawOneTexture(plateObjects[i], plateTexture);
  dev->SetRenderState(D3DRS_SPECULARENABLE, 0);

  // 7.
  for (int w = 0; w < 4; ++w) {
    screen->SetWorldMatrix(&wheelMatrices.Matrix[w]);
    mesh->Draw(wheelObject);
  }

  // 8.
  D3DXVECTOR3 sun(0, -1, 1);
  screen->AddDirectionalLight(&sun, 1.0f);
  screen->SetLighting(1);
  screen->OffStage(2);
  dev->SetTextureStageState(2, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_DISABLE);

  // 9. Devices with two stages take the road shadow in a pass of its own.
  if (roadShadow && textureStageCount <= 2) {
    dev->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT2);
    D3DXMATRIX m = ground->GetShadowTexMtx();
    dev->SetTransform(D3DTS_TEXTURE0, &m);
    dev->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, D3DTSS_TCI_CAMERASPACEPOSITION);
    screen->SetWorldMatrix(&worldMatrix);
    mesh->DrawOneTexture(bodyObject, roadShadow);
    for (uint32_t i = 0; i < partCount; ++i) mesh->DrawOneTexture(partObjects[i], roadShadow);
    screen->OffStage(0);
    dev->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_DISABLE);
    dev->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, 0);
  }

  // 10.
  D3DXMATRIX identity;
  MatrixIdentity(&identity);
  screen->SetWorldMatrix(&identity);

  // 11. Light levels follow the wall clock, not the physics step.
  const DWORD now = GetTickCount();
  UpdateLightLevel(&brakeLightLevel, car->Brake > 0.1f, &brakeFadeInTime, &brakeFadeOutTime, now);
  UpdateLightLevel(&reverseLightLevel, car->Gear == CAR_GEAR_REVERSE, &reverseFadeInTime, &reverseFadeOutTime,
                   now);

  // 12.
  DrawLights(brakeLights, brakeLightCount, brakeLightLevel, brakeLightTexture, brakeLightDesc, true);
  DrawLights(reverseLights, reverseLightCount, reverseLightLevel, reverseLightTexture, reverseLightDesc, false);

  // 13.
  for (cParticle* p : smoke) p->Draw();
}

void cRaceCar::UpdateLightLevel(float* level, bool on, DWORD* fadeInTime, DWORD* fadeOutTime, DWORD now) {
  float l = *level;
  if (on) {
    if (l == 1.0f) {
    } else if (l == 0.0f) {
      l = 0.01f;
      *fadeInTime = now;
    } else {
      l += (float)(now - *fadeInTime) * kFadePerMs;
      if (l > 1.0f) l = 1.0f;
      *fadeInTime = now;
    }
  } else {
    if (l == 0.0f) {
    } else if (l == 1.0f) {
      l = 0.99f;
      *fadeOutTime = now;
    } else {
      l -= (float)(now - *fadeOutTime) * kFadePerMs;
      if (l < 0.0f) l = 0.0f;
      *fadeOutTime = now;
    }
  }
  *level = l;
}

void cRaceCar::DrawLights(const _CARLIGHT* lights, uint32_t count, float level, cTexture* texture,
                          const D3DSURFACE_DESC& desc, bool resetWorld) {
  if (level == 0.0f) return;
  ID3DXSprite* sprite = screen->GetSpritePointer();
  IDirect3DDevice9* dev = screen->GetDevicePointer();
  const DWORD alpha = (DWORD)(BYTE)(int)(level * 255.0f);
  dev->SetRenderState(D3DRS_ZWRITEENABLE, 0);
  if (resetWorld) {
    D3DXMATRIX identity;
    screen->SetWorldMatrix(MatrixIdentity(&identity));
  }
  screen->SetLighting(0);
  dev->SetRenderState(D3DRS_ALPHAREF, 15);
  if (sprite && texture && texture->GetTexturePointer()) {
    const D3DXMATRIX camera = screen->GetCameraMtx();
    sprite->SetWorldViewLH(nullptr, &camera);
    sprite->Begin(kSpriteFlags);
    const D3DXVECTOR3 centre(desc.Width * 0.5f, desc.Height * 0.5f, 0.0f);
    for (uint32_t i = 0; i < count; ++i) {
      // A broken lamp has no size: nothing to draw.
      if (lights[i].width == 0.0f) continue;
      D3DXVECTOR3 at;
      D3DXVec3TransformCoord(&at, &lights[i].centre, &worldMatrix);
      D3DXMATRIX s, t;
      Scaling(&s, lights[i].width * 0.01f);
      TranslationV(&t, at.x, at.y, at.z);
      const D3DXMATRIX m = s * t;
      sprite->SetTransform(&m);
      sprite->Draw(texture->GetTexturePointer(), nullptr, &centre, nullptr, alpha << 24 | 0xFFFFFF);
    }
    sprite->End();
  }
  dev->SetRenderState(D3DRS_ALPHAREF, 15);
  dev->SetRenderState(D3DRS_ZWRITEENABLE, 1);
}

void cRaceCar::DrawShadowCaster(D3DXVECTOR3* lightOffset, cTexture* shadowTexture) {
  if (!car || !screen) return;
  IDirect3DDevice9* dev = screen->GetDevicePointer();
  BYTE b = SampleShadowIntensity();
  screen->ClearScreen(0);
  const D3DXVECTOR3 offset = lightOffset ? *lightOffset : D3DXVECTOR3(0, -3, 3);
  if (b <= kDeepShadow) {
    // In deep shadow the car casts a faint shadow straight down.
    screen->SetCamera(D3DXVECTOR3(position.x, position.y - 2.0f, position.z), position, viewDir);
    b = kDeepShadow;
  } else {
    screen->SetCamera(position - offset, position, viewDir);
  }
  screen->SetTransformMatrix(1.0f, 6.0f, 0.01f, 50.0f, 1);
  screen->SetLight(0);
  dev->SetRenderState(D3DRS_BLENDFACTOR, (DWORD)b << 24 | 0xFFFFFF);
  dev->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_BLENDFACTOR);
  dev->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ZERO);
  DrawAllWithTexture(shadowTexture);
  dev->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
  dev->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
  dev->SetRenderState(D3DRS_BLENDFACTOR, 0xFFFFFFFF);
  screen->SetLight(1);
}

void cRaceCar::DrawAllWithTexture(cTexture* texture) {
  if (!car || !screen) return;
  screen->SetWorldMatrix(&worldMatrix);
  for (uint32_t i = 0; i < partCount; ++i) mesh->DrawOneTexture(partObjects[i], texture);
  for (uint32_t i = 0; i < plateCount; ++i) mesh->DrawOneTexture(plateObjects[i], texture);
  mesh->DrawOneTexture(bodyObject, texture);
  for (int w = 0; w < 4; ++w) {
    screen->SetWorldMatrix(&wheelMatrices.Matrix[w]);
    mesh->DrawOneTexture(wheelObject, texture);
  }
}

int cRaceCar::CreateReflectionTargets(uint32_t edge) {
  IDirect3DDevice9* dev = screen ? screen->GetDevicePointer() : nullptr;
  if (reflectionDepth) reflectionDepth->Release();
  if (reflectionCube) reflectionCube->Release();
  reflectionDepth = nullptr;
  reflectionCube = nullptr;
  if (!dev) return 0;
  const D3DFORMAT format =
      screen->IsRenderTargetFormatExisting(D3DFMT_A4R4G4B4) ? D3DFMT_A4R4G4B4 : D3DFMT_A8R8G8B8;
  if (FAILED(dev->CreateCubeTexture(edge, 1, D3DUSAGE_RENDERTARGET, format, D3DPOOL_DEFAULT, &reflectionCube,
                                    nullptr))) {
    reflectionCube = nullptr;
    return 0;
  }
  if (FAILED(dev->CreateDepthStencilSurface(edge, edge, screen->GetDepthFormat(), D3DMULTISAMPLE_NONE, 0, TRUE,
                                            &reflectionDepth, nullptr))) {
    reflectionCube->Release();
    reflectionCube = nullptr;
    reflectionDepth = nullptr;
    return 0;
  }
  return 1;
}

void cRaceCar::ReleaseReflectionTargets() {
  if (!reflectionsEnabled) return;
  if (reflectionDepth) reflectionDepth->Release();
  if (reflectionCube) reflectionCube->Release();
  reflectionDepth = nullptr;
  reflectionCube = nullptr;
}

void cRaceCar::RestoreReflectionTargets() {
  if (!reflectionsEnabled) return;
  // On failure the switch stays on and the car draws with the static picture
  // (Draw checks for the cube map); the next reset tries again.
  CreateReflectionTargets(64);
}

void cRaceCar::RenderReflectionCube() {
  IDirect3DDevice9* dev = screen->GetDevicePointer();
  const D3DXVECTOR3 eye = screen->GetCameraPos();
  const D3DXVECTOR3 target = screen->GetCameraTarget();
  const float distance = screen->GetViewDist();
  screen->SetTransformMatrix(1.0f, 0.0f, 0.0001f, distance * 0.4f, 0);
  const D3DXMATRIX turn = car->GetRotPos();
  const D3DXVECTOR3 at = car->GetLinPos();
  for (int face = 0; face < 6; ++face) {
    D3DXVECTOR3 look, up;
    D3DXVec3TransformNormal(&look, &kFaceLook[face], &turn);
    D3DXVec3TransformNormal(&up, &kFaceUp[face], &turn);
    screen->SetCamera(at, at + look, up);
    IDirect3DSurface9* surface = nullptr;
    if (FAILED(reflectionCube->GetCubeMapSurface((D3DCUBEMAP_FACES)face, 0, &surface)) || !surface) continue;
    dev->SetRenderTarget(0, surface);
    dev->SetDepthStencilSurface(reflectionDepth);
    surface->Release();
    screen->ClearScreen();
    // Inside the race's own scene BeginScene fails; then that scene goes on.
    const bool opened = SUCCEEDED(dev->BeginScene());
    if (ground) ground->DrawSimple();
    if (opened) dev->EndScene();
  }
  screen->SetTransformMatrix(1.33f, 0.0f, 0.01f, distance, 0);
  screen->SetCamera(eye, target, D3DXVECTOR3(0, 1, 0));
  screen->RestoreDepthStencil();
  screen->RestoreTarget();
}

void cRaceCar::BuildShadowIntensityMap() {
  cTexture* sm = ground ? ground->GetRoadSM() : nullptr;
  if (!sm || !sm->GetTexturePointer()) return;
  const D3DSURFACE_DESC desc = sm->GetTextureInfo();
  if (desc.Format != D3DFMT_A8R8G8B8 && desc.Format != D3DFMT_A4R4G4B4) return;
  if (desc.Width == 0 || desc.Height == 0) return;
  BYTE* map = static_cast<BYTE*>(std::malloc((size_t)desc.Width * desc.Height));
  if (!map) return;
  D3DLOCKED_RECT locked;
  if (FAILED(sm->GetTexturePointer()->LockRect(0, &locked, nullptr, D3DLOCK_READONLY))) {
    std::free(map);
    return;
  }
  BYTE maximum = 0;
  for (uint32_t y = 0; y < desc.Height; ++y) {
    const BYTE* row = static_cast<const BYTE*>(locked.pBits) + (size_t)y * locked.Pitch;
    for (uint32_t x = 0; x < desc.Width; ++x) {
      BYTE a;
      if (desc.Format == D3DFMT_A8R8G8B8) {
        uint32_t p;
        std::memcpy(&p, row + 4 * x, 4);
        a = (BYTE)(p >> 24);
      } else {
        uint16_t p;
        std::memcpy(&p, row + 2 * x, 2);
        a = (BYTE)((p >> 8) & 0xF0);
      }
      map[(size_t)y * desc.Width + x] = a;
      if (a > maximum) maximum = a;
    }
  }
  sm->GetTexturePointer()->UnlockRect(0);
  // Full shadow becomes 0, open sky 255.
  const size_t n = (size_t)desc.Width * desc.Height;
  for (size_t i = 0; i < n; ++i) map[i] = maximum ? (BYTE)(255 - (int)(map[i] * 255 / maximum)) : 255;
  shadowMap = map;
  shadowMapMax = maximum;
  shadowMapWidth = desc.Width;
  shadowMapHeight = desc.Height;
}

BYTE cRaceCar::SampleShadowIntensity() {
  if (!shadowMap || !car || !ground) return 255;
  auto sample = [&](float x, float z) -> int {
    const D3DXVECTOR2 uv = ground->GetGlobalUV(x, z);
    // Off the map: the nearest texel at its edge.
    float fu = uv.x * (float)shadowMapWidth, fv = uv.y * (float)shadowMapHeight;
    int u = std::isfinite(fu) ? (fu < 0.0f ? 0 : (fu >= (float)shadowMapWidth ? (int)shadowMapWidth - 1 : (int)fu)) : 0;
    int v = std::isfinite(fv) ? (fv < 0.0f ? 0 : (fv >= (float)shadowMapHeight ? (int)shadowMapHeight - 1 : (int)fv)) : 0;
    return shadowMap[(size_t)shadowMapWidth * v + u];
  };
  const _SUSPSTATE world = car->GetWorldSuspState();
  int wheels = 0;
  for (int w = 0; w < 4; ++w) wheels += sample(world.Point[w].x, world.Point[w].z);
  const int centre = sample(position.x, position.z);
  const int result = (int)((float)wheels * 0.15f + (float)centre * 0.4f);
  return (BYTE)(result > 255 ? 255 : (result < 0 ? 0 : result));
}
