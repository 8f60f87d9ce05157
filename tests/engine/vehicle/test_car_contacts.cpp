// A car on a road split into many triangles drives as on a road of one
// quad: the wheels meet triangle edges and corners all the time, and no
// wheel may grip or push more there than elsewhere.
#include <algorithm>
#include <cstdio>

#include "car_fixture.h"

using cartest::CarTest;
using cartest::RunFor;
using cartest::Speed;

namespace {

float Constant45(float, void*) { return 45.0f; }

float Heading(cCar& car) {
  const D3DXMATRIX m = car.GetRotPos();
  return std::atan2(m._31, m._33);
}

// A flat road 40 m wide and 800 m long ahead of the origin; tile 0 makes it
// one quad (two triangles whose shared edge runs far from the car's path).
vrxtest::FlatTrackLayout Road(float tile) {
  vrxtest::FlatTrackLayout layout;
  layout.xMin = -20.0f;
  layout.xMax = 20.0f;
  layout.zMin = -50.0f;
  layout.zMax = 750.0f;
  layout.tile = tile > 0.0f ? tile : 800.0f;
  return layout;
}

struct StraightRun {
  float drift;  // largest sideways distance from the start line
  float speed;  // at the end
};

class CarContactTest : public CarTest {
 protected:
  // 20 s of full throttle from rest, no steering, constant 45 N m.
  StraightRun FullThrottle(float tile) {
    LoadTrack(Road(tile));
    cCar& car = MakeCar(vrxtest::ReferenceCarData(), vrxtest::RestState(0.0f, 0.5f, 0.0f), Constant45);
    RunFor(car, 2.0f);
    const float x0 = car.GetLinPos().x;
    car.Gear = 2;
    car.Throttle = 1.0f;
    StraightRun r{0.0f, 0.0f};
    for (int i = 0; i < 2000; ++i) {
      car.DoStep(0.01f);
      r.drift = std::max(r.drift, std::fabs(car.GetLinPos().x - x0));
    }
    r.speed = Speed(car);
    return r;
  }
};

}  // namespace

TEST_F(CarContactTest, FullThrottleOnATiledRoadRunsStraightAndAsFastAsOnOneQuad) {
  const StraightRun smooth = FullThrottle(0.0f);
  EXPECT_LT(smooth.drift, 1.0f);
  EXPECT_GT(smooth.speed, 30.0f);
  for (float tile : {2.0f, 10.0f, 50.0f}) {
    const StraightRun tiled = FullThrottle(tile);
    EXPECT_LT(tiled.drift, 1.0f) << tile << " m tiles";
    EXPECT_NEAR(tiled.speed, smooth.speed, 0.02f * smooth.speed) << tile << " m tiles";
  }
}

TEST_F(CarContactTest, AWheelOnATileCornerSinksNoLessThanOnOneQuad) {
  // Car at (0.7, 0.9): wheel 0 stands on a corner where six triangles of
  // the 2 m tiles meet, the others on edges.
  float height[2][4];
  for (int tiled = 0; tiled < 2; ++tiled) {
    LoadTrack(Road(tiled ? 2.0f : 0.0f));
    cCar& car = MakeCar(vrxtest::ReferenceCarData(), vrxtest::RestState(0.7f, 0.5f, 0.9f));
    RunFor(car, 3.0f);
    EXPECT_LT(cartest::Length(car.GetLinVel()), 1e-3f);
    for (int i = 0; i < 4; ++i) height[tiled][i] = cartest::WheelCentre(car, i).y;
  }
  for (int i = 0; i < 4; ++i) EXPECT_NEAR(height[1][i], height[0][i], 2e-4f) << "wheel " << i;
}

TEST_F(CarContactTest, SteersAndBrakesOnATiledRoadAsOnOneQuad) {
  float turned[2], stop[2];
  for (int tiled = 0; tiled < 2; ++tiled) {
    LoadTrack(Road(tiled ? 2.0f : 0.0f));
    cCar& car = SettledCar();
    car.Gear = 2;
    car.Throttle = 1.0f;
    while (Speed(car) < 15.0f) car.DoStep(0.01f);
    car.Throttle = 0.2f;
    car.Steering = 0.1f;
    RunFor(car, 2.0f);
    turned[tiled] = Heading(car);
    car.Steering = 0.0f;
    car.Throttle = 0.0f;
    car.Brake = 1.0f;
    const D3DXVECTOR3 p = car.GetLinPos();
    for (int i = 0; i < 1000 && Speed(car) > 0.05f; ++i) car.DoStep(0.01f);
    EXPECT_LT(Speed(car), 0.05f);
    stop[tiled] = cartest::Length(car.GetLinPos() - p);
  }
  EXPECT_LT(turned[0], -0.3f);  // a real turn to the left
  EXPECT_NEAR(turned[1], turned[0], 0.02f * std::fabs(turned[0]));
  EXPECT_NEAR(stop[1], stop[0], 0.02f * stop[0]);
}
