// Every built car laps every built track with the autopilot at the wheel, on
// the real physics world, 60 frames a simulated second without drawing.
#include "autopilot_test_util.h"

namespace {

struct Case {
  std::string track, car;
};

std::vector<Case> Cases() {
  std::vector<Case> out;
  for (const std::string& t : aptest::ListEntries("Tracks.txt"))
    for (const std::string& c : aptest::ListEntries("Cars.txt")) out.push_back({t, c});
  return out;
}

void PrintTo(const Case& c, std::ostream* os) { *os << aptest::Leaf(c.track) << "/" << aptest::Leaf(c.car); }

class LapTest : public aptest::DataTest, public ::testing::WithParamInterface<Case> {};

TEST_P(LapTest, BooksAWholeLapOnTheRoad) {
  const Case& c = GetParam();
  LoadTrack(c.track);
  cAutopilot pilot(ground.get());
  ASSERT_TRUE(pilot.IsReady());
  MakeCarAtStart(c.car);
  ASSERT_TRUE(car->IsRaceable());
  // Generous: an average of 10 m/s, where the cars manage 25 and more.
  const float limit = 60.0f + pilot.GetLapLength() / 10.0f;
  const aptest::Run r = aptest::DriveLaps(&pilot, car.get(), ground.get(), 1, limit);
  EXPECT_TRUE(r.finite);
  EXPECT_TRUE(r.halfGate);
  ASSERT_EQ(r.laps, 1) << "no lap in " << limit << " s; stopped near line point " << pilot.GetCurrentPoint() << " of "
                       << pilot.GetPointCount();
  EXPECT_GE(r.onRoad, r.frames * 98 / 100);
  EXPECT_LE(r.wallContacts, 1);
  std::printf("LAP %-10s %-10s %7.2f s  %6.0f m  %5.1f m/s  road %.1f %%  walls %d\n", aptest::Leaf(c.track).c_str(),
              aptest::Leaf(c.car).c_str(), r.lapTime, pilot.GetLapLength(), pilot.GetLapLength() / r.lapTime,
              100.0 * r.onRoad / r.frames, r.wallContacts);
}

INSTANTIATE_TEST_SUITE_P(Built, LapTest, ::testing::ValuesIn(Cases()), [](const auto& info) {
  return aptest::Leaf(info.param.track) + "_" + aptest::Leaf(info.param.car);
});

}  // namespace
