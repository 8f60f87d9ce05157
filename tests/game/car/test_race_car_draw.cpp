// The race car on screen: the live reflection follows the car and refreshes
// every second frame, the static map, the road shadow's intensity and the
// silhouette, fading brake and reverse lights, broken lamps.
#include "race_car_fixture.h"

namespace {

using cartest::CarWorld;
using cartest::StartAt;
using cartest::TestCar;
using cartest::WriteTestCar;

// A flat road with, optionally, a red block standing at x = redX, and a
// uniform road shadow map of the given alpha (none when negative).
std::string WriteSceneTrack(const std::string& dir, const std::string& name, float redX, int shadowAlpha) {
  const std::string folder = dir + "/" + name;
  std::filesystem::create_directories(folder);
  const std::string path = folder + "/" + name;
  vrxtest::WriteTga(folder + "/road.tga", 4, 4, std::vector<DWORD>(16, 0xFF606060));
  vrxtest::WriteTga(folder + "/red.tga", 4, 4, std::vector<DWORD>(16, 0xFFFF0000));
  vrxtest::WriteTextFile(folder + "/Start.ini", "0\n0\n0\n");
  vrxmesh::MoWriter w;
  const int road = w.AddTexture("road.tga");
  const int red = w.AddTexture("red.tga");
  const int g = w.AddObject("g_road");
  for (int x = -50; x < 50; x += 10)
    for (int z = -50; z < 50; z += 10) tracktest::AddFlatQuad(&w, g, road, (float)x, (float)z, x + 10.0f, z + 10.0f, 0);
  if (redX != 0.0f) {
    const int block = w.AddObject("xred");
    cartest::Box(&w, block, red, D3DXVECTOR3(redX - 1, -1, -12), D3DXVECTOR3(redX + 2, 12, 12));
  }
  // Gates well away from the car.
  tracktest::AddWallZ(&w, w.AddObject("ts"), road, -5, 5, 45, 0, 3);
  tracktest::AddWallZ(&w, w.AddObject("tm"), road, -5, 5, -45, 0, 3);
  std::string error;
  EXPECT_TRUE(w.Write(path + ".mo", &error)) << error;
  if (shadowAlpha >= 0) {
    tracktest::WriteDds(folder + "/road_sh.dds", 64, 64, std::vector<DWORD>(64 * 64, (DWORD)shadowAlpha << 24 | 0xFFFFFF));
    tracktest::WriteDds(folder + "/ground_sh.dds", 64, 64, std::vector<DWORD>(64 * 64, 0x00FFFFFF));
  }
  return path;
}

class RaceCarDraw : public CarWorld {
 protected:
  // A car at rest at the origin, nose along `heading`.
  cRaceCar* Park(const std::string& track, float heading, int reflections, TestCar t = TestCar()) {
    LoadGround(track);
    cRaceCar* c = MakeCar(WriteTestCar(dir, t), StartAt(0, 0, 0, heading), 1, reflections);
    c->controlMode = 3;
    Steps(60);
    return c;
  }

  // The race's view: from 5.69 m behind and 2 m above the car toward 1 m
  // above it, view distance 400.
  void ChaseView() {
    const D3DXMATRIX w = car->GetWorldMatrix();
    D3DXVECTOR3 back(-w._31, 0, -w._33);
    D3DXVec3Normalize(&back, &back);
    const D3DXVECTOR3 at = car->GetPosition();
    screen->SetTransformMatrix(1.33f, 0, 0.01f, 400.0f, FALSE);
    screen->SetCamera(at + back * 5.69f + D3DXVECTOR3(0, 2, 0), at + D3DXVECTOR3(0, 1, 0), D3DXVECTOR3(0, 1, 0));
    car->viewDir = at + D3DXVECTOR3(0, 1, 0) - (at + back * 5.69f + D3DXVECTOR3(0, 2, 0));
  }

  void Frame(cTexture* env = nullptr, cTexture* plate = nullptr) {
    ChaseView();
    screen->ClearScreen(0xFF000000);
    screen->SetLight(TRUE);
    car->Draw(env, plate);
    screen->SetLight(FALSE);
  }

  // The pixel where a point of the car (car frame) lands.
  DWORD At(const D3DXVECTOR3& local) {
    D3DXVECTOR3 world;
    const D3DXMATRIX m = car->GetWorldMatrix();
    D3DXVec3TransformCoord(&world, &local, &m);
    D3DXMATRIX identity;
    screen->SetWorldMatrix(MatrixIdentity(&identity));
    const D3DXVECTOR3 s = screen->GetScreenCoords(&world);
    return fixture.Pixel((int)(s.x * 800), (int)(s.y * 600));
  }
  // Redness of the cut faces at the car's tail, right (+x) and left.
  int RightRed() { const DWORD p = At(D3DXVECTOR3(0.6f, 0.4f, -1.9f)); return vrxtest::Red(p) - vrxtest::Green(p); }
  int LeftRed() { const DWORD p = At(D3DXVECTOR3(-0.6f, 0.4f, -1.9f)); return vrxtest::Red(p) - vrxtest::Green(p); }
};

TEST_F(RaceCarDraw, ARedBlockOnTheCarsRightShowsOnItsRightSideAndFollowsWhenItTurns) {
  // Heading 0: the car's right (+x) is the world's +x, where the block stands.
  cRaceCar* c = Park(WriteSceneTrack(dir, "Red", 3.0f, -1), 0.0f, 1);
  ASSERT_TRUE(c->AreReflectionsEnabled());
  ASSERT_NE(cRaceCarProbe::Cube(*c), nullptr);
  Frame();
  fixture.SaveScreenshot("reflection_right");
  EXPECT_GT(RightRed(), LeftRed() + 8) << vrxtest::Hex(At(D3DXVECTOR3(0.6f, 0.4f, -1.9f))) << " "
                                       << vrxtest::Hex(At(D3DXVECTOR3(-0.6f, 0.4f, -1.9f)));
  car.reset();
  ground.reset();
  // Turned round, the same block is on the car's left.
  c = Park(WriteSceneTrack(dir, "Red2", 3.0f, -1), 3.14159265f, 1);
  Frame();
  fixture.SaveScreenshot("reflection_left");
  EXPECT_GT(LeftRed(), RightRed() + 8);
}

TEST_F(RaceCarDraw, TheCubeMapIsRenderedEverySecondFrameOnly) {
  cRaceCar* c = Park(WriteSceneTrack(dir, "Red", 3.0f, -1), 0.0f, 1);
  EXPECT_EQ(cRaceCarProbe::Toggle(*c), 1);
  Frame();  // renders the cube: the block on the right
  EXPECT_EQ(cRaceCarProbe::Toggle(*c), 0);
  const int right = RightRed(), left = LeftRed();
  ASSERT_GT(right, left + 8);
  // Turn the engine car round without a step: the cube map would now see the
  // block on the left, but this frame keeps the old one.
  D3DXMATRIX half;
  RotationY(&half, 3.14159265f);
  c->GetCar()->SetRotPos(&half);
  Frame();
  EXPECT_EQ(cRaceCarProbe::Toggle(*c), 1);
  EXPECT_NEAR(RightRed(), right, 3);
  EXPECT_NEAR(LeftRed(), left, 3);
  Frame();  // refreshed
  EXPECT_GT(LeftRed(), RightRed() + 8);
}

TEST_F(RaceCarDraw, ReflectionTargetsGoAroundADeviceResetAndStayOffWhenNotWanted) {
  cRaceCar* c = Park(WriteSceneTrack(dir, "Plain", 0.0f, -1), 0.0f, 1);
  ASSERT_NE(cRaceCarProbe::Cube(*c), nullptr);
  c->ReleaseReflectionTargets();
  EXPECT_EQ(cRaceCarProbe::Cube(*c), nullptr);
  Frame();  // without targets: drawn with the static picture, no crash
  c->RestoreReflectionTargets();
  EXPECT_NE(cRaceCarProbe::Cube(*c), nullptr);
  car.reset();
  c = MakeCar(WriteTestCar(dir + "/b"), StartAt(0, 0, 0), 1, 0);
  EXPECT_FALSE(c->AreReflectionsEnabled());
  c->RestoreReflectionTargets();
  EXPECT_EQ(cRaceCarProbe::Cube(*c), nullptr);
}

TEST_F(RaceCarDraw, WithoutReflectionsTheStaticMapShowsAndWithoutItOnlyThePaint) {
  cRaceCar* c = Park(WriteSceneTrack(dir, "Plain", 0.0f, -1), 0.0f, 0);
  ASSERT_FALSE(c->AreReflectionsEnabled());
  vrxtest::WriteTga(dir + "/green.tga", 8, 8, std::vector<DWORD>(64, 0x8000FF00));
  cTexture env((dir + "/green.tga").c_str(), screen);
  const D3DXVECTOR3 tail(0, 0.4f, -2.1f);
  Frame();
  const DWORD plain = At(tail);
  Frame(&env);
  fixture.SaveScreenshot("static_map");
  const DWORD mapped = At(tail);
  // The paint is grey: its own texture alone keeps it grey.
  EXPECT_NEAR(vrxtest::Red(plain), vrxtest::Green(plain), 4) << vrxtest::Hex(plain);
  EXPECT_GT(vrxtest::Red(plain), 30) << vrxtest::Hex(plain);
  EXPECT_GT(vrxtest::Green(mapped), vrxtest::Red(mapped) + 40) << vrxtest::Hex(mapped);
}

TEST_F(RaceCarDraw, DeepShadowTakesTheLightFromAboveAndCastsAFaintSilhouetteFromBelow) {
  for (int dark : {1, 0}) {
    SCOPED_TRACE(dark ? "dark" : "open");
    cRaceCar* c = Park(WriteSceneTrack(dir, dark ? "Dark" : "Open", 0.0f, dark ? 255 : 0), 0.0f, 0);
    ASSERT_NE(cRaceCarProbe::ShadowMap(*c), nullptr);
    EXPECT_EQ(c->SampleShadowIntensity(), dark ? 0 : 255);

    cTexture target(256, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, screen);
    vrxtest::WriteTga(dir + "/white.tga", 4, 4, std::vector<DWORD>(16, 0xFFFFFFFF));
    cTexture shape((dir + "/white.tga").c_str(), screen);
    IDirect3DSurface9* depth = nullptr;
    ASSERT_TRUE(SUCCEEDED(screen->GetDevicePointer()->CreateDepthStencilSurface(
        256, 256, screen->GetDepthFormat(), D3DMULTISAMPLE_NONE, 0, TRUE, &depth, nullptr)));
    ChaseView();
    screen->GetDevicePointer()->SetDepthStencilSurface(depth);
    target.SetAsTarget();
    D3DXVECTOR3 light(0, -3, 3);
    c->DrawShadowCaster(&light, &shape);
    int w = 0, h = 0;
    const std::vector<DWORD> px = fixture.ReadPixels(&w, &h);
    screen->RestoreTarget();
    screen->RestoreDepthStencil();
    depth->Release();
    ASSERT_EQ(w, 256);
    // Centre: the car, at the intensity's alpha; corners: nothing.
    EXPECT_NEAR(vrxtest::Alpha(px[128 * 256 + 128]), dark ? 64 : 255, 2);
    EXPECT_EQ(vrxtest::Alpha(px[2 * 256 + 2]), 0);
    // Seen from below, the 4 m long car covers 4 / 6 of the picture's length;
    // from behind and above at 45 degrees, clearly less.
    int covered = 0;
    for (int y = 0; y < 256; ++y) covered += vrxtest::Alpha(px[y * 256 + 128]) > 0;
    if (dark) EXPECT_NEAR(covered, 256 * 4.0 / 6.0, 8);
    else EXPECT_LT(covered, 256 * 3.6 / 6.0);
    car.reset();
    ground.reset();
  }
}

TEST_F(RaceCarDraw, BrakeAndReverseLightsFadeWithTheClockAndABrokenLampDoesNotShow) {
  cRaceCar* c = Park(WriteSceneTrack(dir, "Plain", 0.0f, -1), 0.0f, 0);
  cCar* e = c->GetCar();
  DWORD now = 100000;
  vrxtesting::SetFakeTickCount(now);
  const D3DXVECTOR3 lamp(0, 0.65f, -2.14f);
  Frame();
  const DWORD off = At(lamp);
  e->Brake = 0.5f;
  Frame();
  EXPECT_FLOAT_EQ(c->GetBrakeLightLevel(), 0.01f);
  int frames = 0;
  while (c->GetBrakeLightLevel() < 1.0f && frames < 100) {
    now += 16;
    vrxtesting::SetFakeTickCount(now);
    Frame();
    ++frames;
  }
  EXPECT_EQ(c->GetBrakeLightLevel(), 1.0f);
  EXPECT_GE(frames * 16, 96);
  EXPECT_LE(frames * 16, 112);
  fixture.SaveScreenshot("brake_lights");
  const DWORD lit = At(lamp);
  EXPECT_GT(vrxtest::Red(lit), vrxtest::Red(off) + 40) << vrxtest::Hex(lit) << " " << vrxtest::Hex(off);

  // Released: 0.99, then 0.01 a millisecond.
  e->Brake = 0.0f;
  Frame();
  EXPECT_FLOAT_EQ(c->GetBrakeLightLevel(), 0.99f);
  now += 50;
  vrxtesting::SetFakeTickCount(now);
  Frame();
  EXPECT_NEAR(c->GetBrakeLightLevel(), 0.49f, 1e-5f);
  now += 100;
  vrxtesting::SetFakeTickCount(now);
  Frame();
  EXPECT_EQ(c->GetBrakeLightLevel(), 0.0f);
  // After a long pause a short press: the fade-out clock still runs from its
  // last update, so on release the level drops to 0 at once.
  now += 5000;
  vrxtesting::SetFakeTickCount(now);
  e->Brake = 0.5f;
  Frame();
  now += 20;
  vrxtesting::SetFakeTickCount(now);
  Frame();
  EXPECT_NEAR(c->GetBrakeLightLevel(), 0.21f, 1e-5f);
  e->Brake = 0.0f;
  Frame();
  EXPECT_EQ(c->GetBrakeLightLevel(), 0.0f);

  // Reverse lights in reverse gear only.
  e->Gear = CAR_GEAR_REVERSE;
  Frame();
  EXPECT_FLOAT_EQ(c->GetReverseLightLevel(), 0.01f);
  e->Gear = 2;
  now += 20;
  vrxtesting::SetFakeTickCount(now);
  Frame();
  EXPECT_LT(c->GetReverseLightLevel(), 0.01f + 1e-6f);

  // A broken lamp (a dent moved it) has no size: the light stays off there.
  e->Brake = 1.0f;
  cRaceCarProbe::BrakeLevel(*c) = 1.0f;
  cRaceCarProbe::Brake(*c, 1).width = 0.0f;
  cRaceCarProbe::Brake(*c, 1).centre = D3DXVECTOR3(0, 0, 0);
  Frame();
  EXPECT_NEAR(vrxtest::Red(At(lamp)), vrxtest::Red(off), 6);
  vrxtesting::SetTickSource(nullptr);
}

}  // namespace
