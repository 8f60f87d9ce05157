// The car driving on small generated tracks: settling, driving, braking,
// steering, walls, skids, timing gates and the reference car's figures.
#include <algorithm>

#include "car_fixture.h"

using cartest::CarTest;
using cartest::RunFor;
using cartest::Speed;
using cartest::WheelCentre;

namespace {

float Heading(cCar& car) {  // yaw of the car's +z, positive towards +x
  const D3DXMATRIX m = car.GetRotPos();
  return std::atan2(m._31, m._33);
}

// Four times the reference torque: more than the rear tyres can hold.
float StrongTorque(float engineSpeed, void* context) {
  return 4.0f * vrxtest::ReferenceTorque(engineSpeed, context);
}

// A road 20 m wide and 3 km long, starting behind the origin.
vrxtest::FlatTrackLayout LongRoad() {
  vrxtest::FlatTrackLayout layout;
  layout.xMin = -200.0f;
  layout.xMax = 200.0f;
  layout.zMin = -100.0f;
  layout.zMax = 4000.0f;
  layout.tile = 50.0f;
  return layout;
}

}  // namespace

TEST_F(CarTest, SettlesOnAFlatRoadOnAllFourWheelsAndStaysStill) {
  cCar& car = SettledCar();
  const D3DXVECTOR3 p = car.GetLinPos();
  const _SUSPSTATE ground = car.GetWorldSuspState();
  for (int i = 0; i < 4; ++i) EXPECT_NEAR(ground.Point[i].y, 0.0f, 0.02f) << "wheel " << i;
  RunFor(car, 5.0f, 0.016f);
  const D3DXVECTOR3 q = car.GetLinPos();
  EXPECT_LT(cartest::Length(q - p), 2e-3f);
  EXPECT_LT(cartest::Length(car.GetLinVel()), 1e-3f);
  EXPECT_NEAR(Heading(car), 0.0f, 1e-4f);
  const _WHEELSKIDS skids = car.GetSkids();
  for (int i = 0; i < 4; ++i) EXPECT_EQ(skids.Skid[i], 0);
  EXPECT_EQ(car.IsCollision(), 0);  // the road is no border
  EXPECT_EQ(car.GetEngineRot(), 62.82552f);
}

TEST_F(CarTest, FullThrottleInFirstGearDrivesAlongPlusZ) {
  _CARDATA d = vrxtest::ReferenceCarData();
  d.Automatic = 0;
  cCar& car = SettledCar(d);
  car.Gear = 2;
  car.Throttle = 1.0f;
  RunFor(car, 3.0f);
  const D3DXVECTOR3 p = car.GetLinPos();
  EXPECT_GT(p.z, 8.0f);
  EXPECT_LT(std::fabs(p.x), 0.3f);
  EXPECT_GT(car.GetBodyVel().z, 5.0f);
  EXPECT_GT(car.GetSpeed(), 5.0f);
  EXPECT_GT(car.GetEngineRot() * 9.55026f, 3000.0f);
}

TEST_F(CarTest, ReverseGearBacksAlongMinusZ) {
  cCar& car = SettledCar();
  car.Gear = 0;
  car.Throttle = 1.0f;
  RunFor(car, 2.0f);
  EXPECT_LT(car.GetLinPos().z, -3.0f);
  EXPECT_LT(car.GetSpeed(), -1.0f);
  EXPECT_EQ(car.GetGear(), 0);
}

TEST_F(CarTest, SpeedOfTheDrivenWheelsMatchesTheRoadSpeed) {
  cCar& car = SettledCar();
  car.Gear = 2;
  car.Throttle = 1.0f;
  while (Speed(car) < 10.0f) car.DoStep(0.01f);
  car.Throttle = 0.0f;
  car.Gear = 1;
  RunFor(car, 0.5f);  // coasting: no drive slip
  EXPECT_NEAR(car.GetSpeed(), Speed(car), 0.02f * Speed(car));
  EXPECT_GT(car.GetSpeed(), 9.0f);
  for (int i = 0; i < 4; ++i) {
    const D3DXVECTOR3 v = car.GetWheelRollVel(i);
    EXPECT_NEAR(v.z, Speed(car), 0.05f);
    EXPECT_NEAR(v.x, 0.0f, 0.05f);
    EXPECT_LT(car.GetSkid(i), 0.3f);
  }
}

TEST_F(CarTest, BrakesStopTheCarAndHoldIt) {
  cCar& car = SettledCar();
  car.Gear = 2;
  car.Throttle = 1.0f;
  while (Speed(car) < 15.0f) car.DoStep(0.01f);
  car.Throttle = 0.0f;
  car.Brake = 1.0f;
  RunFor(car, 3.0f);
  EXPECT_LT(Speed(car), 0.05f);
  const D3DXVECTOR3 p = car.GetLinPos();
  RunFor(car, 2.0f);
  EXPECT_LT(cartest::Length(car.GetLinPos() - p), 0.01f);
}

TEST_F(CarTest, PositiveSteeringTurnsLeft) {
  for (int sign = -1; sign <= 1; sign += 2) {
    cCar& car = SettledCar();
    car.Gear = 2;
    car.Throttle = 0.4f;
    RunFor(car, 1.0f);
    car.Steering = 0.3f * sign;
    RunFor(car, 2.0f);
    // Left is the car's -x: heading and position swing that way.
    EXPECT_LT(sign * Heading(car), -0.2f) << sign;
    EXPECT_LT(sign * car.GetLinPos().x, -0.5f) << sign;
    EXPECT_LT(sign * car.GetBodyVel().x, 0.5f) << sign;
  }
}

TEST_F(CarTest, AWheelInTheAirNeverSkids) {
  cCar& car = MakeCar(vrxtest::ReferenceCarData(), vrxtest::RestState(0, 5, 0));
  for (int i = 0; i < 4; ++i) cartest::SpinWheel(car, i, 80.0f);
  car.DoStep(0.01f);
  const _WHEELSKIDS skids = car.GetSkids();
  for (int i = 0; i < 4; ++i) {
    EXPECT_GT(car.GetSkid(i), 5.0f) << i;
    EXPECT_EQ(skids.Skid[i], 0) << i;
  }
}

TEST_F(CarTest, WheelspinFromStandstillSetsTheRearSkidFlags) {
  LoadTrack();
  cCar& car = MakeCar(vrxtest::ReferenceCarData(), vrxtest::RestState(0, 0.5f, 0), StrongTorque);
  RunFor(car, 2.0f);
  car.Gear = 2;
  car.Throttle = 1.0f;
  bool rear = false;
  for (int i = 0; i < 100 && !rear; ++i) {
    car.DoStep(0.01f);
    const _WHEELSKIDS s = car.GetSkids();
    rear = s.Skid[2] && s.Skid[3];
    EXPECT_EQ(s.Skid[0], 0);
    EXPECT_EQ(s.Skid[1], 0);
  }
  EXPECT_TRUE(rear);
  EXPECT_GT(car.GetSpeed(), Speed(car) + 5.0f);  // the driven wheels outrun the car
}

TEST_F(CarTest, WallContactsAreRecordedInTheCarFrame) {
  vrxtest::FlatTrackLayout layout;
  layout.wall = true;
  layout.wallZ = 25.0f;
  LoadTrack(layout);
  const _CARDATA d = vrxtest::ReferenceCarData();
  cCar& car = MakeCar(d);
  RunFor(car, 1.0f);
  car.Gear = 2;
  car.Throttle = 1.0f;
  int hits = 0;
  for (int i = 0; i < 600; ++i) {
    car.DoStep(0.01f);
    int valid = 0;
    while (valid < 8 && car.Collisions[valid].Valid) ++valid;
    for (int k = valid; k < 8; ++k) EXPECT_EQ(car.Collisions[k].Valid, 0);
    if (!car.IsCollision()) {
      EXPECT_EQ(valid, 0);
      continue;
    }
    ++hits;
    EXPECT_GE(valid, 1);
    for (int k = 0; k < valid; ++k) {
      const _CARCOLLISION& c = car.Collisions[k];
      // The wall pushes the car back; the contacts lie on the box's front.
      EXPECT_NEAR(c.Normal.z, -1.0f, 0.05f);
      EXPECT_NEAR(c.Position.z, d.BBoxMax.z, 0.3f);
      EXPECT_GE(c.Depth, 0.0f);
      EXPECT_LT(c.Depth, 0.3f);
    }
  }
  EXPECT_GT(hits, 10);
  // The wall holds the car.
  EXPECT_LT(car.GetLinPos().z + d.BBoxMax.z, 25.3f);
}

TEST_F(CarTest, BodyOnTheRoadIsNoCollision) {
  _CARDATA d = vrxtest::ReferenceCarData();
  d.BBoxMin.y = -0.6f;  // the box reaches below the wheels
  cCar& car = MakeCar(d);
  RunFor(car, 2.0f);
  EXPECT_EQ(car.IsCollision(), 0);
  for (const _CARCOLLISION& c : car.Collisions) EXPECT_EQ(c.Valid, 0);
  // It rests on its box instead of sinking through the road.
  EXPECT_NEAR(car.GetLinPos().y, 0.6f, 0.05f);
}

TEST_F(CarTest, GatesSetTheTimerAndHalfLapFlags) {
  vrxtest::FlatTrackLayout layout;
  layout.zMax = 300.0f;
  layout.startGate = true;
  layout.startGateZ = 20.0f;
  layout.halfGate = true;
  layout.halfGateZ = 80.0f;
  LoadTrack(layout);
  cCar& car = MakeCar();
  RunFor(car, 1.0f);
  EXPECT_EQ(car.IsTimerCollision(), 0);
  car.HalfLap = 0;  // as the race loop does after booking a lap
  car.Gear = 2;
  car.Throttle = 1.0f;
  bool touchedStart = false;
  int previous = 0;
  while (car.GetLinPos().z < 120.0f) {
    car.DoStep(0.01f);
    const float z = car.GetLinPos().z;
    if (car.IsTimerCollision()) {
      touchedStart = true;
      EXPECT_NEAR(z, 20.0f, 3.0f);
    }
    // The flag of the substep before is the one seen at the previous step.
    EXPECT_EQ(car.WasTimerCollision(), previous);
    previous = car.IsTimerCollision();
    if (z < 75.0f) {
      EXPECT_EQ(car.HalfLap, 0) << z;
    }
  }
  EXPECT_TRUE(touchedStart);
  EXPECT_EQ(car.HalfLap, 1);
  EXPECT_EQ(car.IsTimerCollision(), 0);
}

// The reference car's figures on a long flat road (the note beside the
// reference data quotes them).
TEST_F(CarTest, ReferenceCarAcceleratesToTopSpeed) {
  LoadTrack(LongRoad());
  cCar& car = SettledCar();
  car.Gear = 2;
  car.Throttle = 1.0f;
  float t = 0.0f;
  float to100 = -1.0f;
  while (t < 60.0f) {
    car.DoStep(0.01f);
    t += 0.01f;
    if (to100 < 0.0f && Speed(car) * 3.6f >= 100.0f) to100 = t;
  }
  const float top = Speed(car) * 3.6f;
  RecordProperty("to100", std::to_string(to100));
  RecordProperty("top", std::to_string(top));
  EXPECT_GE(to100, 6.0f);
  EXPECT_LE(to100, 14.0f);
  EXPECT_GE(top, 140.0f);
  EXPECT_LE(top, 200.0f);
  EXPECT_LT(std::fabs(car.GetLinPos().x), 60.0f);
}

TEST_F(CarTest, ReferenceCarStopsFromHundredInUnderSixtyMetres) {
  LoadTrack(LongRoad());
  cCar& car = SettledCar();
  car.Gear = 2;
  car.Throttle = 1.0f;
  while (Speed(car) * 3.6f < 100.0f) car.DoStep(0.01f);
  car.Throttle = 0.0f;
  car.Brake = 1.0f;
  const D3DXVECTOR3 p = car.GetLinPos();
  for (int i = 0; i < 1000 && Speed(car) > 0.05f; ++i) car.DoStep(0.01f);
  const float distance = cartest::Length(car.GetLinPos() - p);
  RecordProperty("stop", std::to_string(distance));
  EXPECT_LT(Speed(car), 0.05f);
  EXPECT_LT(distance, 60.0f);
  EXPECT_GT(distance, 25.0f);  // a road car, not a wall
}

TEST_F(CarTest, ReferenceCarHoldsASixtyMetreCircleAtFiftyKmh) {
  vrxtest::FlatTrackLayout layout;
  layout.xMin = layout.zMin = -250.0f;
  layout.xMax = layout.zMax = 250.0f;
  layout.tile = 50.0f;
  LoadTrack(layout);
  cCar& car = SettledCar();
  car.Gear = 2;
  const float target = 50.0f / 3.6f;
  const float radius = 60.0f;
  // Circle centre 60 m to the car's left; steer on the distance from it and
  // its rate of change.
  const D3DXVECTOR3 centre(-radius, 0.0f, 0.0f);
  float worstSlip = 0.0f;
  float worstError = 0.0f;
  for (int i = 0; i < 6000; ++i) {
    const float v = Speed(car);
    car.Throttle = v < target ? std::min(1.0f, (target - v) * 0.5f) : 0.0f;
    const D3DXVECTOR3 p = car.GetLinPos();
    const float r = std::sqrt((p.x - centre.x) * (p.x - centre.x) + (p.z - centre.z) * (p.z - centre.z));
    const D3DXVECTOR3 vel = car.GetLinVel();
    const float rdot = ((p.x - centre.x) * vel.x + (p.z - centre.z) * vel.z) / r;
    car.Steering =
        std::max(-0.3f, std::min(0.3f, 2.4f / radius + 0.006f * (r - radius) + 0.012f * rdot));
    car.DoStep(0.01f);
    if (i < 2000) continue;  // reaching the circle
    const D3DXVECTOR3 b = car.GetBodyVel();
    worstSlip = std::max(worstSlip, std::fabs(std::atan2(b.x, b.z)));
    worstError = std::max(worstError, std::fabs(r - radius));
  }
  RecordProperty("slip", std::to_string(worstSlip));
  EXPECT_NEAR(Speed(car), target, 1.0f);
  EXPECT_LT(worstError, 3.0f);
  EXPECT_LT(worstSlip, 0.15f);  // no spin: the body points along its path
}
