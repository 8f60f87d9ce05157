// Drawing the track in the race's passes: sky, road with its shadow map,
// terrain with its own, alpha-tested scenery; the device state left behind;
// the sun's place on screen.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "cGround.h"
#include "cScreen.h"
#include "cTexture.h"
#include "track_test_util.h"

using tracktest::AddFlatQuad;
using tracktest::Up;
using vrxmesh::MoVertex;
using vrxmesh::MoWriter;
using vrxtest::Blue;
using vrxtest::Green;
using vrxtest::Hex;
using vrxtest::Red;

namespace {

class DrawTest : public tracktest::ScreenTest {
 protected:
  // Road along z over x -5..5, terrain on both sides, a two-coloured tree
  // (its right half transparent) on the left, and a sky box around it all.
  void WriteScene() {
    MoWriter w;
    const int grey = w.AddTexture("grey.tga");
    const int green = w.AddTexture("green.tga");
    const int tree = w.AddTexture("tree.tga");
    const int sky = w.AddTexture("sky.tga");
    AddFlatQuad(&w, w.AddObject("g_road"), grey, -5, -50, 5, 50, 0);
    const int terrain = w.AddObject("h_land");
    AddFlatQuad(&w, terrain, green, -50, -50, -5, 50, 0);
    AddFlatQuad(&w, terrain, green, 5, -50, 50, 50, 0);
    // A tree facing the camera (-z) at z = 10, x -12..-6, y 0..6.
    auto v = [](float x, float y, float u, float vv) { return MoVertex(x, y, 10, 0, 0, -1, u, vv); };
    w.AddQuad(w.AddObject("pine"), tree, v(-12, 0, 0, 1), v(-12, 6, 0, 0), v(-6, 6, 1, 0),
              v(-6, 0, 1, 1));
    // The sky: a box seen from inside; only its far wall and ceiling matter here.
    const int dome = w.AddObject("s_sky");
    auto s = [](float x, float y, float z) { return MoVertex(x, y, z, 0, 0, -1); };
    w.AddQuad(dome, sky, s(-10, -10, 10), s(-10, 10, 10), s(10, 10, 10), s(10, -10, 10));
    w.AddQuad(dome, sky, s(-10, 10, -10), s(10, 10, -10), s(10, 10, 10), s(-10, 10, 10));
    tracktest::WriteMesh(w, dir + "/track.mo");

    tracktest::WriteTga(dir + "/grey.tga", 8, 8, 0xFFC0C0C0);
    tracktest::WriteTga(dir + "/green.tga", 8, 8, 0xFF00FF00);
    tracktest::WriteTga(dir + "/sky.tga", 8, 8, 0xFF4080FF);
    std::vector<DWORD> t(64);
    for (int i = 0; i < 64; ++i) t[i] = (i % 8) < 4 ? 0xFFFF0000 : 0x00FF0000;
    ASSERT_TRUE(vrxtest::WriteTga(dir + "/tree.tga", 8, 8, t));

    // Shadow maps over the whole track box (x -50..50 maps u 1..0, z -50..50
    // maps v 0..1): opaque black over z > 0 on the road map, over x > 0 on the
    // terrain map, clear elsewhere.
    std::vector<DWORD> road(64 * 64), land(64 * 64);
    for (int y = 0; y < 64; ++y)
      for (int x = 0; x < 64; ++x) {
        road[y * 64 + x] = y >= 32 ? 0xFF000000 : 0x00000000;
        land[y * 64 + x] = x < 32 ? 0xFF000000 : 0x00000000;
      }
    tracktest::WriteDds(dir + "/road_sh.dds", 64, 64, road);
    tracktest::WriteDds(dir + "/ground_sh.dds", 64, 64, land);
  }
  void Open() {
    ground = std::make_unique<cGround>((dir + "/track").c_str(), screen, nullptr);
    ground->LoadShadowMaps();
  }
  // The pixel where a world point lands.
  DWORD At(float x, float y, float z) {
    D3DXVECTOR3 p(x, y, z);
    const D3DXVECTOR3 s = screen->GetScreenCoords(&p);
    return ReadPixel(s.x, s.y);
  }
  void DrawRace() {
    screen->ClearScreen(0xFF000000);
    ground->Draw(4);
    ground->Draw(1);
    ground->Draw(24);
    ground->Draw(32);
  }
  DWORD RenderState(D3DRENDERSTATETYPE s) {
    DWORD v = 0;
    screen->GetDevicePointer()->GetRenderState(s, &v);
    return v;
  }
  std::unique_ptr<cGround> ground;
};

}  // namespace

TEST_F(DrawTest, RacePassesPutEverythingInItsPlace) {
  WriteScene();
  Open();
  LookAt(D3DXVECTOR3(0, 6, -30), D3DXVECTOR3(0, 2, 0));
  DrawRace();
  const std::string shot = fixture.SaveScreenshot("race_passes");
  EXPECT_FALSE(shot.empty());

  // Sky above the horizon, unlit.
  const DWORD sky = ReadPixel(0.5f, 0.05f);
  EXPECT_TRUE(vrxtest::Near(sky, 0xFF4080FF, 24)) << Hex(sky);
  // Road: grey, statically lit (0x9F of 0xFF).
  const DWORD road = At(0, 0, -10);
  EXPECT_TRUE(vrxtest::Near(road, 0xFF787878, 24)) << Hex(road);
  // Terrain: green, dark on the +x side only.
  const DWORD left = At(-12, 0, 0), right = At(12, 0, 0);
  EXPECT_GT(Green(left), 120) << Hex(left);
  EXPECT_LT(Red(left), 30) << Hex(left);
  EXPECT_LT(Green(right), 30) << Hex(right);
  // The tree's opaque half covers the terrain; its clear half lets it through.
  const DWORD trunk = At(-10.5f, 3, 10), gap = At(-7.5f, 1, 10);
  EXPECT_GT(Red(trunk), 60) << Hex(trunk);
  EXPECT_LT(Green(trunk), 30) << Hex(trunk);
  EXPECT_LT(Red(gap), 30) << Hex(gap);
  EXPECT_GT(Green(gap), 60) << Hex(gap);
}

// The road's shadow map sits on stage 2 while stage 1 is empty: the empty
// stage passes its colour on and the shadow still darkens the road.
TEST_F(DrawTest, RoadShadowMapOnStageTwo) {
  WriteScene();
  Open();
  ASSERT_GT(screen->GetDevCaps().MaxSimultaneousTextures, 2u);
  LookAt(D3DXVECTOR3(0, 6, -30), D3DXVECTOR3(0, 2, 0));
  DrawRace();
  const DWORD road = At(0, 0, -10), roadShadow = At(0, 0, 10);
  EXPECT_GT(Red(road), 80) << Hex(road);
  EXPECT_LT(Red(roadShadow), 30) << Hex(roadShadow);
}

TEST_F(DrawTest, WithoutShadowMapsTheRoadIsUniform) {
  WriteScene();
  ground = std::make_unique<cGround>((dir + "/track").c_str(), screen, nullptr);
  LookAt(D3DXVECTOR3(0, 6, -30), D3DXVECTOR3(0, 2, 0));
  DrawRace();
  const DWORD near = At(0, 0, -10), far = At(0, 0, 10);
  EXPECT_TRUE(vrxtest::Near(near, far, 12)) << Hex(near) << " " << Hex(far);
  EXPECT_GT(Red(far), 80) << Hex(far);
}

TEST_F(DrawTest, BorderPassIsTheOnlyOneThatShowsBordersAndTheStartGate) {
  MoWriter w;
  const int t = w.AddTexture("white.tga");
  auto v = [](float x, float y, float z) { return MoVertex(x, y, z, 0, 0, -1); };
  w.AddQuad(w.AddObject("b_wall"), t, v(-3, -1, 5), v(-3, 1, 5), v(-1, 1, 5), v(-1, -1, 5));
  w.AddQuad(w.AddObject("ts"), t, v(1, -1, 5), v(1, 1, 5), v(3, 1, 5), v(3, -1, 5));
  tracktest::WriteMesh(w, dir + "/track.mo");
  tracktest::WriteTga(dir + "/white.tga", 4, 4, 0xFFFFFFFF);
  ground = std::make_unique<cGround>((dir + "/track").c_str(), screen, nullptr);
  LookAt(D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, 0, 1));
  screen->ClearScreen(0xFF000000);
  ground->Draw(1 | 4 | 8 | 16 | 32);
  EXPECT_LT(Red(At(-2, 0, 5)), 10);
  EXPECT_LT(Red(At(2, 0, 5)), 10);
  ground->Draw(2);
  EXPECT_GT(Red(At(-2, 0, 5)), 100);
  EXPECT_GT(Red(At(2, 0, 5)), 100);
}

TEST_F(DrawTest, SkidPassNeedsTheSkidTexture) {
  MoWriter w;
  const int t = w.AddTexture("grey.tga");
  AddFlatQuad(&w, w.AddObject("g_road"), t, -10, -10, 10, 10, 0);
  tracktest::WriteMesh(w, dir + "/track.mo");
  tracktest::WriteTga(dir + "/grey.tga", 4, 4, 0xFF808080);
  tracktest::WriteTga(dir + "/skid.tga", 4, 4, 0xFFFF00FF);
  ground = std::make_unique<cGround>((dir + "/track").c_str(), screen, nullptr);
  D3DXVECTOR3 from(0, 0, -3), to(0, 0, 3);
  ground->AddSkid(&from, &to, 2.0f);
  LookAt(D3DXVECTOR3(0, 10, -0.1f), D3DXVECTOR3(0, 0, 0));
  screen->ClearScreen(0xFF000000);
  ground->Draw(1 | 16);
  const DWORD without = At(0, 0, 0);
  EXPECT_LT(Blue(without), 0x70) << Hex(without);
  cTexture skid((dir + "/skid.tga").c_str(), screen);
  ground->SkidTexture = &skid;
  ground->Draw(1 | 16);
  const DWORD with = At(0, 0, 0);
  // Skid vertices carry diffuse 0 under the texture, so the mark is dark or
  // tinted; either way it differs from the bare road.
  EXPECT_FALSE(vrxtest::Near(with, without, 8)) << Hex(with) << " " << Hex(without);
  ground->SkidTexture = nullptr;
}

TEST_F(DrawTest, NothingSelectedDrawsNothingAndLeavesTheState) {
  WriteScene();
  Open();
  LookAt(D3DXVECTOR3(0, 6, -30), D3DXVECTOR3(0, 2, 0));
  screen->ClearScreen(0xFF102030);
  screen->SetAlphaTest(FALSE);
  screen->GetDevicePointer()->SetRenderState(D3DRS_ALPHAREF, 200);
  ground->Draw(32);
  const std::vector<DWORD> pixels = fixture.ReadPixels();
  ASSERT_FALSE(pixels.empty());
  for (DWORD p : pixels) ASSERT_EQ(p & 0xFFFFFF, 0x102030u) << Hex(p);
  EXPECT_EQ(RenderState(D3DRS_ALPHATESTENABLE), (DWORD)TRUE);
  EXPECT_EQ(RenderState(D3DRS_ALPHAREF), 15u);

  // After a full frame: depth test and writes on, world identity, stages 1 and 2 empty.
  DrawRace();
  EXPECT_EQ(RenderState(D3DRS_ZWRITEENABLE), (DWORD)TRUE);
  EXPECT_NE(RenderState(D3DRS_ZENABLE), 0u);
  EXPECT_EQ(RenderState(D3DRS_ALPHAREF), 15u);
  const D3DXMATRIX world = screen->GetWorldMtx();
  EXPECT_EQ(world._11, 1.0f);
  EXPECT_EQ(world._41, 0.0f);
  IDirect3DBaseTexture9* stage = reinterpret_cast<IDirect3DBaseTexture9*>(1);
  screen->GetDevicePointer()->GetTexture(1, &stage);
  EXPECT_EQ(stage, nullptr);
  screen->GetDevicePointer()->GetTexture(2, &stage);
  EXPECT_EQ(stage, nullptr);
}

TEST_F(DrawTest, SunPositionAndSprite) {
  WriteScene();
  Open();  // the sun's image comes from DATA/TRACKS/COMMON in the working directory

  // Looking along -z, against the light (0, -0.2, 1): the sun is straight ahead, a little up.
  LookAt(D3DXVECTOR3(0, 2, 0), D3DXVECTOR3(0, 2, -10));
  screen->ClearScreen(0xFF000000);
  ground->Draw(4);
  const D3DXVECTOR2 sun = ground->GetSunPos();
  EXPECT_FLOAT_EQ(sun.x, 0.5f);
  EXPECT_GT(sun.y, 0.0f);
  EXPECT_LT(sun.y, 0.5f);
  const DWORD disc = ReadPixel(sun.x, sun.y);
  EXPECT_TRUE(vrxtest::Near(disc, 0xFFFFFF00, 16)) << Hex(disc);
  EXPECT_FALSE(fixture.SaveScreenshot("sun_ahead").empty());

  // Looking along +z, the sun is behind the camera and not drawn.
  LookAt(D3DXVECTOR3(0, 2, 0), D3DXVECTOR3(0, 2, 10));
  screen->ClearScreen(0xFF000000);
  ground->Draw(4);
  EXPECT_EQ(ground->GetSunPos(), D3DXVECTOR2(5.0f, 5.0f));
  const std::vector<DWORD> pixels = fixture.ReadPixels();
  int yellow = 0;
  for (DWORD p : pixels) yellow += vrxtest::Near(p, 0xFFFFFF00, 16);
  EXPECT_EQ(yellow, 0);

  // Turned a little to the right (towards -x when facing -z), it moves left of centre.
  LookAt(D3DXVECTOR3(0, 2, 0), D3DXVECTOR3(-2, 2, -10));
  ground->Draw(4);
  EXPECT_LT(ground->GetSunPos().x, 0.5f);
}

TEST_F(DrawTest, SimpleDrawingAndBackBufferColour) {
  WriteScene();
  Open();
  LookAt(D3DXVECTOR3(0, 6, -30), D3DXVECTOR3(0, 2, 0));
  screen->ClearScreen(0xFF000000);
  ground->DrawSimple();
  // Without shadow maps the shaded half of the road is as bright as the rest.
  const DWORD road = At(0, 0, 10);
  EXPECT_GT(Red(road), 80) << Hex(road);
  D3DXVECTOR3 p(0, 0, 10);
  const D3DXVECTOR3 s = screen->GetScreenCoords(&p);
  D3DXVECTOR2 where(s.x, s.y);
  const DWORD first = ground->GetBackBufferColor(&where);
  EXPECT_LT(first, 256u);
  EXPECT_NEAR((int)first, Blue(road), 2);  // the first byte in memory is blue
  D3DXVECTOR2 outside(2.0f, -1.0f);
  EXPECT_EQ(ground->GetBackBufferColor(&outside), 0u);
}

TEST_F(DrawTest, ShadowTextureMatrixMapsLikeTheGlobalCoordinates) {
  WriteScene();
  Open();
  LookAt(D3DXVECTOR3(3, 8, -12), D3DXVECTOR3(0, 0, 0));
  const D3DXMATRIX m = ground->GetShadowTexMtx();
  // A world point in camera space, through the matrix, lands on its global
  // coordinates in texels of the 512 map.
  const D3DXMATRIX camera = screen->GetCameraMtx();
  for (const D3DXVECTOR3& w : {D3DXVECTOR3(-25, 0, 10), D3DXVECTOR3(40, 0, -30)}) {
    D3DXVECTOR3 c, t;
    D3DXVec3TransformCoord(&c, &w, &camera);
    D3DXVec3TransformCoord(&t, &c, &m);
    const D3DXVECTOR2 uv = ground->GetGlobalUV(w.x, w.z);
    EXPECT_NEAR(t.x, uv.x, 0.01f) << w.x;
    EXPECT_NEAR(t.y, uv.y, 0.01f) << w.z;
  }
}
