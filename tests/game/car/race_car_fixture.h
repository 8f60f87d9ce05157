// Builders and a fixture for the race car tests: a small generated car whose
// files can be damaged one at a time, generated flat tracks, and a world
// with a screen, a fake keyboard, a listener and the shipped DATA.
#pragma once

#include <gtest/gtest.h>

#include <SDL.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "../../engine/track/track_test_util.h"
#include "cCar.h"
#include "cGround.h"
#include "cInput.h"
#include "cMoObject.h"
#include "cTexture.h"
#include "car/cRaceCar.h"
#include "mathkit/mathkit.h"
#include "platform/dinput.h"
#include "platform/testing.h"
#include "platform/win32.h"
#include "reference_car.h"
#include "screen_fixture.h"
#include "sound/cListener.h"
#include "test_support.h"
#include "vrxmesh/mo_writer.h"

// Reads the car's inner state for the tests.
struct cRaceCarProbe {
  static _CARDATA& Data(cRaceCar& c) { return c.carData; }
  static _CARSTATE& Start(cRaceCar& c) { return c.startState; }
  static float& Damage(cRaceCar& c) { return c.damage; }
  static uint32_t PartCount(cRaceCar& c) { return c.partCount; }
  static uint32_t Part(cRaceCar& c, int i) { return c.partObjects[i]; }
  static uint32_t PlateCount(cRaceCar& c) { return c.plateCount; }
  static uint32_t BrakeCount(cRaceCar& c) { return c.brakeLightCount; }
  static uint32_t ReverseCount(cRaceCar& c) { return c.reverseLightCount; }
  static _CARLIGHT& Brake(cRaceCar& c, int i) { return c.brakeLights[i]; }
  static _CARLIGHT& Reverse(cRaceCar& c, int i) { return c.reverseLights[i]; }
  static uint32_t Body(cRaceCar& c) { return c.bodyObject; }
  static uint32_t Wheel(cRaceCar& c) { return c.wheelObject; }
  static cMoObject* Mesh(cRaceCar& c) { return c.mesh; }
  static uint32_t TorqueCount(cRaceCar& c) { return c.torquePointCount; }
  static float TorqueSpeed(cRaceCar& c, int i) { return c.torqueSpeeds[i]; }
  static float SkidWidth(cRaceCar& c, int front) { return front ? c.frontSkidWidth : c.rearSkidWidth; }
  static int32_t SkidActive(cRaceCar& c, int w) { return c.skidActive[w]; }
  static D3DXVECTOR3 LastSkid(cRaceCar& c, int w) { return c.lastSkidPoints[w]; }
  static BYTE* ShadowMap(cRaceCar& c) { return c.shadowMap; }
  static IDirect3DCubeTexture9* Cube(cRaceCar& c) { return c.reflectionCube; }
  static int32_t Toggle(cRaceCar& c) { return c.reflectionToggle; }
  static int32_t& CrashLatch() { return cRaceCar::crashLatch; }
  static void ResetShared() {
    cRaceCar::keyGearUpHeld = cRaceCar::keyGearDownHeld = 0;
    cRaceCar::joyGearUpHeld = cRaceCar::joyGearDownHeld = 0;
    cRaceCar::crashLatch = 0;
    cRaceCar::brakeFadeInTime = cRaceCar::brakeFadeOutTime = 0;
    cRaceCar::reverseFadeInTime = cRaceCar::reverseFadeOutTime = 0;
  }
  static float& BrakeLevel(cRaceCar& c) { return c.brakeLightLevel; }
  static float& ReverseLevel(cRaceCar& c) { return c.reverseLightLevel; }
  static D3DXVECTOR3& CameraPosition(cRaceCar& c) { return c.cameraPosition; }
  static D3DXVECTOR3& Position(cRaceCar& c) { return c.position; }
  static D3DXMATRIX& World(cRaceCar& c) { return c.worldMatrix; }
  static float& LastDt(cRaceCar& c) { return c.lastDt; }
};

namespace cartest {

// What the generated car is made of; each switch damages one file.
struct TestCar {
  bool body = true, wheel = true;
  int cdfBytes = 144;
  bool cdf = true, torque = true;
  std::string torqueText = "0\t35\n1000\t38\n2000\t42\n3000\t45\n4000\t47\n5000\t46\n6000\t42\n7000\t35\n";
  uint32_t offset128 = 0;    // the unused word of the car data file
  uint32_t paint = 0xFF808080;  // body texture
};

inline void PutFloat(std::vector<uint8_t>* b, int offset, float f) { std::memcpy(b->data() + offset, &f, 4); }
inline void PutInt(std::vector<uint8_t>* b, int offset, int32_t i) { std::memcpy(b->data() + offset, &i, 4); }

// A quad panel a-b-c-d cut into cells of at most `cell` metres, seen from
// the side `n` points to.
inline void Panel(vrxmesh::MoWriter* w, int object, int texture, D3DXVECTOR3 a, D3DXVECTOR3 b, D3DXVECTOR3 c,
                  D3DXVECTOR3 d, D3DXVECTOR3 n, float cell = 0.2f) {
  D3DXVECTOR3 ab = b - a, ad = d - a;
  const int nu = std::max(1, (int)std::ceil(D3DXVec3Length(&ab) / cell - 1e-4f));
  const int nv = std::max(1, (int)std::ceil(D3DXVec3Length(&ad) / cell - 1e-4f));
  auto at = [&](int i, int j) {
    const float u = (float)i / nu, v = (float)j / nv;
    const D3DXVECTOR3 p = (a * (1 - u) + b * u) * (1 - v) + (d * (1 - u) + c * u) * v;
    return vrxmesh::MoVertex(p.x, p.y, p.z, n.x, n.y, n.z, u, v);
  };
  for (int i = 0; i < nu; ++i)
    for (int j = 0; j < nv; ++j) {
      _MOVERTEX q0 = at(i, j), q1 = at(i + 1, j), q2 = at(i + 1, j + 1), q3 = at(i, j + 1);
      const D3DXVECTOR3 e1(q1.x - q0.x, q1.y - q0.y, q1.z - q0.z), e2(q2.x - q0.x, q2.y - q0.y, q2.z - q0.z);
      D3DXVECTOR3 x;
      D3DXVec3Cross(&x, &e1, &e2);
      if (D3DXVec3Dot(&x, &n) >= 0) w->AddQuad(object, texture, q0, q1, q2, q3);
      else w->AddQuad(object, texture, q0, q3, q2, q1);
    }
}

// A box from mn to mx, all six sides outward.
inline void Box(vrxmesh::MoWriter* w, int object, int texture, D3DXVECTOR3 mn, D3DXVECTOR3 mx, float cell = 10.0f) {
  typedef D3DXVECTOR3 V;
  Panel(w, object, texture, V(mn.x, mn.y, mn.z), V(mn.x, mn.y, mx.z), V(mn.x, mx.y, mx.z), V(mn.x, mx.y, mn.z), V(-1, 0, 0), cell);
  Panel(w, object, texture, V(mx.x, mn.y, mn.z), V(mx.x, mn.y, mx.z), V(mx.x, mx.y, mx.z), V(mx.x, mx.y, mn.z), V(1, 0, 0), cell);
  Panel(w, object, texture, V(mn.x, mn.y, mn.z), V(mx.x, mn.y, mn.z), V(mx.x, mn.y, mx.z), V(mn.x, mn.y, mx.z), V(0, -1, 0), cell);
  Panel(w, object, texture, V(mn.x, mx.y, mn.z), V(mx.x, mx.y, mn.z), V(mx.x, mx.y, mx.z), V(mn.x, mx.y, mx.z), V(0, 1, 0), cell);
  Panel(w, object, texture, V(mn.x, mn.y, mn.z), V(mx.x, mn.y, mn.z), V(mx.x, mx.y, mn.z), V(mn.x, mx.y, mn.z), V(0, 0, -1), cell);
  Panel(w, object, texture, V(mn.x, mn.y, mx.z), V(mx.x, mn.y, mx.z), V(mx.x, mx.y, mx.z), V(mn.x, mx.y, mx.z), V(0, 0, 1), cell);
}

// The reference car's body (x -0.8 .. 0.8, y -0.15 .. 0.95, z -2.1 .. 1.9)
// with its rear vertical edges cut at 45 degrees, so that a camera behind
// it sees faces turned to either side. Cells of 0.2 m, for dents.
inline void Body(vrxmesh::MoWriter* w, int object, int texture) {
  typedef D3DXVECTOR3 V;
  const float y0 = -0.15f, y1 = 0.95f;
  const float s = 0.70710678f;
  // Outline, clockwise from above: front left, front right, right, corner, back, corner.
  const float px[6] = {-0.8f, 0.8f, 0.8f, 0.4f, -0.4f, -0.8f};
  const float pz[6] = {1.9f, 1.9f, -1.7f, -2.1f, -2.1f, -1.7f};
  const V normals[6] = {V(0, 0, 1), V(1, 0, 0), V(s, 0, -s), V(0, 0, -1), V(-s, 0, -s), V(-1, 0, 0)};
  for (int i = 0; i < 6; ++i) {
    const int j = (i + 1) % 6;
    Panel(w, object, texture, V(px[i], y0, pz[i]), V(px[j], y0, pz[j]), V(px[j], y1, pz[j]), V(px[i], y1, pz[i]),
          normals[i]);
  }
  for (int k = 0; k < 2; ++k) {
    const float y = k ? y1 : y0;
    const V n(0, k ? 1.0f : -1.0f, 0);
    Panel(w, object, texture, V(-0.8f, y, 1.9f), V(0.8f, y, 1.9f), V(0.8f, y, -1.7f), V(-0.8f, y, -1.7f), n);
    Panel(w, object, texture, V(-0.8f, y, -1.7f), V(0.8f, y, -1.7f), V(0.4f, y, -2.1f), V(-0.4f, y, -2.1f), n);
  }
}

// Writes the car into dir/Test/Test.* and returns its base path.
inline std::string WriteTestCar(const std::string& dir, const TestCar& t = TestCar()) {
  const std::string folder = dir + "/Test";
  std::filesystem::create_directories(folder);
  const std::string base = folder + "/Test";
  vrxtest::WriteTga(folder + "/paint.tga", 4, 4, std::vector<DWORD>(16, t.paint));
  vrxtest::WriteTga(folder + "/dark.tga", 4, 4, std::vector<DWORD>(16, 0xFF202020));
  vrxtest::WriteTga(folder + "/lamp.tga", 4, 4, std::vector<DWORD>(16, 0xFFFF2020));
  vrxmesh::MoWriter w;
  const int paint = w.AddTexture("paint.tga");
  const int dark = w.AddTexture("dark.tga");
  const int lamp = w.AddTexture("lamp.tga");
  typedef D3DXVECTOR3 V;
  if (t.body) Body(&w, w.AddObject("body"), paint);
  // A lamp near the front right top corner (dented by a crash ahead), one at the back.
  Box(&w, w.AddObject("ls_front"), lamp, V(0.55f, 0.80f, 1.88f), V(0.75f, 0.90f, 1.92f));
  Box(&w, w.AddObject("ls_back"), lamp, V(-0.3f, 0.6f, -2.14f), V(0.3f, 0.7f, -2.1f));
  Box(&w, w.AddObject("lr_back"), lamp, V(-0.1f, 0.4f, -2.14f), V(0.1f, 0.5f, -2.1f));
  // Neither lights nor parts: must never show.
  Box(&w, w.AddObject("lx"), lamp, V(-0.2f, 2.0f, 0.0f), V(0.2f, 2.4f, 0.4f));
  Box(&w, w.AddObject("l"), lamp, V(-0.2f, 2.6f, 0.0f), V(0.2f, 3.0f, 0.4f));
  Box(&w, w.AddObject("mplate"), dark, V(-0.25f, 0.2f, -2.13f), V(0.25f, 0.35f, -2.1f));
  Box(&w, w.AddObject("roof"), dark, V(-0.6f, 0.95f, -1.0f), V(0.6f, 1.3f, 0.8f), 0.2f);
  if (t.wheel) Box(&w, w.AddObject("wheel"), dark, V(-0.1f, -0.3f, -0.3f), V(0.1f, 0.3f, 0.3f));
  std::string error;
  EXPECT_TRUE(w.Write(base + ".mo", &error)) << error;

  if (t.cdf) {
    const _CARDATA d = vrxtest::ReferenceCarData();
    std::vector<uint8_t> b(144, 0);
    for (int i = 0; i < 4; ++i) {
      PutFloat(&b, 12 * i, d.WheelPos[i].x);
      PutFloat(&b, 12 * i + 4, d.WheelPos[i].y);
      PutFloat(&b, 12 * i + 8, d.WheelPos[i].z);
    }
    const float f[] = {d.FrontSpring, d.RearSpring, d.FrontDamping, d.RearDamping, d.TyreFriction, d.SideSlipDiv,
                       d.BodyMass,    d.BrakeForce, d.DragCoef,     d.MaxRPM,      d.UpshiftRPM,   d.DownshiftRPM};
    for (int i = 0; i < 12; ++i) PutFloat(&b, 48 + 4 * i, f[i]);
    for (int g = 0; g < 8; ++g) PutFloat(&b, 96 + 4 * g, d.GearRatio[g]);
    PutInt(&b, 128, (int32_t)t.offset128);
    PutFloat(&b, 132, d.FinalDrive);
    PutInt(&b, 136, d.GearCount);
    PutInt(&b, 140, d.FrontDrive);
    b.resize(t.cdfBytes);
    vrxtest::WriteFile(base + ".cdf", b.data(), b.size());
  }
  if (t.torque) vrxtest::WriteTextFile(base + ".trq", t.torqueText);
  // The shipped car's sounds, where they are built.
  for (const char* s : {"_eng.wav", "_skid.wav", "_shift.wav", "_crash.wav"}) {
    std::error_code ec;
    std::filesystem::copy_file(std::string(VRX_BIN_DIR) + "/DATA/CARS/Hatch/Hatch" + s, base + s, ec);
  }
  return base;
}

// A flat road (200 x 200 m round the origin at height `height`), optionally
// with a wall across it at z = wallZ, in dir/name/name.*; returns the track path.
inline std::string WriteTrack(const std::string& dir, const std::string& name, float height = 0.0f,
                              bool wall = false, float wallZ = 30.0f) {
  std::filesystem::create_directories(dir + "/" + name);
  const std::string path = dir + "/" + name + "/" + name;
  vrxtest::FlatTrackLayout layout;
  layout.height = height;
  layout.wall = wall;
  layout.wallZ = wallZ;
  std::string error;
  EXPECT_TRUE(vrxtest::WriteFlatTrack(path, layout, &error)) << error;
  return path;
}

inline _CARSTATE StartAt(float x, float y, float z, float heading = 0.0f) {
  _CARSTATE s = vrxtest::RestState(x, y, z);
  RotationY(&s.RotPos, heading);
  return s;
}

// Screen, keyboard (fake, read through the DirectInput stand-in), listener,
// a temporary working directory that sees the shipped DATA (its records
// copied, so they are the test's own), and the key map
// the game ships with.
class CarWorld : public ::testing::Test {
 protected:
  void SetUp() override {
    cRaceCarProbe::ResetShared();
    ASSERT_TRUE(fixture.Open(800, 600)) << "no window or device";
    screen = &fixture.Screen();
    dir = vrxtest::MakeTempDir(::testing::UnitTest::GetInstance()->current_test_info()->name());
    // Records a test sets stay in its own folder, never in the build's DATA.
    if (HaveShippedData()) {
      ASSERT_TRUE(vrxtest::LinkDataKeepingRecords(std::string(VRX_BIN_DIR) + "/DATA", dir));
    }
    previousDir = std::filesystem::current_path();
    std::filesystem::current_path(dir);
    vrxtesting::SetFakeInput(true);
    ASSERT_EQ(input.Init(nullptr), 0);
    ASSERT_EQ(input.CreateKeyboard(fixture.Window()), 0);
    listener.reset(new cListener(fixture.Window()));
  }
  void TearDown() override {
    car.reset();
    ground.reset();
    listener.reset();
    input.CleanUp();
    vrxtesting::SetFakeInput(false);
    if (!previousDir.empty()) std::filesystem::current_path(previousDir);
  }

  bool HaveShippedData() { return vrxtest::ReadFile(std::string(VRX_BIN_DIR) + "/DATA/Cars.txt").size() > 0; }

  void LoadGround(const std::string& trackPath) {
    ground.reset(new cGround(trackPath.c_str(), screen, nullptr));
    ground->LoadShadowMaps();
  }

  cRaceCar* MakeCar(const std::string& base, _CARSTATE s, int automatic = 1, int reflections = 0) {
    car.reset(new cRaceCar(base.c_str(), s, screen, ground.get(), &input, listener.get(), keyMap, automatic,
                           reflections));
    return car.get();
  }

  // Presses or releases a key by its position in the key map.
  void Key(int position, bool down) {
    static const int scancodes[7] = {SDL_SCANCODE_UP, SDL_SCANCODE_DOWN, SDL_SCANCODE_LEFT, SDL_SCANCODE_RIGHT,
                                     SDL_SCANCODE_A,  SDL_SCANCODE_Z,    SDL_SCANCODE_SPACE};
    vrxtesting::SetFakeScancode(scancodes[position], down);
  }
  void ReleaseAll() {
    for (int k = 0; k < 7; ++k) Key(k, false);
  }
  void Steps(int n, float dt = 1.0f / 60.0f) {
    for (int i = 0; i < n; ++i) car->Step(dt);
  }
  // From neutral into first with the gear-up key (the automatic box never
  // leaves the forward gears by itself, nor enters them).
  void IntoFirst() {
    for (int i = 0; i < 4 && car->GetGear() < 2; ++i) {
      Key(4, true);
      Steps(2);
      Key(4, false);
      Steps(2);
    }
    EXPECT_EQ(car->GetGear(), 2);
  }
  float Speed() {
    const D3DXVECTOR3 v = car->GetCar()->GetLinVel();
    return D3DXVec3Length(&v);
  }
  // Heading of the car's nose in the xz plane (radians, atan2(x, z)).
  float Heading() {
    const D3DXMATRIX r = car->GetCar()->GetRotPos();
    return std::atan2(r._31, r._33);
  }

  vrxtest::ScreenFixture fixture;
  cScreen* screen = nullptr;
  cInput input;
  std::unique_ptr<cListener> listener;
  std::unique_ptr<cGround> ground;
  std::unique_ptr<cRaceCar> car;
  uint8_t keyMap[7] = {DIK_UP, DIK_DOWN, DIK_LEFT, DIK_RIGHT, DIK_A, DIK_Z, DIK_SPACE};
  std::string dir;
  std::filesystem::path previousDir;
};

}  // namespace cartest
