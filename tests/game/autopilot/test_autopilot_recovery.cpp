// The autopilot finds its way back: from a car put down facing the wrong way
// and from one standing nose or tail against a wall.
#include "autopilot_test_util.h"

namespace {

const char* const kCar = "DATA\\CARS\\Hatch\\Hatch";

class RecoveryTest : public aptest::DataTest {
 protected:
  void SetUp() override {
    aptest::DataTest::SetUp();
    if (HasFatalFailure()) return;
    // The shortest shipped lap, with the car that has the least power.
    LoadTrack("DATA\\TRACKS\\Docklands\\Docklands");
    pilot.reset(new cAutopilot(ground.get()));
    ASSERT_TRUE(pilot->IsReady());
  }

  // The heading that turns the race's car so that its nose points along (x, z).
  static float HeadingFor(float x, float z) { return std::atan2(-x, z); }

  // The road's unit direction and right-hand normal at line point i.
  void Frame(int i, D3DXVECTOR3* along, D3DXVECTOR3* across) {
    const D3DXVECTOR3 a = pilot->GetMiddle(i - 2), b = pilot->GetMiddle(i + 2);
    D3DXVECTOR3 t(b.x - a.x, 0, b.z - a.z);
    t /= std::sqrt(t.x * t.x + t.z * t.z);
    *along = t;
    *across = D3DXVECTOR3(t.z, 0, -t.x);
  }

  // Drives `seconds` and says how far the car got along the lap (m, the
  // nearest line point's advance), whether it ends up driving forwards along
  // the road, and how many frames it spent backing.
  struct Outcome {
    float progress = 0;
    bool forwards = false;
    int backing = 0;
  };
  Outcome DriveFor(float seconds) {
    Outcome o;
    const int n = pilot->GetPointCount();
    int last = -1, moved = 0;
    const float dt = 1.0f / 60.0f;
    for (float t = 0; t < seconds; t += dt) {
      pilot->Drive(car->GetCar(), dt);
      car->Step(dt);
      EXPECT_TRUE(aptest::Finite(car->GetCar()->GetLinPos()));
      const int i = pilot->GetCurrentPoint();
      if (last >= 0) {
        int d = i - last;
        if (d > n / 2) d -= n;
        if (d < -n / 2) d += n;
        moved += d;
      }
      last = i;
      o.backing += pilot->IsRecovering();
    }
    o.progress = moved * pilot->GetLapLength() / n;
    D3DXVECTOR3 along, across;
    Frame(last, &along, &across);
    const D3DXMATRIX rot = car->GetCar()->GetRotPos();
    o.forwards = rot._31 * along.x + rot._33 * along.z > 0.8f && car->GetCar()->GetBodyVel().z > 5.0f;
    return o;
  }

  // The car's box ahead of and behind its centre, m.
  float Nose() { return car->GetCar()->GetCarData().BBoxMax.z; }
  float Tail() { return -car->GetCar()->GetCarData().BBoxMin.z; }

  std::unique_ptr<cAutopilot> pilot;
};

TEST_F(RecoveryTest, TurnsRoundWhenPutDownFacingBackwards) {
  D3DXVECTOR3 along, across;
  Frame(0, &along, &across);
  const D3DXVECTOR3 p = pilot->GetMiddle(0);
  MakeCar(kCar, p.x, p.z, HeadingFor(-along.x, -along.z));
  const Outcome o = DriveFor(25.0f);
  EXPECT_GT(o.progress, 150.0f);
  EXPECT_TRUE(o.forwards);
}

TEST_F(RecoveryTest, BacksAwayFromAWallItFaces) {
  // On the start straight, nose a few decimetres from either wall.
  for (float side : {1.0f, -1.0f}) {
    D3DXVECTOR3 along, across;
    const int at = 12;
    Frame(at, &along, &across);
    const D3DXVECTOR3 m = pilot->GetMiddle(at);
    const float half = pilot->GetHalfWidth(at);
    MakeCar(kCar, m.x, m.z, 0);
    const float reach = Nose() + 0.4f;
    MakeCar(kCar, m.x + side * across.x * (half - reach), m.z + side * across.z * (half - reach),
            HeadingFor(side * across.x, side * across.z));
    const Outcome o = DriveFor(20.0f);
    EXPECT_GT(o.backing, 0) << "side " << side;
    EXPECT_GT(o.progress, 100.0f) << "side " << side;
    EXPECT_TRUE(o.forwards) << "side " << side;
  }
}

TEST_F(RecoveryTest, GetsOutWhenBackedAgainstAWallAcrossTheRoad) {
  // Tail against the wall, nose pointing straight across the road.
  D3DXVECTOR3 along, across;
  const int at = 12;
  Frame(at, &along, &across);
  const D3DXVECTOR3 m = pilot->GetMiddle(at);
  const float half = pilot->GetHalfWidth(at);
  MakeCar(kCar, m.x, m.z, 0);
  const float reach = Tail() + 0.4f;
  MakeCar(kCar, m.x - across.x * (half - reach), m.z - across.z * (half - reach), HeadingFor(across.x, across.z));
  const Outcome o = DriveFor(20.0f);
  EXPECT_GT(o.progress, 100.0f);
  EXPECT_TRUE(o.forwards);
}

}  // namespace
