// The chase camera and the trackside camera.
#include "race_car_fixture.h"

namespace {

using cartest::CarWorld;
using cartest::StartAt;
using cartest::WriteTestCar;
using cartest::WriteTrack;

class RaceCarCamera : public CarWorld {
 protected:
  cRaceCar* Park(const std::string& track, float x, float z, float heading) {
    LoadGround(track);
    cRaceCar* c = MakeCar(WriteTestCar(dir), StartAt(x, 0, z, heading));
    c->controlMode = 3;
    Steps(60);
    return c;
  }
  // Puts the car (as the cameras see it) at p without physics.
  void Place(cRaceCar* c, const D3DXVECTOR3& p) {
    cRaceCarProbe::Position(*c) = p;
    TranslationV(&cRaceCarProbe::World(*c), p.x, p.y, p.z);
  }
  static float Horizontal(const D3DXVECTOR3& a, const D3DXVECTOR3& b) {
    return std::sqrt((a.x - b.x) * (a.x - b.x) + (a.z - b.z) * (a.z - b.z));
  }
};

TEST_F(RaceCarCamera, ChaseCameraSettlesBehindAndAboveACarAtRest) {
  for (float heading : {0.0f, 1.0f}) {
    cRaceCar* c = Park(WriteTrack(dir, "Flat" + std::to_string((int)heading)), 5, 5, heading);
    D3DXVECTOR3 offset(0, 2, -6);
    D3DXVECTOR3 q;
    for (int i = 0; i < 600; ++i) {
      c->Step(1.0f / 60.0f);
      q = c->ChaseCamera(&offset);
      ASSERT_TRUE(std::isfinite(q.x) && std::isfinite(q.y) && std::isfinite(q.z));
    }
    const D3DXVECTOR3 p = c->GetPosition();
    EXPECT_NEAR(Horizontal(q, p), 6.0f * 6.0f / std::sqrt(40.0f), 0.02f);
    EXPECT_NEAR(q.y, p.y + 2.0f, 1e-4f);
    // Behind the nose.
    const D3DXMATRIX w = c->GetWorldMatrix();
    const float along = (q.x - p.x) * w._31 + (q.z - p.z) * w._33;
    EXPECT_LT(along, -5.6f);
    // The smoothed point itself sits on the target, 6 behind and 2 up.
    EXPECT_NEAR(Horizontal(cRaceCarProbe::CameraPosition(*c), p), 6.0f, 0.05f);
    car.reset();
  }
}

TEST_F(RaceCarCamera, AWallBetweenCarAndCameraPullsTheCameraIn) {
  // The wall faces -z at z = 30; the car stands 3 m before it facing away,
  // so the camera 5.7 m behind would be 2.7 m beyond the wall.
  cRaceCar* c = Park(WriteTrack(dir, "Wall", 0.0f, true, 30.0f), 0, 27, 3.14159265f);
  D3DXVECTOR3 offset(0, 2, -6);
  D3DXVECTOR3 q;
  for (int i = 0; i < 600; ++i) {
    c->Step(1.0f / 60.0f);
    q = c->ChaseCamera(&offset);
  }
  EXPECT_NEAR(q.z, 30.0f, 0.05f);
  EXPECT_LT(Horizontal(q, c->GetPosition()), 3.5f);
  EXPECT_NEAR(cRaceCarProbe::CameraPosition(*c).z, c->GetPosition().z + 6.0f, 0.1f)
      << "the smoothed position itself is not pulled in";
}

TEST_F(RaceCarCamera, ChaseCameraHeightFloorOnTheRoadAndNoneOffIt) {
  cRaceCar* c = Park(WriteTrack(dir, "Flat"), 0, 0, 0);
  D3DXVECTOR3 offset(0, 2, -6);
  // A car far below the road: the camera stays 1 above the road.
  Place(c, D3DXVECTOR3(0, -10, 0));
  cRaceCarProbe::CameraPosition(*c) = D3DXVECTOR3(0, -8, -6);
  D3DXVECTOR3 q = c->ChaseCamera(&offset);
  EXPECT_FLOAT_EQ(q.y, 1.0f);
  // Beyond the road's edge (height -1000 there): no floor.
  Place(c, D3DXVECTOR3(0, -10, -98));
  cRaceCarProbe::CameraPosition(*c) = D3DXVECTOR3(0, -8, -104);
  q = c->ChaseCamera(&offset);
  EXPECT_LT(q.z, -100.0f);
  EXPECT_FLOAT_EQ(q.y, -8.0f);
}

TEST_F(RaceCarCamera, ChaseCameraOnItsTargetOrOnTheCarStaysFinite) {
  cRaceCar* c = Park(WriteTrack(dir, "Flat"), 0, 0, 0);
  D3DXVECTOR3 offset(0, 2, -6);
  Place(c, D3DXVECTOR3(0, 0.4f, 0));
  // On the car from the first call: straight behind it.
  cRaceCarProbe::CameraPosition(*c) = D3DXVECTOR3(0, 0.4f, 0);
  cRaceCarProbe::LastDt(*c) = 0.0f;  // no movement toward the target either
  D3DXVECTOR3 q = c->ChaseCamera(&offset);
  EXPECT_NEAR(q.x, 0.0f, 1e-5f);
  EXPECT_NEAR(q.z, -6.0f, 1e-5f);
  // A bearing to the side, then back on the car: the bearing stays.
  cRaceCarProbe::CameraPosition(*c) = D3DXVECTOR3(3, 0.4f, 0);
  q = c->ChaseCamera(&offset);
  EXPECT_NEAR(q.x, 6.0f, 1e-4f);
  cRaceCarProbe::CameraPosition(*c) = D3DXVECTOR3(0, 0.4f, 0);
  q = c->ChaseCamera(&offset);
  EXPECT_NEAR(q.x, 6.0f, 1e-4f);
  EXPECT_NEAR(q.z, 0.0f, 1e-4f);
  // Exactly on its target.
  cRaceCarProbe::LastDt(*c) = 1.0f / 60.0f;
  cRaceCarProbe::CameraPosition(*c) = D3DXVECTOR3(0, 2.4f, -6);
  q = c->ChaseCamera(&offset);
  EXPECT_TRUE(std::isfinite(q.x) && std::isfinite(q.y) && std::isfinite(q.z));
  EXPECT_NEAR(q.z, -36.0f / std::sqrt(40.0f), 1e-4f);
}

TEST_F(RaceCarCamera, TrackCameraSnapsTowardZeroOnItsGrid) {
  cRaceCar* c = Park(WriteTrack(dir, "Flat"), 0, 0, 0);
  const float cases[][2] = {{79.6f, 80}, {79.4f, 0}, {-79.6f, -80}, {-10, 0}, {80.0f, 80}, {-80.4f, -80}};
  for (const auto& k : cases) {
    Place(c, D3DXVECTOR3(k[0], 0.4f, k[0]));
    const D3DXVECTOR3 q = c->TrackCamera(80, 2.0f);
    EXPECT_EQ(q.x, k[1]) << k[0];
    EXPECT_EQ(q.z, k[1]) << k[0];
    EXPECT_FLOAT_EQ(q.y, 2.4f);
  }
  // Far below the road the floor lifts it; off the road nothing does.
  Place(c, D3DXVECTOR3(10, -20, 10));
  EXPECT_FLOAT_EQ(c->TrackCamera(80, 2.0f).y, 2.0f);
  Place(c, D3DXVECTOR3(250, -20, 10));
  EXPECT_FLOAT_EQ(c->TrackCamera(80, 2.0f).y, -18.0f);
}

TEST_F(RaceCarCamera, TrackCameraBehindAWallComesOntoItAboveTheRoad) {
  // The wall faces -z at z = 60. A car at z = 75 has its grid point at z = 0,
  // on the other side of the wall.
  LoadGround(WriteTrack(dir, "Wall", 0.0f, true, 60.0f));
  cRaceCar* c = MakeCar(WriteTestCar(dir), StartAt(0, 0, 75));
  c->controlMode = 3;
  Steps(10);
  Place(c, D3DXVECTOR3(1, 0.4f, 75));
  const D3DXVECTOR3 q = c->TrackCamera(80, 2.0f);
  EXPECT_NEAR(q.z, 60.0f, 0.01f);
  EXPECT_GE(q.y, 2.0f);
  // Without a wall in between the grid point stands.
  Place(c, D3DXVECTOR3(1, 0.4f, 50));
  EXPECT_EQ(c->TrackCamera(80, 2.0f).z, 0.0f);
}

}  // namespace
