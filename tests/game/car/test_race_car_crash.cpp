// The race car against a wall: dents, damage, broken lights, the collision
// box following the body, and skid marks when it slides.
#include "race_car_fixture.h"

namespace {

using cartest::CarWorld;
using cartest::StartAt;
using cartest::WriteTestCar;
using cartest::WriteTrack;

std::vector<_MOVERTEX> Vertices(cMoObject* mesh) {
  std::vector<_MOVERTEX> all;
  for (DWORD o = 0; o < mesh->ObjCount(); ++o) {
    std::vector<_MOFACE> faces(mesh->GetObjFaceCount(o));
    if (faces.empty()) continue;
    mesh->GetObjFaces(o, faces.data());
    for (const _MOFACE& f : faces) all.insert(all.end(), f.v, f.v + 3);
  }
  return all;
}

class RaceCarCrash : public CarWorld {
 protected:
  // Full throttle from 45 m before a wall until the car has stood against
  // it for a while; true when the crash sound's latch was ever set.
  bool DriveIntoWall() {
    IntoFirst();
    Key(RACECAR_KEY_THROTTLE, true);
    bool latched = false;
    for (int i = 0; i < 60 * 12; ++i) {
      car->Step(1.0f / 60.0f);
      latched = latched || cRaceCarProbe::CrashLatch();
    }
    ReleaseAll();
    return latched;
  }
};

TEST_F(RaceCarCrash, AWallAtSpeedDentsTheFrontBreaksALampAndShrinksTheBox) {
  LoadGround(WriteTrack(dir, "Wall", 0.0f, true, 30.0f));
  cRaceCar* c = MakeCar(WriteTestCar(dir), StartAt(0, 0, -15));
  ASSERT_TRUE(c->IsRaceable());
  cMoObject* mesh = cRaceCarProbe::Mesh(*c);
  const std::vector<_MOVERTEX> before = Vertices(mesh);
  const _CARLIGHT backLamp = cRaceCarProbe::Brake(*c, 1);
  EXPECT_TRUE(DriveIntoWall());
  EXPECT_GT(c->GetPosition().z, 20.0f) << "the car should reach the wall";

  EXPECT_GT(c->GetDamage(), 0.0f);
  EXPECT_LE(c->GetDamage(), 100.0f);
  const std::vector<_MOVERTEX> after = Vertices(mesh);
  ASSERT_EQ(before.size(), after.size());
  int moved = 0;
  for (size_t i = 0; i < after.size(); ++i) {
    if (std::memcmp(&before[i], &after[i], sizeof before[i]) == 0) continue;
    ++moved;
    // Only the front met the wall; dented vertices move back and turn grey.
    EXPECT_GT(before[i].z, 1.0f) << i;
    EXPECT_LE(after[i].z, before[i].z + 1e-5f) << i;
    EXPECT_EQ(after[i].diffuse, 0x00404040u) << i;
  }
  EXPECT_GT(moved, 0);
  // The lamp at the front right corner is broken, the one at the back is not.
  EXPECT_EQ(cRaceCarProbe::Brake(*c, 0).width, 0.0f);
  EXPECT_EQ(cRaceCarProbe::Brake(*c, 1).width, backLamp.width);
  // The engine car's box follows the dented body.
  const DWORD body = cRaceCarProbe::Body(*c);
  std::vector<_MOFACE> faces(mesh->GetObjFaceCount(body));
  mesh->GetObjFaces(body, faces.data());
  D3DXVECTOR3 mn(1e10f, 1e10f, 1e10f), mx(-1e10f, -1e10f, -1e10f);
  for (const _MOFACE& f : faces)
    for (const _MOVERTEX& v : f.v) {
      const D3DXVECTOR3 p(v.x, v.y, v.z);
      D3DXVec3Minimize(&mn, &mn, &p);
      D3DXVec3Maximize(&mx, &mx, &p);
    }
  const _CARDATA data = c->GetCar()->GetCarData();
  EXPECT_EQ(data.BBoxMin, mn);
  EXPECT_EQ(data.BBoxMax, mx);
}

TEST_F(RaceCarCrash, ContactsAcrossTheTailFlattenItAndTheCollisionBoxFollows) {
  LoadGround(WriteTrack(dir, "Open"));
  cRaceCar* c = MakeCar(WriteTestCar(dir), StartAt(0, 0, 0));
  c->controlMode = 3;
  Steps(30);
  ASSERT_FLOAT_EQ(c->GetCar()->GetCarData().BBoxMin.z, -2.1f);
  // Four contacts 0.1 m inside the tail, pointing forward: after the push
  // by 0.1 along the normal, every body vertex behind z = -2.0 lies within
  // 0.5 of one of them.
  cCar* e = c->GetCar();
  const float xs[2] = {-0.2f, 0.2f}, ys[2] = {0.15f, 0.65f};
  for (int i = 0; i < 4; ++i) {
    _CARCOLLISION& r = e->Collisions[i];
    r.Valid = 1;
    r.Normal = D3DXVECTOR3(0, 0, 1);
    r.Position = D3DXVECTOR3(xs[i % 2], ys[i / 2], -2.1f);
    r.Depth = 0.1f;
  }
  for (int i = 4; i < CAR_MAX_COLLISIONS; ++i) e->Collisions[i].Valid = 0;
  c->Step(1.0f / 60.0f);
  const _CARDATA data = e->GetCarData();
  EXPECT_NEAR(data.BBoxMin.z, -2.0f, 1e-5f);
  EXPECT_FLOAT_EQ(data.BBoxMax.z, 1.9f);
  EXPECT_GT(c->GetDamage(), 0.0f);
  // The lamps at the tail moved with it: broken.
  EXPECT_EQ(cRaceCarProbe::Brake(*c, 1).width, 0.0f);
  EXPECT_EQ(cRaceCarProbe::Reverse(*c, 0).width, 0.0f);
  EXPECT_GT(cRaceCarProbe::Brake(*c, 0).width, 0.0f);
}

TEST_F(RaceCarCrash, DamageStopsAtOneHundredAndThenTheMeshNoLongerChanges) {
  LoadGround(WriteTrack(dir, "Wall", 0.0f, true, 30.0f));
  cRaceCar* c = MakeCar(WriteTestCar(dir), StartAt(0, 0, -15));
  cRaceCarProbe::Damage(*c) = 99.9f;
  IntoFirst();
  Key(RACECAR_KEY_THROTTLE, true);
  std::vector<_MOVERTEX> atFull;
  for (int i = 0; i < 60 * 12; ++i) {
    c->Step(1.0f / 60.0f);
    ASSERT_LE(c->GetDamage(), 100.0f);
    if (c->GetDamage() == 100.0f && atFull.empty()) atFull = Vertices(cRaceCarProbe::Mesh(*c));
  }
  EXPECT_EQ(c->GetDamage(), 100.0f);
  ASSERT_FALSE(atFull.empty());
  const std::vector<_MOVERTEX> later = Vertices(cRaceCarProbe::Mesh(*c));
  EXPECT_EQ(std::memcmp(atFull.data(), later.data(), later.size() * sizeof later[0]), 0);
}

TEST_F(RaceCarCrash, WithoutDeformationNothingDentsAndDamageStaysZero) {
  LoadGround(WriteTrack(dir, "Wall", 0.0f, true, 30.0f));
  cRaceCar* c = MakeCar(WriteTestCar(dir), StartAt(0, 0, -15));
  c->deformation = 0;
  const std::vector<_MOVERTEX> before = Vertices(cRaceCarProbe::Mesh(*c));
  const _CARDATA data = c->GetCar()->GetCarData();
  const _CARLIGHT lamp = cRaceCarProbe::Brake(*c, 0);
  EXPECT_TRUE(DriveIntoWall());
  EXPECT_GT(c->GetPosition().z, 20.0f);
  EXPECT_EQ(c->GetDamage(), 0.0f);
  const std::vector<_MOVERTEX> after = Vertices(cRaceCarProbe::Mesh(*c));
  EXPECT_EQ(std::memcmp(before.data(), after.data(), after.size() * sizeof after[0]), 0);
  EXPECT_EQ(std::memcmp(&lamp, &cRaceCarProbe::Brake(*c, 0), sizeof lamp), 0);
  const _CARDATA now = c->GetCar()->GetCarData();
  EXPECT_EQ(now.BBoxMin, data.BBoxMin);
  EXPECT_EQ(now.BBoxMax, data.BBoxMax);
}

TEST_F(RaceCarCrash, ASlidingCarLaysSkidMarksOneSegmentPerStretchOfSkid) {
  LoadGround(WriteTrack(dir, "Open"));
  cRaceCar* c = MakeCar(WriteTestCar(dir), StartAt(0, 0, -90));
  IntoFirst();
  Key(RACECAR_KEY_THROTTLE, true);
  Steps(60 * 5);
  ASSERT_GT(Speed(), 10.0f);
  Key(RACECAR_KEY_THROTTLE, false);
  Key(RACECAR_KEY_HANDBRAKE, true);
  Key(RACECAR_KEY_STEER_POSITIVE, true);
  Key(RACECAR_KEY_BRAKE, true);
  const int marksBefore = ground->GetSkidCount();
  float skidTravel = 0.0f;
  int skidSteps = 0;
  for (int i = 0; i < 120; ++i) {
    D3DXVECTOR3 last[4];
    int32_t active[4];
    for (int w = 0; w < 4; ++w) {
      last[w] = c->GetCar()->GetWorldSuspState().Point[w];
      active[w] = cRaceCarProbe::SkidActive(*c, w);
    }
    const int marks = ground->GetSkidCount();
    c->Step(1.0f / 60.0f);
    const _WHEELSKIDS skids = c->GetCar()->GetSkids();
    bool anyWasActive = false;
    for (int w = 0; w < 4; ++w) {
      if (!skids.Skid[w]) {
        EXPECT_EQ(cRaceCarProbe::SkidActive(*c, w), 0);
        continue;
      }
      ++skidSteps;
      anyWasActive = anyWasActive || active[w];
      const D3DXVECTOR3 p = c->GetCar()->GetWorldSuspState().Point[w];
      const D3DXVECTOR3 d = p - last[w];
      skidTravel += D3DXVec3Length(&d);
      // A wheel that starts skidding starts its mark where it is.
      if (!active[w]) {
        EXPECT_EQ(cRaceCarProbe::LastSkid(*c, w), p);
      }
    }
    // No wheel was skidding before: nothing can have been laid.
    if (!anyWasActive) {
      EXPECT_EQ(ground->GetSkidCount(), marks);
    }
  }
  const int laid = ground->GetSkidCount() - marksBefore;
  EXPECT_GT(skidSteps, 10);
  EXPECT_GT(laid, 0);
  // One segment per more than sqrt(0.5) m of a wheel's skid.
  EXPECT_LE(laid, (int)(skidTravel / std::sqrt(0.5f)) + 4);
}

}  // namespace
