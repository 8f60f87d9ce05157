// The race car's shift, skid and crash sounds, heard through OpenAL Soft's
// wave-file writer: a car whose sounds are pure tones changes gear, skids
// under the handbrake and hits a wall, in real time.
#include <chrono>
#include <cmath>
#include <thread>

#include "../../sound/sound_test_util.h"
#include "race_car_fixture.h"

namespace {

using cartest::CarWorld;
using cartest::StartAt;
using cartest::WriteTestCar;
using cartest::WriteTrack;
using Clock = std::chrono::steady_clock;

constexpr double kSkidHz = 1000, kShiftHz = 2500, kCrashHz = 5000;

// Strength of one frequency in a window (Goertzel), 0 .. about 0.5 for a full-scale sine.
double Tone(const std::vector<float>& s, size_t begin, size_t end, double hz) {
  const double w = 2 * M_PI * hz / soundtest::kOutputRate;
  const double c = 2 * std::cos(w);
  double a = 0, b = 0;
  for (size_t i = begin; i < end; ++i) {
    const double x = s[i] + c * a - b;
    b = a;
    a = x;
  }
  const double power = a * a + b * b - c * a * b;
  return std::sqrt(std::max(0.0, power)) / double(end - begin);
}

// Seconds into the capture of the first 20 ms window where the tone is heard; -1 when never.
double FirstHeard(const soundtest::Capture& c, double hz) {
  const size_t window = soundtest::kOutputRate / 50;
  for (size_t b = 0; b + window <= c.Frames(); b += window)
    if (Tone(c.left, b, b + window, hz) + Tone(c.right, b, b + window, hz) > 0.02)
      return double(b) / soundtest::kOutputRate;
  return -1;
}

class RaceCarSound : public CarWorld {
 protected:
  void SetUp() override {
    soundDir = vrxtest::MakeTempDir("race_car_sound_device");
    soundtest::UseWaveOutput(soundDir, soundDir + "/capture.wav");
    CarWorld::SetUp();
    opened = Clock::now();
  }
  double Now() { return std::chrono::duration<double>(Clock::now() - opened).count(); }
  // Steps in real time, the listener riding with the car.
  void Drive(double seconds) {
    const Clock::time_point end =
        Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    while (Clock::now() < end) {
      car->Step(0.01f);
      const _WHEELSKIDS k = car->GetCar()->GetSkids();
      skidded = skidded || k.Skid[0] || k.Skid[1] || k.Skid[2] || k.Skid[3];
      crashed = crashed || cRaceCarProbe::CrashLatch();
      const D3DXVECTOR3 p = car->GetPosition();
      listener->SetListenerPos(&p);
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
  std::string soundDir;
  Clock::time_point opened;
  bool skidded = false, crashed = false;
};

TEST_F(RaceCarSound, ShiftSkidAndCrashAreHeardWhenTheyHappen) {
  LoadGround(WriteTrack(dir, "Wall", 0.0f, true, 30.0f));
  const std::string base = WriteTestCar(dir);
  // Pure tones in place of the shipped sounds; a silent engine.
  const int wav = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  ASSERT_TRUE(soundtest::WriteTone(base + "_eng.wav", wav, 22050, 1, {{0, 0.5}}));
  ASSERT_TRUE(soundtest::WriteTone(base + "_skid.wav", wav, 44100, 1, {{kSkidHz, 0.5}}));
  ASSERT_TRUE(soundtest::WriteTone(base + "_shift.wav", wav, 44100, 1, {{kShiftHz, 0.3}}));
  ASSERT_TRUE(soundtest::WriteTone(base + "_crash.wav", wav, 44100, 1, {{kCrashHz, 0.4}}));
  cRaceCar* c = MakeCar(base, StartAt(0, 0, -95));
  ASSERT_TRUE(c->IsRaceable());
  c->StartEngineSound();

  Drive(0.3);
  const double shiftAt = Now();
  Key(RACECAR_KEY_GEAR_UP, true);
  Drive(0.5);
  Key(RACECAR_KEY_GEAR_UP, false);

  // Up to speed at once, then brakes and handbrake lock the wheels.
  Key(RACECAR_KEY_THROTTLE, true);
  Steps(60 * 5, 1.0f / 60.0f);
  Key(RACECAR_KEY_THROTTLE, false);
  ASSERT_GT(Speed(), 12.0f);
  const double skidAt = Now();
  skidded = false;
  Key(RACECAR_KEY_HANDBRAKE, true);
  Key(RACECAR_KEY_BRAKE, true);
  Key(RACECAR_KEY_STEER_POSITIVE, true);
  Drive(0.6);
  ReleaseAll();
  const bool skidSegment = skidded;

  // A second car straight at the wall: there at once, the last metres in real time.
  c = MakeCar(base, StartAt(0, 0, -15));
  IntoFirst();
  Key(RACECAR_KEY_THROTTLE, true);
  for (int i = 0; i < 60 * 20 && car->GetPosition().z < 26.0f; ++i) Steps(1, 1.0f / 60.0f);
  crashed = false;
  const double crashAt = Now();
  bool hit = false;
  for (int i = 0; i < 300 && !hit; ++i) {
    Drive(0.01);
    hit = c->GetCar()->IsCollision() != 0;
    (void)hit;
  }
  const bool crashSegment = crashed;
  Key(RACECAR_KEY_THROTTLE, false);
  Drive(1.5);
  c->StopSounds();
  Drive(0.3);

  // The capture is complete once every sound object and the listener are gone.
  car.reset();
  listener.reset();
  const soundtest::Capture capture = soundtest::ReadCapture(soundDir + "/capture.wav");
  ASSERT_GT(capture.Frames(), (size_t)soundtest::kOutputRate) << "no capture";
  const double shift = FirstHeard(capture, kShiftHz);
  const double skid = FirstHeard(capture, kSkidHz);
  const double crash = FirstHeard(capture, kCrashHz);
  std::printf("heard: shift %.2f s (pressed %.2f), skid %.2f s (handbrake %.2f), crash %.2f s (off at %.2f)\n", shift,
              shiftAt, skid, skidAt, crash, crashAt);
  EXPECT_GE(shift, 0.0);
  // Each after the moment that caused it (a little slack for the device's
  // buffering). Whether the car skids or meets the wall above 1 m/s is the
  // physics' business: the sounds are checked where the car said so.
  EXPECT_GT(shift, shiftAt - 0.1);
  EXPECT_LT(shift, skidAt + 0.5);
  if (skidSegment) {
    EXPECT_GE(skid, 0.0) << "the wheels skidded, no skid sound";
  } else {
    std::printf("no skid this time: the skid sound is not checked\n");
  }
  if (crashSegment) {
    EXPECT_GT(crash, crashAt - 0.1) << "the crash sound was started, not heard";
  } else {
    std::printf("no crash above 1 m/s this time: the crash sound is not checked\n");
  }
}

}  // namespace
