// How the autopilot learns a lap: tracks it has never seen (built here from a
// description by the content tool, with hills and banked bends), tracks where
// no lap can be found, and a drive that allocates nothing per frame.
#include <cstdlib>
#include <new>

#include "autopilot_test_util.h"
#include "reference_car.h"
#include "test_support.h"
#include "tracks.h"

#include "count_allocations.h"

namespace {

class LearnTest : public aptest::DataTest {
 protected:
  // A fresh folder laid out as the game's (the built cars and menu art, the
  // tracks' shared sun beside the new track) that becomes the working directory.
  std::string NewDataDir() {
    const std::string dir =
        vrxtest::MakeTempDir(std::string("autopilot_") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    const std::string data = aptest::BinDir() + "/DATA";
    std::filesystem::create_directories(dir + "/DATA/TRACKS/COMMON");
    std::filesystem::copy_file(data + "/TRACKS/COMMON/sun.tga", dir + "/DATA/TRACKS/COMMON/sun.tga");
    std::filesystem::create_directory_symlink(data + "/CARS", dir + "/DATA/CARS");
    std::filesystem::create_directory_symlink(data + "/MENU", dir + "/DATA/MENU");
    std::filesystem::current_path(dir);
    return dir;
  }

  // Builds the described track with the content tool; the track path to load.
  std::string BuildTrack(const std::string& dir, const std::string& name, const std::string& text) {
    const std::string desc = dir + "/" + name + ".track";
    EXPECT_TRUE(vrxtest::WriteTextFile(desc, text));
    EXPECT_TRUE(vrxdata::BuildTrack(desc, dir + "/DATA/TRACKS"));
    return dir + "/DATA/TRACKS/" + name + "/" + name;
  }
};

// Lean scenery: the driver needs only the road.
const char* const kPlain =
    "seed 5\ntrees 0\ngrandstands 0\nbuildings 0\nshadow_size 256\nterrain_margin 40\nterrain_relief 2\n";

TEST_F(LearnTest, LapsAnOvalOverAHillWithBankedEndsAndAManualGearbox) {
  const std::string dir = NewDataDir();
  std::string text = std::string("name Oval\n") + kPlain + "road_width 9\nkerb_width 0.6\nverge_width 2\n";
  // An ellipse 320 x 150 m: the far side climbs 12 m, the ends are banked.
  for (int i = 0; i < 16; ++i) {
    const float a = i * 2.0f * 3.14159265f / 16.0f;
    const float bank = std::fabs(std::cos(a)) > 0.7f ? 6.0f : 0.0f;
    char line[96];
    std::snprintf(line, sizeof line, "point %.1f %.1f %.1f %.1f\n", 160.0f * std::cos(a), 75.0f * std::sin(a),
                  6.0f + 6.0f * std::sin(a), bank);
    text += line;
  }
  const std::string track = BuildTrack(dir, "Oval", text);
  ASSERT_FALSE(HasFailure());
  ground.reset(new cGround(track.c_str(), &screen->Screen(), nullptr));
  cAutopilot pilot(ground.get());
  ASSERT_TRUE(pilot.IsReady());
  EXPECT_NEAR(pilot.GetLapLength(), 780.0f, 80.0f);  // the ellipse's perimeter is about 770 m
  // The line climbs with the road.
  float low = 1e9f, high = -1e9f;
  for (int i = 0; i < pilot.GetPointCount(); ++i) {
    low = std::min(low, pilot.GetPoint(i).y);
    high = std::max(high, pilot.GetPoint(i).y);
  }
  EXPECT_NEAR(high - low, 12.0f, 2.0f);

  MakeCarAtStart("DATA\\CARS\\HatchGT\\HatchGT", 0);
  const aptest::Run r = aptest::DriveLaps(&pilot, car.get(), ground.get(), 1, 120.0f);
  EXPECT_TRUE(r.finite);
  EXPECT_EQ(r.laps, 1);
  std::printf("LAP Oval (manual) HatchGT %.2f s\n", r.lapTime);
  EXPECT_GE(r.onRoad, r.frames * 98 / 100);
  EXPECT_LE(r.wallContacts, 1);
  EXPECT_GE(r.topGear, 4);  // it shifted up on its own
}

TEST_F(LearnTest, LapsANarrowTwistyTrackWithoutVerges) {
  // 8 m between the walls, hairpins and a chicane.
  const std::string dir = NewDataDir();
  std::string text = std::string("name Twisty\n") + kPlain + "road_width 7\nkerb_width 0.5\nverge_width 0\n";
  const int points[][2] = {{0, 0},     {120, 0},   {150, 15},  {150, 45}, {120, 60},  {60, 60},  {40, 80},  {60, 100},
                           {140, 100}, {170, 130}, {140, 160}, {-40, 160}, {-70, 130}, {-70, 30}, {-40, 0}};
  for (const auto& p : points) text += "point " + std::to_string(p[0]) + " " + std::to_string(p[1]) + "\n";
  const std::string track = BuildTrack(dir, "Twisty", text);
  ASSERT_FALSE(HasFailure());
  ground.reset(new cGround(track.c_str(), &screen->Screen(), nullptr));
  cAutopilot pilot(ground.get());
  ASSERT_TRUE(pilot.IsReady());
  for (int i = 0; i < pilot.GetPointCount(); ++i) EXPECT_NEAR(pilot.GetHalfWidth(i), 4.0f, 0.3f) << i;
  MakeCarAtStart("DATA\\CARS\\HatchGT\\HatchGT");
  const aptest::Run r = aptest::DriveLaps(&pilot, car.get(), ground.get(), 1, 120.0f);
  EXPECT_TRUE(r.finite);
  EXPECT_EQ(r.laps, 1);
  EXPECT_GE(r.onRoad, r.frames * 98 / 100);
  EXPECT_LE(r.wallContacts, 1);
  std::printf("LAP Twisty HatchGT %.2f s, %.0f m\n", r.lapTime, pilot.GetLapLength());
}

TEST_F(LearnTest, RoadThatDoesNotComeBackIsNoLap) {
  // A flat square of road: the walk from the start runs off its far edge.
  const std::string dir = NewDataDir();
  std::string error;
  ASSERT_TRUE(vrxtest::WriteFlatTrack(dir + "/flat/flat", vrxtest::FlatTrackLayout(), &error)) << error;
  ground.reset(new cGround((dir + "/flat/flat").c_str(), &screen->Screen(), nullptr));
  testing::internal::CaptureStderr();
  cAutopilot pilot(ground.get());
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_FALSE(pilot.IsReady());
  EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
  EXPECT_NE(said.find("does not lead back"), std::string::npos) << said;
  // Driving with it does nothing.
  cCar* c = MakeCar("DATA\\CARS\\Hatch\\Hatch", 0, 0, 0)->GetCar();
  c->Throttle = 0.25f;
  pilot.Drive(c, 1.0f / 60.0f);
  EXPECT_EQ(c->Throttle, 0.25f);
  EXPECT_EQ(pilot.GetPointCount(), 0);
}

TEST_F(LearnTest, TrackWithoutRoadIsNoLap) {
  const std::string dir = NewDataDir();
  ground.reset(new cGround((dir + "/missing/missing").c_str(), &screen->Screen(), nullptr));
  testing::internal::CaptureStderr();
  cAutopilot pilot(ground.get());
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_FALSE(pilot.IsReady());
  EXPECT_NE(said.find("vrx: autopilot: the track has no road surface\n"), std::string::npos) << said;
  cAutopilot none(nullptr);
  EXPECT_FALSE(none.IsReady());
}

TEST_F(LearnTest, DrivingAllocatesNothing) {
  if (!kAllocationsCounted) GTEST_SKIP() << "allocations are counted in the plain build";
  LoadTrack("DATA\\TRACKS\\Hillcrest\\Hillcrest");
  cAutopilot pilot(ground.get());
  ASSERT_TRUE(pilot.IsReady());
  cCar* c = MakeCarAtStart("DATA\\CARS\\HatchRally\\HatchRally", 0)->GetCar();
  int allocations = 0;
  for (int i = 0; i < 1200; ++i) {
    g_allocations = 0;
    g_countAllocations = true;
    pilot.Drive(c, 1.0f / 60.0f);
    g_countAllocations = false;
    allocations += g_allocations;
    car->Step(1.0f / 60.0f);
  }
  EXPECT_EQ(allocations, 0);
  EXPECT_GT(c->GetBodyVel().z, 10.0f);
}

}  // namespace
