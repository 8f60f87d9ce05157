// The D3DX sprite object on the real device, read back from the back buffer:
// screen-space quads in pixels, centre, source rectangle, transform, colour
// and alpha; saved and restored device state; object-space quads upright,
// billboards facing the camera, and depth sorting.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "cScreen.h"
#include "cTexture.h"
#include "platform/d3dx9sprite.h"
#include "screen_fixture.h"
#include "test_support.h"

namespace {

using vrxtest::Near;

constexpr DWORD kRed = 0xFFFF0000, kGreen = 0xFF00FF00, kBlue = 0xFF0000FF, kWhite = 0xFFFFFFFF,
                kBlack = 0xFF000000;

class SpriteObject : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(f.Open(800, 600));
    dir = vrxtest::MakeTempDir(::testing::UnitTest::GetInstance()->current_test_info()->name());
    sprite = f.Screen().GetSpritePointer();
    dev = f.Device();
    ASSERT_NE(sprite, nullptr);
    f.Screen().ClearScreen(kBlack);
  }

  // An 8x8 image of four 4x4 quadrants: top-left, top-right, bottom-left, bottom-right.
  std::unique_ptr<cTexture> Quadrants(DWORD tl = kRed, DWORD tr = kGreen, DWORD bl = kBlue, DWORD br = kWhite) {
    std::vector<DWORD> px(64);
    for (int y = 0; y < 8; ++y)
      for (int x = 0; x < 8; ++x) px[y * 8 + x] = y < 4 ? (x < 4 ? tl : tr) : (x < 4 ? bl : br);
    std::string path = dir + "/q" + std::to_string(++images) + ".tga";
    EXPECT_TRUE(vrxtest::WriteTga(path, 8, 8, px));
    auto t = std::make_unique<cTexture>(path.c_str(), &f.Screen());
    EXPECT_NE(t->GetTexturePointer(), nullptr);
    return t;
  }
  std::unique_ptr<cTexture> Plain(DWORD colour) { return Quadrants(colour, colour, colour, colour); }

  void ExpectPixel(int x, int y, DWORD want, int tolerance = 2) {
    DWORD got = f.Pixel(x, y);
    EXPECT_TRUE(Near(got, want, tolerance)) << "at " << x << "," << y << ": " << vrxtest::Hex(got) << " want "
                                            << vrxtest::Hex(want);
  }

  vrxtest::ScreenFixture f;
  std::string dir;
  ID3DXSprite* sprite = nullptr;
  IDirect3DDevice9* dev = nullptr;
  int images = 0;
};

D3DXMATRIX Identity() {
  D3DXMATRIX m;
  D3DXMatrixIdentity(&m);
  return m;
}

TEST_F(SpriteObject, ScreenSpaceTexelsLandOnPixelsUprightAndUnmirrored) {
  auto tex = Quadrants();
  D3DXMATRIX id = Identity();
  sprite->SetTransform(&id);
  D3DXVECTOR3 at(100, 50, 0);
  ASSERT_EQ(D3D_OK, sprite->Begin(D3DXSPRITE_ALPHABLEND));
  ASSERT_EQ(D3D_OK, sprite->Draw(tex->GetTexturePointer(), nullptr, nullptr, &at, kWhite));
  ASSERT_EQ(D3D_OK, sprite->End());
  f.SaveScreenshot("sprite_screen_space");

  for (int i = 0; i < 4; ++i) {
    ExpectPixel(100 + i, 50 + i, kRed, 0);
    ExpectPixel(104 + i, 50 + i, kGreen, 0);
    ExpectPixel(100 + i, 54 + i, kBlue, 0);
    ExpectPixel(104 + i, 54 + i, kWhite, 0);
  }
  ExpectPixel(99, 50, kBlack, 0);
  ExpectPixel(108, 50, kBlack, 0);
  ExpectPixel(100, 49, kBlack, 0);
  ExpectPixel(100, 58, kBlack, 0);
}

TEST_F(SpriteObject, CentreIsSubtractedFromThePositionAndTheSourceRectangleSelects) {
  auto tex = Quadrants();
  D3DXMATRIX id = Identity();
  sprite->SetTransform(&id);
  RECT green{4, 0, 8, 4};
  D3DXVECTOR3 centre(2, 2, 0), at(200, 200, 0);
  sprite->Begin(D3DXSPRITE_ALPHABLEND);
  sprite->Draw(tex->GetTexturePointer(), &green, &centre, &at, kWhite);
  sprite->End();
  ExpectPixel(198, 198, kGreen, 0);
  ExpectPixel(201, 201, kGreen, 0);
  ExpectPixel(197, 198, kBlack, 0);
  ExpectPixel(202, 201, kBlack, 0);
  ExpectPixel(198, 202, kBlack, 0);
}

TEST_F(SpriteObject, TransformScalesAndTurnsClockwiseOnScreen) {
  auto tex = Quadrants();
  D3DXMATRIX scale, turn, move, m;
  D3DXMatrixScaling(&scale, 4, 4, 1);
  D3DXMatrixRotationZ(&turn, 3.14159265f / 2);
  D3DXMatrixTranslation(&move, 300, 300, 0);
  m = scale * turn * move;
  sprite->SetTransform(&m);
  sprite->Begin(D3DXSPRITE_ALPHABLEND);
  sprite->Draw(tex->GetTexturePointer(), nullptr, nullptr, nullptr, kWhite);
  sprite->End();
  f.SaveScreenshot("sprite_turned");
  // 32x32 pixels to the left of x = 300 and below y = 300; the image's top
  // edge now runs down its right side.
  ExpectPixel(292, 308, kRed);    // top-left quadrant: top right
  ExpectPixel(292, 324, kGreen);  // top-right quadrant: bottom right
  ExpectPixel(276, 308, kBlue);   // bottom-left quadrant: top left
  ExpectPixel(276, 324, kWhite);  // bottom-right quadrant: bottom left
  ExpectPixel(302, 308, kBlack);
  ExpectPixel(290, 296, kBlack);
}

TEST_F(SpriteObject, ColourModulatesAndAlphaBlends) {
  auto white = Plain(kWhite);
  auto clear = Plain(0x00FFFFFF);
  D3DXMATRIX id = Identity();
  sprite->SetTransform(&id);
  D3DXVECTOR3 a(10, 10, 0), b(30, 10, 0), c(50, 10, 0);
  sprite->Begin(D3DXSPRITE_ALPHABLEND);
  sprite->Draw(white->GetTexturePointer(), nullptr, nullptr, &a, 0xFF00FF00);
  sprite->Draw(white->GetTexturePointer(), nullptr, nullptr, &b, 0x80FFFFFF);
  sprite->Draw(clear->GetTexturePointer(), nullptr, nullptr, &c, kWhite);
  sprite->End();
  ExpectPixel(12, 12, kGreen);
  ExpectPixel(32, 12, 0xFF808080, 3);
  ExpectPixel(52, 12, kBlack, 0);
}

TEST_F(SpriteObject, BatchPutsBackTheDeviceStateItChanged) {
  auto tex = Plain(kRed);
  auto other = Plain(kBlue);
  D3DXMATRIX world, view, proj;
  D3DXMatrixTranslation(&world, 1, 2, 3);
  D3DXMatrixRotationY(&view, 0.3f);
  D3DXMatrixPerspectiveFovLH(&proj, 0.7f, 1.2f, 0.5f, 50.0f);
  dev->SetTransform(D3DTS_WORLD, &world);
  dev->SetTransform(D3DTS_VIEW, &view);
  dev->SetTransform(D3DTS_PROJECTION, &proj);
  dev->SetRenderState(D3DRS_CULLMODE, D3DCULL_CW);
  dev->SetRenderState(D3DRS_LIGHTING, TRUE);
  dev->SetRenderState(D3DRS_ALPHAREF, 15);
  dev->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);
  dev->SetRenderState(D3DRS_FOGENABLE, TRUE);
  dev->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
  dev->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_BLENDTEXTUREALPHA);
  dev->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_WRAP);
  dev->SetFVF(0x252);
  other->Set(0);

  D3DXMATRIX id = Identity();
  sprite->SetTransform(&id);
  sprite->Begin(D3DXSPRITE_ALPHABLEND);
  D3DXVECTOR3 at(5, 5, 0);
  sprite->Draw(tex->GetTexturePointer(), nullptr, nullptr, &at, kWhite);
  sprite->End();
  ExpectPixel(6, 6, kRed);

  D3DXMATRIX got;
  dev->GetTransform(D3DTS_WORLD, &got);
  EXPECT_EQ(0, memcmp(&got, &world, sizeof got));
  dev->GetTransform(D3DTS_VIEW, &got);
  EXPECT_EQ(0, memcmp(&got, &view, sizeof got));
  dev->GetTransform(D3DTS_PROJECTION, &got);
  EXPECT_EQ(0, memcmp(&got, &proj, sizeof got));
  DWORD v = 0;
  dev->GetRenderState(D3DRS_CULLMODE, &v);
  EXPECT_EQ(v, (DWORD)D3DCULL_CW);
  dev->GetRenderState(D3DRS_LIGHTING, &v);
  EXPECT_EQ(v, 1u);
  dev->GetRenderState(D3DRS_ALPHAREF, &v);
  EXPECT_EQ(v, 15u);
  dev->GetRenderState(D3DRS_ALPHAFUNC, &v);
  EXPECT_EQ(v, (DWORD)D3DCMP_GREATEREQUAL);
  dev->GetRenderState(D3DRS_FOGENABLE, &v);
  EXPECT_EQ(v, 1u);
  dev->GetTextureStageState(0, D3DTSS_COLOROP, &v);
  EXPECT_EQ(v, (DWORD)D3DTOP_SELECTARG1);
  dev->GetTextureStageState(1, D3DTSS_COLOROP, &v);
  EXPECT_EQ(v, (DWORD)D3DTOP_BLENDTEXTUREALPHA);
  dev->GetSamplerState(0, D3DSAMP_ADDRESSU, &v);
  EXPECT_EQ(v, (DWORD)D3DTADDRESS_WRAP);
  dev->GetFVF(&v);
  EXPECT_EQ(v, 0x252u);
  IDirect3DBaseTexture9* bound = nullptr;
  dev->GetTexture(0, &bound);
  EXPECT_EQ(bound, other->GetTexturePointer());
  if (bound) bound->Release();

  // Without saving, the sprite's own states stay.
  sprite->Begin(D3DXSPRITE_ALPHABLEND | D3DXSPRITE_DONOTSAVESTATE);
  sprite->End();
  dev->GetRenderState(D3DRS_CULLMODE, &v);
  EXPECT_EQ(v, (DWORD)D3DCULL_NONE);
}

TEST_F(SpriteObject, CallsOutOfOrderAreRefused) {
  auto tex = Plain(kRed);
  EXPECT_EQ(D3DERR_INVALIDCALL, sprite->End());
  EXPECT_EQ(D3DERR_INVALIDCALL, sprite->Draw(tex->GetTexturePointer(), nullptr, nullptr, nullptr, kWhite));
  ASSERT_EQ(D3D_OK, sprite->Begin(D3DXSPRITE_ALPHABLEND));
  EXPECT_EQ(D3DERR_INVALIDCALL, sprite->Begin(D3DXSPRITE_ALPHABLEND));
  EXPECT_EQ(D3DERR_INVALIDCALL, sprite->Draw(nullptr, nullptr, nullptr, nullptr, kWhite));
  EXPECT_EQ(D3D_OK, sprite->End());
  // Losing the device in a batch drops it; the next batch works.
  ASSERT_EQ(D3D_OK, sprite->Begin(D3DXSPRITE_ALPHABLEND));
  D3DXMATRIX id = Identity();
  sprite->SetTransform(&id);
  sprite->Draw(tex->GetTexturePointer(), nullptr, nullptr, nullptr, kWhite);
  sprite->OnLostDevice();
  sprite->OnResetDevice();
  ExpectPixel(1, 1, kBlack, 0);
  EXPECT_EQ(D3D_OK, sprite->Begin(D3DXSPRITE_ALPHABLEND));
  EXPECT_EQ(D3D_OK, sprite->End());
}

// Object space: the fixture's camera sits at the origin looking along +z.
class ObjectSpace : public SpriteObject {
 protected:
  void DrawAt(cTexture* tex, D3DXVECTOR3 where, float size, DWORD flags) {
    D3DXMATRIX camera = f.Screen().GetCameraMtx(), scale, move, m;
    sprite->SetWorldViewLH(nullptr, &camera);
    D3DXMatrixScaling(&scale, size, size, size);
    D3DXMatrixTranslation(&move, where.x, where.y, where.z);
    m = scale * move;
    sprite->SetTransform(&m);
    D3DXVECTOR3 centre(4, 4, 0);
    sprite->Begin(flags);
    sprite->Draw(tex->GetTexturePointer(), nullptr, &centre, nullptr, kWhite);
    sprite->End();
  }
  static constexpr DWORD kBillboard = D3DXSPRITE_OBJECTSPACE | D3DXSPRITE_BILLBOARD | D3DXSPRITE_ALPHABLEND;
};

TEST_F(ObjectSpace, ImageStandsUprightFacingTheCamera) {
  auto tex = Quadrants();
  DrawAt(tex.get(), D3DXVECTOR3(0, 0, 10), 0.1f, D3DXSPRITE_OBJECTSPACE | D3DXSPRITE_ALPHABLEND);
  f.SaveScreenshot("sprite_object_space");
  // 0.8 units at distance 10: about 58 pixels across around the centre.
  ExpectPixel(385, 285, kRed);
  ExpectPixel(415, 285, kGreen);
  ExpectPixel(385, 315, kBlue);
  ExpectPixel(415, 315, kWhite);
  ExpectPixel(400, 240, kBlack, 0);
  ExpectPixel(340, 300, kBlack, 0);
}

TEST_F(ObjectSpace, BillboardTurnsToACameraFromTheSide) {
  auto tex = Quadrants();
  // Looking along -x at the sprite's spot: the plain quad is seen edge-on.
  f.Screen().SetCamera(D3DXVECTOR3(10, 0, 10), D3DXVECTOR3(0, 0, 10), D3DXVECTOR3(0, 1, 0));
  DrawAt(tex.get(), D3DXVECTOR3(0, 0, 10), 0.1f, D3DXSPRITE_OBJECTSPACE | D3DXSPRITE_ALPHABLEND);
  ExpectPixel(385, 285, kBlack, 0);
  ExpectPixel(415, 315, kBlack, 0);

  f.Screen().ClearScreen(kBlack);
  DrawAt(tex.get(), D3DXVECTOR3(0, 0, 10), 0.1f, kBillboard);
  f.SaveScreenshot("sprite_billboard_side");
  ExpectPixel(385, 285, kRed);
  ExpectPixel(415, 285, kGreen);
  ExpectPixel(385, 315, kBlue);
  ExpectPixel(415, 315, kWhite);
}

TEST_F(ObjectSpace, DepthSortingOrdersTheBatch) {
  auto near = Plain(kGreen), far = Plain(kRed);
  D3DXMATRIX camera = f.Screen().GetCameraMtx();
  dev->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);  // only the drawing order decides
  auto draw = [&](DWORD sort) {
    f.Screen().ClearScreen(kBlack);
    sprite->SetWorldViewLH(nullptr, &camera);
    sprite->Begin(kBillboard | sort);
    D3DXVECTOR3 centre(4, 4, 0);
    D3DXMATRIX m;
    D3DXMatrixTranslation(&m, 0, 0, 80);  // 8 units at 80: the same size on screen as 1 unit at 10
    sprite->SetTransform(&m);
    sprite->Draw(far->GetTexturePointer(), nullptr, &centre, nullptr, kWhite);
    D3DXMATRIX s, t;
    D3DXMatrixScaling(&s, 0.125f, 0.125f, 0.125f);
    D3DXMatrixTranslation(&t, 0, 0, 10);
    m = s * t;
    sprite->SetTransform(&m);
    sprite->Draw(near->GetTexturePointer(), nullptr, &centre, nullptr, kWhite);
    sprite->End();
    return f.Pixel(400, 300);
  };
  EXPECT_TRUE(Near(draw(D3DXSPRITE_SORT_DEPTH_FRONTTOBACK), kRed, 2));  // the far one last
  EXPECT_TRUE(Near(draw(D3DXSPRITE_SORT_DEPTH_BACKTOFRONT), kGreen, 2));
  EXPECT_TRUE(Near(draw(0), kGreen, 2));  // drawing order
  dev->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
}

}  // namespace
