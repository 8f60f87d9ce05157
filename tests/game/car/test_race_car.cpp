// The race car built from generated files: start height, the car data and
// torque files, mesh roles, bad files, and the control rules of the step.
#include "race_car_fixture.h"

namespace {

using cartest::CarWorld;
using cartest::StartAt;
using cartest::TestCar;
using cartest::WriteTestCar;
using cartest::WriteTrack;

// An engine speed (rad/s) that the torque table sees as exactly `rpm`.
float OmegaFor(float rpm) {
  float w = rpm / CAR_RADS_TO_RPM;
  for (int i = 0; i < 64 && w * CAR_RADS_TO_RPM != rpm; ++i)
    w = std::nextafter(w, w * CAR_RADS_TO_RPM < rpm ? 1e9f : -1e9f);
  return w;
}

class RaceCarTest : public CarWorld {};

TEST_F(RaceCarTest, StartsHalfAMetreAboveTheGroundWhateverTheGivenHeight) {
  for (float height : {0.0f, 3.0f}) {
    LoadGround(WriteTrack(dir, "Flat" + std::to_string((int)height), height));
    cRaceCar* c = MakeCar(WriteTestCar(dir), StartAt(5, 77, 5));
    ASSERT_TRUE(c->IsRaceable());
    EXPECT_FLOAT_EQ(cRaceCarProbe::Start(*c).LinPos.y, height + 0.5f);
    EXPECT_FLOAT_EQ(c->GetPosition().y, height + 0.5f);
    car.reset();
  }
}

TEST_F(RaceCarTest, CarDataComesFromTheFileTheMeshAndTheGearboxSetting) {
  LoadGround(WriteTrack(dir, "Flat"));
  TestCar plain;
  TestCar odd;
  odd.offset128 = 0xDEADBEEF;
  const std::string a = WriteTestCar(dir + "/a", plain), b = WriteTestCar(dir + "/b", odd);
  _CARDATA da, db;
  for (int automatic : {0, 1}) {
    da = cRaceCarProbe::Data(*MakeCar(a, StartAt(0, 0, 0), automatic));
    db = cRaceCarProbe::Data(*MakeCar(b, StartAt(0, 0, 0), automatic));
    EXPECT_EQ(da.Automatic, automatic);
    // The unused word changes nothing.
    EXPECT_EQ(std::memcmp(&da, &db, sizeof da), 0);
  }
  const _CARDATA ref = vrxtest::ReferenceCarData();
  for (int w = 0; w < 4; ++w) EXPECT_EQ(da.WheelPos[w], ref.WheelPos[w]);
  EXPECT_EQ(da.BodyMass, ref.BodyMass);
  EXPECT_EQ(da.DownshiftRPM, ref.DownshiftRPM);
  EXPECT_EQ(da.GearRatio[2], ref.GearRatio[2]);
  EXPECT_EQ(da.FinalDrive, ref.FinalDrive);
  EXPECT_EQ(da.GearCount, ref.GearCount);
  EXPECT_EQ(da.FrontDrive, ref.FrontDrive);
  // Box from the body, radius and skid width from the wheel (0.6 high, 0.2 wide).
  EXPECT_FLOAT_EQ(da.BBoxMin.x, -0.8f);
  EXPECT_FLOAT_EQ(da.BBoxMax.z, 1.9f);
  EXPECT_FLOAT_EQ(da.BBoxMin.z, -2.1f);
  EXPECT_FLOAT_EQ(da.FrontRadius, 0.3f);
  EXPECT_FLOAT_EQ(da.RearRadius, 0.3f);
  EXPECT_FLOAT_EQ(cRaceCarProbe::SkidWidth(*car, 1), -0.2f);
  EXPECT_FLOAT_EQ(cRaceCarProbe::SkidWidth(*car, 0), -0.2f);
}

TEST_F(RaceCarTest, MeshObjectsTakeTheirRolesFromTheirNames) {
  LoadGround(WriteTrack(dir, "Flat"));
  cRaceCar* c = MakeCar(WriteTestCar(dir), StartAt(0, 0, 0));
  cMoObject* mesh = cRaceCarProbe::Mesh(*c);
  EXPECT_STREQ(mesh->GetName(cRaceCarProbe::Body(*c)), "body");
  EXPECT_STREQ(mesh->GetName(cRaceCarProbe::Wheel(*c)), "wheel");
  EXPECT_EQ(cRaceCarProbe::BrakeCount(*c), 2u);
  EXPECT_EQ(cRaceCarProbe::ReverseCount(*c), 1u);
  EXPECT_EQ(cRaceCarProbe::PlateCount(*c), 1u);
  // "l", "lx", the lights, plate, body and wheel are no parts: only the roof is.
  ASSERT_EQ(cRaceCarProbe::PartCount(*c), 1u);
  EXPECT_STREQ(mesh->GetName(cRaceCarProbe::Part(*c, 0)), "roof");
  // A light sits at its box's centre and is as wide as the box.
  const _CARLIGHT& back = cRaceCarProbe::Brake(*c, 1);
  EXPECT_STREQ(mesh->GetName(back.object), "ls_back");
  EXPECT_NEAR(back.centre.y, 0.65f, 1e-6f);
  EXPECT_NEAR(back.centre.z, -2.12f, 1e-6f);
  EXPECT_NEAR(back.width, 0.6f, 1e-6f);
}

TEST_F(RaceCarTest, TorqueFollowsTheTableSegmentBySegmentAndFallsWithHeavyDamage) {
  LoadGround(WriteTrack(dir, "Flat"));
  TestCar t;
  t.torqueText = "1000\t50\n2000\t100\n3000\t0\n";
  cRaceCar* c = MakeCar(WriteTestCar(dir, t), StartAt(0, 0, 0));
  ASSERT_TRUE(c->IsRaceable());
  EXPECT_NEAR(cRaceCar::TorqueCurve(1500.0f / 9.55026f, c), 75.0f, 1e-3f);
  EXPECT_NEAR(cRaceCar::TorqueCurve(OmegaFor(1000), c), 50.0f, 1e-4f);
  // Exactly at a point: the segment that starts there.
  EXPECT_NEAR(cRaceCar::TorqueCurve(OmegaFor(2000), c), 100.0f, 1e-4f);
  EXPECT_EQ(cRaceCar::TorqueCurve(OmegaFor(999), c), 0.0f);
  EXPECT_EQ(cRaceCar::TorqueCurve(OmegaFor(3000), c), 0.0f);
  EXPECT_EQ(cRaceCar::TorqueCurve(OmegaFor(5000), c), 0.0f);
  cRaceCarProbe::Damage(*c) = 50.0f;
  EXPECT_NEAR(cRaceCar::TorqueCurve(1500.0f / 9.55026f, c), 75.0f, 1e-3f);
  cRaceCarProbe::Damage(*c) = 70.0f;
  EXPECT_NEAR(cRaceCar::TorqueCurve(1500.0f / 9.55026f, c), 60.0f, 1e-3f);
  cRaceCarProbe::Damage(*c) = 100.0f;
  EXPECT_NEAR(cRaceCar::TorqueCurve(1500.0f / 9.55026f, c), 37.5f, 1e-3f);
}

TEST_F(RaceCarTest, TorqueFileLinesAreSplitAtTheLastTab) {
  LoadGround(WriteTrack(dir, "Flat"));
  TestCar t;
  // Text before the last TAB is the speed (its leading number), CR line ends are fine.
  t.torqueText = "1000 rpm\t\t50 Nm\r\n2000\t100\r\n";
  cRaceCar* c = MakeCar(WriteTestCar(dir, t), StartAt(0, 0, 0));
  ASSERT_TRUE(c->IsRaceable());
  EXPECT_EQ(cRaceCarProbe::TorqueCount(*c), 2u);
  EXPECT_NEAR(cRaceCar::TorqueCurve(1500.0f / 9.55026f, c), 75.0f, 1e-3f);

  t.torqueText = "1000\t50\n";
  testing::internal::CaptureStderr();
  c = MakeCar(WriteTestCar(dir + "/one", t), StartAt(0, 0, 0));
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_TRUE(c->IsRaceable());
  EXPECT_EQ(tracktest::CountLines(said), 1) << said;
  for (float rpm : {0.0f, 999.0f, 1000.0f, 1500.0f, 5000.0f}) EXPECT_EQ(cRaceCar::TorqueCurve(OmegaFor(rpm), c), 0.0f);
}

TEST_F(RaceCarTest, TooManyOrUnorderedTorquePointsAreKeptAsFarAsTheyFitWithOneLineEach) {
  LoadGround(WriteTrack(dir, "Flat"));
  TestCar t;
  t.torqueText.clear();
  for (int i = 0; i < 300; ++i) t.torqueText += std::to_string(i * 10) + "\t" + std::to_string(i) + "\n";
  testing::internal::CaptureStderr();
  cRaceCar* c = MakeCar(WriteTestCar(dir + "/many", t), StartAt(0, 0, 0));
  std::string said = testing::internal::GetCapturedStderr();
  EXPECT_TRUE(c->IsRaceable());
  EXPECT_EQ(cRaceCarProbe::TorqueCount(*c), 256u);
  EXPECT_EQ(cRaceCarProbe::TorqueSpeed(*c, 255), 2550.0f);
  EXPECT_EQ(tracktest::CountLines(said), 1) << said;
  EXPECT_NE(said.find("256"), std::string::npos) << said;

  t.torqueText = "3000\t40\n1000\t50\n2000\t60\n";
  testing::internal::CaptureStderr();
  c = MakeCar(WriteTestCar(dir + "/unordered", t), StartAt(0, 0, 0));
  said = testing::internal::GetCapturedStderr();
  EXPECT_TRUE(c->IsRaceable());
  EXPECT_EQ(tracktest::CountLines(said), 1) << said;
  // File order stays: 1000 .. 2000 is the second segment.
  EXPECT_EQ(cRaceCarProbe::TorqueSpeed(*c, 0), 3000.0f);
  EXPECT_NEAR(cRaceCar::TorqueCurve(1500.0f / 9.55026f, c), 55.0f, 1e-3f);
}

struct BadCar {
  const char* name;
  TestCar car;
  const char* file;  // ending of the file the message names
};

TEST_F(RaceCarTest, DamagedFilesMakeACarThatCannotRaceAndSayWhyInOneLine) {
  LoadGround(WriteTrack(dir, "Flat"));
  std::vector<BadCar> cases;
  BadCar b{"nocdf", TestCar(), ".cdf"};
  b.car.cdf = false;
  cases.push_back(b);
  b = BadCar{"shortcdf", TestCar(), ".cdf"};
  b.car.cdfBytes = 100;
  cases.push_back(b);
  b = BadCar{"nobody", TestCar(), ".mo"};
  b.car.body = false;
  cases.push_back(b);
  b = BadCar{"nowheel", TestCar(), ".mo"};
  b.car.wheel = false;
  cases.push_back(b);
  b = BadCar{"notrq", TestCar(), ".trq"};
  b.car.torque = false;
  cases.push_back(b);
  b = BadCar{"notab", TestCar(), ".trq"};
  b.car.torqueText = "1000\t50\n2000 100\n";
  cases.push_back(b);
  b = BadCar{"emptytrq", TestCar(), ".trq"};
  b.car.torqueText = "";
  cases.push_back(b);

  for (const BadCar& bad : cases) {
    SCOPED_TRACE(bad.name);
    const std::string base = WriteTestCar(dir + "/" + bad.name, bad.car);
    testing::internal::CaptureStderr();
    cRaceCar* c = MakeCar(base, StartAt(0, 0, 0));
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_FALSE(c->IsRaceable());
    EXPECT_EQ(c->GetCar(), nullptr);
    EXPECT_EQ(tracktest::CountLines(said), 1) << said;
    EXPECT_NE(said.find(std::string("Test") + bad.file), std::string::npos) << said;
    // Everything stays harmless.
    c->Step(1.0f / 60.0f);
    c->Draw(nullptr, nullptr);
    D3DXVECTOR3 offset(0, 2, -6);
    const D3DXVECTOR3 q = c->ChaseCamera(&offset);
    EXPECT_TRUE(std::isfinite(q.x) && std::isfinite(q.y) && std::isfinite(q.z));
    char block[24];
    c->CopyControlsOut(block);
    c->CopyControlsIn(block);
    c->StopSounds();
    c->StartEngineSound();
    EXPECT_EQ(c->GetGear(), CAR_GEAR_NEUTRAL);
    car.reset();
  }
  // The world is untouched: a good car still drives there.
  cRaceCar* good = MakeCar(WriteTestCar(dir + "/good"), StartAt(0, 0, 0));
  ASSERT_TRUE(good->IsRaceable());
  Steps(60);
  EXPECT_NEAR(good->GetPosition().y, 0.4f, 0.1f);
}

TEST_F(RaceCarTest, ControlBlockCopiesOutAndIn) {
  LoadGround(WriteTrack(dir, "Flat"));
  cRaceCar* c = MakeCar(WriteTestCar(dir), StartAt(0, 0, 0));
  c->controlMode = 3;
  const float in[6] = {0.5f, 0.25f, -0.125f, 0, 0, 0};
  int32_t block[6];
  std::memcpy(block, in, sizeof in);
  block[4] = 1;
  block[5] = 3;
  c->CopyControlsIn(block);
  EXPECT_EQ(c->GetCar()->Throttle, 0.5f);
  EXPECT_EQ(c->GetCar()->Steering, -0.125f);
  EXPECT_EQ(c->GetCar()->SpareControl, 1);
  int32_t out[6];
  c->CopyControlsOut(out);
  EXPECT_EQ(std::memcmp(out, block, sizeof out), 0);
  // In mode 3 the step leaves the block alone.
  Key(RACECAR_KEY_THROTTLE, true);
  Steps(3);
  EXPECT_EQ(c->GetCar()->Throttle, 0.5f);
  EXPECT_EQ(c->GetCar()->Steering, -0.125f);
}

TEST_F(RaceCarTest, KeyboardSteeringRampsOvershootsLittleAndReturnsToExactlyZero) {
  LoadGround(WriteTrack(dir, "Flat"));
  cRaceCar* c = MakeCar(WriteTestCar(dir), StartAt(0, 0, 0));
  cCar* e = c->GetCar();
  Key(RACECAR_KEY_STEER_NEGATIVE, true);
  Steps(1, 0.1f);
  EXPECT_NEAR(e->Steering, -0.07f, 1e-6f);
  Steps(20, 0.1f);
  EXPECT_LE(e->Steering, -0.6f);
  EXPECT_GT(e->Steering, -0.6f - 0.07f);
  // The positive key against a negative angle: twice the rate.
  const float before = e->Steering;
  Key(RACECAR_KEY_STEER_NEGATIVE, false);
  Key(RACECAR_KEY_STEER_POSITIVE, true);
  Steps(1, 0.1f);
  EXPECT_NEAR(e->Steering, before + 0.14f, 1e-5f);
  Steps(30, 0.1f);
  EXPECT_GE(e->Steering, 0.6f);
  // Both keys: no change.
  const float held = e->Steering;
  Key(RACECAR_KEY_STEER_NEGATIVE, true);
  Steps(3, 0.1f);
  EXPECT_NEAR(e->Steering, held, 1e-6f);
  // Released: back to exactly 0, no overshoot.
  ReleaseAll();
  for (int i = 0; i < 20; ++i) {
    Steps(1, 0.1f);
    EXPECT_GE(e->Steering, 0.0f);
  }
  EXPECT_EQ(e->Steering, 0.0f);
  Key(RACECAR_KEY_STEER_NEGATIVE, true);
  Steps(3, 0.1f);
  Key(RACECAR_KEY_STEER_NEGATIVE, false);
  for (int i = 0; i < 10; ++i) {
    Steps(1, 0.1f);
    EXPECT_LE(e->Steering, 0.0f);
  }
  EXPECT_EQ(e->Steering, 0.0f);
}

TEST_F(RaceCarTest, KeyboardThrottleBrakeHandbrakeAndGearPresses) {
  LoadGround(WriteTrack(dir, "Flat"));
  cRaceCar* c = MakeCar(WriteTestCar(dir), StartAt(0, 0, 0), 0);
  cCar* e = c->GetCar();
  Key(RACECAR_KEY_BRAKE, true);
  const float expected[] = {0.3f, 0.6f, 0.9f, 1.2f, 1.0f, 1.0f};
  for (float x : expected) {
    Steps(1, 0.3f);
    EXPECT_NEAR(e->Brake, x, 1e-5f);
  }
  Key(RACECAR_KEY_BRAKE, false);
  Steps(1);
  EXPECT_EQ(e->Brake, 0.0f);

  Key(RACECAR_KEY_THROTTLE, true);
  Steps(1);
  EXPECT_EQ(e->Throttle, 1.0f);
  // The car itself cuts a rear-driven car's throttle under the handbrake.
  Key(RACECAR_KEY_THROTTLE, false);
  Key(RACECAR_KEY_HANDBRAKE, true);
  Steps(1);
  EXPECT_EQ(e->Handbrake, 1);
  ReleaseAll();
  Steps(1);
  EXPECT_EQ(e->Throttle, 0.0f);
  EXPECT_EQ(e->Handbrake, 0);

  // A held gear key changes the gear once.
  const int start = e->Gear;
  Key(RACECAR_KEY_GEAR_UP, true);
  Steps(30);
  EXPECT_EQ(e->Gear, start + 1);
  Key(RACECAR_KEY_GEAR_UP, false);
  Steps(1);
  Key(RACECAR_KEY_GEAR_UP, true);
  Steps(5);
  EXPECT_EQ(e->Gear, start + 2);
  Key(RACECAR_KEY_GEAR_UP, false);
  Key(RACECAR_KEY_GEAR_DOWN, true);
  Steps(30);
  EXPECT_EQ(e->Gear, start + 1);
  EXPECT_EQ(c->GetGear(), start + 1);
}

TEST_F(RaceCarTest, ClampModeOnlyLimitsSteeringAndReadsTheSpareControl) {
  LoadGround(WriteTrack(dir, "Flat"));
  cRaceCar* c = MakeCar(WriteTestCar(dir), StartAt(0, 0, 0));
  c->controlMode = 2;
  cCar* e = c->GetCar();
  e->Steering = 0.9f;
  e->Throttle = 0.7f;
  Key(RACECAR_KEY_THROTTLE, true);
  vrxtesting::SetFakeScancode(SDL_SCANCODE_LCTRL, true);
  Steps(1);
  EXPECT_EQ(e->Steering, 0.5f);
  EXPECT_EQ(e->Throttle, 0.7f);
  EXPECT_EQ(e->SpareControl, 1);
  vrxtesting::SetFakeScancode(SDL_SCANCODE_LCTRL, false);
  e->Steering = -0.8f;
  Steps(1);
  EXPECT_EQ(e->Steering, -0.5f);
  EXPECT_EQ(e->SpareControl, 0);
}

TEST_F(RaceCarTest, EnginePitchFollowsTheEngineAndTheCrashSoundNeedsMoreThanOneMetreASecond) {
  EXPECT_EQ(cRaceCar::EngineSoundFreq(0.0f), 12000u);
  EXPECT_EQ(cRaceCar::EngineSoundFreq(1000.0f / CAR_RADS_TO_RPM + 1e-3f), 20000u);
  EXPECT_GE(cRaceCar::EngineSoundFreq(-1e6f), 1u);

  int32_t& latch = cRaceCarProbe::CrashLatch();
  latch = 0;
  EXPECT_FALSE(cRaceCar::CrashSoundDue(1, D3DXVECTOR3(1.0f, 0, 0)));
  EXPECT_FALSE(cRaceCar::CrashSoundDue(0, D3DXVECTOR3(0, 0, 20.0f)));
  EXPECT_TRUE(cRaceCar::CrashSoundDue(1, D3DXVECTOR3(0, 0, 1.01f)));
  // During a long contact at speed: every second step.
  EXPECT_FALSE(cRaceCar::CrashSoundDue(1, D3DXVECTOR3(0, 0, 5.0f)));
  EXPECT_TRUE(cRaceCar::CrashSoundDue(1, D3DXVECTOR3(0, 0, 5.0f)));
  EXPECT_FALSE(cRaceCar::CrashSoundDue(0, D3DXVECTOR3(0, 0, 5.0f)));
  EXPECT_EQ(latch, 0);
}

}  // namespace
