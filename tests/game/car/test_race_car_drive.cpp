// Every shipped car on every shipped track, driven with keys read through
// the game's keyboard: off the start, faster, up the gears (automatic, and
// manual with the mapped gear keys), braking, steering both ways.
#include "race_car_fixture.h"

namespace {

using cartest::CarWorld;

const char* const kCars[] = {"Hatch", "HatchGT", "HatchRally"};
const char* const kTracks[] = {"Riverside", "Hillcrest", "Docklands"};

class ShippedCars : public CarWorld {
 protected:
  _CARSTATE TrackStart() {
    _CARSTATE s = vrxtest::RestState(ground->GetStartX(), ground->GetStartY() + 1.0f, ground->GetStartZ());
    RotationY(&s.RotPos, ground->GetStartRadY());
    return s;
  }
};

TEST_F(ShippedCars, EachCarDrivesShiftsBrakesAndSteersOnEachTrack) {
  if (!HaveShippedData()) GTEST_SKIP() << "no DATA beside the programs (build the game-data target)";
  for (const char* track : kTracks) {
    const std::string trackPath = std::string("DATA\\TRACKS\\") + track + "\\" + track;
    LoadGround(trackPath);
    for (const char* name : kCars) {
      for (int automatic : {1, 0}) {
        SCOPED_TRACE(std::string(name) + " on " + track + (automatic ? ", automatic" : ", manual"));
        cRaceCarProbe::ResetShared();
        ReleaseAll();
        const std::string base = std::string("DATA\\CARS\\") + name + "\\" + name;
        cRaceCar* c = MakeCar(base, TrackStart(), automatic);
        ASSERT_TRUE(c->IsRaceable());
        cCar* e = c->GetCar();
        Steps(60);  // settle
        const D3DXVECTOR3 start = c->GetPosition();
        // Into first with the mapped gear key, for either gearbox.
        IntoFirst();
        Key(RACECAR_KEY_THROTTLE, true);
        int highest = c->GetGear();
        auto drive = [&](int steps) {
          for (int i = 0; i < steps; ++i) {
            if (!automatic && e->GetEngineRot() * CAR_RADS_TO_RPM > 5500.0f && c->GetGear() < 3) {
              Key(RACECAR_KEY_GEAR_UP, true);
              Steps(1);
              Key(RACECAR_KEY_GEAR_UP, false);
            }
            Steps(1);
            highest = std::max(highest, c->GetGear());
          }
        };
        drive(60);

        // Steering while still slow near the start: the positive key yaws the
        // car one way, the negative the other (changes of the yaw rate: the
        // road itself may bend).
        float yaw = e->GetRotVel().y;
        Key(RACECAR_KEY_STEER_POSITIVE, true);
        drive(15);
        const float left = e->GetRotVel().y - yaw;
        Key(RACECAR_KEY_STEER_POSITIVE, false);
        drive(30);
        yaw = e->GetRotVel().y;
        Key(RACECAR_KEY_STEER_NEGATIVE, true);
        drive(15);
        const float right = e->GetRotVel().y - yaw;
        Key(RACECAR_KEY_STEER_NEGATIVE, false);
        EXPECT_GT(std::fabs(left), 0.04f);
        EXPECT_GT(std::fabs(right), 0.04f);
        EXPECT_LT(left * right, 0.0f) << left << " " << right;

        drive(60 * 3);
        const D3DXVECTOR3 moved = c->GetPosition() - start;
        EXPECT_GT(D3DXVec3Length(&moved), 15.0f);
        EXPECT_GT(Speed(), 8.0f);
        EXPECT_GE(highest, 3) << "no shift up";
        Key(RACECAR_KEY_THROTTLE, false);

        // Brakes.
        const float before = Speed();
        Key(RACECAR_KEY_BRAKE, true);
        Steps(60);
        Key(RACECAR_KEY_BRAKE, false);
        EXPECT_LT(Speed(), before - 3.0f);
        car.reset();
      }
    }
    ground.reset();
  }
}

}  // namespace
