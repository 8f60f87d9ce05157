// cScreen's slot tables, projections, view planes, gamma, depth modes and
// device recovery, checked on a real device.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "cScreen.h"
#include "cTexture.h"
#include "platform/d3d9_testing.h"
#include "screen_fixture.h"

namespace {

struct Vertex {
  float x, y, z, nx, ny, nz;
  DWORD colour;
  float u, v, u2, v2;
};

Vertex V(float x, float y, float z, DWORD colour) { return Vertex{x, y, z, 0, 0, -1, colour, 0, 0, 0, 0}; }

class ScreenTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(f.Open(320, 240)); }
  cScreen& s() { return f.Screen(); }
  vrxtest::ScreenFixture f;
};

float Side(const _VIEWPLANE& p, D3DXVECTOR3 v) { return p.a * v.x + p.b * v.y + p.c * v.z + p.d; }

// Out of view as the mesh objects test it: some plane has the point on its
// outer side.
bool Outside(const _VIEWPLANES& planes, D3DXVECTOR3 v) {
  for (const _VIEWPLANE& p : planes.plane)
    if (Side(p, v) > 0) return true;
  return false;
}

TEST_F(ScreenTest, PerspectiveProjectionAndItsViewPlanes) {
  s().SetTransformMatrix(1.33f, 0, 0.01f, 600.0f, FALSE);
  D3DXMATRIX p = s().GetTransformMtx();
  float f8 = cosf(0.3926991f) / sinf(0.3926991f);
  float q = 600.0f / (600.0f - 0.01f);
  EXPECT_FLOAT_EQ(f8 / 1.33f, p._11);
  EXPECT_FLOAT_EQ(f8, p._22);
  EXPECT_FLOAT_EQ(q, p._33);
  EXPECT_FLOAT_EQ(1.0f, p._34);
  EXPECT_FLOAT_EQ(-0.01f * q, p._43);
  EXPECT_FLOAT_EQ(0.0f, p._44);
  EXPECT_FLOAT_EQ(0.01f, s().GetViewStart());
  EXPECT_FLOAT_EQ(600.0f, s().GetViewDist());
  // Horizontal: atan(aspect), not the true 2 atan(aspect tan(pi / 8)).
  EXPECT_FLOAT_EQ(atanf(1.33f), s().GetFOV().x);
  EXPECT_FLOAT_EQ(0.7853982f, s().GetFOV().y);

  _VIEWPLANES planes = s().GetViewPlanes();
  const _VIEWPLANE& nearPlane = planes.plane[0];
  EXPECT_FLOAT_EQ(-1.0f, nearPlane.c);
  EXPECT_FLOAT_EQ(0.01f, nearPlane.d);
  EXPECT_FLOAT_EQ(1.0f, planes.plane[1].c);
  EXPECT_FLOAT_EQ(-600.0f, planes.plane[1].d);
  for (const _VIEWPLANE& pl : planes.plane) EXPECT_NEAR(1.0f, pl.length, 1e-6f);

  float h = atanf(1.33f) / 2, v = 0.7853982f / 2;
  const float z = 50;
  EXPECT_FALSE(Outside(planes, D3DXVECTOR3(0, 0, z)));
  EXPECT_TRUE(Outside(planes, D3DXVECTOR3(0, 0, 0.005f)));  // before the near plane
  EXPECT_TRUE(Outside(planes, D3DXVECTOR3(0, 0, 601)));     // beyond the far plane
  EXPECT_TRUE(Outside(planes, D3DXVECTOR3(0, 0, -5)));      // behind the camera
  // Just inside and just outside each side, top and bottom.
  for (float sign : {-1.0f, 1.0f}) {
    EXPECT_FALSE(Outside(planes, D3DXVECTOR3(sign * z * tanf(h - 0.01f), 0, z))) << sign;
    EXPECT_TRUE(Outside(planes, D3DXVECTOR3(sign * z * tanf(h + 0.01f), 0, z))) << sign;
    EXPECT_FALSE(Outside(planes, D3DXVECTOR3(0, sign * z * tanf(v - 0.01f), z))) << sign;
    EXPECT_TRUE(Outside(planes, D3DXVECTOR3(0, sign * z * tanf(v + 0.01f), z))) << sign;
  }
  // Side 1 is the left (-x) one, side 2 the right; top is +y.
  EXPECT_GT(Side(planes.plane[2], D3DXVECTOR3(-z, 0, z)), 0);
  EXPECT_GT(Side(planes.plane[3], D3DXVECTOR3(z, 0, z)), 0);
  EXPECT_GT(Side(planes.plane[4], D3DXVECTOR3(0, z, z)), 0);
  EXPECT_GT(Side(planes.plane[5], D3DXVECTOR3(0, -z, z)), 0);
}

TEST_F(ScreenTest, OrthographicProjectionAndItsViewPlanes) {
  s().SetTransformMatrix(1.0f, 6.0f, 0.01f, 50.0f, TRUE);
  D3DXMATRIX p = s().GetTransformMtx();
  EXPECT_FLOAT_EQ(2.0f / 6.0f, p._11);
  EXPECT_FLOAT_EQ(2.0f / 6.0f, p._22);
  EXPECT_FLOAT_EQ(1.0f / (50.0f - 0.01f), p._33);
  EXPECT_FLOAT_EQ(1.0f, p._44);
  EXPECT_FLOAT_EQ(3.1415927f, s().GetFOV().x);
  EXPECT_FLOAT_EQ(3.1415927f, s().GetFOV().y);
  _VIEWPLANES planes = s().GetViewPlanes();
  // The side, top and bottom planes never cull anything in front of the camera.
  for (D3DXVECTOR3 v : {D3DXVECTOR3(1000, 0, 5), D3DXVECTOR3(-1000, 0, 5), D3DXVECTOR3(0, 1000, 5),
                        D3DXVECTOR3(0, -1000, 5)})
    EXPECT_FALSE(Outside(planes, v)) << v.x << " " << v.y;
  EXPECT_TRUE(Outside(planes, D3DXVECTOR3(0, 0, 51)));

  // A wider aspect makes the view shorter.
  s().SetTransformMatrix(2.0f, 6.0f, 0.01f, 50.0f, TRUE);
  EXPECT_FLOAT_EQ(2.0f / 3.0f, s().GetTransformMtx()._22);
}

TEST_F(ScreenTest, CameraAndScreenCoordinates) {
  s().SetCamera(D3DXVECTOR3(0, 30, 0), D3DXVECTOR3(1, 30, 1), D3DXVECTOR3(0, 1, 0));
  EXPECT_EQ(D3DXVECTOR3(0, 30, 0), s().GetCameraPos());
  EXPECT_EQ(D3DXVECTOR3(1, 30, 1), s().GetCameraTarget());
  D3DXMATRIX product = s().GetCameraMtx() * s().GetInverseCameraMtx();
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) EXPECT_NEAR(i == j ? 1.0f : 0.0f, product.m[i][j], 1e-5f);
  D3DXMATRIX view;
  f.Device()->GetTransform(D3DTS_VIEW, &view);
  EXPECT_TRUE(view == s().GetCameraMtx());

  // The target projects to the middle of the client area; a point up and to
  // the right of it to the upper right.
  D3DXVECTOR3 target(5, 30, 5);
  D3DXVECTOR3 c = s().GetScreenCoords(&target);
  EXPECT_NEAR(0.5f, c.x, 1e-4f);
  EXPECT_NEAR(0.5f, c.y, 1e-4f);
  EXPECT_GT(c.z, 0.001f);
  D3DXVECTOR3 upRight(5.5f, 31, 4.5f);
  c = s().GetScreenCoords(&upRight);
  EXPECT_GT(c.x, 0.5f);
  EXPECT_LT(c.y, 0.5f);
  EXPECT_EQ(D3DXVECTOR2(320, 240), s().GetPixelSize());
}

TEST_F(ScreenTest, GammaRamp) {
  D3DGAMMARAMP ramp;
  s().SetGamma(0);
  f.Device()->GetGammaRamp(0, &ramp);
  for (int i = 0; i < 256; ++i) {
    ASSERT_EQ(i * 256, ramp.red[i]) << i;
    ASSERT_EQ(i * 256, ramp.green[i]) << i;
    ASSERT_EQ(i * 256, ramp.blue[i]) << i;
  }
  s().SetGamma(1.1f);
  f.Device()->GetGammaRamp(0, &ramp);
  EXPECT_EQ(0, ramp.red[0]);
  EXPECT_EQ((WORD)(128.0f * (1.0f + 1.1f * (1.0f - 128.0f / 255.0f)) * 256.0f), ramp.red[128]);
  EXPECT_GT(ramp.red[64], 64 * 256);  // dark and middle tones brighter
  EXPECT_EQ(255 * 256, ramp.red[255]);
  // A setting that would leave the 16-bit range stays at its top.
  s().SetGamma(4.0f);
  f.Device()->GetGammaRamp(0, &ramp);
  for (int i = 1; i < 256; ++i) ASSERT_GE(ramp.red[i], ramp.red[i - 1] > 60000 ? 60000 : 0) << i;
  EXPECT_EQ(65535, ramp.red[128]);
}

TEST_F(ScreenTest, VertexBufferSlots) {
  std::vector<Vertex> v(6, V(0, 0, 1, 0xFFFFFFFF));
  IDirect3DDevice9* dev = f.Device();
  ASSERT_EQ(1, s().CreateVertexBuffer(5, 0x252, v.data(), 6 * 44, 44));
  // A slot of another format is not selected by SetVertexBuffer.
  ASSERT_EQ(1, s().CreateVertexBuffer(3, D3DFVF_XYZ | D3DFVF_DIFFUSE, v.data(), 6 * 16, 16));
  s().SetVertexBuffer(5);
  IDirect3DVertexBuffer9* bound = nullptr;
  UINT offset = 1, stride = 0;
  DWORD fvf = 0;
  dev->GetStreamSource(0, &bound, &offset, &stride);
  dev->GetFVF(&fvf);
  s().SetVertexBuffer(3);
  IDirect3DVertexBuffer9* after = nullptr;
  UINT stride2 = 0;
  DWORD fvf2 = 0;
  dev->GetStreamSource(0, &after, &offset, &stride2);
  dev->GetFVF(&fvf2);
  EXPECT_EQ(bound, after);
  EXPECT_EQ(44u, stride2);
  EXPECT_EQ(0x252u, fvf2);
  EXPECT_EQ(0u, offset);

  // Replacing a slot releases the buffer it held: once the device and we let
  // go of it, nothing holds it any more.
  s().SetVertexFormat(0x252);
  dev->SetStreamSource(0, nullptr, 0, 0);
  ASSERT_EQ(1, s().CreateVertexBuffer(5, 0x252, v.data(), 6 * 44, 44));
  EXPECT_EQ(1u, after->Release());  // the two references GetStreamSource gave us
  EXPECT_EQ(0u, bound->Release());

  // Reading back what was written, from a given vertex on.
  Vertex w = V(7, 8, 9, 0xFF123456);
  ASSERT_EQ(1, s().WriteVertexBuffer(5, &w, 4, 1));
  Vertex r[2];
  ASSERT_EQ(1, s().ReadVertexBuffer(5, r, 4, 2));
  EXPECT_EQ(7.0f, r[0].x);
  EXPECT_EQ(0xFF123456u, r[0].colour);
  EXPECT_EQ(0.0f, r[1].x);
  EXPECT_EQ(0, s().WriteVertexBuffer(5, &w, 6, 1));  // past the end
  // Counts whose byte size wraps round in 32 bits are refused too.
  EXPECT_EQ(0, s().WriteVertexBuffer(5, &w, 0, 0x40000000u));
  EXPECT_EQ(0, s().ReadVertexBuffer(5, r, 0, 0x40000000u));
  EXPECT_EQ(0, s().WriteVertexBuffer(5, &w, 0x40000000u, 1));
  EXPECT_EQ(0, s().ReadVertexBuffer(9, r, 0, 1));    // empty slot
  void* p = nullptr;
  ASSERT_EQ(1, s().LockVertexBuffer(5 + 256, &p));  // slot masked to 8 bits
  EXPECT_EQ(7.0f, static_cast<Vertex*>(p)[4].x);
  EXPECT_EQ(1, s().UnLockVertexBuffer(5));
  EXPECT_EQ(0, s().CreateVertexBuffer(6, 0x252, v.data(), 44, 0));  // no stride, no buffer
}

TEST_F(ScreenTest, FirstUnusedSlots) {
  Vertex v = V(0, 0, 0, 0);
  WORD idx[3] = {0, 1, 2};
  EXPECT_EQ(0, s().GetFirstUnusedVertexBuffer());
  for (int i = 0; i < 256; ++i) ASSERT_EQ(1, s().CreateVertexBuffer((BYTE)i, 0x252, &v, 44, 44)) << i;
  EXPECT_EQ(-1, s().GetFirstUnusedVertexBuffer());
  s().DeleteVertexBuffer(77);
  EXPECT_EQ(77, s().GetFirstUnusedVertexBuffer());
  for (int i = 0; i < 256; ++i) ASSERT_EQ(1, s().CreateIndexBuffer((BYTE)i, D3DFMT_INDEX16, idx, 6, 3)) << i;
  EXPECT_EQ(-1, s().GetFirstUnusedIndexBuffer());
  s().DeleteIndexBuffer(300);  // masked: slot 44
  EXPECT_EQ(44, s().GetFirstUnusedIndexBuffer());
  EXPECT_EQ(0, s().GetFirstUnusedVertexShader());
}

TEST_F(ScreenTest, IndexedDrawUsesStartAsBaseVertexAndFirstIndex) {
  // Two groups laid out as the mesh objects do: each group's indices count
  // from the group's first vertex, which sits at the same position as the
  // group's first index. Group 0 draws left (red), group 1 right (green).
  std::vector<Vertex> v = {V(-3, 1, 10, 0xFFFF0000), V(-1, 1, 10, 0xFFFF0000), V(-3, -1, 10, 0xFFFF0000),
                           V(1, 1, 10, 0xFF00FF00),  V(3, 1, 10, 0xFF00FF00),  V(1, -1, 10, 0xFF00FF00)};
  WORD indices[6] = {0, 1, 2, 0, 1, 2};
  ASSERT_EQ(1, s().CreateVertexBuffer(1, 0x252, v.data(), 6 * 44, 44));
  ASSERT_EQ(1, s().CreateIndexBuffer(2, D3DFMT_INDEX16, indices, sizeof indices, 6));
  s().SetVertexFormat(0x252);
  auto probe = [&](float x) {
    D3DXVECTOR3 p(x, 0.5f, 10);
    D3DXVECTOR3 c = s().GetScreenCoords(&p);
    return f.Pixel((int)(c.x * 320), (int)(c.y * 240));
  };
  s().ClearScreen(0xFF000000);
  ASSERT_EQ(1, s().DrawIndexedVertexBuffer(2, 1, 0, D3DPT_TRIANGLELIST, 1));
  EXPECT_EQ(0xFFFF0000, probe(-2.5f));
  EXPECT_EQ(0xFF000000, probe(1.5f));
  s().ClearScreen(0xFF000000);
  ASSERT_EQ(1, s().DrawIndexedVertexBuffer(2, 1, 3, D3DPT_TRIANGLELIST, 1));
  EXPECT_EQ(0xFF000000, probe(-2.5f));
  EXPECT_EQ(0xFF00FF00, probe(1.5f));
  EXPECT_EQ(0, s().DrawIndexedVertexBuffer(9, 1, 0, D3DPT_TRIANGLELIST, 1));  // empty index slot

  // A draw inside the caller's own scene leaves that scene open.
  ASSERT_EQ(D3D_OK, f.Device()->BeginScene());
  EXPECT_EQ(1, s().DrawVertexBuffer(1, 0, D3DPT_TRIANGLELIST, 2));
  EXPECT_EQ(D3D_OK, f.Device()->EndScene());
}

TEST_F(ScreenTest, FixedStateAndSwitches) {
  IDirect3DDevice9* dev = f.Device();
  DWORD value = 0;
  auto rs = [&](D3DRENDERSTATETYPE state) {
    dev->GetRenderState(state, &value);
    return value;
  };
  EXPECT_EQ((DWORD)TRUE, rs(D3DRS_ALPHABLENDENABLE));
  EXPECT_EQ((DWORD)D3DBLEND_SRCALPHA, rs(D3DRS_SRCBLEND));
  EXPECT_EQ((DWORD)D3DBLEND_INVSRCALPHA, rs(D3DRS_DESTBLEND));
  EXPECT_EQ((DWORD)TRUE, rs(D3DRS_ALPHATESTENABLE));
  EXPECT_EQ(15u, rs(D3DRS_ALPHAREF));
  EXPECT_EQ((DWORD)D3DCMP_GREATEREQUAL, rs(D3DRS_ALPHAFUNC));
  EXPECT_EQ(0xFF404040u, rs(D3DRS_AMBIENT));
  EXPECT_EQ((DWORD)FALSE, rs(D3DRS_LIGHTING));
  EXPECT_EQ((DWORD)D3DZB_TRUE, rs(D3DRS_ZENABLE));
  D3DMATERIAL9 m;
  dev->GetMaterial(&m);
  EXPECT_EQ(0.5f, m.Diffuse.a);
  EXPECT_EQ(0.5f, m.Specular.r);
  EXPECT_EQ(20.0f, m.Power);
  float bias;
  dev->GetSamplerState(0, D3DSAMP_MIPMAPLODBIAS, &value);
  memcpy(&bias, &value, 4);
  EXPECT_EQ(-1.5f, bias);
  dev->GetTextureStageState(1, D3DTSS_TEXCOORDINDEX, &value);
  EXPECT_EQ((DWORD)D3DTSS_TCI_CAMERASPACEPOSITION, value);
  dev->GetTextureStageState(1, D3DTSS_COLOROP, &value);
  EXPECT_EQ((DWORD)D3DTOP_BLENDTEXTUREALPHA, value);
  dev->GetSamplerState(1, D3DSAMP_ADDRESSU, &value);
  EXPECT_EQ((DWORD)D3DTADDRESS_CLAMP, value);
  if (s().GetDevCaps().MaxSimultaneousTextures > 2) {
    dev->GetTextureStageState(2, D3DTSS_COLOROP, &value);
    EXPECT_EQ((DWORD)D3DTOP_BLENDTEXTUREALPHA, value);
    dev->GetTextureStageState(2, D3DTSS_TEXCOORDINDEX, &value);
    EXPECT_EQ(2u, value);  // no coordinate generation on stage 2
  }

  // Depth modes.
  EXPECT_EQ(0, s().IsW());
  s().UseW(TRUE);
  EXPECT_EQ(1, s().IsW());
  EXPECT_EQ((DWORD)D3DZB_USEW, rs(D3DRS_ZENABLE));
  s().SetDepthBuffer(FALSE);
  EXPECT_EQ((DWORD)D3DZB_FALSE, rs(D3DRS_ZENABLE));
  s().SetDepthBuffer(TRUE);
  EXPECT_EQ((DWORD)D3DZB_USEW, rs(D3DRS_ZENABLE));
  s().UseW(FALSE);
  EXPECT_EQ((DWORD)D3DZB_TRUE, rs(D3DRS_ZENABLE));

  // Lights.
  D3DXVECTOR3 dir(0, -1, 1);
  s().AddDirectionalLight(&dir, 0.25f);
  D3DLIGHT9 light;
  ASSERT_EQ(D3D_OK, dev->GetLight(0, &light));
  EXPECT_EQ(D3DLIGHT_DIRECTIONAL, light.Type);
  EXPECT_EQ(0.25f, light.Specular.g);
  EXPECT_EQ(1.0f, light.Specular.a);
  EXPECT_EQ(1.0f, light.Diffuse.r);
  BOOL on = FALSE;
  dev->GetLightEnable(0, &on);
  EXPECT_TRUE(on);
  s().SetLight(FALSE);
  dev->GetLightEnable(0, &on);
  EXPECT_FALSE(on);
  EXPECT_EQ(0xFF000000u, rs(D3DRS_AMBIENT));

  s().SetLinearFog(0xFF648080, 0, 400);
  EXPECT_EQ((DWORD)TRUE, rs(D3DRS_FOGENABLE));
  EXPECT_EQ((DWORD)D3DFOG_LINEAR, rs(D3DRS_FOGTABLEMODE));
  EXPECT_EQ(0xFF648080u, rs(D3DRS_FOGCOLOR));
  s().FogDisable();
  EXPECT_EQ((DWORD)FALSE, rs(D3DRS_FOGENABLE));
}

TEST_F(ScreenTest, InitialisationPicksFormatsFromTheFlags) {
  f.Close();
  vrxtest::ScreenFixture full;
  ASSERT_TRUE(full.Open(320, 240, true, true));
  EXPECT_EQ(D3DFMT_X8R8G8B8, full.Screen().GetFormat());
  EXPECT_EQ(D3DFMT_D32, full.Screen().GetDepthFormat());  // the first of D32, D24S8, D16, D15S1
  EXPECT_EQ(1, full.Screen().IsW());
  DWORD z = 0;
  full.Device()->GetRenderState(D3DRS_ZENABLE, &z);
  EXPECT_EQ((DWORD)D3DZB_USEW, z);
  EXPECT_EQ(1, full.Screen().IsRenderTargetFormatExisting(D3DFMT_A8R8G8B8));
  EXPECT_EQ(0, full.Screen().IsRenderTargetFormatExisting(D3DFMT_DXT1));
  full.Close();

  vrxtest::ScreenFixture windowed;
  ASSERT_TRUE(windowed.Open(320, 240));
  EXPECT_EQ(D3DFMT_X8R8G8B8, windowed.Screen().GetFormat());  // the desktop's
  EXPECT_EQ(D3DFMT_D32, windowed.Screen().GetDepthFormat());  // as in full screen
}

TEST_F(ScreenTest, RestoreWaitsForDefaultPoolResourcesAndReappliesTheFixedState) {
  IDirect3DDevice9* dev = f.Device();
  cTexture* target = new cTexture(128, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, &s());
  ASSERT_NE(nullptr, target->GetTexturePointer());
  s().SetAlphaTest(FALSE);
  vrxtesting::ForceDeviceLoss(dev);
  EXPECT_EQ(D3DERR_DEVICELOST, dev->TestCooperativeLevel());
  EXPECT_EQ(D3DERR_DEVICENOTRESET, dev->TestCooperativeLevel());
  EXPECT_EQ(0, s().Restore());  // the render target still lives
  EXPECT_EQ(D3DERR_DEVICENOTRESET, dev->TestCooperativeLevel());
  delete target;
  EXPECT_EQ(1, s().Restore());
  EXPECT_EQ(D3D_OK, dev->TestCooperativeLevel());
  DWORD value = 0;
  dev->GetRenderState(D3DRS_ALPHATESTENABLE, &value);
  EXPECT_EQ((DWORD)TRUE, value);
  // The device's own targets were taken again: a texture target can be left.
  cTexture again(128, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, &s());
  again.SetAsTarget();
  s().RestoreTarget();
  IDirect3DSurface9* current = nullptr;
  IDirect3DSurface9* back = nullptr;
  dev->GetRenderTarget(0, &current);
  dev->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back);
  EXPECT_EQ(back, current);
  current->Release();
  back->Release();
  EXPECT_EQ(1, s().ClearScreen(0xFF112233));
  EXPECT_EQ(0xFF112233u, f.Pixel(10, 10));
}

}  // namespace
