// Shared set-up of the car tests: small tracks written to disk, the ground
// built from them on a real screen, and read access to the car's bodies and
// joints.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>

#include "cCar.h"
#include "cGround.h"
#include "reference_car.h"
#include "screen_fixture.h"
#include "test_support.h"

// Friend of cCar: its physics handles and private formulas.
struct cCarProbe {
  static dBodyID Body(cCar& c) { return c.body; }
  static dBodyID Wheel(cCar& c, int i) { return c.wheels[i]; }
  static dJointID Joint(cCar& c, int i) { return c.joints[i]; }
  static dGeomID BodyGeom(cCar& c) { return c.bodyGeom; }
  static float Param(cCar& c, int joint, int param) {
    return static_cast<float>(dJointGetHinge2Param(c.joints[joint], param));
  }
  static float DumperForce(cCar& c, float k, float x) { return c.GetDumperForce(k, x); }
  static float AdditionalForce(cCar& c, float x) { return c.GetAdditionalForce(x); }
  static float Sgn(cCar& c, float x) { return c.Sgn(x); }
  static D3DXVECTOR3 NextWheelWorldPos(cCar& c, D3DXVECTOR3 a, D3DXVECTOR3 b, float t) {
    return c.GetNextWheelWorldPos(&a, &b, t);
  }
  static float WheelRotVel(cCar& c, int i) { return c.GetWheelRotVel(i); }
};

namespace cartest {

inline D3DXVECTOR3 Vec(const dReal* v) {
  return D3DXVECTOR3(static_cast<float>(v[0]), static_cast<float>(v[1]), static_cast<float>(v[2]));
}

inline D3DXVECTOR3 WheelCentre(cCar& car, int i) {
  return Vec(dBodyGetPosition(cCarProbe::Wheel(car, i)));
}

inline float Length(const D3DXVECTOR3& v) { return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z); }

// Ground speed of the chassis (horizontal).
inline float Speed(cCar& car) {
  const D3DXVECTOR3 v = car.GetLinVel();
  return std::sqrt(v.x * v.x + v.z * v.z);
}

// Spins wheel i about the car's x axis (positive = rolling forward).
inline void SpinWheel(cCar& car, int i, float rate) {
  const D3DXMATRIX m = car.GetRotPos();
  dBodySetAngularVel(cCarProbe::Wheel(car, i), m._11 * rate, m._12 * rate, m._13 * rate);
}

// Takes gravity off the car's five bodies: a car held where it is.
inline void Float(cCar& car) {
  dBodySetGravityMode(cCarProbe::Body(car), 0);
  for (int i = 0; i < 4; ++i) dBodySetGravityMode(cCarProbe::Wheel(car, i), 0);
}

inline void RunFor(cCar& car, float seconds, float dt = 0.01f) {
  const int steps = static_cast<int>(seconds / dt + 0.5f);
  for (int i = 0; i < steps; ++i) car.DoStep(dt);
}

inline bool Finite(const D3DXVECTOR3& v) {
  return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

// A track written to a fresh directory and loaded as a cGround on a screen
// shared by the test program (the ground keeps its mesh in the screen).
class CarTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    screenFixture = new vrxtest::ScreenFixture();
    screenOpen = screenFixture->Open(320, 240);
  }

  static void TearDownTestSuite() {
    delete screenFixture;
    screenFixture = nullptr;
  }

  void SetUp() override { ASSERT_TRUE(screenOpen) << "no screen"; }

  // Builds the ground from `layout`; the default is a flat road of 200 x 200 m.
  void LoadTrack(const vrxtest::FlatTrackLayout& layout = vrxtest::FlatTrackLayout()) {
    car.reset();
    ground.reset();
    const std::string dir = vrxtest::MakeTempDir(
        std::string("car_") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    const std::string path = dir + "/track";
    std::string error;
    ASSERT_TRUE(vrxtest::WriteFlatTrack(path, layout, &error)) << error;
    ground.reset(new cGround(path.c_str(), &screenFixture->Screen(), nullptr));
    ASSERT_NE(ground->GetGroundGeom(), nullptr);
  }

  // A car on the loaded track (the flat road unless LoadTrack ran).
  cCar& MakeCar(const _CARDATA& data = vrxtest::ReferenceCarData(),
                const _CARSTATE& state = vrxtest::RestState(0.0f, 0.5f, 0.0f),
                float (*torque)(float, void*) = vrxtest::ReferenceTorque) {
    if (!ground) LoadTrack();
    car.reset();
    _CARDATA d = data;
    _CARSTATE s = state;
    car.reset(new cCar(&d, &s, ground.get(), torque, nullptr));
    return *car;
  }

  // A reference car settled at rest on the flat road.
  cCar& SettledCar(const _CARDATA& data = vrxtest::ReferenceCarData()) {
    cCar& c = MakeCar(data);
    cartest::RunFor(c, 2.0f);
    return c;
  }

  void TearDown() override {
    car.reset();  // before its ground
    ground.reset();
  }

  static inline vrxtest::ScreenFixture* screenFixture = nullptr;
  static inline bool screenOpen = false;
  std::unique_ptr<cGround> ground;
  std::unique_ptr<cCar> car;
};

}  // namespace cartest
