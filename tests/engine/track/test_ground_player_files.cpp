// An installed game's best times: the track's shipped time is shown until the
// player sets a better one, which goes to the player's data folder; the
// installed track folder is never written.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>

#include "cGround.h"
#include "platform/testing.h"
#include "track_test_util.h"

using tracktest::AddFlatQuad;
using vrxmesh::MoWriter;

namespace {

class InstalledGroundTest : public tracktest::ScreenTest {
 protected:
  void SetUp() override {
    tracktest::ScreenTest::SetUp();
    if (HasFatalFailure()) return;
    // The test folder plays the installed game's folder (and the current one).
    vrxtesting::SetProgramDir(dir.c_str());
    ASSERT_TRUE(vrxtest::WriteTextFile(dir + "/installed", "installed\n"));
    const char* h = std::getenv("XDG_DATA_HOME");
    hadData = h != nullptr;
    if (h) oldData = h;
    setenv("XDG_DATA_HOME", (dir + "/player").c_str(), 1);
    std::filesystem::create_directories(dir + "/DATA/TRACKS/Oval");
    MoWriter w;
    const int t = w.AddTexture("road.tga");
    AddFlatQuad(&w, w.AddObject("g_road"), t, 0, 0, 10, 10, 0);
    tracktest::WriteMesh(w, dir + "/DATA/TRACKS/Oval/Oval.mo");
    tracktest::WriteTga(dir + "/DATA/TRACKS/Oval/road.tga", 2, 2, 0xFF808080);
  }
  void TearDown() override {
    vrxtesting::SetProgramDir(nullptr);
    if (hadData)
      setenv("XDG_DATA_HOME", oldData.c_str(), 1);
    else
      unsetenv("XDG_DATA_HOME");
    tracktest::ScreenTest::TearDown();
  }
  std::unique_ptr<cGround> Load() { return std::make_unique<cGround>("DATA\\TRACKS\\Oval\\Oval", screen, nullptr); }
  static std::string Bytes(uint32_t v) { return std::string(reinterpret_cast<const char*>(&v), 4); }

  bool hadData = false;
  std::string oldData;
};

TEST_F(InstalledGroundTest, ShippedTimeUntilThePlayerSetsABetterOne) {
  const std::string shipped = dir + "/DATA/TRACKS/Oval/BestTime.dat";
  const std::string own = dir + "/player/vrx/DATA/TRACKS/Oval/BestTime.dat";
  ASSERT_TRUE(vrxtest::WriteFile(shipped, Bytes(65000).data(), 4));
  {
    auto g = Load();
    EXPECT_EQ(g->GetBestTime(), 65000u);
    g->SetBestTime(70000);  // slower: no record
  }
  // Nothing to keep: the shipped time stays the one shown.
  EXPECT_FALSE(std::filesystem::exists(own));
  {
    auto g = Load();
    EXPECT_EQ(g->GetBestTime(), 65000u);
    g->SetBestTime(60000);
  }
  EXPECT_EQ(vrxtest::ReadFile(own), Bytes(60000));
  EXPECT_EQ(vrxtest::ReadFile(shipped), Bytes(65000));
  {
    auto g = Load();
    EXPECT_EQ(g->GetBestTime(), 60000u);
    g->SetBestTime(59000);
  }
  EXPECT_EQ(vrxtest::ReadFile(own), Bytes(59000));
  EXPECT_EQ(vrxtest::ReadFile(shipped), Bytes(65000));
}

TEST_F(InstalledGroundTest, TrackWithoutAShippedTimeGetsThePlayersFirst) {
  {
    auto g = Load();
    EXPECT_EQ(g->GetBestTime(), 0xFFFFFFFFu);
  }
  EXPECT_FALSE(std::filesystem::exists(dir + "/player"));
  EXPECT_FALSE(std::filesystem::exists(dir + "/DATA/TRACKS/Oval/BestTime.dat"));
  {
    auto g = Load();
    g->SetBestTime(123456);
  }
  EXPECT_EQ(vrxtest::ReadFile(dir + "/player/vrx/DATA/TRACKS/Oval/BestTime.dat"), Bytes(123456));
  EXPECT_FALSE(std::filesystem::exists(dir + "/DATA/TRACKS/Oval/BestTime.dat"));
}

}  // namespace
