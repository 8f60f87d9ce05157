// Laps booked at the start gate of a generated straight: the car drives
// through the half gate and the start gate, is set back before the half
// gate at a chosen speed and goes through again, with a controlled clock.
#include <gtest/gtest.h>

#include "../car/race_car_fixture.h"
#include "car/cTrackInfo.h"
#include "shell/drive.h"
#include "shell/program.h"

namespace {

DWORD clockNow = 0;
DWORD Clock() { return clockNow; }

constexpr float kHalfGateZ = 20, kStartGateZ = 70;

class LapBooking : public cartest::CarWorld {
 protected:
  void SetUp() override {
    CarWorld::SetUp();
    vrxtesting::SetTickSource(Clock);
    clockNow = 5000;
    vrxtest::FlatTrackLayout layout;
    layout.startGate = true;
    layout.startGateZ = kStartGateZ;
    layout.halfGate = true;
    layout.halfGateZ = kHalfGateZ;
    trackPath = dir + "/Straight/Straight";
    std::filesystem::create_directories(dir + "/Straight");
    std::string error;
    ASSERT_TRUE(vrxtest::WriteFlatTrack(trackPath, layout, &error)) << error;
    LoadGround(trackPath);
    MakeCar(cartest::WriteTestCar(dir), cartest::StartAt(0, 0, -60));
    ASSERT_TRUE(car->IsRaceable());
    car->controlMode = 3;
    gGround = ground.get();
    gReplayMode = 0;
    gLastLapTime = 0;
    gTimer.Stop();
    gTimer.Reset();
  }
  void TearDown() override {
    gGround = nullptr;
    gReplayMode = 0;
    vrxtesting::SetTickSource(nullptr);
    CarWorld::TearDown();
  }
  // Sets the car on the road at z, heading +z at `speed`, coasting in first.
  void Place(float z, float speed) {
    cCar* body = car->GetCar();
    D3DXVECTOR3 p(0, body->GetLinPos().y, z), v(0, 0, speed);
    body->SetLinPos(&p);
    body->SetLinVel(&v);
    const float controls[3] = {0, 0, 0};
    int32_t rest[3] = {0, 0, 2};
    char block[24];
    memcpy(block, controls, 12);
    memcpy(block + 12, rest, 12);
    car->CopyControlsIn(block);
  }
  // Race frames of 16 ms until the car is past `z`; returns the clock time
  // from last leaving the start gate to touching it again in this drive (0
  // when it did not).
  DWORD DriveTo(float z) {
    DWORD lap = 0;
    bool inGate = false;
    for (int frame = 0; frame < 3000 && car->GetCar()->GetLinPos().z < z; ++frame) {
      car->Step(0.016f);
      const bool gate = car->GetCar()->IsTimerCollision() != 0;
      if (!gate && inGate) left = clockNow;
      if (gate && !inGate && left) lap = clockNow - left;
      inGate = gate;
      BookLap(car.get());
      clockNow += 16;
    }
    return lap;
  }
  // One lap: from before the half gate at `speed` through the start gate.
  void Lap(float speed) {
    Place(kHalfGateZ - 30, speed);
    DriveTo(kStartGateZ + 15);
  }

  std::string trackPath;
  DWORD left = 0;  // when the car last left the start gate
};

TEST_F(LapBooking, ALapCountsFromLeavingTheGateAndTheTrackKeepsItsBest) {
  Place(-60, 15);
  DriveTo(kStartGateZ + 15);  // the first touch ends no real lap
  EXPECT_EQ(ground->GetBestTime(), 0xFFFFFFFFu);

  Place(kHalfGateZ - 30, 12);
  const DWORD expected = DriveTo(kStartGateZ + 15);
  ASSERT_GT(expected, 0u);
  EXPECT_NEAR((double)gLastLapTime, (double)expected, 40.0);
  EXPECT_EQ(ground->GetBestTime(), gLastLapTime);
  const DWORD best = gLastLapTime;

  Lap(6);  // slower: shown, not kept
  EXPECT_GT(gLastLapTime, best);
  EXPECT_EQ(ground->GetBestTime(), best);

  Lap(20);  // faster: the new best
  EXPECT_LT(gLastLapTime, best);
  const DWORD newBest = gLastLapTime;
  EXPECT_EQ(ground->GetBestTime(), newBest);

  gReplayMode = 1;  // a replay's laps are never best times
  Lap(30);
  EXPECT_LT(gLastLapTime, newBest);
  EXPECT_EQ(ground->GetBestTime(), newBest);

  // The track writes its best when it goes; the menu's panel reads it back.
  car.reset();
  ground.reset();
  gGround = nullptr;
  cTrackInfo info(trackPath.c_str(), screen);
  EXPECT_EQ(info.GetBestTime(), newBest);
}

TEST_F(LapBooking, WithoutTheHalfGateNoLapIsBooked) {
  Place(-60, 15);
  DriveTo(kStartGateZ + 15);
  Place(kHalfGateZ + 10, 12);  // past the half gate: not a lap
  DriveTo(kStartGateZ + 15);
  EXPECT_EQ(ground->GetBestTime(), 0xFFFFFFFFu);
}

}  // namespace
