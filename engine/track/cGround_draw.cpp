// Skid marks, global texture coordinates, the shadow texture matrix, the sun
// and the drawing passes of the track.
#include <cmath>
#include <cstring>
#include <initializer_list>

#include "cGround.h"
#include "cMoObject.h"
#include "cScreen.h"
#include "cSprite.h"
#include "cTexture.h"
#include "platform/d3d9.h"

namespace {

_MOVERTEX SkidVertex(const D3DXVECTOR3& p, float u, float v) {
  _MOVERTEX r;
  std::memset(&r, 0, sizeof r);
  r.x = p.x;
  r.y = p.y;
  r.z = p.z;
  r.ny = 1.0f;
  r.u = u;
  r.v = v;
  return r;
}

}  // namespace

void cGround::AddSkid(D3DXVECTOR3* from, D3DXVECTOR3* to, float width) {
  D3DXVECTOR3 d(to->x - from->x, 0.0f, to->z - from->z);
  D3DXVec3Normalize(&d, &d);
  const D3DXVECTOR3 h(d.x * width * 0.5f, 0.0f, d.z * width * 0.5f);
  const D3DXVECTOR3 n(-h.z, 0.0f, h.x);
  D3DXVECTOR3 a = *from + n, b = *to + n, c = *to - n, e = *from - n;
  for (D3DXVECTOR3* p : {&a, &b, &c, &e}) p->y = GetH(p->x, p->z) + 0.01f;
  if (skidCounter >= GROUND_SKID_QUADS) skidCounter = 0;
  _MOVERTEX quad[6] = {SkidVertex(a, 0, 1), SkidVertex(b, 0, 0), SkidVertex(c, 1, 0),
                       SkidVertex(a, 0, 1), SkidVertex(c, 1, 0), SkidVertex(e, 1, 1)};
  if (skidBufferCreated) screen->WriteVertexBuffer(skidSlot, quad, skidCounter * 6, 6);
  ++skidCounter;
}

D3DXVECTOR2 cGround::GetGlobalUV(float x, float z) {
  return D3DXVECTOR2(1.0f - (x - trackMin.x) / (trackMax.x - trackMin.x),
                     (z - trackMin.z) / (trackMax.z - trackMin.z));
}

void cGround::SetGlobalUVs(DWORD* list, DWORD count) {
  for (DWORD i = 0; i < count; ++i) {
    const DWORD vertices = 3 * mesh->GetObjFaceCount(list[i]);
    for (DWORD k = 0; k < vertices; ++k) {
      _MOVERTEX v = mesh->GetObjVertex(list[i], k);
      const D3DXVECTOR2 uv = GetGlobalUV(v.x, v.z);
      v.u2 = uv.x;
      v.v2 = uv.y;
      mesh->SetObjVertex(list[i], k, &v);
    }
  }
}

void cGround::CalcShadowTexMtx() {
  const float cx = (trackMin.x + trackMax.x) * 0.5f, cz = (trackMin.z + trackMax.z) * 0.5f;
  const D3DXVECTOR3 eye(cx, trackMax.y + 10.0f, cz), at(cx, trackMin.y, cz), up(0, 0, -1);
  D3DXMATRIX view, projection, adjust;
  D3DXMatrixLookAtLH(&view, &eye, &at, &up);
  D3DXMatrixOrthoLH(&projection, std::fabs(trackMax.x - trackMin.x),
                    std::fabs(trackMax.z - trackMin.z), 0.01f,
                    std::fabs(trackMax.y - trackMin.y) + 10.0f);
  shadowTexMtx = view * projection * *GetAdjustMtx(&adjust, 512, 24);
}

D3DXMATRIX cGround::GetShadowTexMtx() { return screen->GetInverseCameraMtx() * shadowTexMtx; }

D3DXVECTOR2 cGround::Calc2dDirLightPos(D3DXVECTOR3 dir) {
  const D3DXVECTOR2 fov = screen->GetFOV();
  const float hx = fov.x * 0.5f, hy = fov.y * 0.5f;
  const D3DXVECTOR3 w = screen->GetCameraTarget() - screen->GetCameraPos();
  // An undefined angle (a zero-length direction) counts as straight ahead.
  float a1 = GetVec2ToVec2Angle(D3DXVECTOR2(w.x, w.z), D3DXVECTOR2(-dir.x, -dir.z));
  if (std::isnan(a1)) a1 = 0.0f;
  if (hx < std::fabs(a1)) return D3DXVECTOR2(5.0f, 5.0f);
  float a2 = GetVec2ToVec2Angle(D3DXVECTOR2(-w.z, -w.y), D3DXVECTOR2(dir.z, dir.y));
  if (std::isnan(a2)) a2 = 0.0f;
  if (hy < std::fabs(a2)) return D3DXVECTOR2(5.0f, 5.0f);
  return D3DXVECTOR2(0.5f - 0.5f * std::tan(a1) / std::tan(hx),
                     0.5f + 0.5f * std::tan(a2) / std::tan(hy));
}

void cGround::DrawSky() {
  IDirect3DDevice9* dev = screen->GetDevicePointer();
  D3DXMATRIX s, t;
  const D3DXVECTOR3 cam = screen->GetCameraPos();
  D3DXMATRIX world = *Scaling(&s, screen->GetViewDist() / skyRadius) *
                     *TranslationV(&t, cam.x, cam.y, cam.z);
  screen->SetWorldMatrix(&world);
  screen->SetDepthBuffer(FALSE);
  dev->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
  for (DWORD i = 0; i < skyCount; ++i) mesh->Draw(skyList[i]);
  sunPos = Calc2dDirLightPos(D3DXVECTOR3(0.0f, -0.2f, 1.0f));
  if (std::fabs(sunPos.x) <= 1.0f && std::fabs(sunPos.y) <= 1.0f) {
    const D3DXVECTOR2 scale(4.0f, 4.0f), centre(64.0f, 64.0f);
    sun->DrawRelative(&scale, &centre, sunPos.x, &sunPos, 0xFFFFFFFFu);
  }
  screen->SetDepthBuffer(TRUE);
  dev->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
}

void cGround::DrawSkids() {
  if (!SkidTexture || !skidBufferCreated) return;
  IDirect3DDevice9* dev = screen->GetDevicePointer();
  dev->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
  SkidTexture->Set(0);
  screen->DrawVertexBuffer(skidSlot, 0, D3DPT_TRIANGLELIST, GROUND_SKID_QUADS * 2);
  dev->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
}

void cGround::Draw(DWORD flags) {
  IDirect3DDevice9* dev = screen->GetDevicePointer();
  screen->SetAlphaTest(FALSE);
  dev->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, 0);
  dev->SetRenderState(D3DRS_ALPHAREF, 255);

  if (flags & GROUND_DRAW_SKY) DrawSky();

  D3DXMATRIX identity;
  screen->SetWorldMatrix(MatrixIdentity(&identity));

  if (flags & GROUND_DRAW_BORDER) {
    for (DWORD i = 0; i < borderCount; ++i) mesh->Draw(borderList[i]);
    mesh->Draw(startGate);
  }

  if (flags & GROUND_DRAW_ROAD) {
    dev->SetRenderState(D3DRS_ALPHAREF, 15);
    const bool stage2 = roadSM && maxSimultaneousTextures > 2;
    if (stage2) {
      roadSM->Set(2);
      dev->SetTextureStageState(2, D3DTSS_TEXCOORDINDEX, 1);
      dev->SetTextureStageState(2, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_DISABLE);
    }
    for (DWORD i = 0; i < roadCount; ++i) mesh->Draw(roadList[i]);
    screen->OffStage(2);
    if (roadSM && !stage2) {
      dev->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, 1);
      for (DWORD i = 0; i < roadCount; ++i) mesh->DrawOneTexture(roadList[i], roadSM);
      dev->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, 0);
    }
  }

  if (flags & GROUND_DRAW_TERRAIN) {
    if (groundSM) {
      groundSM->Set(1);
      dev->SetTextureStageState(1, D3DTSS_TEXCOORDINDEX, 1);
      dev->SetTextureStageState(1, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_DISABLE);
    }
    dev->SetRenderState(D3DRS_ALPHAREF, 15);
    for (DWORD i = 0; i < terrainCount; ++i) mesh->Draw(terrainList[i]);
    screen->OffStage(1);
    screen->SetAlphaTest(TRUE);
    dev->SetRenderState(D3DRS_ALPHAREF, 255);
    for (DWORD i = 0; i < sceneryCount; ++i) mesh->Draw(sceneryList[i]);
    screen->SetAlphaTest(FALSE);
  }

  dev->SetRenderState(D3DRS_ALPHAREF, 15);
  if (flags & GROUND_DRAW_SKIDS) DrawSkids();
  screen->SetAlphaTest(TRUE);
}

void cGround::DrawSimple() {
  IDirect3DDevice9* dev = screen->GetDevicePointer();
  screen->SetAlphaTest(FALSE);
  DrawSky();
  D3DXMATRIX identity;
  screen->SetWorldMatrix(MatrixIdentity(&identity));
  dev->SetRenderState(D3DRS_ALPHAREF, 15);
  for (DWORD i = 0; i < roadCount; ++i) mesh->Draw(roadList[i]);
  dev->SetRenderState(D3DRS_ALPHAREF, 15);
  for (DWORD i = 0; i < terrainCount; ++i) mesh->Draw(terrainList[i]);
  screen->SetAlphaTest(TRUE);
  dev->SetRenderState(D3DRS_ALPHAREF, 255);
  for (DWORD i = 0; i < sceneryCount; ++i) mesh->Draw(sceneryList[i]);
  screen->SetAlphaTest(FALSE);
  dev->SetRenderState(D3DRS_ALPHAREF, 15);
  DrawSkids();
  screen->SetAlphaTest(TRUE);
}

DWORD cGround::GetBackBufferColor(D3DXVECTOR2* pos) {
  IDirect3DDevice9* dev = screen->GetDevicePointer();
  IDirect3DSurface9* target = nullptr;
  if (!dev || FAILED(dev->GetRenderTarget(0, &target)) || !target) return 0;
  const D3DXVECTOR2 size = screen->GetPixelSize();
  const LONG x = (LONG)(size.x * pos->x), y = (LONG)(size.y * pos->y);
  // Only pixels of the target can be read.
  D3DSURFACE_DESC desc;
  DWORD result = 0;
  if (SUCCEEDED(target->GetDesc(&desc)) && x >= 0 && y >= 0 && (UINT)x < desc.Width &&
      (UINT)y < desc.Height) {
    const RECT r = {x, y, x + 1, y + 1};
    D3DLOCKED_RECT locked;
    if (SUCCEEDED(target->LockRect(&locked, &r, D3DLOCK_READONLY))) {
      result = *(const BYTE*)locked.pBits;
      target->UnlockRect();
    }
  }
  target->Release();
  return result;
}
