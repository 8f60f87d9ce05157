// One cCar step: substeps, engine and gearbox, drive and brake motors,
// steering stops, suspension and drag, read back from the joints.
#include <algorithm>
#include <vector>

#include "car_fixture.h"

using cartest::CarTest;

namespace {

// Engine speeds the car asked the torque curve for, one call per substep.
std::vector<float> g_torqueCalls;

float CountingTorque(float engineSpeed, void* context) {
  g_torqueCalls.push_back(engineSpeed);
  return vrxtest::ReferenceTorque(engineSpeed, context);
}

const float kIdle = 62.82552f;

float MaxRads(const _CARDATA& d) { return d.MaxRPM * 0.1047092f; }

// 3 m above the road, where the wheels touch nothing (with cartest::Float).
_CARSTATE InTheAir() { return vrxtest::RestState(0.0f, 3.0f, 0.0f); }

}  // namespace

// A car that stays in the air.
class CarInTheAir : public CarTest {
 protected:
  cCar& FloatingCar(const _CARDATA& data = vrxtest::ReferenceCarData(),
                    float (*torque)(float, void*) = vrxtest::ReferenceTorque) {
    cCar& car = MakeCar(data, InTheAir(), torque);
    cartest::Float(car);
    return car;
  }
};

class CarSubsteps : public CarInTheAir, public ::testing::WithParamInterface<std::pair<float, int>> {};

TEST_P(CarSubsteps, HalveTheFrameUntilEachPieceIsAtMostTenMilliseconds) {
  const float dt = GetParam().first;
  const int count = GetParam().second;
  cCar& car = FloatingCar(vrxtest::ReferenceCarData(), CountingTorque);
  car.Throttle = 1.0f;  // neutral: the engine climbs by 1000 h per substep
  g_torqueCalls.clear();
  car.DoStep(dt);
  ASSERT_EQ(static_cast<int>(g_torqueCalls.size()), count);
  const float h = dt / count;
  EXPECT_NEAR(g_torqueCalls[0], kIdle + 1000.0f * h, 1e-3f);
  for (int i = 1; i < count; ++i) EXPECT_NEAR(g_torqueCalls[i] - g_torqueCalls[i - 1], 1000.0f * h, 1e-3f);
}

INSTANTIATE_TEST_SUITE_P(Frames, CarSubsteps,
                         ::testing::Values(std::make_pair(0.016f, 2), std::make_pair(0.05f, 8),
                                           std::make_pair(0.01f, 1), std::make_pair(0.02f, 2),
                                           std::make_pair(0.005f, 1)));

TEST_F(CarInTheAir, NeutralIdlesAndRevsToMaxThenHunts) {
  const _CARDATA d = vrxtest::ReferenceCarData();
  cCar& car = FloatingCar(d);
  for (int i = 0; i < 50; ++i) {
    car.DoStep(0.01f);
    ASSERT_EQ(car.GetEngineRot(), kIdle);
  }
  car.Throttle = 1.0f;
  float last = car.GetEngineRot();
  while (car.GetEngineRot() * 9.55026f < d.MaxRPM) {
    car.DoStep(0.01f);
    ASSERT_NEAR(car.GetEngineRot() - last, 10.0f, 1e-3f);
    last = car.GetEngineRot();
  }
  for (int i = 0; i < 100; ++i) {
    car.DoStep(0.01f);
    EXPECT_NEAR(car.GetEngineRot(), MaxRads(d), 10.0f + 1e-3f);
  }
  EXPECT_EQ(car.GetGear(), 1);
  // Off the throttle the engine falls back to idle and stays there.
  car.Throttle = 0.0f;
  cartest::RunFor(car, 1.0f);
  EXPECT_EQ(car.GetEngineRot(), kIdle);
}

TEST_F(CarInTheAir, ManualGearboxDropsToNeutralWhenTheWheelsOverRevTheEngine) {
  _CARDATA d = vrxtest::ReferenceCarData();
  d.Automatic = 0;
  cCar& car = FloatingCar(d);
  car.Gear = 2;
  const float ratio = d.GearRatio[2] * d.FinalDrive;
  const float spin = 1.2f * MaxRads(d) / ratio;  // the wheels would turn the engine at 1.2 x max
  cartest::SpinWheel(car, 2, spin);
  cartest::SpinWheel(car, 3, spin);
  car.DoStep(0.01f);  // measures the spins
  ASSERT_EQ(car.GetGear(), 2);
  const float before = car.GetEngineRot();
  car.Throttle = 1.0f;
  car.DoStep(0.01f);
  EXPECT_EQ(car.GetGear(), 1);
  // That substep still followed the wheels, and drove with the neutral ratio:
  // no drive torque, no motor target.
  EXPECT_NEAR(car.GetEngineRot() - before, 10.0f, 1e-3f);
  for (int j = 0; j < 4; ++j) {
    EXPECT_EQ(cCarProbe::Param(car, j, dParamVel2), 0.0f);
    EXPECT_FLOAT_EQ(cCarProbe::Param(car, j, dParamFMax2), 2.0f);
  }
}

// The driven wheels spinning freely at max RPM: the engine hunts around it,
// and the manual box's rev limiter cuts the drive whenever it is above.
TEST_F(CarInTheAir, ManualRevLimiterCutsTheTorqueAboveMaxRpm) {
  for (int automatic = 0; automatic < 2; ++automatic) {
    _CARDATA d = vrxtest::ReferenceCarData();
    d.Automatic = automatic;
    cCar& car = FloatingCar(d);
    car.Gear = 2;
    car.Throttle = 1.0f;
    const float spin = 1.05f * MaxRads(d) / (d.GearRatio[2] * d.FinalDrive);
    cartest::SpinWheel(car, 2, spin);
    cartest::SpinWheel(car, 3, spin);
    int above = 0;
    for (int i = 0; i < 200; ++i) {
      car.DoStep(0.01f);
      ASSERT_EQ(car.GetGear(), 2);
      if (car.GetEngineRot() * 9.55026f <= d.MaxRPM) continue;
      ++above;
      const float limit = cCarProbe::Param(car, 2, dParamFMax2);
      if (automatic)
        EXPECT_GT(limit, 100.0f);
      else
        EXPECT_FLOAT_EQ(limit, 2.0f);
    }
    EXPECT_GT(above, 10) << "automatic " << automatic;
  }
}

TEST_F(CarTest, AutomaticShiftsOnlyAboveWalkingPaceAndNotBelowSecond) {
  _CARDATA d = vrxtest::ReferenceCarData();
  cCar& car = SettledCar(d);
  // At rest the engine idles far below the downshift speed, yet nothing shifts.
  car.Gear = 4;
  cartest::RunFor(car, 1.0f);
  EXPECT_EQ(car.GetGear(), 4);
  car.Gear = 0;
  cartest::RunFor(car, 0.5f);
  EXPECT_EQ(car.GetGear(), 0);

  // Rolling at 4 m/s the wheels turn the engine below the downshift speed
  // in every gear: the box steps down to gear 2 and stays there.
  _CARSTATE rolling = vrxtest::RestState(0, 0.41f, -80);
  rolling.LinVel = D3DXVECTOR3(0, 0, 4);
  cCar& moving = MakeCar(d, rolling);
  for (int i = 0; i < 4; ++i) cartest::SpinWheel(moving, i, 4.0f / 0.3f);
  moving.Gear = 4;
  cartest::RunFor(moving, 0.3f);
  ASSERT_GT(moving.GetBodyVel().z, 1.0f);
  EXPECT_EQ(moving.GetGear(), 2);
  cartest::RunFor(moving, 0.5f);
  EXPECT_EQ(moving.GetGear(), 2);
}

TEST_F(CarTest, AutomaticShiftsUpAboveTheUpshiftSpeed) {
  cCar& car = SettledCar();
  car.Gear = 2;
  car.Throttle = 1.0f;
  int highest = 2;
  for (int i = 0; i < 1500; ++i) {
    const int before = car.GetGear();
    car.DoStep(0.01f);
    EXPECT_LE(car.GetGear() - before, 1);  // one gear at a time
    highest = std::max(highest, car.GetGear());
  }
  EXPECT_GE(highest, 5);
  EXPECT_LE(highest, 6);
}

TEST_F(CarInTheAir, HandbrakeCutsTheThrottleOnRearWheelDriveOnly) {
  _CARDATA d = vrxtest::ReferenceCarData();
  cCar& rear = FloatingCar(d);
  rear.Handbrake = 1;
  rear.Throttle = 1.0f;
  rear.DoStep(0.01f);
  EXPECT_EQ(rear.Throttle, 0.0f);

  d.FrontDrive = 1;
  cCar& front = FloatingCar(d);
  front.Handbrake = 1;
  front.Throttle = 1.0f;
  front.DoStep(0.01f);
  EXPECT_EQ(front.Throttle, 1.0f);
}

TEST_F(CarInTheAir, GearIsClampedIntoTheGearCount) {
  const _CARDATA d = vrxtest::ReferenceCarData();
  cCar& car = FloatingCar(d);
  car.Gear = 42;
  car.DoStep(0.01f);
  EXPECT_EQ(car.GetGear(), d.GearCount - 1);
  car.Gear = -3;
  car.DoStep(0.01f);
  EXPECT_EQ(car.GetGear(), 0);
}

TEST_F(CarTest, MotorTargetsAndLimitsFollowGearBrakeAndThrottle) {
  _CARDATA d = vrxtest::ReferenceCarData();
  d.Automatic = 0;
  cCar& car = SettledCar(d);

  // In gear, no brake, no throttle: every wheel held at standstill with 2.
  car.Gear = 3;
  car.DoStep(0.01f);
  for (int j = 0; j < 4; ++j) {
    EXPECT_EQ(cCarProbe::Param(car, j, dParamVel2), 0.0f) << j;
    EXPECT_FLOAT_EQ(cCarProbe::Param(car, j, dParamFMax2), 2.0f) << j;
  }

  // Full brake: front radius x brake force, half that at the rear, plus 2.
  car.Brake = 1.0f;
  car.DoStep(0.01f);
  EXPECT_FLOAT_EQ(cCarProbe::Param(car, 0, dParamFMax2), d.BrakeForce * d.FrontRadius + 2.0f);
  EXPECT_FLOAT_EQ(cCarProbe::Param(car, 3, dParamFMax2),
                  d.BrakeForce * 0.5f * d.RearRadius + 2.0f);

  // The handbrake applies the full rear brake whatever the pedal.
  car.Brake = 0.0f;
  car.Handbrake = 1;
  car.DoStep(0.01f);
  EXPECT_FLOAT_EQ(cCarProbe::Param(car, 2, dParamFMax2),
                  d.BrakeForce * 0.5f * d.RearRadius + 2.0f);
  EXPECT_FLOAT_EQ(cCarProbe::Param(car, 0, dParamFMax2), 2.0f);
  car.Handbrake = 0;

  // Throttle in a forward gear: the driven rear wheels are pushed towards
  // the max-RPM spin (negative on the joint), limited by |2 - T|.
  car.Throttle = 1.0f;
  car.DoStep(0.01f);
  const float ratio = d.GearRatio[3] * d.FinalDrive;
  const float torque = vrxtest::ReferenceTorque(car.GetEngineRot(), nullptr) * ratio;
  for (int j = 2; j < 4; ++j) {
    EXPECT_FLOAT_EQ(cCarProbe::Param(car, j, dParamVel2), -MaxRads(d) / ratio);
    EXPECT_NEAR(cCarProbe::Param(car, j, dParamFMax2), torque - 2.0f, 1e-3f);
  }
  for (int j = 0; j < 2; ++j) {
    EXPECT_EQ(cCarProbe::Param(car, j, dParamVel2), 0.0f);
    EXPECT_FLOAT_EQ(cCarProbe::Param(car, j, dParamFMax2), 2.0f);
  }

  // Reverse spins them the other way.
  car.Gear = 0;
  car.DoStep(0.01f);
  EXPECT_GT(cCarProbe::Param(car, 2, dParamVel2), 0.0f);

  // Front-wheel drive moves the drive to joints 0 and 1.
  d.FrontDrive = 1;
  cCar& fwd = SettledCar(d);
  fwd.Gear = 2;
  fwd.Throttle = 1.0f;
  fwd.DoStep(0.01f);
  EXPECT_LT(cCarProbe::Param(fwd, 0, dParamVel2), 0.0f);
  EXPECT_GT(cCarProbe::Param(fwd, 1, dParamFMax2), 100.0f);
  EXPECT_EQ(cCarProbe::Param(fwd, 2, dParamVel2), 0.0f);
  EXPECT_FLOAT_EQ(cCarProbe::Param(fwd, 3, dParamFMax2), 2.0f);
}

TEST_F(CarInTheAir, SteeringStopsHoldTheFrontWheelsAtTheAngle) {
  cCar& car = FloatingCar(vrxtest::ReferenceCarData());
  const float angles[] = {0.3f, -0.45f, 0.0f, 0.6f};
  for (float s : angles) {
    car.Steering = s;
    car.DoStep(0.01f);
    for (int j = 0; j < 2; ++j) {
      EXPECT_FLOAT_EQ(cCarProbe::Param(car, j, dParamLoStop), s);
      EXPECT_FLOAT_EQ(cCarProbe::Param(car, j, dParamHiStop), s);
    }
    for (int j = 2; j < 4; ++j) {
      EXPECT_EQ(cCarProbe::Param(car, j, dParamLoStop), 0.0f);
      EXPECT_EQ(cCarProbe::Param(car, j, dParamHiStop), 0.0f);
    }
    // The front wheels spin about the steered axle.
    dVector3 axis;
    dBodyGetFiniteRotationAxis(cCarProbe::Wheel(car, 0), axis);
    EXPECT_NEAR(axis[0], std::cos(s), 1e-4);
    EXPECT_NEAR(axis[2], std::sin(s), 1e-4);
    dBodyGetFiniteRotationAxis(cCarProbe::Wheel(car, 3), axis);
    EXPECT_NEAR(axis[0], 1.0, 1e-4);
  }
}

TEST_F(CarInTheAir, SuspensionErpAndCfmComeFromSpringDampingAndStep) {
  _CARDATA d = vrxtest::ReferenceCarData();
  d.RearSpring = 60000.0f;
  d.RearDamping = 1000.0f;
  cCar& car = FloatingCar(d);
  car.DoStep(0.016f);  // substeps of 0.008
  const float h = 0.008f;
  EXPECT_FLOAT_EQ(cCarProbe::Param(car, 1, dParamSuspensionERP),
                  h * d.FrontSpring / (h * d.FrontSpring + d.FrontDamping));
  EXPECT_FLOAT_EQ(cCarProbe::Param(car, 1, dParamSuspensionCFM),
                  1.0f / (h * d.FrontSpring + d.FrontDamping));
  EXPECT_FLOAT_EQ(cCarProbe::Param(car, 2, dParamSuspensionERP), h * 60000.0f / (h * 60000.0f + 1000.0f));
  EXPECT_FLOAT_EQ(cCarProbe::Param(car, 2, dParamSuspensionCFM), 1.0f / (h * 60000.0f + 1000.0f));
}

TEST_F(CarInTheAir, DragOpposesEachCarAxisWithTheSquareOfItsSpeed) {
  _CARDATA d = vrxtest::ReferenceCarData();
  d.DragCoef = 2.0f;
  _CARSTATE s = InTheAir();
  s.LinVel = D3DXVECTOR3(-10, 0, 30);
  cCar& car = MakeCar(d, s);
  cartest::Float(car);
  // Wheels and chassis move together, so the drag slows all five bodies.
  dMass m;
  dBodyGetMass(cCarProbe::Body(car), &m);
  double total = m.mass;
  for (int i = 0; i < 4; ++i) {
    dBodySetLinearVel(cCarProbe::Wheel(car, i), -10, 0, 30);
    dBodyGetMass(cCarProbe::Wheel(car, i), &m);
    total += m.mass;
  }
  car.DoStep(0.01f);
  const D3DXVECTOR3 v = car.GetLinVel();
  EXPECT_NEAR(v.z, 30.0f - 2.0f * 900.0f / total * 0.01f, 2e-4f);
  EXPECT_NEAR(v.x, -10.0f + 2.0f * 100.0f / total * 0.01f, 2e-4f);
  EXPECT_NEAR(v.y, 0.0f, 1e-5f);
}
