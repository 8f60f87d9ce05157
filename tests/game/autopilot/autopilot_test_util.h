// Shared by the autopilot tests: the built cars and tracks of build/bin/DATA
// loaded as the race loads them, and a lap driven at 60 frames a second
// without drawing, booked at the gates the way the race loop books it.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "autopilot/cAutopilot.h"
#include "cCar.h"
#include "car/cRaceCar.h"
#include "cGround.h"
#include "cMoObject.h"
#include "mathkit/mathkit.h"
#include "screen_fixture.h"
#include "sound/cListener.h"

namespace aptest {

inline std::string BinDir() { return VRX_BIN_DIR; }

// "DATA\CARS\Hatch\Hatch" -> "Hatch".
inline std::string Leaf(const std::string& entry) { return entry.substr(entry.rfind('\\') + 1); }

inline std::string Slashed(std::string s) {
  for (char& c : s)
    if (c == '\\') c = '/';
  return s;
}

// The entries of DATA/Cars.txt or DATA/Tracks.txt.
inline std::vector<std::string> ListEntries(const char* list) {
  std::vector<std::string> out;
  std::ifstream in(BinDir() + "/DATA/" + list);
  std::string line;
  while (std::getline(in, line)) {
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
    if (!line.empty()) out.push_back(line);
  }
  return out;
}

inline bool Finite(const D3DXVECTOR3& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

// What a run of frames did.
struct Run {
  int frames = 0;
  int onRoad = 0;          // frames with road (or verge) under the car's centre
  int wallContacts = 0;    // separate touches of the walls
  int laps = 0;            // laps booked after the first pass of the start gate
  float lapTime = 0.0f;    // seconds of the first booked lap
  bool finite = true;
  bool halfGate = false;   // the half gate was passed after the first start gate
  int topGear = 0;
};

// Drives frames of 1/60 s until `laps` laps are booked or `seconds` of
// simulated time have passed. Laps are booked as the race loop books them:
// at a touch of the start gate with the half-lap flag set; the clock
// restarts at every frame in the gate, so a lap is timed from leaving it.
inline Run DriveLaps(cAutopilot* pilot, cRaceCar* race, cGround* ground, int laps, float seconds) {
  const float dt = 1.0f / 60.0f;
  cCar* car = race->GetCar();
  Run r;
  bool started = false, touching = false;
  float t = 0.0f, lapStart = 0.0f, lastContact = -10.0f;
  while (t < seconds && r.laps < laps) {
    pilot->Drive(car, dt);
    race->Step(dt);
    t += dt;
    ++r.frames;
    r.topGear = std::max(r.topGear, static_cast<int>(car->Gear));
    const D3DXVECTOR3 p = car->GetLinPos();
    if (!Finite(p) || !Finite(car->GetLinVel()) || !std::isfinite(car->Steering) || !std::isfinite(car->Throttle)) {
      r.finite = false;
      break;
    }
    if (ground->GetH(p.x, p.z) != -1000.0f) ++r.onRoad;
    // APTEST_TRACE=N prints the driver's state every N frames and at every wall contact (for tuning).
    static const int trace = std::getenv("APTEST_TRACE") ? std::atoi(std::getenv("APTEST_TRACE")) : 0;
    if (trace > 0 && (car->IsCollision() || r.frames % trace == 0)) {
      const int i = pilot->GetCurrentPoint();
      const D3DXVECTOR3 q = pilot->GetPoint(i), m = pilot->GetMiddle(i), m2 = pilot->GetMiddle(i + 1);
      float nx = m2.z - m.z, nz = -(m2.x - m.x);
      const float nl = std::sqrt(nx * nx + nz * nz);
      const float carOff = ((p.x - m.x) * nx + (p.z - m.z) * nz) / nl;
      std::printf("t %6.2f pt %4d col %d off %+5.1f lineoff %+5.1f pos %7.1f %6.1f %7.1f line %7.1f %7.1f half %4.1f v %5.1f aim %5.1f thr %.2f brk %.2f st %+.2f gear %d rev %d slip %+5.1f\n",
                  t, i, car->IsCollision(), carOff, pilot->GetOffset(i), p.x, p.y, p.z, q.x, q.z, pilot->GetHalfWidth(i), car->GetBodyVel().z,
                  pilot->GetTargetSpeed(i), car->Throttle, car->Brake, car->Steering, car->Gear, pilot->IsRecovering(), car->GetBodyVel().x);
    }
    if (car->IsCollision()) {
      if (!touching && t - lastContact > 1.0f) ++r.wallContacts;
      touching = true;
      lastContact = t;
    } else {
      touching = false;
    }
    if (started && car->HalfLap) r.halfGate = true;
    if (car->IsTimerCollision()) {
      if (trace > 0) std::printf("gate at %.2f half %d pos %.1f %.1f\n", t, car->HalfLap, p.x, p.z);
      if (car->HalfLap) {
        car->HalfLap = 0;
        if (started) {
          if (r.laps == 0) r.lapTime = t - lapStart;
          ++r.laps;
        }
      }
      started = true;
      lapStart = t;
    }
  }
  return r;
}

// One screen and sound listener for the test program (the ground keeps its
// mesh in the screen) and the build's bin folder as the working directory,
// where the game runs. Cars are the game's own race cars, driven from outside
// as in a replay.
class DataTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    screen = new vrxtest::ScreenFixture();
    open = screen->Open(320, 240);
    if (open) listener = new cListener(screen->Window());
  }
  static void TearDownTestSuite() {
    delete listener;
    listener = nullptr;
    delete screen;
    screen = nullptr;
  }
  void SetUp() override {
    ASSERT_TRUE(open) << "no screen";
    ASSERT_TRUE(std::filesystem::exists(BinDir() + "/DATA/Tracks.txt")) << "no built DATA in " << BinDir();
    previous = std::filesystem::current_path();
    std::filesystem::current_path(BinDir());
  }
  void TearDown() override {
    car.reset();
    ground.reset();
    if (!previous.empty()) std::filesystem::current_path(previous);
  }
  void LoadTrack(const std::string& entry) {
    car.reset();
    ground.reset(new cGround(entry.c_str(), &screen->Screen(), nullptr));
  }

  // The race car at (x, z), its nose turned by `heading` as the race turns it.
  cRaceCar* MakeCar(const std::string& base, float x, float z, float heading, int automatic = 1) {
    car.reset();
    _CARSTATE s;
    std::memset(&s, 0, sizeof s);
    s.LinPos = D3DXVECTOR3(x, 0.0f, z);
    RotationY(&s.RotPos, heading);
    car.reset(new cRaceCar(base.c_str(), s, &screen->Screen(), ground.get(), nullptr, listener, nullptr, automatic, 0));
    EXPECT_TRUE(car->IsRaceable()) << base;
    car->controlMode = 3;
    return car.get();
  }
  cRaceCar* MakeCarAtStart(const std::string& base, int automatic = 1) {
    return MakeCar(base, ground->GetStartX(), ground->GetStartZ(), ground->GetStartRadY(), automatic);
  }

  static inline vrxtest::ScreenFixture* screen = nullptr;
  static inline bool open = false;
  static inline cListener* listener = nullptr;
  std::filesystem::path previous;
  std::unique_ptr<cGround> ground;
  std::unique_ptr<cRaceCar> car;
};

}  // namespace aptest
