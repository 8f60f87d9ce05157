// The Direct3D 9 device on OpenGL, called as the engine calls it: locked
// pixels in the Direct3D layouts, render targets, clears, depth modes,
// sampling, lighting, device loss and reset.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/d3d9.h"
#include "platform/d3d9_testing.h"
#include "platform/win32.h"
#include "screen_fixture.h"
#include "test_support.h"

namespace {

struct ScreenVertex {  // D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1
  float x, y, z, rhw;
  DWORD colour;
  float u, v;
};
constexpr DWORD kScreenFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;

struct Vertex {  // D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE
  float x, y, z, nx, ny, nz;
  DWORD colour;
};
constexpr DWORD kLitFvf = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE;

class Device : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(f.Open(256, 192));
    dev = f.Device();
    // Plain state: no blending or alpha test, texture as it is.
    dev->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    dev->SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
    dev->SetRenderState(D3DRS_LIGHTING, FALSE);
    dev->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_POINT);
    dev->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_POINT);
    dev->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_NONE);
    dev->SetSamplerState(0, D3DSAMP_MIPMAPLODBIAS, 0);
  }

  // A w x h screen-space rectangle at (x, y) with texture coordinates 0..1,
  // placed as Direct3D 9 wants it for one texel per pixel (edges on -0.5).
  void DrawRect(float x, float y, float w, float h, DWORD colour = 0xFFFFFFFF, float z = 0.5f) {
    x -= 0.5f;
    y -= 0.5f;
    ScreenVertex q[4] = {{x, y, z, 1, colour, 0, 0},
                         {x + w, y, z, 1, colour, 1, 0},
                         {x, y + h, z, 1, colour, 0, 1},
                         {x + w, y + h, z, 1, colour, 1, 1}};
    dev->SetFVF(kScreenFvf);
    ASSERT_EQ(D3D_OK, dev->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, q, sizeof(ScreenVertex)));
  }

  vrxtest::ScreenFixture f;
  IDirect3DDevice9* dev = nullptr;
};

// Fills level 0 of a texture with the given words or dwords, row by row.
template <class T>
void Fill(IDirect3DTexture9* t, const std::vector<T>& texels, UINT width) {
  D3DLOCKED_RECT lr;
  ASSERT_EQ(D3D_OK, t->LockRect(0, &lr, nullptr, 0));
  for (size_t i = 0; i < texels.size(); ++i)
    memcpy(static_cast<uint8_t*>(lr.pBits) + (i / width) * lr.Pitch + (i % width) * sizeof(T), &texels[i], sizeof(T));
  ASSERT_EQ(D3D_OK, t->UnlockRect(0));
}

TEST_F(Device, LockedPixelsAreInTheDirect3DLayoutOfEachFormat) {
  struct Case {
    D3DFORMAT format;
    std::vector<DWORD> texels;  // 2 x 2, in the format's own bits
    DWORD expected[4];          // what they look like as A8R8G8B8
  };
  const Case cases[] = {
      {D3DFMT_A8R8G8B8, {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFF804020},
       {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFF804020}},
      {D3DFMT_X8R8G8B8, {0x00FF0000, 0x0000FF00, 0x000000FF, 0x00804020},
       {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFF804020}},
      {D3DFMT_A4R4G4B4, {0xFF00, 0xF0F0, 0xF00F, 0xF842}, {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFF884422}},
      {D3DFMT_R5G6B5, {0xF800, 0x07E0, 0x001F, 0x8410}, {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFF848284}},
  };
  for (const Case& c : cases) {
    IDirect3DTexture9* t = nullptr;
    ASSERT_EQ(D3D_OK, dev->CreateTexture(2, 2, 1, 0, c.format, D3DPOOL_MANAGED, &t, nullptr)) << c.format;
    if (c.format == D3DFMT_A8R8G8B8 || c.format == D3DFMT_X8R8G8B8) {
      Fill(t, c.texels, 2);
    } else {
      std::vector<WORD> words(c.texels.begin(), c.texels.end());
      Fill(t, words, 2);
    }
    // Read back as written: texel (1, 1) where the pitch and the texel size put it.
    bool wide = c.format == D3DFMT_A8R8G8B8 || c.format == D3DFMT_X8R8G8B8;
    D3DLOCKED_RECT lr;
    ASSERT_EQ(D3D_OK, t->LockRect(0, &lr, nullptr, D3DLOCK_READONLY));
    DWORD bottomRight = 0;
    memcpy(&bottomRight, static_cast<uint8_t*>(lr.pBits) + lr.Pitch + (wide ? 4 : 2), wide ? 4 : 2);
    EXPECT_EQ(c.texels[3], bottomRight) << c.format;
    t->UnlockRect(0);

    f.Screen().ClearScreen(0xFF000000);
    dev->SetTexture(0, t);
    dev->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    DrawRect(100, 50, 2, 2);
    int w, h;
    std::vector<DWORD> px = f.ReadPixels(&w, &h);
    for (int i = 0; i < 4; ++i) {
      DWORD got = px[(50 + i / 2) * w + 100 + i % 2];
      EXPECT_EQ(c.expected[i], got | 0xFF000000) << "format " << c.format << " texel " << i << " " << vrxtest::Hex(got);
    }
    // Exactly the 2 x 2 pixels: Direct3D 9 puts pixel centres on integers.
    EXPECT_EQ(0xFF000000, px[50 * w + 99]);
    EXPECT_EQ(0xFF000000, px[50 * w + 102]);
    EXPECT_EQ(0xFF000000, px[49 * w + 100]);
    EXPECT_EQ(0xFF000000, px[52 * w + 100]);
    dev->SetTexture(0, nullptr);
    EXPECT_EQ(0u, t->Release());
  }
}

TEST_F(Device, RenderTargetTexturesHoldRowsFromTheTop) {
  for (D3DFORMAT format : {D3DFMT_A8R8G8B8, D3DFMT_A4R4G4B4, D3DFMT_R5G6B5}) {
    IDirect3DTexture9* t = nullptr;
    ASSERT_EQ(D3DERR_INVALIDCALL,
              dev->CreateTexture(64, 64, 1, D3DUSAGE_RENDERTARGET, format, D3DPOOL_MANAGED, &t, nullptr));
    ASSERT_EQ(D3D_OK, dev->CreateTexture(64, 64, 1, D3DUSAGE_RENDERTARGET, format, D3DPOOL_DEFAULT, &t, nullptr));
    IDirect3DSurface9* s = nullptr;
    ASSERT_EQ(D3D_OK, t->GetSurfaceLevel(0, &s));
    ASSERT_EQ(D3D_OK, dev->SetRenderTarget(0, s));
    D3DVIEWPORT9 vp;
    dev->GetViewport(&vp);
    EXPECT_EQ(64u, vp.Width);
    EXPECT_EQ(64u, vp.Height);
    dev->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF0000FF, 1.0f, 0);
    dev->SetTexture(0, nullptr);
    DrawRect(0, 0, 8, 4, 0xFFFF0000);
    D3DLOCKED_RECT lr;
    ASSERT_EQ(D3D_OK, s->LockRect(&lr, nullptr, D3DLOCK_READONLY));
    const uint8_t* p = static_cast<const uint8_t*>(lr.pBits);
    WORD topLeft16, bottom16;
    DWORD topLeft32, bottom32;
    memcpy(&topLeft16, p, 2);
    memcpy(&bottom16, p + 63 * lr.Pitch, 2);
    memcpy(&topLeft32, p, 4);
    memcpy(&bottom32, p + 63 * lr.Pitch, 4);
    if (format == D3DFMT_A8R8G8B8) {
      EXPECT_EQ(0xFFFF0000u, topLeft32);
      EXPECT_EQ(0xFF0000FFu, bottom32);
    } else if (format == D3DFMT_A4R4G4B4) {
      EXPECT_EQ(0xFF00, topLeft16);
      EXPECT_EQ(0xF00F, bottom16);
    } else {
      EXPECT_EQ(0xF800, topLeft16);
      EXPECT_EQ(0x001F, bottom16);
    }
    s->UnlockRect();
    // A locked sub-rectangle starts at its own top-left corner.
    RECT r{6, 2, 10, 6};
    ASSERT_EQ(D3D_OK, s->LockRect(&lr, &r, D3DLOCK_READONLY));
    memcpy(&topLeft16, lr.pBits, 2);
    memcpy(&bottom16, static_cast<uint8_t*>(lr.pBits) + 2 * lr.Pitch, 2);
    EXPECT_EQ(format == D3DFMT_A8R8G8B8 ? 0x0000 : (format == D3DFMT_A4R4G4B4 ? 0xFF00 : 0xF800), topLeft16);
    EXPECT_NE(topLeft16, bottom16);
    s->UnlockRect();
    if (format == D3DFMT_A4R4G4B4) {
      // A colour between the 4-bit levels reads back as the nearest levels.
      D3DRECT corner{0, 0, 2, 2};
      dev->Clear(1, &corner, D3DCLEAR_TARGET, 0xFF80C040, 1.0f, 0);
      ASSERT_EQ(D3D_OK, s->LockRect(&lr, nullptr, D3DLOCK_READONLY));
      memcpy(&topLeft16, lr.pBits, 2);
      EXPECT_EQ(0xF8B4, topLeft16);
      s->UnlockRect();
    }
    f.Screen().RestoreTarget();
    s->Release();
    EXPECT_EQ(0u, t->Release());
  }
}

TEST_F(Device, ClearsTheViewportAndRectanglesWhateverTheWriteMasks) {
  f.Screen().ClearScreen(0xFF000000);
  D3DVIEWPORT9 vp{10, 20, 30, 40, 0, 1};
  ASSERT_EQ(D3D_OK, dev->SetViewport(&vp));
  dev->SetRenderState(D3DRS_COLORWRITEENABLE, 0);
  dev->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
  ASSERT_EQ(D3D_OK, dev->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFFFF0000, 0.0f, 0));
  D3DRECT rect{0, 0, 15, 25};  // only its part inside the viewport
  ASSERT_EQ(D3D_OK, dev->Clear(1, &rect, D3DCLEAR_TARGET, 0xFF00FF00, 1.0f, 0));
  int w, h;
  std::vector<DWORD> px = f.ReadPixels(&w, &h);
  EXPECT_EQ(0xFF00FF00, px[20 * w + 10]);
  EXPECT_EQ(0xFF00FF00, px[24 * w + 14]);
  EXPECT_EQ(0xFFFF0000, px[25 * w + 14]);
  EXPECT_EQ(0xFFFF0000, px[59 * w + 39]);
  EXPECT_EQ(0xFF000000, px[60 * w + 39]);
  EXPECT_EQ(0xFF000000, px[19 * w + 10]);
  EXPECT_EQ(0xFF000000, px[20 * w + 9]);
  EXPECT_EQ(0xFF000000, px[0]);

  // The depth was cleared to 0 even with depth writes off: nothing passes.
  dev->SetRenderState(D3DRS_COLORWRITEENABLE, 0xF);
  dev->SetTexture(0, nullptr);
  DrawRect(12, 30, 4, 4, 0xFFFFFFFF, 0.5f);
  EXPECT_EQ(0xFFFF0000, f.Pixel(13, 31));
  EXPECT_EQ(D3DERR_INVALIDCALL, dev->Clear(0, nullptr, D3DCLEAR_STENCIL, 0, 1.0f, 0));  // D16 has no stencil
}

// Two quads 0.5 apart at 500 units with near 0.01: the w-buffer mode (reversed
// float depth) keeps them apart whichever is drawn first, in full screen and
// in a window alike.
class DepthOrder : public Device, public ::testing::WithParamInterface<bool> {};

TEST_P(DepthOrder, WBufferModeOrdersDistantSurfaces) {
  const bool fullScreen = GetParam();
  f.Close();
  ASSERT_TRUE(f.Open(256, 192, fullScreen, true));
  dev = f.Device();
  EXPECT_NE(D3DFMT_D16, f.Screen().GetDepthFormat());
  EXPECT_NE(D3DFMT_D15S1, f.Screen().GetDepthFormat());
  f.Screen().SetTransformMatrix(1.33f, 0, 0.01f, 600.0f, FALSE);
  dev->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  dev->SetRenderState(D3DRS_LIGHTING, FALSE);
  dev->SetTexture(0, nullptr);
  auto quad = [](float z, DWORD c) {
    return std::vector<Vertex>{{-100, 100, z, 0, 0, -1, c}, {100, 100, z, 0, 0, -1, c}, {-100, -100, z, 0, 0, -1, c},
                               {100, -100, z, 0, 0, -1, c}};
  };
  auto draw = [&](const std::vector<Vertex>& v) {
    dev->SetFVF(kLitFvf);
    dev->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v.data(), sizeof(Vertex));
  };
  std::vector<Vertex> nearQuad = quad(500.0f, 0xFFFF0000), farQuad = quad(500.5f, 0xFF00FF00);
  EXPECT_EQ(1, f.Screen().IsW());
  for (int order = 0; order < 2; ++order) {
    f.Screen().ClearScreen(0xFF000000);
    draw(order ? farQuad : nearQuad);
    draw(order ? nearQuad : farQuad);
    EXPECT_EQ(0xFFFF0000, f.Pixel(128, 96)) << "order " << order;
  }
  // Compare functions keep their meaning in the reversed depth: GREATER lets
  // only the farther surface through.
  dev->SetRenderState(D3DRS_ZFUNC, D3DCMP_GREATER);
  f.Screen().ClearScreen(0xFF000000);
  dev->SetRenderState(D3DRS_ZFUNC, D3DCMP_ALWAYS);
  draw(nearQuad);
  dev->SetRenderState(D3DRS_ZFUNC, D3DCMP_GREATER);
  draw(farQuad);
  EXPECT_EQ(0xFF00FF00, f.Pixel(128, 96));

  // The ordinary z-buffer orders surfaces that are far enough apart.
  f.Screen().UseW(FALSE);
  dev->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESSEQUAL);
  std::vector<Vertex> a = quad(10.0f, 0xFFFF0000), b = quad(20.0f, 0xFF00FF00);
  f.Screen().ClearScreen(0xFF000000);
  draw(a);
  draw(b);
  EXPECT_EQ(0xFFFF0000, f.Pixel(128, 96));
}

INSTANTIATE_TEST_SUITE_P(Screens, DepthOrder, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& p) { return p.param ? "FullScreen" : "Windowed"; });

TEST_F(Device, SamplerStatesPickMipLevelsAndAddressing) {
  IDirect3DTexture9* t = nullptr;
  ASSERT_EQ(D3D_OK, dev->CreateTexture(8, 8, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &t, nullptr));
  ASSERT_EQ(4u, t->GetLevelCount());
  const DWORD colours[4] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF};
  for (UINT level = 0; level < 4; ++level) {
    D3DSURFACE_DESC d;
    t->GetLevelDesc(level, &d);
    EXPECT_EQ(8u >> level, d.Width);
    D3DLOCKED_RECT lr;
    ASSERT_EQ(D3D_OK, t->LockRect(level, &lr, nullptr, 0));
    for (UINT y = 0; y < d.Height; ++y)
      for (UINT x = 0; x < d.Width; ++x)
        memcpy(static_cast<uint8_t*>(lr.pBits) + y * lr.Pitch + x * 4, &colours[level], 4);
    t->UnlockRect(level);
  }
  dev->SetTexture(0, t);
  dev->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
  dev->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_POINT);
  auto draw = [&](float size, float bias) {
    DWORD biasBits;
    std::memcpy(&biasBits, &bias, sizeof biasBits);
    dev->SetSamplerState(0, D3DSAMP_MIPMAPLODBIAS, biasBits);
    f.Screen().ClearScreen(0xFF000000);
    DrawRect(64, 64, size, size);
    return f.Pixel(64 + (int)size / 2, 64 + (int)size / 2);
  };
  EXPECT_EQ(colours[0], draw(8, 0));
  EXPECT_EQ(colours[1], draw(4, 0));
  EXPECT_EQ(colours[1], draw(8, 1.0f));
  EXPECT_EQ(colours[0], draw(4, -1.5f));  // the screen's bias keeps minified textures sharp
  // Between two levels: the linear mip filter mixes them; the screen's fixed
  // value 3 (not a mip filter in Direct3D) takes the nearer one, as point does.
  dev->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_LINEAR);
  const DWORD mixed = draw(6, 0);
  EXPECT_GT(vrxtest::Red(mixed), 60) << vrxtest::Hex(mixed);
  EXPECT_GT(vrxtest::Green(mixed), 60) << vrxtest::Hex(mixed);
  dev->SetSamplerState(0, D3DSAMP_MIPFILTER, 3);
  EXPECT_EQ(colours[0], draw(6, 0));
  EXPECT_EQ(colours[1], draw(3, 0));
  dev->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_NONE);
  EXPECT_EQ(colours[0], draw(2, 0));
  dev->SetTexture(0, nullptr);
  t->Release();

  // Clamped addressing repeats the edge texel, wrapped addressing the picture.
  ASSERT_EQ(D3D_OK, dev->CreateTexture(2, 1, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &t, nullptr));
  Fill(t, std::vector<DWORD>{0xFFFF0000, 0xFF00FF00}, 2);
  dev->SetTexture(0, t);
  ScreenVertex q[4] = {{63.5f, 63.5f, 0.5f, 1, 0xFFFFFFFF, 0, 0},
                       {67.5f, 63.5f, 0.5f, 1, 0xFFFFFFFF, 2, 0},
                       {63.5f, 64.5f, 0.5f, 1, 0xFFFFFFFF, 0, 1},
                       {67.5f, 64.5f, 0.5f, 1, 0xFFFFFFFF, 2, 1}};
  dev->SetFVF(kScreenFvf);
  dev->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, q, sizeof(ScreenVertex));
  EXPECT_EQ(0xFFFF0000, f.Pixel(66, 64));
  dev->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
  dev->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, q, sizeof(ScreenVertex));
  EXPECT_EQ(0xFF00FF00, f.Pixel(66, 64));
  dev->SetTexture(0, nullptr);
  t->Release();
}

// Lights are in world space: turning the camera does not move them.
TEST_F(Device, DirectionalLightIsInWorldSpace) {
  f.Screen().SetTransformMatrix(1.33f, 0, 0.01f, 100.0f, FALSE);
  dev->SetRenderState(D3DRS_LIGHTING, TRUE);
  dev->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  dev->SetRenderState(D3DRS_AMBIENT, 0xFF404040);
  D3DMATERIAL9 m{};
  m.Ambient = D3DCOLORVALUE{1, 1, 1, 1};
  m.Diffuse = D3DCOLORVALUE{1, 1, 1, 1};
  dev->SetMaterial(&m);
  D3DXVECTOR3 dir(1, 0, 0);  // light travelling along +x
  f.Screen().AddDirectionalLight(&dir, 0);
  dev->SetTexture(0, nullptr);
  // A quad at x = 5 facing -x (lit), one at z = 5 facing -z (edge-on to the light).
  const DWORD grey = 0xFF808080;
  std::vector<Vertex> lit = {{5, 1, -1, -1, 0, 0, grey}, {5, 1, 1, -1, 0, 0, grey}, {5, -1, -1, -1, 0, 0, grey},
                             {5, -1, 1, -1, 0, 0, grey}};
  std::vector<Vertex> side = {{-1, 1, 5, 0, 0, -1, grey}, {1, 1, 5, 0, 0, -1, grey}, {-1, -1, 5, 0, 0, -1, grey},
                              {1, -1, 5, 0, 0, -1, grey}};
  dev->SetFVF(kLitFvf);
  auto look = [&](D3DXVECTOR3 target, const std::vector<Vertex>& v) {
    f.Screen().SetCamera(D3DXVECTOR3(0, 0, 0), target, D3DXVECTOR3(0, 1, 0));
    f.Screen().ClearScreen(0xFF000000);
    dev->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v.data(), sizeof(Vertex));
    return f.Pixel(128, 96);
  };
  // Ambient 0x40 x 1 plus diffuse 0x80 x 1 x (n . l).
  EXPECT_TRUE(vrxtest::Near(look(D3DXVECTOR3(1, 0, 0), lit), 0xFFC0C0C0, 2));
  EXPECT_TRUE(vrxtest::Near(look(D3DXVECTOR3(0, 0, 1), side), 0xFF404040, 2));
  // A world scaled by 2 shortens the normals unless they are normalised.
  D3DXMATRIX scale;
  D3DXMatrixScaling(&scale, 2, 2, 2);
  dev->SetTransform(D3DTS_WORLD, &scale);
  std::vector<Vertex> half = lit;
  for (Vertex& v : half) v.x = 2.5f;  // x = 5 after the scaling
  EXPECT_TRUE(vrxtest::Near(look(D3DXVECTOR3(1, 0, 0), half), 0xFF808080, 2));
  dev->SetRenderState(D3DRS_NORMALIZENORMALS, TRUE);
  EXPECT_TRUE(vrxtest::Near(look(D3DXVECTOR3(1, 0, 0), half), 0xFFC0C0C0, 2));
  D3DXMATRIX identity;
  D3DXMatrixIdentity(&identity);
  dev->SetTransform(D3DTS_WORLD, &identity);
  // Specular only with D3DRS_SPECULARENABLE: light from behind the camera
  // straight onto a small surface far ahead, so the half vector is the
  // normal at every vertex (lighting is per vertex, as in Direct3D).
  m.Specular = D3DCOLORVALUE{0.25f, 0.25f, 0.25f, 1};
  m.Power = 20;
  dev->SetMaterial(&m);
  f.Screen().AddDirectionalLight(&dir, 1.0f);
  std::vector<Vertex> small = {{20, 0.5f, -0.5f, -1, 0, 0, grey}, {20, 0.5f, 0.5f, -1, 0, 0, grey},
                               {20, -0.5f, -0.5f, -1, 0, 0, grey}, {20, -0.5f, 0.5f, -1, 0, 0, grey}};
  dev->SetRenderState(D3DRS_AMBIENT, 0);
  EXPECT_TRUE(vrxtest::Near(look(D3DXVECTOR3(1, 0, 0), small), 0xFF808080, 2));
  dev->SetRenderState(D3DRS_SPECULARENABLE, TRUE);
  EXPECT_TRUE(vrxtest::Near(look(D3DXVECTOR3(1, 0, 0), small), 0xFFC0C0C0, 2)) << vrxtest::Hex(f.Pixel(128, 96));
  dev->SetRenderState(D3DRS_SPECULARENABLE, FALSE);

  // Without lighting the vertex colour as it is.
  dev->SetRenderState(D3DRS_LIGHTING, FALSE);
  EXPECT_EQ(grey, look(D3DXVECTOR3(0, 0, 1), side));
}

// The car's silhouette pass: source times the blend factor, destination
// dropped, so the target takes the factor's alpha.
TEST_F(Device, BlendFactorWithZeroDestination) {
  IDirect3DTexture9* t = nullptr;
  ASSERT_EQ(D3D_OK, dev->CreateTexture(64, 64, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &t,
                                       nullptr));
  IDirect3DSurface9* s = nullptr;
  t->GetSurfaceLevel(0, &s);
  dev->SetRenderTarget(0, s);
  dev->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
  dev->SetTexture(0, nullptr);
  dev->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  dev->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_BLENDFACTOR);
  dev->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ZERO);
  auto draw = [&](DWORD factor) {
    dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF00FF00, 1.0f, 0);
    dev->SetRenderState(D3DRS_BLENDFACTOR, factor);
    DrawRect(0, 0, 16, 16, 0xFF808080);
    D3DLOCKED_RECT lr;
    DWORD v = 0;
    RECT r{4, 4, 5, 5};
    EXPECT_EQ(D3D_OK, s->LockRect(&lr, &r, D3DLOCK_READONLY));
    memcpy(&v, lr.pBits, 4);
    s->UnlockRect();
    return v;
  };
  EXPECT_EQ(0x40808080u, draw(0x40FFFFFF));
  EXPECT_EQ(0xFF404040u, draw(0xFF808080));
  f.Screen().RestoreTarget();
  s->Release();
  t->Release();
}

// Source-alpha blending as the screen sets it, with textures that are or
// become translucent: whatever the alpha chain reads decides the mix.
TEST_F(Device, SourceAlphaBlendFollowsTheTexturesAlpha) {
  IDirect3DTexture9* t = nullptr;
  ASSERT_EQ(D3D_OK, dev->CreateTexture(4, 4, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &t, nullptr));
  auto fill = [&](UINT level, DWORD texel) {
    D3DLOCKED_RECT lr;
    D3DSURFACE_DESC d;
    t->GetLevelDesc(level, &d);
    ASSERT_EQ(D3D_OK, t->LockRect(level, &lr, nullptr, 0));
    for (UINT y = 0; y < d.Height; ++y)
      for (UINT x = 0; x < d.Width; ++x) memcpy(static_cast<uint8_t*>(lr.pBits) + y * lr.Pitch + x * 4, &texel, 4);
    t->UnlockRect(level);
  };
  for (UINT level = 0; level < t->GetLevelCount(); ++level) fill(level, 0xFF0000FF);
  dev->SetTexture(0, t);
  dev->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  dev->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
  dev->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
  auto draw = [&](DWORD diffuse) {
    f.Screen().ClearScreen(0xFFFF0000);
    DrawRect(64, 64, 8, 8, diffuse);
    return f.Pixel(68, 68);
  };
  dev->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
  dev->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
  EXPECT_EQ(0xFF0000FFu, draw(0x80FFFFFF));  // opaque texture: its colour
  // The diffuse alpha joins in.
  dev->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
  EXPECT_TRUE(vrxtest::Near(draw(0x80FFFFFF), 0xFF7F0080, 2)) << vrxtest::Hex(draw(0x80FFFFFF));
  EXPECT_EQ(0xFF0000FFu, draw(0xFFFFFFFF));
  // A texture factor of half alpha on a second stage.
  dev->SetRenderState(D3DRS_TEXTUREFACTOR, 0x80FFFFFF);
  dev->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
  dev->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_SELECTARG2);
  dev->SetTextureStageState(1, D3DTSS_COLORARG1, D3DTA_TFACTOR);
  dev->SetTextureStageState(1, D3DTSS_COLORARG2, D3DTA_CURRENT);
  dev->SetTextureStageState(1, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
  dev->SetTextureStageState(1, D3DTSS_ALPHAARG1, D3DTA_TFACTOR);
  EXPECT_TRUE(vrxtest::Near(draw(0xFFFFFFFF), 0xFF7F0080, 2)) << vrxtest::Hex(draw(0xFFFFFFFF));
  dev->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
  dev->SetTextureStageState(1, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
  EXPECT_EQ(0xFF0000FFu, draw(0xFFFFFFFF));
  // The texture turns translucent in its smallest level only, while set.
  fill(t->GetLevelCount() - 1, 0x800000FF);
  dev->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_POINT);
  f.Screen().ClearScreen(0xFFFF0000);
  DrawRect(64, 64, 1, 1);  // drawn from the smallest level
  EXPECT_TRUE(vrxtest::Near(f.Pixel(64, 64), 0xFF7F0080, 2)) << vrxtest::Hex(f.Pixel(64, 64));
  EXPECT_EQ(0xFF0000FFu, draw(0xFFFFFFFF));  // level 0 is still opaque
  dev->SetTexture(0, nullptr);
  t->Release();
}

TEST_F(Device, TexCoordIndexPicksTheCoordinateSet) {
  IDirect3DTexture9* t = nullptr;
  ASSERT_EQ(D3D_OK, dev->CreateTexture(2, 2, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &t, nullptr));
  Fill(t, std::vector<DWORD>{0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF}, 2);
  struct V2 {
    float x, y, z, rhw;
    float u0, v0, u1, v1;
  };
  // Set 0 stays on the red texel, set 1 spans the picture.
  V2 q[4] = {{9.5f, 9.5f, 0.5f, 1, 0.2f, 0.2f, 0, 0},
             {29.5f, 9.5f, 0.5f, 1, 0.2f, 0.2f, 1, 0},
             {9.5f, 29.5f, 0.5f, 1, 0.2f, 0.2f, 0, 1},
             {29.5f, 29.5f, 0.5f, 1, 0.2f, 0.2f, 1, 1}};
  dev->SetTexture(0, t);
  dev->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
  dev->SetFVF(D3DFVF_XYZRHW | D3DFVF_TEX2);
  f.Screen().ClearScreen(0xFF000000);
  dev->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, q, sizeof(V2));
  EXPECT_EQ(0xFFFF0000, f.Pixel(25, 25));
  dev->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, 1);
  dev->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, q, sizeof(V2));
  EXPECT_EQ(0xFFFF0000, f.Pixel(12, 12));
  EXPECT_EQ(0xFFFFFFFF, f.Pixel(25, 25));
  dev->SetTexture(0, nullptr);
  t->Release();
}

// Camera-space reflection vectors into a cube map: a surface facing the
// camera shows the face behind the camera, one turned by 45 degrees a side face.
TEST_F(Device, ReflectionVectorsSampleTheCubeMap) {
  IDirect3DCubeTexture9* cube = nullptr;
  ASSERT_EQ(D3D_OK, dev->CreateCubeTexture(4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &cube, nullptr));
  const DWORD colour[6] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFF00, 0xFF00FFFF, 0xFFFF00FF};
  for (int face = 0; face < 6; ++face) {
    D3DLOCKED_RECT lr;
    ASSERT_EQ(D3D_OK, cube->LockRect((D3DCUBEMAP_FACES)face, 0, &lr, nullptr, 0));
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 4; ++x) memcpy(static_cast<uint8_t*>(lr.pBits) + y * lr.Pitch + x * 4, &colour[face], 4);
    cube->UnlockRect((D3DCUBEMAP_FACES)face, 0);
  }
  f.Screen().SetTransformMatrix(1.33f, 0, 0.01f, 100.0f, FALSE);
  dev->SetTexture(0, cube);
  dev->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
  dev->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, D3DTSS_TCI_CAMERASPACEREFLECTIONVECTOR);
  dev->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  dev->SetFVF(kLitFvf);
  auto draw = [&](float nx, float nz) {
    std::vector<Vertex> v = {{-1, 1, 5, nx, 0, nz, 0xFFFFFFFF}, {1, 1, 5, nx, 0, nz, 0xFFFFFFFF},
                             {-1, -1, 5, nx, 0, nz, 0xFFFFFFFF}, {1, -1, 5, nx, 0, nz, 0xFFFFFFFF}};
    f.Screen().ClearScreen(0xFF000000);
    dev->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v.data(), sizeof(Vertex));
    return f.Pixel(128, 96);
  };
  EXPECT_EQ(colour[D3DCUBEMAP_FACE_NEGATIVE_Z], draw(0, -1));
  EXPECT_EQ(colour[D3DCUBEMAP_FACE_NEGATIVE_X], draw(-0.70710678f, -0.70710678f));
  EXPECT_EQ(colour[D3DCUBEMAP_FACE_POSITIVE_X], draw(0.70710678f, -0.70710678f));
  dev->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, 0);
  dev->SetTexture(0, nullptr);
  cube->Release();
}

TEST_F(Device, ReferencesAndBindings) {
  IDirect3DTexture9* t = nullptr;
  ASSERT_EQ(D3D_OK, dev->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &t, nullptr));
  EXPECT_EQ(2u, t->AddRef());
  EXPECT_EQ(1u, t->Release());
  IDirect3DSurface9* s = nullptr;
  ASSERT_EQ(D3D_OK, t->GetSurfaceLevel(0, &s));
  EXPECT_EQ(1u, t->Release());  // the surface keeps its texture
  D3DSURFACE_DESC d;
  EXPECT_EQ(D3D_OK, s->GetDesc(&d));
  EXPECT_EQ(D3DFMT_A8R8G8B8, d.Format);
  EXPECT_EQ(D3DPOOL_MANAGED, d.Pool);
  ASSERT_EQ(D3D_OK, t->GetSurfaceLevel(0, &s));  // take it back through the surface
  s->Release();
  // Bound and then released by us, it stays usable until unbound.
  dev->SetTexture(0, t);
  EXPECT_EQ(0u, t->Release());
  IDirect3DBaseTexture9* bound = nullptr;
  dev->GetTexture(0, &bound);
  EXPECT_EQ(static_cast<IDirect3DBaseTexture9*>(t), bound);
  f.Screen().ClearScreen(0xFF000000);
  DrawRect(0, 0, 4, 4);
  bound->Release();
  dev->SetTexture(0, nullptr);
  EXPECT_EQ(D3DERR_INVALIDCALL, dev->SetRenderTarget(0, nullptr));
  EXPECT_EQ(D3DERR_INVALIDCALL, dev->CreateTexture(0, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &t, nullptr));
  EXPECT_EQ(nullptr, t);
}

// A range past the end of the buffers is refused, however large the start,
// instead of wrapping round to a small one.
TEST_F(Device, DrawRangesPastTheBuffersAreRefused) {
  IDirect3DVertexBuffer9* vb = nullptr;
  ASSERT_EQ(D3D_OK, dev->CreateVertexBuffer(3 * sizeof(Vertex), 0, kLitFvf, D3DPOOL_MANAGED, &vb, nullptr));
  IDirect3DIndexBuffer9* ib = nullptr;
  ASSERT_EQ(D3D_OK, dev->CreateIndexBuffer(6, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, &ib, nullptr));
  dev->SetFVF(kLitFvf);
  dev->SetStreamSource(0, vb, 0, sizeof(Vertex));
  dev->SetIndices(ib);
  EXPECT_EQ(D3D_OK, dev->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1));
  EXPECT_EQ(D3DERR_INVALIDCALL, dev->DrawPrimitive(D3DPT_TRIANGLELIST, 1, 1));
  EXPECT_EQ(D3DERR_INVALIDCALL, dev->DrawPrimitive(D3DPT_TRIANGLELIST, 0xFFFFFFFFu, 1));
  EXPECT_EQ(D3D_OK, dev->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 3, 0, 1));
  EXPECT_EQ(D3DERR_INVALIDCALL, dev->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 3, 1, 1));
  EXPECT_EQ(D3DERR_INVALIDCALL, dev->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 3, 0xFFFFFFFEu, 1));
  dev->SetStreamSource(0, nullptr, 0, 0);
  dev->SetIndices(nullptr);
  EXPECT_EQ(0u, vb->Release());
  EXPECT_EQ(0u, ib->Release());
}

LRESULT CALLBACK PlainProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

// A device made directly on a window of our own, without cScreen.
struct RawDevice {
  RawDevice() {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = PlainProc;
    wc.lpszClassName = "VrxRawDevice";
    RegisterClassExA(&wc);  // fails harmlessly the second time
    window = CreateWindowExA(0, "VrxRawDevice", "raw", WS_POPUP, 0, 0, 128, 96, nullptr, nullptr, nullptr, nullptr);
    ShowWindow(window, SW_SHOW);
    d3d = Direct3DCreate9(D3D_SDK_VERSION);
    pp.BackBufferWidth = 128;
    pp.BackBufferHeight = 96;
    pp.BackBufferFormat = D3DFMT_X8R8G8B8;
    pp.BackBufferCount = 1;
    pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
    pp.Windowed = TRUE;
    pp.EnableAutoDepthStencil = TRUE;
    pp.AutoDepthStencilFormat = D3DFMT_D24S8;
    pp.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
    if (d3d) d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window, D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp,
                               &dev);
  }
  ~RawDevice() {
    if (dev) {
      EXPECT_EQ(0u, dev->Release());  // nothing left holding it
    }
    if (d3d) d3d->Release();
    DestroyWindow(window);
  }
  HWND window = nullptr;
  IDirect3D9* d3d = nullptr;
  IDirect3DDevice9* dev = nullptr;
  D3DPRESENT_PARAMETERS pp{};
};

TEST(RawDevice, ForcedLossAndResetKeepManagedResources) {
  RawDevice raw;
  IDirect3DDevice9* dev = raw.dev;
  ASSERT_NE(nullptr, dev);
  IDirect3DVertexBuffer9* vb = nullptr;
  ASSERT_EQ(D3D_OK, dev->CreateVertexBuffer(64, 0, 0, D3DPOOL_MANAGED, &vb, nullptr));
  void* p = nullptr;
  ASSERT_EQ(D3D_OK, vb->Lock(0, 0, &p, 0));
  for (int i = 0; i < 64; ++i) static_cast<uint8_t*>(p)[i] = (uint8_t)(i * 3);
  vb->Unlock();
  IDirect3DTexture9* managed = nullptr;
  ASSERT_EQ(D3D_OK, dev->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &managed, nullptr));
  Fill(managed, std::vector<DWORD>(16, 0xFF336699), 4);
  IDirect3DTexture9* target = nullptr;
  ASSERT_EQ(D3D_OK,
            dev->CreateTexture(32, 32, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &target, nullptr));
  IDirect3DSurface9* depth = nullptr;
  ASSERT_EQ(D3D_OK, dev->CreateDepthStencilSurface(32, 32, D3DFMT_D24S8, D3DMULTISAMPLE_NONE, 0, TRUE, &depth,
                                                   nullptr));
  dev->SetRenderState(D3DRS_FOGENABLE, TRUE);

  vrxtesting::ForceDeviceLoss(dev);
  EXPECT_EQ(D3DERR_DEVICELOST, dev->TestCooperativeLevel());
  EXPECT_EQ(D3DERR_DEVICELOST, dev->Present(nullptr, nullptr, nullptr, nullptr));
  EXPECT_EQ(D3DERR_DEVICENOTRESET, dev->TestCooperativeLevel());
  // Refused while default-pool resources live: the render target, the depth
  // surface, and a reference to the back buffer.
  D3DPRESENT_PARAMETERS pp = raw.pp;
  EXPECT_EQ(D3DERR_INVALIDCALL, dev->Reset(&pp));
  EXPECT_EQ(0u, target->Release());
  EXPECT_EQ(D3DERR_INVALIDCALL, dev->Reset(&pp));
  EXPECT_EQ(0u, depth->Release());
  IDirect3DSurface9* back = nullptr;
  dev->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back);
  EXPECT_EQ(D3DERR_INVALIDCALL, dev->Reset(&pp));
  EXPECT_EQ(D3DERR_DEVICENOTRESET, dev->TestCooperativeLevel());
  back->Release();
  EXPECT_EQ(D3D_OK, dev->Reset(&pp));
  EXPECT_EQ(D3D_OK, dev->TestCooperativeLevel());

  // State is back at its defaults; managed contents are kept.
  DWORD fog = 1, lighting = 0;
  dev->GetRenderState(D3DRS_FOGENABLE, &fog);
  dev->GetRenderState(D3DRS_LIGHTING, &lighting);
  EXPECT_EQ(0u, fog);
  EXPECT_EQ(1u, lighting);
  ASSERT_EQ(D3D_OK, vb->Lock(0, 0, &p, D3DLOCK_READONLY));
  for (int i = 0; i < 64; ++i) ASSERT_EQ((uint8_t)(i * 3), static_cast<uint8_t*>(p)[i]);
  vb->Unlock();
  dev->SetRenderState(D3DRS_LIGHTING, FALSE);
  dev->SetTexture(0, managed);
  dev->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
  dev->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
  ScreenVertex q[4] = {{7.5f, 7.5f, 0.5f, 1, 0xFFFFFFFF, 0, 0},
                       {11.5f, 7.5f, 0.5f, 1, 0xFFFFFFFF, 1, 0},
                       {7.5f, 11.5f, 0.5f, 1, 0xFFFFFFFF, 0, 1},
                       {11.5f, 11.5f, 0.5f, 1, 0xFFFFFFFF, 1, 1}};
  dev->SetFVF(kScreenFvf);
  dev->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, q, sizeof(ScreenVertex));
  IDirect3DSurface9* rt = nullptr;
  dev->GetRenderTarget(0, &rt);
  D3DLOCKED_RECT lr;
  ASSERT_EQ(D3D_OK, rt->LockRect(&lr, nullptr, D3DLOCK_READONLY));
  DWORD pixel;
  memcpy(&pixel, static_cast<uint8_t*>(lr.pBits) + 9 * lr.Pitch + 9 * 4, 4);
  EXPECT_EQ(0xFF336699u, pixel | 0xFF000000u);
  rt->UnlockRect();
  rt->Release();
  dev->SetTexture(0, nullptr);
  managed->Release();
  vb->Release();
  EXPECT_EQ(D3D_OK, dev->Present(nullptr, nullptr, nullptr, nullptr));
}

TEST_F(Device, HiddenFullScreenWindowLosesTheDevice) {
  f.Close();
  ASSERT_TRUE(f.Open(256, 192, true));
  dev = f.Device();
  EXPECT_EQ(D3D_OK, dev->TestCooperativeLevel());
  ShowWindow(f.Window(), SW_HIDE);
  EXPECT_EQ(D3DERR_DEVICELOST, dev->TestCooperativeLevel());
  EXPECT_EQ(D3DERR_DEVICELOST, dev->Present(nullptr, nullptr, nullptr, nullptr));
  EXPECT_EQ(D3DERR_DEVICELOST, dev->TestCooperativeLevel());
  EXPECT_EQ(1, f.Screen().Restore());  // shows the window again, then resets
  EXPECT_EQ(D3D_OK, dev->TestCooperativeLevel());
  EXPECT_EQ(1, f.Screen().Flip());
  // Full screen at the back buffer's size again.
  D3DXVECTOR2 size = f.Screen().GetPixelSize();
  EXPECT_EQ(256.0f, size.x);
  EXPECT_EQ(192.0f, size.y);

  // A windowed device is not lost with its window.
  f.Close();
  ASSERT_TRUE(f.Open(256, 192));
  ShowWindow(f.Window(), SW_HIDE);
  EXPECT_EQ(D3D_OK, f.Device()->TestCooperativeLevel());
}

TEST_F(Device, ScreenshotIsAPngOfTheBackBuffer) {
  f.Screen().ClearScreen(0xFF204060);
  std::string path = f.SaveScreenshot("device_screenshot");
  ASSERT_FALSE(path.empty());
  std::string png = vrxtest::ReadFile(path);
  ASSERT_GT(png.size(), 24u);
  EXPECT_EQ(0, memcmp(png.data(), "\x89PNG\r\n\x1a\n", 8));
  auto be32 = [&](size_t at) {
    const unsigned char* b = reinterpret_cast<const unsigned char*>(png.data()) + at;
    return (b[0] << 24) | (b[1] << 16) | (b[2] << 8) | b[3];
  };
  EXPECT_EQ(256, be32(16));  // IHDR width and height
  EXPECT_EQ(192, be32(20));
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(D3DERR_INVALIDCALL, VrxSaveScreenshot(dev, "/nonexistent-dir/shot.png"));
  std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(std::string::npos, err.find("vrx: cannot write /nonexistent-dir/shot.png")) << err;
}

}  // namespace
