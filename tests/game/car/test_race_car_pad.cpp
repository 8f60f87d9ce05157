// The race car driven with a game controller (an SDL virtual pad read
// through the real input device): triggers, stick and buttons reach the
// car's controls, an untouched or unplugged pad drives nothing, and crashes
// rumble it.
#include "race_car_fixture.h"
#include "virtual_pad.h"

namespace {

using cartest::CarWorld;
using cartest::StartAt;
using cartest::WriteTestCar;
using cartest::WriteTrack;

struct Pad : vrxtest::VirtualPad {
  Pad() : vrxtest::VirtualPad("Race Pad") {}
};
constexpr int kLeftX = Pad::kLeftX, kLeftTrigger = Pad::kLeftTrigger, kRightTrigger = Pad::kRightTrigger;
constexpr int kSouth = Pad::kSouth, kEast = Pad::kEast;

class RaceCarPad : public CarWorld {
 protected:
  void SetUp() override {
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER), 0) << SDL_GetError();
    if (SDL_NumJoysticks() > 0) GTEST_SKIP() << "a real game controller is attached";
    CarWorld::SetUp();
    pad.reset(new Pad);
    ASSERT_NE(pad->handle, nullptr) << SDL_GetError();
    ASSERT_EQ(input.CreateJoy(fixture.Window()), 1);
  }
  void TearDown() override {
    CarWorld::TearDown();
    pad.reset();
    SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
  }

  cRaceCar* PadCar(const std::string& track, float z = 0.0f) {
    LoadGround(track);
    cRaceCar* c = MakeCar(WriteTestCar(dir), StartAt(0, 0, z), 0);
    EXPECT_TRUE(c->IsRaceable());
    c->controlMode = 1;
    return c;
  }

  void ExpectAtRest(const char* when) {
    const cCar* c = car->GetCar();
    EXPECT_EQ(c->Throttle, 0.0f) << when;
    EXPECT_EQ(c->Brake, 0.0f) << when;
    EXPECT_EQ(c->Steering, 0.0f) << when;
  }

  // Presses and releases a button over a few frames each.
  void Tap(int button) {
    pad->Button(button, true);
    Steps(3);
    pad->Button(button, false);
    Steps(3);
  }

  std::unique_ptr<Pad> pad;
};

TEST_F(RaceCarPad, TriggersAndTheStickDriveAndAnUntouchedPadDrivesNothing) {
  cRaceCar* c = PadCar(WriteTrack(dir, "Flat"));
  const cCar* controls = c->GetCar();
  Steps(30);
  ExpectAtRest("untouched");

  pad->Trigger(kRightTrigger, 1.0f);
  Steps(1);
  EXPECT_FLOAT_EQ(controls->Throttle, 1.0f);
  EXPECT_EQ(controls->Brake, 0.0f);
  pad->Trigger(kRightTrigger, 0.5f);
  Steps(1);
  EXPECT_NEAR(controls->Throttle, 0.5f, 0.01f);
  pad->Trigger(kRightTrigger, 0.0f);

  pad->Trigger(kLeftTrigger, 1.0f);
  Steps(1);
  EXPECT_FLOAT_EQ(controls->Brake, 1.0f);
  EXPECT_EQ(controls->Throttle, 0.0f);
  pad->Trigger(kLeftTrigger, 0.02f);  // a finger resting on it
  Steps(1);
  EXPECT_EQ(controls->Brake, 0.0f);
  pad->Trigger(kLeftTrigger, 0.0f);

  // Left is the positive angle, as for the keyboard.
  pad->Axis(kLeftX, -32768);
  Steps(1);
  EXPECT_FLOAT_EQ(controls->Steering, 0.6f);
  pad->Axis(kLeftX, 32767);
  Steps(1);
  EXPECT_NEAR(controls->Steering, -0.6f, 1e-3f);
  pad->Axis(kLeftX, -16384);
  Steps(1);
  EXPECT_GT(controls->Steering, 0.2f);
  EXPECT_LT(controls->Steering, 0.3f);
  pad->Axis(kLeftX, 1200);  // a stick that does not quite centre
  Steps(1);
  EXPECT_EQ(controls->Steering, 0.0f);
  pad->Axis(kLeftX, 0);
  Steps(1);
  ExpectAtRest("released");

  // And the car goes: first gear with the south button, then throttle.
  Tap(kSouth);
  EXPECT_EQ(c->GetGear(), 2);
  pad->Trigger(kRightTrigger, 1.0f);
  Steps(120);
  EXPECT_GT(Speed(), 5.0f);
}

TEST_F(RaceCarPad, GearButtonsShiftOncePerPress) {
  cRaceCar* c = PadCar(WriteTrack(dir, "Flat"));
  Steps(5);
  const int32_t start = c->GetGear();
  pad->Button(kSouth, true);
  Steps(60);  // held a whole second
  EXPECT_EQ(c->GetGear(), start + 1);
  pad->Button(kSouth, false);
  Steps(5);
  EXPECT_EQ(c->GetGear(), start + 1);
  Tap(kSouth);
  EXPECT_EQ(c->GetGear(), start + 2);
  pad->Button(kEast, true);
  Steps(60);
  EXPECT_EQ(c->GetGear(), start + 1);
  pad->Button(kEast, false);
  Steps(3);
  Tap(kEast);
  EXPECT_EQ(c->GetGear(), start);
}

TEST_F(RaceCarPad, UnpluggingMidRaceLeavesTheControlsAtRestAndPluggingBackResumes) {
  cRaceCar* c = PadCar(WriteTrack(dir, "Flat"));
  Tap(kSouth);
  pad->Trigger(kRightTrigger, 1.0f);
  pad->Axis(kLeftX, -20000);
  Steps(90);
  ASSERT_GT(Speed(), 3.0f);
  EXPECT_GT(c->GetCar()->Steering, 0.0f);

  testing::internal::CaptureStderr();
  pad->Unplug();
  Steps(1);
  ExpectAtRest("just unplugged");
  const float rolling = Speed();
  Steps(120);
  ExpectAtRest("two seconds later");
  EXPECT_LT(Speed(), rolling);  // nothing holds the throttle down
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("was disconnected"), std::string::npos) << err;

  testing::internal::CaptureStderr();
  pad->Plug();
  pad->Trigger(kRightTrigger, 1.0f);
  Steps(2);
  EXPECT_FLOAT_EQ(c->GetCar()->Throttle, 1.0f);
  EXPECT_EQ(c->GetCar()->Steering, 0.0f);
  testing::internal::GetCapturedStderr();
}

TEST_F(RaceCarPad, CrashesRumbleThePadWithTheImpactSpeed) {
  EXPECT_EQ(cRaceCar::CrashRumble(1.0f), 0.0f);  // no crash sound, no rumble
  EXPECT_GT(cRaceCar::CrashRumble(1.5f), 0.0f);
  EXPECT_LT(cRaceCar::CrashRumble(5.0f), cRaceCar::CrashRumble(10.0f));
  EXPECT_EQ(cRaceCar::CrashRumble(20.0f), 1.0f);
  EXPECT_EQ(cRaceCar::CrashRumble(80.0f), 1.0f);

  cRaceCar* c = PadCar(WriteTrack(dir, "Wall", 0.0f, true, 30.0f), -15.0f);
  Tap(kSouth);
  pad->Trigger(kRightTrigger, 1.0f);
  int checked = 0;
  for (int i = 0; i < 60 * 12; ++i) {
    const int before = pad->felt;
    c->Step(1.0f / 60.0f);
    if (pad->felt == before) continue;
    // The step rumbled: as hard as the body's speed in the crash says.
    const D3DXVECTOR3 v = c->GetCar()->GetBodyVel();
    EXPECT_NEAR(pad->feltLow, cRaceCar::CrashRumble(D3DXVec3Length(&v)) * 65535.0f, 2.0f) << i;
    ++checked;
  }
  EXPECT_GT(c->GetPosition().z, 20.0f) << "the car should reach the wall";
  EXPECT_GT(checked, 0) << "the crash never rumbled";
}

TEST_F(RaceCarPad, AKeyboardRaceLeavesThePadAloneAndStillCrashes) {
  cRaceCar* c = PadCar(WriteTrack(dir, "Wall", 0.0f, true, 30.0f), -15.0f);
  c->controlMode = 0;
  pad->Trigger(kRightTrigger, 1.0f);  // ignored: the keyboard drives
  IntoFirst();
  Key(RACECAR_KEY_THROTTLE, true);
  bool crashed = false;
  for (int i = 0; i < 60 * 12; ++i) {
    c->Step(1.0f / 60.0f);
    crashed = crashed || cRaceCarProbe::CrashLatch();
  }
  ReleaseAll();
  EXPECT_TRUE(crashed);
  EXPECT_EQ(pad->felt, 0);
}

}  // namespace
