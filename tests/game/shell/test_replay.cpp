// The replay recorder with a controlled clock, recording a real car on a
// generated flat track.
#include <gtest/gtest.h>

#include "../car/race_car_fixture.h"
#include "shell/cReplay.h"
#include "shell/record_file.h"

struct cReplayProbe {
  static const DWORD* ControlStamps(cReplay& r) { return r.snapshotStamps; }
  static const DWORD* StateStamps(cReplay& r) { return r.stateStamps; }
  static int32_t ControlCount(cReplay& r) { return r.snapshotCount; }
  static int32_t StateCount(cReplay& r) { return r.stateCount; }
};

namespace {

DWORD clockNow = 0;
DWORD Clock() { return clockNow; }

class Recorder : public cartest::CarWorld {
 protected:
  void SetUp() override {
    CarWorld::SetUp();
    vrxtesting::SetTickSource(Clock);
    clockNow = 1000000;
    LoadGround(cartest::WriteTrack(dir, "Flat"));
    MakeCar(cartest::WriteTestCar(dir), cartest::StartAt(0, 0, 0));
    ASSERT_TRUE(car->IsRaceable());
    car->controlMode = 3;
    replay.reset(new cReplay());
    replay->AttachCar(car.get());
    replay->ResetForRecording();
  }
  void TearDown() override {
    vrxtesting::SetTickSource(nullptr);
    replay.reset();
    CarWorld::TearDown();
  }
  // Sets the controls the recorder copies out of the car.
  void Controls(float throttle, float brake, float steering, int handbrake, int gear) {
    ReplaySnapshot s = {throttle, brake, steering, handbrake, 0, gear};
    car->CopyControlsIn(&s);
  }
  // Race frames of `ms` each for `total` ms: record, then step.
  void Race(DWORD total, DWORD ms = 16) {
    for (DWORD t = 0; t < total; t += ms) {
      replay->Record();
      car->Step(ms * 0.001f);
      clockNow += ms;
    }
  }
  void CheckStamps(const DWORD* stamps, int32_t count) {
    ASSERT_GT(count, 0);
    EXPECT_EQ(stamps[0], 0u);
    for (int32_t i = 1; i < count; ++i) EXPECT_GE(stamps[i] - stamps[i - 1], 100u) << "entry " << i;
  }

  std::unique_ptr<cReplay> replay;
};

TEST_F(Recorder, TwoSecondsGiveAtMostTwentyOneEntriesATenthOfASecondApart) {
  Race(2000);
  const int32_t controls = cReplayProbe::ControlCount(*replay), states = cReplayProbe::StateCount(*replay);
  EXPECT_LE(controls, 21);
  EXPECT_GE(controls, 17);
  EXPECT_LE(states, 21);
  EXPECT_GE(states, 17);
  CheckStamps(cReplayProbe::ControlStamps(*replay), controls);
  CheckStamps(cReplayProbe::StateStamps(*replay), states);
}

TEST_F(Recorder, APauseIsLeftOutOfTheRecordingAndThePlayback) {
  Race(1000);
  replay->PauseBegins();
  clockNow += 5000;
  replay->PauseEnds();
  Race(1000);
  const DWORD* stamps = cReplayProbe::ControlStamps(*replay);
  const int32_t count = cReplayProbe::ControlCount(*replay);
  CheckStamps(stamps, count);
  for (int32_t i = 1; i < count; ++i) EXPECT_LT(stamps[i] - stamps[i - 1], 150u) << "entry " << i;
  EXPECT_LT(stamps[count - 1], 2100u);
}

TEST_F(Recorder, SwitchesChangeAtTheMidpointWhilePedalsAndSteeringBlend) {
  Controls(0, 1, -0.5f, 0, 2);
  replay->Record();
  clockNow += 100;
  Controls(1, 0, 0.5f, 1, 3);
  replay->Record();
  clockNow += 100;
  replay->Record();

  replay->RestartForPlayback();
  ReplaySnapshot s = replay->GetSnapshot();  // playback time 0
  EXPECT_FLOAT_EQ(s.Throttle, 0);
  clockNow += 40;
  s = replay->GetSnapshot();
  EXPECT_NEAR(s.Throttle, 0.4f, 1e-5f);
  EXPECT_NEAR(s.Brake, 0.6f, 1e-5f);
  EXPECT_NEAR(s.Steering, -0.1f, 1e-5f);
  EXPECT_EQ(s.Gear, 2);
  EXPECT_EQ(s.Handbrake, 0);
  clockNow += 20;
  s = replay->GetSnapshot();
  EXPECT_NEAR(s.Throttle, 0.6f, 1e-5f);
  EXPECT_EQ(s.Gear, 3);
  EXPECT_EQ(s.Handbrake, 1);
  EXPECT_FALSE(replay->AtEnd());
}

TEST_F(Recorder, BodyStatesInterpolateAndFetchesAreTimed) {
  Controls(1, 0, 0, 0, 2);
  Race(1000);
  replay->RestartForPlayback();
  clockNow += 7;
  EXPECT_EQ(replay->TimeSinceLastFetch(), 7u);
  replay->GetSnapshot();
  ReplayState a = replay->GetState();
  EXPECT_EQ(replay->TimeSinceLastFetch(), 0u);
  const float length = D3DXQuaternionLength(&a.Rotation);
  EXPECT_NEAR(length, 1.0f, 1e-4f);
  clockNow += 550;
  replay->GetSnapshot();
  ReplayState b = replay->GetState();
  EXPECT_NEAR(D3DXQuaternionLength(&b.Rotation), 1.0f, 1e-4f);
  // The car rolled forward from the start: the replay finds it further on.
  const D3DXVECTOR3 moved = b.Position - a.Position;
  EXPECT_GT(D3DXVec3Length(&moved), 0.0f);
}

TEST_F(Recorder, PlaybackEndsAfterTheLastSampleAndCanBeRepeated) {
  Controls(0.5f, 0, 0, 0, 2);
  Race(1000);
  for (int round = 0; round < 2; ++round) {
    replay->RestartForPlayback();
    EXPECT_FALSE(replay->AtEnd());
    const ReplaySnapshot first = replay->GetSnapshot();
    EXPECT_FLOAT_EQ(first.Throttle, 0.5f);
    int frames = 0;
    while (!replay->AtEnd() && frames < 1000) {
      replay->GetSnapshot();
      replay->GetState();
      clockNow += 16;
      ++frames;
    }
    EXPECT_TRUE(replay->AtEnd());
    EXPECT_GE(frames * 16, 950) << "round " << round;
    EXPECT_LE(frames * 16, 1100) << "round " << round;
  }
}

TEST_F(Recorder, TheLastSampleHoldsTheCarsLatestControls) {
  Controls(0, 0, 0, 0, 2);
  replay->Record();
  clockNow += 100;
  replay->Record();
  clockNow += 50;
  Controls(1, 0, 0, 0, 2);
  replay->Record();  // too soon to keep, but it ends the recording

  replay->RestartForPlayback();
  replay->GetSnapshot();
  clockNow += 125;
  const ReplaySnapshot s = replay->GetSnapshot();
  EXPECT_NEAR(s.Throttle, 0.5f, 1e-5f);
}

TEST_F(Recorder, AnEmptyRecorderIsAtItsEnd) {
  cReplay fresh;
  EXPECT_TRUE(fresh.AtEnd());
  fresh.RestartForPlayback();
  EXPECT_TRUE(fresh.AtEnd());
  const ReplaySnapshot s = fresh.GetSnapshot();
  EXPECT_FLOAT_EQ(s.Throttle, 0);
  EXPECT_TRUE(fresh.AtEnd());
}

TEST_F(Recorder, AFullRecordingStopsAtTwentyThousandEntries) {
  for (int i = 0; i < cReplay::kEntries + 5; ++i) {
    replay->Record();
    clockNow += 100;
  }
  EXPECT_EQ(cReplayProbe::ControlCount(*replay), cReplay::kEntries);
  EXPECT_EQ(cReplayProbe::StateCount(*replay), cReplay::kEntries);
  EXPECT_TRUE(replay->AtEnd());
  replay->RestartForPlayback();
  EXPECT_FALSE(replay->AtEnd());
}

TEST_F(Recorder, ARangeOfTheRecordingIsCopiedOutAndASavedOnePlaysLikeTheOriginal) {
  Controls(1, 0, 0.2f, 0, 2);
  Race(3000, 16);
  vrx::Recording part;
  replay->CopyRecording(1000, 2000, &part);
  ASSERT_GE(part.states.size(), 10u);
  EXPECT_LE(part.stateStamps.front(), 1000u);
  EXPECT_GT(part.stateStamps[1], 1000u);
  EXPECT_GE(part.stateStamps.back(), 2000u);
  EXPECT_LT(part.stateStamps[part.stateStamps.size() - 2], 2000u);
  EXPECT_LE(part.controlStamps.front(), 1000u);
  EXPECT_GE(part.controlStamps.back(), 2000u);

  // The whole run ends on the car's latest sample, the one still being written.
  vrx::Recording whole;
  replay->CopyRecording(0, cReplay::kEmpty, &whole);
  EXPECT_EQ(whole.stateStamps.front(), 0u);
  EXPECT_GE(whole.stateStamps.back(), 2980u);
  whole.kind = vrx::RecordKind::kReplay;
  const std::vector<uint8_t> bytes = vrx::EncodeRecording(whole);
  vrx::Recording loaded;
  std::string why;
  ASSERT_TRUE(vrx::DecodeRecording(bytes.data(), bytes.size(), vrx::RecordKind::kReplay, &loaded, &why)) << why;

  cReplay saved;
  ASSERT_TRUE(saved.LoadRecording(loaded));
  saved.RestartForPlayback();
  replay->RestartForPlayback();
  int frames = 0;
  while (!replay->AtEnd() && frames < 400) {
    EXPECT_FALSE(saved.AtEnd()) << "frame " << frames;
    const ReplaySnapshot a = replay->GetSnapshot(), b = saved.GetSnapshot();
    EXPECT_EQ(memcmp(&a, &b, sizeof a), 0) << "frame " << frames;
    const ReplayState x = replay->GetState(), y = saved.GetState();
    EXPECT_EQ(memcmp(&x, &y, sizeof x), 0) << "frame " << frames;
    clockNow += 23;
    ++frames;
  }
  EXPECT_TRUE(saved.AtEnd());
  EXPECT_GT(frames, 100);

  vrx::Recording none;
  EXPECT_FALSE(saved.LoadRecording(none));
  EXPECT_TRUE(saved.AtEnd());
}

}  // namespace
