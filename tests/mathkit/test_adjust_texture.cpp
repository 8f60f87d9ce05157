// GetAdjustMtx against a texture really rendered by the device: a clip-space
// position drawn in the shadow pass must be read back from the same texel.
#include <gtest/gtest.h>

#include "cScreen.h"
#include "cTexture.h"
#include "mathkit/mathkit.h"
#include "screen_fixture.h"
#include "test_support.h"

namespace {

const int kSize = 128;

struct ClipVertex {
  float x, y, z;
  DWORD colour;
};

struct ScreenVertex {
  float x, y, z, rhw;
  float u, v;
};

// The colour the texture shows at the texture coordinates the adjust matrix
// gives for clip position (x, y), sampled with bilinear filtering so that
// half a texel off shows as a blend.
DWORD Sample(vrxtest::ScreenFixture& f, cTexture& target, float x, float y) {
  D3DXMATRIX adjust;
  GetAdjustMtx(&adjust, kSize, 24);
  D3DXVECTOR4 clip(x, y, 0.5f, 1.0f), t;
  D3DXVec4Transform(&t, &clip, &adjust);
  const float u = t.x / t.w, v = t.y / t.w;

  IDirect3DDevice9* dev = f.Device();
  f.Screen().ClearScreen(0xFF0000FF);
  target.Set(0);
  dev->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
  dev->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
  dev->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_NONE);
  dev->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
  dev->SetSamplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_CLAMP);
  ScreenVertex q[4] = {{10, 10, 0.5f, 1, u, v}, {30, 10, 0.5f, 1, u, v}, {10, 30, 0.5f, 1, u, v},
                       {30, 30, 0.5f, 1, u, v}};
  dev->SetFVF(D3DFVF_XYZRHW | D3DFVF_TEX1);
  dev->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, q, sizeof(ScreenVertex));
  return f.Pixel(20, 20);
}

TEST(MathkitAdjustTexture, AClipPositionIsReadFromTheTexelItWasDrawnInto) {
  vrxtest::ScreenFixture f;
  ASSERT_TRUE(f.Open(kSize, kSize));
  cScreen& s = f.Screen();
  IDirect3DDevice9* dev = f.Device();
  cTexture target(kSize, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, &s);
  ASSERT_NE(nullptr, target.GetTexturePointer());

  // Shadow pass: white over the top-left quarter of clip space, black elsewhere.
  target.SetAsTarget();
  s.ClearScreen(0xFF000000);
  D3DXMATRIX id;
  D3DXMatrixIdentity(&id);
  dev->SetTransform(D3DTS_WORLD, &id);
  dev->SetTransform(D3DTS_VIEW, &id);
  dev->SetTransform(D3DTS_PROJECTION, &id);
  dev->SetRenderState(D3DRS_LIGHTING, FALSE);
  dev->SetRenderState(D3DRS_ZENABLE, FALSE);
  dev->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  dev->SetTexture(0, nullptr);
  const DWORD white = 0xFFFFFFFF;
  ClipVertex quarter[4] = {{-1, 1, 0.5f, white}, {0, 1, 0.5f, white}, {-1, 0, 0.5f, white}, {0, 0, 0.5f, white}};
  dev->SetFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE);
  dev->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quarter, sizeof(ClipVertex));
  s.RestoreTarget();

  // The centres of the four texels that meet at the middle of the texture.
  const float half = 1.0f / kSize;
  const DWORD inside = Sample(f, target, -half, half);
  EXPECT_EQ(0xFFFFFFFFu, inside) << vrxtest::Hex(inside);
  const DWORD right = Sample(f, target, half, half);
  EXPECT_EQ(0xFF000000u, right) << vrxtest::Hex(right);
  const DWORD below = Sample(f, target, -half, -half);
  EXPECT_EQ(0xFF000000u, below) << vrxtest::Hex(below);
  // Well inside each region, far from any edge.
  EXPECT_EQ(0xFFFFFFFFu, Sample(f, target, -0.5f, 0.5f));
  EXPECT_EQ(0xFF000000u, Sample(f, target, 0.5f, -0.5f));
}

}  // namespace
