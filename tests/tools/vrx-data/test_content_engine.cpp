// The built cars and tracks through the engine's own classes: every track
// loads as a cGround and every car mesh as a cMoObject without a word on
// stderr; a probe moved along each lap keeps road under it and touches each
// gate once; each car settles at a track's start and drives off under full
// throttle.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <memory>

#include "cCar.h"
#include "cGround.h"
#include "cMoObject.h"
#include "cTexture.h"
#include "content_test_util.h"
#include "desc_file.h"
#include "image_files.h"
#include "mathkit/mathkit.h"
#include "screen_fixture.h"
#include "track_desc.h"
#include "track_path.h"
#include "tracks.h"

namespace {

std::vector<std::string> Entries(const char* list) {
  if (contenttest::BuiltData().empty()) return {};
  return contenttest::ListEntries(contenttest::BuiltData() + "/" + list);
}

std::string Leaf(const std::string& entry) { return entry.substr(entry.rfind('\\') + 1); }

// A screen, and the built DATA's parent as the working directory (the game
// names its files from there), with the shared sun picture the track loads.
class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(contenttest::BuiltData().empty());
    ASSERT_TRUE(fixture.Open(800, 600)) << "no window or device";
    screen = &fixture.Screen();
    root = std::filesystem::path(contenttest::BuiltData()).parent_path().string();
    const std::string sun = root + "/DATA/TRACKS/COMMON/sun.tga";
    if (!std::filesystem::exists(sun)) {
      ASSERT_TRUE(vrxdata::WriteTga(sun, vrxdata::Picture(64, 64, 0xFFFFF0C0u)));
    }
    previous = std::filesystem::current_path();
    std::filesystem::current_path(root);
  }
  void TearDown() override {
    car.reset();
    ground.reset();
    if (!previous.empty()) std::filesystem::current_path(previous);
  }

  // Loads a track by its list entry; what the loaders said on stderr goes to *said.
  void LoadTrack(const std::string& entry, std::string* said) {
    testing::internal::CaptureStderr();
    ground.reset(new cGround(entry.c_str(), screen, nullptr));
    ground->LoadShadowMaps();
    *said = testing::internal::GetCapturedStderr();
  }

  vrxtest::ScreenFixture fixture;
  cScreen* screen = nullptr;
  std::string root;
  std::filesystem::path previous;
  std::unique_ptr<cGround> ground;
  std::unique_ptr<cCar> car;
};

// The description behind a built track.
bool FindTrackDesc(const std::string& name, vrxdata::TrackDesc* desc) {
  for (const std::string& f : vrxdata::ListDescriptions(contenttest::ContentDir() + "/tracks", ".track"))
    if (vrxdata::ReadTrackDesc(f, desc) && desc->name == name) return true;
  return false;
}

// The eight corners of a box turned by `rot` and moved to `pos`, in the car's order.
void Corners(const D3DXVECTOR3& mn, const D3DXVECTOR3& mx, const D3DXMATRIX& rot, const D3DXVECTOR3& pos,
             D3DXVECTOR3 out[8]) {
  const D3DXVECTOR3 local[8] = {{mn.x, mn.y, mx.z}, {mx.x, mn.y, mx.z}, {mn.x, mn.y, mn.z}, {mx.x, mn.y, mn.z},
                                {mn.x, mx.y, mx.z}, {mx.x, mx.y, mx.z}, {mn.x, mx.y, mn.z}, {mx.x, mx.y, mn.z}};
  for (int i = 0; i < 8; ++i) {
    D3DXVec3TransformNormal(&out[i], &local[i], &rot);
    out[i] += pos;
  }
}

class TrackEngineTest : public EngineTest, public ::testing::WithParamInterface<std::string> {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    // A probe with the box and wheels of a small car.
    std::memset(&data_, 0, sizeof data_);
    data_.BBoxMin = D3DXVECTOR3(-0.8f, -0.2f, -1.9f);
    data_.BBoxMax = D3DXVECTOR3(0.8f, 1.0f, 1.9f);
    data_.FrontRadius = data_.RearRadius = 0.3f;
    data_.BodyMass = 800;
    data_.SideSlipDiv = 10000;
    data_.FrontDamping = data_.RearDamping = 3000;
    data_.FrontSpring = data_.RearSpring = 40000;
    data_.GearCount = 2;
    for (int w = 0; w < 4; ++w) data_.WheelPos[w] = D3DXVECTOR3(w & 1 ? 0.7f : -0.7f, -0.4f, w < 2 ? 1.1f : -1.3f);
    std::memset(&state_, 0, sizeof state_);
    MatrixIdentity(&state_.RotPos);
  }
  _CARDATA data_;
  _CARSTATE state_;
};

float ZeroTorque(float, void*) { return 0.0f; }

}  // namespace

TEST_P(TrackEngineTest, LoadsQuietlyWithItsShadowMapsOverItsBox) {
  std::string said;
  LoadTrack(GetParam(), &said);
  EXPECT_EQ(said, "");
  cMoObject* mesh = ground->GetMesh();
  ASSERT_NE(mesh, nullptr);
  EXPECT_GT(mesh->ObjCount(), 50u);
  EXPECT_GT(ground->GetRoadCount(), 10u);
  EXPECT_GT(ground->GetBorderCount(), 10u);
  EXPECT_GT(ground->GetTerrainCount(), 4u);
  EXPECT_GT(ground->GetSceneryCount(), 4u);
  EXPECT_EQ(ground->GetSkyCount(), 2u);
  EXPECT_STREQ(mesh->GetName(ground->GetStartGate()), "ts");
  EXPECT_STREQ(mesh->GetName(ground->GetHalfGate()), "tm");
  ASSERT_NE(ground->GetRoadSM(), nullptr);
  ASSERT_NE(ground->GetGroundSM(), nullptr);
  for (cTexture* sm : {ground->GetRoadSM(), ground->GetGroundSM()}) {
    EXPECT_EQ(sm->GetTextureInfo().Format, D3DFMT_A8R8G8B8);
    EXPECT_GE(sm->GetTextureInfo().Width, 256u);
  }
  // The maps were baked over the box the ground maps them onto.
  contenttest::MoFile mo;
  ASSERT_TRUE(contenttest::ReadMo(contenttest::EntryPath(contenttest::BuiltData(), GetParam()) + ".mo", &mo));
  float minX = 1e9f, minZ = 1e9f, maxX = -1e9f, maxZ = -1e9f;
  for (const contenttest::MoFile::Object& o : mo.objects) {
    if (o.name[0] == 'b' || o.name[0] == 's' || o.name[0] == 't') continue;
    minX = std::min(minX, o.record.min[0]);
    minZ = std::min(minZ, o.record.min[2]);
    maxX = std::max(maxX, o.record.max[0]);
    maxZ = std::max(maxZ, o.record.max[2]);
  }
  EXPECT_EQ(ground->GetTrackBoxMin().x, minX);
  EXPECT_EQ(ground->GetTrackBoxMin().z, minZ);
  EXPECT_EQ(ground->GetTrackBoxMax().x, maxX);
  EXPECT_EQ(ground->GetTrackBoxMax().z, maxZ);
  const D3DXVECTOR2 corner = ground->GetGlobalUV(maxX, maxZ);
  EXPECT_NEAR(corner.x, 0.0f, 1e-6f);
  EXPECT_NEAR(corner.y, 1.0f, 1e-6f);
}

TEST_P(TrackEngineTest, StartsOnTheRoadFacingAlongIt) {
  std::string said;
  LoadTrack(GetParam(), &said);
  vrxdata::TrackDesc desc;
  ASSERT_TRUE(FindTrackDesc(Leaf(GetParam()), &desc));
  vrxdata::TrackPath path;
  ASSERT_TRUE(path.Build(desc));
  const float x = ground->GetStartX(), z = ground->GetStartZ(), h = ground->GetStartRadY();
  ASSERT_NE(ground->GetH(x, z), -1000.0f);
  EXPECT_EQ(ground->GetStartY(), ground->GetH(x, z));
  // A car built as the race builds it - turned by RotationY of the heading -
  // has its nose (the +z row of its orientation) along the centreline.
  _CARSTATE s = state_;
  s.LinPos = D3DXVECTOR3(x, ground->GetStartY() + 1.0f, z);
  RotationY(&s.RotPos, h);
  car.reset(new cCar(&data_, &s, ground.get(), ZeroTorque, nullptr));
  const D3DXMATRIX rot = car->GetRotPos();
  const D3DXVECTOR3 forward(rot._31, rot._32, rot._33);
  const vrxdata::PathHit hit = path.Nearest(x, z, 2);
  ASSERT_TRUE(hit.found);
  EXPECT_GT(forward.x * hit.fwd.x + forward.z * hit.fwd.z, 0.995f);
  for (float ahead : {5.0f, 10.0f, 20.0f}) EXPECT_NE(ground->GetH(x + forward.x * ahead, z + forward.z * ahead), -1000.0f);
}

TEST_P(TrackEngineTest, AProbeRoundTheLapKeepsRoadUnderItAndTouchesEachGateOnce) {
  std::string said;
  LoadTrack(GetParam(), &said);
  vrxdata::TrackDesc desc;
  ASSERT_TRUE(FindTrackDesc(Leaf(GetParam()), &desc));
  vrxdata::TrackPath path;
  ASSERT_TRUE(path.Build(desc));
  // A car-sized probe, moved by SetLinPos, never stepped.
  _CARDATA data = data_;
  _CARSTATE state = state_;
  state.LinPos = D3DXVECTOR3(path.Row(0).pos.x, path.Row(0).pos.y + 0.6f, path.Row(0).pos.z);
  car.reset(new cCar(&data, &state, ground.get(), ZeroTorque, nullptr));

  const float L = path.Length(), start = L - desc.startOffset;
  int startTouches = 0, halfTouches = 0;
  bool inStart = false, inHalf = false;
  float startAt = -1, halfAt = -1;
  // Steps off the rows, so the probe's centre never lies exactly in a gate's
  // plane (a segment starting on the face does not count as crossing it).
  for (float d = 0.13f; d <= L + 2; d += 0.5f) {
    const float s = std::fmod(start + d, L);
    const int i = static_cast<int>(s / L * path.RowCount());
    const float t = s / L * path.RowCount() - i;
    const vrxdata::Vec3 p = vrxdata::Lerp(path.Row(i).pos, path.Row(i + 1).pos, t);
    const vrxdata::Vec3 f = path.Row(i).fwd;
    D3DXVECTOR3 pos(p.x, ground->GetH(p.x, p.z) + 0.6f, p.z);
    ASSERT_NE(pos.y, -1000.0f + 0.6f) << "no road at " << s << " m";
    D3DXMATRIX rot;
    RotationY(&rot, std::atan2(f.x, f.z));
    car->SetLinPos(&pos);
    car->SetRotPos(&rot);
    pos = car->GetLinPos();
    rot = car->GetRotPos();
    D3DXVECTOR3 corners[8];
    Corners(data.BBoxMin, data.BBoxMax, rot, pos, corners);
    // The wheels' ground points keep road under them too.
    for (int w = 0; w < 4; ++w) {
      D3DXVECTOR3 wp;
      D3DXVec3TransformNormal(&wp, &data.WheelPos[w], &rot);
      ASSERT_NE(ground->GetH(pos.x + wp.x, pos.z + wp.z), -1000.0f) << "wheel " << w << " at " << s << " m";
    }
    const bool ts = ground->IsTimerCollision(corners, &pos, 70.0f) != 0;
    const bool tm = ground->IsHalfTimerCollision(corners, &pos, 70.0f) != 0;
    if (ts && !inStart) {
      ++startTouches;
      startAt = s;
    }
    if (tm && !inHalf) {
      ++halfTouches;
      halfAt = s;
    }
    inStart = ts;
    inHalf = tm;
  }
  EXPECT_EQ(startTouches, 1);
  EXPECT_EQ(halfTouches, 1);
  // The start gate comes just after the start, the half gate half a lap on.
  EXPECT_LT(std::min(startAt, L - startAt), 3.0f);
  EXPECT_NEAR(halfAt, L / 2, 3.0f);
}

// Front faces are clockwise on screen: the road is drawn seen from above and
// culled seen from below.
TEST_P(TrackEngineTest, TheRoadIsSeenFromAboveAndNotFromBelow) {
  std::string said;
  LoadTrack(GetParam(), &said);
  const D3DXVECTOR3 p(ground->GetStartX(), ground->GetStartY(), ground->GetStartZ());
  screen->SetTransformMatrix(1.33f, 0, 0.01f, 600, FALSE);
  const DWORD clear = 0xFF0000FFu;
  for (int from = 0; from < 2; ++from) {
    const float up = from == 0 ? 30.0f : -30.0f;
    screen->SetCamera(p + D3DXVECTOR3(0, up, -3), p, D3DXVECTOR3(0, 1, 0));
    screen->ClearScreen(clear);
    ground->Draw(GROUND_DRAW_ROAD);
    const DWORD c = fixture.Pixel(400, 300);
    if (from == 0) {
      EXPECT_FALSE(vrxtest::Near(c, clear, 8)) << "road not drawn from above: " << vrxtest::Hex(c);
      EXPECT_LT(std::abs(vrxtest::Red(c) - vrxtest::Blue(c)), 40) << "not asphalt grey: " << vrxtest::Hex(c);
    } else {
      EXPECT_TRUE(vrxtest::Near(c, clear, 8)) << "road drawn from below: " << vrxtest::Hex(c);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Tracks, TrackEngineTest, ::testing::ValuesIn(Entries("Tracks.txt")),
                         [](const ::testing::TestParamInfo<std::string>& p) { return Leaf(p.param); });

// ---------------------------------------------------------------------------

namespace {

// The game's torque table: text before the last TAB is the speed, after it the torque.
struct Torque {
  std::vector<float> rpm, nm;
};

Torque ReadTorque(const std::string& path) {
  Torque t;
  for (const std::string& line : contenttest::ListEntries(path)) {
    const size_t tab = line.rfind('\t');
    t.rpm.push_back(std::strtof(line.substr(0, tab).c_str(), nullptr));
    t.nm.push_back(std::strtof(line.substr(tab + 1).c_str(), nullptr));
  }
  return t;
}

float TableTorque(float engineSpeed, void* context) {
  const Torque* t = static_cast<const Torque*>(context);
  const float rpm = engineSpeed * 9.55026f;
  for (size_t i = 0; i + 1 < t->rpm.size(); ++i)
    if (t->rpm[i] <= rpm && rpm < t->rpm[i + 1])
      return t->nm[i] + (rpm - t->rpm[i]) / (t->rpm[i + 1] - t->rpm[i]) * (t->nm[i + 1] - t->nm[i]);
  return 0.0f;
}

class CarEngineTest : public EngineTest, public ::testing::WithParamInterface<std::string> {
 protected:
  // Car data as the game assembles it: the file's 144 bytes, the body's box
  // and the wheel's radius from the mesh.
  bool AssembleCar(_CARDATA* d, std::string* said) {
    const std::string base = contenttest::EntryPath(contenttest::BuiltData(), GetParam());
    testing::internal::CaptureStderr();
    mesh.reset(new cMoObject((GetParam() + ".mo").c_str(), screen, nullptr));
    *said = testing::internal::GetCapturedStderr();
    const std::string cdf = vrxtest::ReadFile(base + ".cdf");
    if (cdf.size() != 144) return false;
    int body = -1, wheel = -1;
    for (DWORD i = 0; i < mesh->ObjCount(); ++i) {
      if (mesh->GetName(i)[0] == 'b') body = static_cast<int>(i);
      if (mesh->GetName(i)[0] == 'w') wheel = static_cast<int>(i);
    }
    if (body < 0 || wheel < 0) return false;
    mesh->CalcObjBBox(body);
    std::memset(d, 0, sizeof *d);
    std::memcpy(d->WheelPos, cdf.data(), 48);
    std::memcpy(&d->FrontSpring, cdf.data() + 48, 24);
    std::memcpy(&d->BodyMass, cdf.data() + 72, 48);
    std::memcpy(&d->FinalDrive, cdf.data() + 132, 4);
    std::memcpy(&d->GearCount, cdf.data() + 136, 4);
    std::memcpy(&d->FrontDrive, cdf.data() + 140, 4);
    d->BBoxMin = mesh->GetMinBBox(body);
    d->BBoxMax = mesh->GetMaxBBox(body);
    d->FrontRadius = d->RearRadius = (mesh->GetMaxBBox(wheel).y - mesh->GetMinBBox(wheel).y) * 0.5f;
    d->Automatic = 1;
    wheelObject = wheel;
    torque = ReadTorque(base + ".trq");
    return true;
  }

  // A generated oval with 280 m straights, its start line half way along
  // one and the start 40 m before it; returns its folder.
  std::string OvalTrack() {
    const std::string dir = vrxtest::MakeTempDir("car_drive_track");
    std::string points;
    const float half = 140, radius = 70;
    char line[80];
    auto add = [&](float px, float pz) {
      std::snprintf(line, sizeof line, "point %.2f %.2f\n", px, pz);
      points += line;
    };
    add(0, radius);
    add(half, radius);
    for (int k = 1; k < 6; ++k) add(half + radius * std::sin(k * 3.14159265f / 6), radius * std::cos(k * 3.14159265f / 6));
    add(half, -radius);
    add(-half, -radius);
    for (int k = 1; k < 6; ++k) add(-half - radius * std::sin(k * 3.14159265f / 6), -radius * std::cos(k * 3.14159265f / 6));
    add(-half, radius);
    EXPECT_TRUE(vrxtest::WriteTextFile(dir + "/oval.track", "name Oval\nstart_offset 40\ntrees 0\n" + points));
    EXPECT_TRUE(vrxdata::BuildTrack(dir + "/oval.track", dir));
    return dir;
  }

  std::unique_ptr<cMoObject> mesh;
  int wheelObject = -1;
  Torque torque;
};

}  // namespace

TEST_P(CarEngineTest, MeshLoadsQuietlyAndItsWheelsMatchTheCarData) {
  _CARDATA d;
  std::string said;
  ASSERT_TRUE(AssembleCar(&d, &said));
  EXPECT_EQ(said, "");
  EXPECT_GT(mesh->ObjCount(), 10u);
  // Wheels 0 and 2 on the left (-x), 1 and 3 on the right, 0 and 1 in front;
  // each wheel's centre (y + radius) lies inside the body's box.
  for (int w = 0; w < 4; ++w) {
    const D3DXVECTOR3& p = d.WheelPos[w];
    EXPECT_EQ(p.x < 0, w == 0 || w == 2) << w;
    EXPECT_EQ(p.z > 0, w < 2) << w;
    EXPECT_GT(p.y + d.FrontRadius, d.BBoxMin.y) << w;
    EXPECT_LT(p.z + d.FrontRadius, d.BBoxMax.z) << w;
    EXPECT_GT(p.z - d.FrontRadius, d.BBoxMin.z) << w;
    const float half = (mesh->GetMaxBBox(wheelObject).x - mesh->GetMinBBox(wheelObject).x) * 0.5f;
    EXPECT_LE(std::fabs(p.x) + half, d.BBoxMax.x + 0.02f) << w;
  }
  EXPECT_EQ(d.WheelPos[0].y, d.WheelPos[3].y);
  EXPECT_EQ(d.WheelPos[0].x, -d.WheelPos[1].x);
}

TEST_P(CarEngineTest, SettlesAtATracksStartAndDrivesOffUnderFullThrottle) {
  const std::string dir = OvalTrack();
  std::string said;
  LoadTrack(dir + "/Oval/Oval", &said);
  EXPECT_EQ(said, "");
  _CARDATA d;
  ASSERT_TRUE(AssembleCar(&d, &said));
  const float x = ground->GetStartX(), z = ground->GetStartZ();
  _CARSTATE s;
  std::memset(&s, 0, sizeof s);
  s.LinPos = D3DXVECTOR3(x, ground->GetHeight(x, z) + 0.5f, z);  // as the race car places itself
  RotationY(&s.RotPos, ground->GetStartRadY());
  car.reset(new cCar(&d, &s, ground.get(), TableTorque, reinterpret_cast<float (*)(float, void*)>(&torque)));
  const D3DXMATRIX r = car->GetRotPos();
  const D3DXVECTOR3 nose(r._31, 0, r._33), side(r._33, 0, -r._31);
  for (int i = 0; i < 200; ++i) car->DoStep(0.01f);
  const D3DXVECTOR3 rest = car->GetLinPos();
  const D3DXVECTOR3 v = car->GetLinVel();
  EXPECT_LT(std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z), 0.05f);
  const _SUSPSTATE wheels = car->GetWorldSuspState();
  for (int w = 0; w < 4; ++w)
    EXPECT_NEAR(wheels.Point[w].y, ground->GetH(wheels.Point[w].x, wheels.Point[w].z), 0.05f) << "wheel " << w;
  EXPECT_EQ(car->IsCollision(), 0);

  // Full throttle from first gear; a driver holds the wheel, steering
  // against the heading error and the drift from the start's line.
  const float targetYaw = std::atan2(nose.x, nose.z);
  car->Gear = 2;
  car->Throttle = 1.0f;
  float topSpeed = 0, worstYaw = 0;
  for (int i = 0; i < 600; ++i) {
    const D3DXVECTOR3 p = car->GetLinPos();
    const D3DXMATRIX m = car->GetRotPos();
    float yawError = std::atan2(m._31, m._33) - targetYaw;
    if (yawError > 3.14159f) yawError -= 6.28318f;
    if (yawError < -3.14159f) yawError += 6.28318f;
    const float drift = (p.x - rest.x) * side.x + (p.z - rest.z) * side.z;  // to the right
    car->Steering = std::max(-0.3f, std::min(0.3f, 1.0f * yawError + 0.05f * drift));  // positive steers left
    car->DoStep(0.01f);
    topSpeed = std::max(topSpeed, car->GetBodyVel().z);
    worstYaw = std::max(worstYaw, std::fabs(yawError));
  }
  const D3DXVECTOR3 p = car->GetLinPos();
  const float along = (p.x - rest.x) * nose.x + (p.z - rest.z) * nose.z;
  const float across = (p.x - rest.x) * side.x + (p.z - rest.z) * side.z;
  EXPECT_GT(along, 50.0f);
  EXPECT_LT(std::fabs(across), 2.0f);
  EXPECT_LT(worstYaw, 0.15f);
  EXPECT_GT(topSpeed, 15.0f);
  EXPECT_NE(ground->GetH(p.x, p.z), -1000.0f);
  EXPECT_EQ(car->IsCollision(), 0);
  EXPECT_EQ(car->GetGear() > 2, true);  // the automatic gearbox changed up
  std::printf("%s: %.1f m in 6 s, %.1f m/s\n", GetParam().c_str(), along, topSpeed);
}

TEST_P(CarEngineTest, TheWallsKeepACarThatSteersIntoThemOnTheRoad) {
  const std::string dir = OvalTrack();
  std::string said;
  LoadTrack(dir + "/Oval/Oval", &said);
  _CARDATA d;
  ASSERT_TRUE(AssembleCar(&d, &said));
  const float x = ground->GetStartX(), z = ground->GetStartZ();
  _CARSTATE s;
  std::memset(&s, 0, sizeof s);
  s.LinPos = D3DXVECTOR3(x, ground->GetHeight(x, z) + 0.5f, z);
  RotationY(&s.RotPos, ground->GetStartRadY());
  car.reset(new cCar(&d, &s, ground.get(), TableTorque, reinterpret_cast<float (*)(float, void*)>(&torque)));
  for (int i = 0; i < 100; ++i) car->DoStep(0.01f);
  // Full throttle with the wheel turned left: the car runs into the wall on
  // the outside of the straight (the oval turns right), and stays on the road.
  car->Gear = 2;
  car->Throttle = 1.0f;
  car->Steering = 0.12f;
  bool hit = false;
  for (int i = 0; i < 500; ++i) {
    car->DoStep(0.01f);
    hit = hit || car->IsCollision();
    const D3DXVECTOR3 p = car->GetLinPos();
    ASSERT_NE(ground->GetH(p.x, p.z), -1000.0f) << "left the road at step " << i;
    ASSERT_GT(p.y, ground->GetH(p.x, p.z) - 0.5f) << "fell through at step " << i;
  }
  EXPECT_TRUE(hit);
}

INSTANTIATE_TEST_SUITE_P(Cars, CarEngineTest, ::testing::ValuesIn(Entries("Cars.txt")),
                         [](const ::testing::TestParamInfo<std::string>& p) { return Leaf(p.param); });
