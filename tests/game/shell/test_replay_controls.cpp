// The replay controls on a recorded drive of a real car on a generated flat
// track, with a controlled clock: pause, 5 s moves, speeds, single samples,
// and the replay's lap clock. Frames are counted, never timed.
#include <gtest/gtest.h>

#include <vector>

#include "../car/race_car_fixture.h"
#include "shell/cReplay.h"
#include "shell/drive.h"
#include "shell/program.h"
#include "shell/replay_controls.h"

struct cReplayProbe {
  static const DWORD* StateStamps(cReplay& r) { return r.stateStamps; }
  static const ReplayState* States(cReplay& r) { return r.states; }
};

namespace {

DWORD clockNow = 0;
DWORD Clock() { return clockNow; }

constexpr DWORD kFrame = 16;

class ReplayControls : public cartest::CarWorld {
 protected:
  void SetUp() override {
    CarWorld::SetUp();
    vrxtesting::SetTickSource(Clock);
    clockNow = 2000000;
    LoadGround(cartest::WriteTrack(dir, "Flat"));
    base = cartest::WriteTestCar(dir);
    gGround = ground.get();
    replay.reset(new cReplay());
    gReplay = replay.get();
    gReplayMode = 0;
    gTimer.Stop();
    gTimer.Reset();
  }
  void TearDown() override {
    gReplayControls.End();
    gReplay = nullptr;
    gGround = nullptr;
    gReplayMode = 0;
    replay.reset();
    vrxtesting::SetTickSource(nullptr);
    CarWorld::TearDown();
  }

  // A drive of `ms` on a wide curve, recorded as a race records it; the car's
  // true position is kept for every frame (ms from the start).
  void RecordDrive(DWORD ms) {
    MakeCar(base, cartest::StartAt(0, 0, -40));
    ASSERT_TRUE(car->IsRaceable());
    car->controlMode = 3;
    replay->AttachCar(car.get());
    replay->ResetForRecording();
    ReplaySnapshot c = {0.5f, 0, 0.12f, 0, 0, 2};
    car->CopyControlsIn(&c);
    truth.clear();
    for (DWORD t = 0; t < ms; t += kFrame) {
      replay->Record();
      truth.push_back(car->GetCar()->GetLinPos());
      car->Step(kFrame * 0.001f);
      clockNow += kFrame;
    }
  }
  // A fresh car at the start plays the recording back, as a replay drive starts it.
  void StartReplay() {
    MakeCar(base, cartest::StartAt(0, 0, -40));
    car->controlMode = 3;
    replay->AttachCar(car.get());
    gReplayMode = 1;
    replay->RestartForPlayback();
    gReplayControls.Begin(car.get());
  }
  // Replay frames of kFrame ms until `ms` of ticks passed or the replay
  // ended; the ticks that passed.
  DWORD Play(DWORD ms) {
    DWORD ticks = 0;
    while (ticks < ms && !replay->AtEnd()) {
      ReplayStep(car.get(), kFrame * 0.001f);
      clockNow += kFrame;
      ticks += kFrame;
    }
    return ticks;
  }
  bool Press(WPARAM key) { return gReplayControls.Key(key, false); }
  D3DXVECTOR3 Where() { return car->GetCar()->GetLinPos(); }
  // Distance from the car to where it truly was `ms` into the recording.
  float OffTruth(DWORD ms) {
    const size_t i = std::min<size_t>((ms + kFrame / 2) / kFrame, truth.size() - 1);
    const D3DXVECTOR3 d = Where() - truth[i];
    return D3DXVec3Length(&d);
  }

  std::string base;
  std::unique_ptr<cReplay> replay;
  std::vector<D3DXVECTOR3> truth;
};

TEST_F(ReplayControls, WithoutKeysTheReplayRunsInRealTimeAndFollowsTheRecording) {
  RecordDrive(6000);
  StartReplay();
  Play(3000);
  EXPECT_NEAR(replay->GetPlaybackTime(), 3000.0, 20.0);
  EXPECT_LT(OffTruth(replay->GetPlaybackTime()), 0.5f);
  const DWORD rest = Play(10000);
  EXPECT_TRUE(replay->AtEnd());
  EXPECT_NEAR(3000.0 + rest, 6000.0, 50.0);
  EXPECT_FALSE(gReplayControls.BarShown());
}

TEST_F(ReplayControls, PauseHoldsTheCarTheRecordingAndTheLapClock) {
  RecordDrive(6000);
  StartReplay();
  gTimer.Start();
  Play(2000);
  ASSERT_TRUE(Press(VK_SPACE));
  EXPECT_TRUE(gReplayControls.Paused());
  EXPECT_TRUE(gReplayControls.BarShown());
  const D3DXVECTOR3 held = Where();
  const DWORD at = replay->GetPlaybackTime();
  const std::string lap = LapClockText();
  Play(2500);
  EXPECT_EQ(Where(), held);
  EXPECT_EQ(replay->GetPlaybackTime(), at);
  EXPECT_EQ(LapClockText(), lap);
  EXPECT_FALSE(replay->AtEnd());
  // The bar goes 3 s after the last use.
  Play(600);
  EXPECT_FALSE(gReplayControls.BarShown());

  ASSERT_TRUE(Press(VK_SPACE));
  EXPECT_FALSE(gReplayControls.Paused());
  Play(1000);
  EXPECT_NEAR(replay->GetPlaybackTime(), at + 1000.0, 20.0);
  EXPECT_NE(LapClockText(), lap);
  EXPECT_LT(OffTruth(replay->GetPlaybackTime()), 0.5f);
  // The pause is left out: the replay ends 3 s of recording later.
  const DWORD rest = Play(10000);
  EXPECT_NEAR(rest, 6000.0 - at - 1000, 50.0);
}

TEST_F(ReplayControls, MovesOfFiveSecondsPlaceTheCarWhereTheRecordingHadIt) {
  RecordDrive(16000);
  StartReplay();
  Play(12000);
  const DWORD at = replay->GetPlaybackTime();
  ASSERT_LT(OffTruth(at), 0.5f);

  ASSERT_TRUE(Press(VK_LEFT));
  EXPECT_EQ(replay->GetPlaybackTime(), at - 5000);
  EXPECT_LT(OffTruth(at - 5000), 0.5f);
  // ...and it plays on from there along the recording.
  Play(1000);
  EXPECT_LT(OffTruth(replay->GetPlaybackTime()), 0.5f);

  const DWORD back = replay->GetPlaybackTime();
  ASSERT_TRUE(Press(VK_RIGHT));
  EXPECT_EQ(replay->GetPlaybackTime(), back + 5000);
  EXPECT_LT(OffTruth(back + 5000), 0.5f);

  // Not before the start, and not past the end: a move never ends the replay.
  Press(VK_LEFT);
  Press(VK_LEFT);
  Press(VK_LEFT);
  EXPECT_EQ(replay->GetPlaybackTime(), 0u);
  EXPECT_LT(OffTruth(0), 0.5f);
  for (int i = 0; i < 5; ++i) Press(VK_RIGHT);
  EXPECT_FALSE(replay->AtEnd());
  EXPECT_EQ(replay->GetPlaybackTime(), replay->GetLength() - 1);
  EXPECT_LT(OffTruth(replay->GetLength()), 0.5f);
  EXPECT_LT(Play(1000), 200u);
  EXPECT_TRUE(replay->AtEnd());
}

TEST_F(ReplayControls, SpeedsStepFromAQuarterToFourTimes) {
  RecordDrive(20000);
  StartReplay();
  EXPECT_EQ(gReplayControls.Speed(), 1.0f);
  Press(VK_UP);
  EXPECT_EQ(gReplayControls.Speed(), 2.0f);
  Press(VK_UP);
  Press(VK_UP);  // 4x is the top
  EXPECT_EQ(gReplayControls.Speed(), 4.0f);
  // 20 s of recording in about 5 s of ticks, the car on its recorded path.
  const DWORD quarter = Play(2500);
  EXPECT_NEAR(replay->GetPlaybackTime(), 4.0 * quarter, 80.0);
  EXPECT_LT(OffTruth(replay->GetPlaybackTime()), 0.5f);
  const DWORD ticks = quarter + Play(30000);
  EXPECT_TRUE(replay->AtEnd());
  EXPECT_NEAR(ticks, 5000.0, 100.0);

  // Down to a quarter: 4 s of ticks play 1 s of the recording.
  StartReplay();
  EXPECT_EQ(gReplayControls.Speed(), 1.0f);
  for (int i = 0; i < 3; ++i) Press(VK_DOWN);
  EXPECT_EQ(gReplayControls.Speed(), 0.25f);
  Play(4000);
  EXPECT_NEAR(replay->GetPlaybackTime(), 1000.0, 20.0);
  EXPECT_LT(OffTruth(replay->GetPlaybackTime()), 0.5f);
  // A held key repeats: not the speed.
  gReplayControls.Key(VK_UP, true);
  EXPECT_EQ(gReplayControls.Speed(), 0.25f);
}

TEST_F(ReplayControls, AStepWhilePausedMovesExactlyOneSample) {
  RecordDrive(3000);
  StartReplay();
  Play(1000);
  // Playing, "." does nothing.
  const DWORD playing = replay->GetPlaybackTime();
  EXPECT_TRUE(Press(VK_OEM_PERIOD));
  EXPECT_EQ(replay->GetPlaybackTime(), playing);

  Press(VK_SPACE);
  const DWORD* stamps = cReplayProbe::StateStamps(*replay);
  const ReplayState* states = cReplayProbe::States(*replay);
  int i = 0;
  while (stamps[i] <= replay->GetPlaybackTime()) ++i;
  for (int step = 0; step < 3; ++step, ++i) {
    ASSERT_TRUE(Press(VK_OEM_PERIOD));
    EXPECT_EQ(replay->GetPlaybackTime(), stamps[i]) << "step " << step;
    EXPECT_EQ(Where(), states[i].Position) << "step " << step;
    EXPECT_GE(stamps[i] - stamps[i - 1], 100u);
    EXPECT_LT(stamps[i] - stamps[i - 1], 100u + 2 * kFrame);
    Play(500);  // still paused
    EXPECT_EQ(Where(), states[i].Position);
  }
  // The last sample is not stepped onto: reaching it would end the replay.
  Press(VK_RIGHT);
  const DWORD nearEnd = replay->GetPlaybackTime();
  Press(VK_OEM_PERIOD);
  EXPECT_EQ(replay->GetPlaybackTime(), nearEnd);
  EXPECT_FALSE(replay->AtEnd());
}

TEST_F(ReplayControls, TheLapClockRunsOnTheRecordingsTimeAndFollowsMovesBack) {
  RecordDrive(12000);
  StartReplay();
  DWORD lap = 0;
  EXPECT_FALSE(gReplayControls.LapTime(&lap));
  Play(2000);
  // The car in the start gate for two frames, then away.
  gReplayControls.Gate(true);
  Play(kFrame);
  gReplayControls.Gate(true);
  const DWORD left = replay->GetPlaybackTime();
  gReplayControls.Gate(false);
  Press(VK_UP);
  Press(VK_UP);
  Play(1000);
  ASSERT_TRUE(gReplayControls.LapTime(&lap));
  EXPECT_EQ(lap, replay->GetPlaybackTime() - left);
  EXPECT_NEAR(lap, 4000.0, 80.0);
  char text[16];
  snprintf(text, sizeof text, "%02u:%02u:%02u", lap / 60000, lap / 1000 % 60, lap / 10 % 100);
  EXPECT_STREQ(LapClockText(), text);
  // Back before the gate: no lap had begun then.
  Press(VK_LEFT);
  EXPECT_FALSE(gReplayControls.LapTime(&lap));
}

TEST_F(ReplayControls, KeysDoNothingOutsideAReplay) {
  RecordDrive(1000);
  EXPECT_FALSE(Press(VK_SPACE));
  StartReplay();
  EXPECT_FALSE(Press('A'));
  EXPECT_FALSE(Press(VK_ESCAPE));
  gReplayControls.End();
  EXPECT_FALSE(Press(VK_LEFT));
  EXPECT_FALSE(gReplayControls.BarShown());
}

}  // namespace
