// The best lap's ghost: taken from the recorder of a real car on a flat
// track with a controlled clock, followed in time, measured against a second
// run of the same car, written and read back, and refused when damaged.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <algorithm>
#include <functional>

#include "../car/race_car_fixture.h"
#include "shell/cGhost.h"
#include "shell/cReplay.h"
#include "shell/record_file.h"

namespace {

DWORD clockNow = 0;
DWORD Clock() { return clockNow; }

constexpr DWORD kFrame = 16;
const char* const kCar = "DATA\\CARS\\Test\\Test";
const char* const kTrack = "T\\Flat\\Flat";

// The controls of frame f of the scripted lap: full throttle, a slow weave.
void Script(cCar* c, int f) {
  c->Throttle = f < 20 ? 0.5f : 1.0f;
  c->Brake = 0;
  c->Steering = 0.25f * std::sin(f * 0.02f);
  c->Handbrake = 0;
}

class Ghost : public cartest::CarWorld {
 protected:
  void SetUp() override {
    CarWorld::SetUp();
    vrxtesting::SetTickSource(Clock);
    clockNow = 200000;
    trackPath = cartest::WriteTrack(dir, "Flat");
    LoadGround(trackPath);
    carPath = cartest::WriteTestCar(dir);
    NewCar();
    replay.reset(new cReplay());
  }
  void TearDown() override {
    vrxtesting::SetTickSource(nullptr);
    replay.reset();
    CarWorld::TearDown();
  }
  void NewCar() {
    car.reset();
    MakeCar(carPath, cartest::StartAt(0, 0, -70));
    ASSERT_TRUE(car->IsRaceable());
    car->controlMode = 3;
    cCar* c = car->GetCar();
    c->Gear = 2;
    // The car comes down onto its wheels and settles, brakes on, before any
    // lap begins: a lap starts at the gate, never with the car in the air.
    c->Throttle = c->Steering = 0;
    c->Brake = 1;
    for (int f = 0; f < 60; ++f) car->Step(kFrame * 0.001f);
    // A new race records the new car from its start, as a drive does.
    if (replay) {
      replay->AttachCar(car.get());
      replay->ResetForRecording();
    }
  }
  // Frames of the race loop: record, controls, step, then `each` with the
  // frame number (lap time = frame x 16 ms).
  void Drive(int frames, const std::function<void(int)>& controls, const std::function<void(int)>& each = nullptr) {
    for (int f = 0; f < frames; ++f) {
      replay->Record();
      controls(f);
      car->Step(kFrame * 0.001f);
      clockNow += kFrame;
      if (each) each(f + 1);
    }
  }
  // Records a scripted lap of `frames` frames and takes it as the ghost.
  void RecordLap(int frames) {
    replay->AttachCar(car.get());
    replay->ResetForRecording();
    Drive(frames, [&](int f) { Script(car->GetCar(), f); });
    ghost.TakeFromRecorder(*replay, frames * kFrame, kCar, kTrack, 0, 1);
    ASSERT_TRUE(ghost.HasLap());
  }

  std::string trackPath, carPath;
  std::unique_ptr<cReplay> replay;
  cGhost ghost;
};

TEST_F(Ghost, FollowsItsLapInTimeAndStopsAtItsEnds) {
  // A run before the lap: the lap starts 1.5 s into the recording.
  replay->AttachCar(car.get());
  replay->ResetForRecording();
  std::vector<D3DXVECTOR3> at;  // the car after each frame
  Drive(400, [&](int f) { Script(car->GetCar(), f); }, [&](int) { at.push_back(car->GetCar()->GetLinPos()); });
  const DWORD lap = 400 * kFrame - 1504;
  ghost.TakeFromRecorder(*replay, lap, kCar, kTrack, 1, 0);
  ASSERT_TRUE(ghost.HasLap());
  EXPECT_TRUE(ghost.Unsaved());
  EXPECT_EQ(ghost.LapTime(), lap);
  EXPECT_EQ(ghost.Lap().lapStart, 1504u);
  EXPECT_LE(ghost.Lap().stateStamps.front(), 1504u);
  EXPECT_GT(ghost.Lap().stateStamps[1], 1504u);
  EXPECT_STREQ(ghost.CarEntry(), kCar);
  EXPECT_EQ(ghost.Lap().damage, 1);
  EXPECT_EQ(ghost.Lap().automatic, 0);

  // Lap time t is recording time 1504 + t: the car's place after frame
  // (1504 + t) / 16 - the samples hold the state before each frame's step.
  for (DWORD t : {0u, 480u, 2000u, 3200u, 4400u}) {
    const int frame = (int)((1504 + t) / kFrame);
    const D3DXVECTOR3 d = ghost.StateAt(t).Position - at[frame - 1];
    EXPECT_LT(D3DXVec3Length(&d), 0.05f) << "lap time " << t;
  }
  // Out of order (a new lap) and past the end.
  const ReplayState first = ghost.StateAt(0);
  const ReplayState past = ghost.StateAt(100000), again = ghost.StateAt(0);
  EXPECT_EQ(memcmp(&past, &ghost.Lap().states.back(), sizeof past), 0);
  EXPECT_EQ(memcmp(&again, &first, sizeof first), 0);
  EXPECT_NEAR(D3DXQuaternionLength(&first.Rotation), 1.0f, 1e-4f);
}

TEST_F(Ghost, TheGapIsNothingOnTheSameControlsAndASecondWhenHeldBack) {
  const int frames = 500;  // 8 s
  RecordLap(frames);
  const D3DXVECTOR3 travelled = car->GetCar()->GetLinPos() - D3DXVECTOR3(0, 0, -70);
  ASSERT_GT(D3DXVec3Length(&travelled), 20.0f);

  // The very same controls from the same start.
  NewCar();
  float worst = 0;
  Drive(frames, [&](int f) { Script(car->GetCar(), f); },
        [&](int f) {
          const float gap = ghost.Gap(car->GetCar()->GetLinPos(), f * kFrame);
          worst = std::max(worst, std::fabs(gap));
        });
  EXPECT_LE(worst, 0.05f);

  // Held at the start for a second, then the same lap: the gap grows with
  // the clock while the car stands, and stays at a second once it drives.
  NewCar();
  const int wait = 1000 / kFrame;
  float atHalf = 0, atRelease = 0, late = 0, lowest = 10;
  Drive(frames + wait,
        [&](int f) {
          cCar* c = car->GetCar();
          if (f < wait) {
            c->Throttle = c->Steering = 0;
            c->Brake = 1;
          } else {
            Script(c, f - wait);
          }
        },
        [&](int f) {
          const float gap = ghost.Gap(car->GetCar()->GetLinPos(), f * kFrame);
          if (f == wait / 2) atHalf = gap;
          if (f == wait) atRelease = gap;
          if (f > wait + 60) lowest = std::min(lowest, gap);
          late = gap;
        });
  EXPECT_NEAR(atHalf, 0.5f, 0.05f);
  EXPECT_NEAR(atRelease, 1.0f, 0.05f);
  EXPECT_NEAR(late, 1.0f, 0.05f);
  EXPECT_GT(lowest, 0.95f);
}

TEST_F(Ghost, ANewLapStartsTheSearchAgainFromTheLapsBeginning) {
  RecordLap(300);
  // The end of the lap, far beyond the search's window, is followed to;
  // then the clock goes back and the search starts again at the beginning.
  const ReplayState end = ghost.StateAt(ghost.LapTime());
  EXPECT_NEAR(ghost.Gap(end.Position, ghost.LapTime()), 0.0f, 0.02f);
  const ReplayState start = ghost.StateAt(0);
  EXPECT_NEAR(ghost.Gap(start.Position, 16), 0.016f, 0.02f);
  // A car put somewhere else on the lap (a reset) is found there.
  const ReplayState middle = ghost.StateAt(2400);
  EXPECT_NEAR(ghost.Gap(middle.Position, 3400), 1.0f, 0.02f);
}

TEST_F(Ghost, IsWrittenBesideTheBestTimeAndReadBackOnlyWhenSound) {
  RecordLap(200);
  // A track folder of the test's own (DATA is the shipped one).
  std::filesystem::create_directories(dir + "/T/Mine");
  const std::string entry = "T\\Mine\\Mine";
  vrx::Recording lap = ghost.Lap();
  snprintf(lap.track, sizeof lap.track, "%s", entry.c_str());
  cGhost saved;
  ASSERT_TRUE(saved.Take(lap));
  EXPECT_FALSE(saved.Unsaved());
  EXPECT_TRUE(saved.SaveIfNew(entry.c_str()));  // nothing new: nothing written
  EXPECT_FALSE(std::filesystem::exists(dir + "/T/Mine/BestLap.vrxghost"));
  saved.TakeFromRecorder(*replay, 200 * kFrame, kCar, entry.c_str(), 0, 1);
  ASSERT_TRUE(saved.SaveIfNew(entry.c_str()));
  EXPECT_FALSE(saved.Unsaved());
  const std::string file = dir + "/T/Mine/BestLap.vrxghost";
  const std::string good = vrxtest::ReadFile(file);
  ASSERT_GT(good.size(), 200u);

  const char cars[2][64] = {"DATA\\CARS\\Hatch\\Hatch", "data\\cars\\test\\TEST"};
  cGhost read;
  testing::internal::CaptureStderr();
  ASSERT_TRUE(read.Load(entry.c_str(), cars, 2));
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(read.LapTime(), 200 * kFrame);
  EXPECT_EQ(read.Lap().states.size(), saved.Lap().states.size());
  EXPECT_FALSE(read.Unsaved());

  auto refused = [&](const std::string& bytes, const char* why, const char (*list)[64], int count) {
    vrxtest::WriteFile(file, bytes.data(), bytes.size());
    cGhost g;
    testing::internal::CaptureStderr();
    const bool loaded = g.Load(entry.c_str(), list, count);
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_FALSE(loaded) << why;
    EXPECT_FALSE(g.HasLap()) << why;
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << why << ": " << said;
    EXPECT_EQ(said.rfind("vrx: ignoring ", 0), 0u) << why << ": " << said;
  };
  for (size_t i = 0; i < 64; ++i) {
    std::string bytes = good;
    bytes[i] ^= 0xFF;
    refused(bytes, ("byte " + std::to_string(i)).c_str(), cars, 2);
  }
  for (size_t n : {0ul, 1ul, 100ul, good.size() / 2, good.size() - 1})
    refused(good.substr(0, n), ("length " + std::to_string(n)).c_str(), cars, 2);
  refused(good, "a car not in the list", cars, 1);
  refused(std::string(), "empty", cars, 2);
  // A lap of another track copied into this one's folder.
  lap.track[0] = 'X';
  cGhost other;
  ASSERT_TRUE(other.Take(lap));
  vrx::Recording foreign = other.Lap();
  const std::vector<uint8_t> bytes = vrx::EncodeRecording(foreign);
  refused(std::string(bytes.begin(), bytes.end()), "another track", cars, 2);

  // A missing file is no ghost and no message.
  std::filesystem::remove(file);
  cGhost none;
  testing::internal::CaptureStderr();
  EXPECT_FALSE(none.Load(entry.c_str(), cars, 2));
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

}  // namespace
