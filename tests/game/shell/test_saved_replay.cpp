// Saved replays: F5's file in the player's data folder (beside the game or
// in the XDG data folder of an installed one), read back for `vrx --replay`
// and played exactly as the recording it was made from; damaged files are
// refused with one line.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <regex>

#include "../car/race_car_fixture.h"
#include "shell/cReplay.h"
#include "shell/program.h"
#include "shell/saved_replay.h"

namespace {

namespace fs = std::filesystem;

DWORD clockNow = 0;
DWORD Clock() { return clockNow; }

class SavedReplay : public cartest::CarWorld {
 protected:
  void SetUp() override {
    CarWorld::SetUp();
    vrxtesting::SetTickSource(Clock);
    clockNow = 3000000;
    LoadGround(cartest::WriteTrack(dir, "Flat"));
    const std::string base = cartest::WriteTestCar(dir);
    MakeCar(base, cartest::StartAt(0, 0, -40));
    ASSERT_TRUE(car->IsRaceable());
    car->controlMode = 3;
    // The game's folder is the test's own: the player's files go beside it.
    game = dir + "/game";
    fs::create_directories(game);
    vrxtesting::SetProgramDir(game.c_str());
    fs::current_path(game);
    snprintf(gCarList[0], kListEntry, "DATA\\CARS\\Test\\Test");
    snprintf(gTrackList[0], kListEntry, "DATA\\TRACKS\\Flat\\Flat");
    gCarCount = gTrackCount = 1;
    recorder.reset(new cReplay());
    gReplay = recorder.get();
    RecordingReplaced();
  }
  void TearDown() override {
    gReplay = nullptr;
    gCarCount = gTrackCount = 0;
    vrxtesting::SetProgramDir(nullptr);
    vrxtesting::SetTickSource(nullptr);
    unsetenv("XDG_DATA_HOME");
    CarWorld::TearDown();
  }
  // A race of `ms` as the race loop records it.
  void Race(DWORD ms) {
    recorder->AttachCar(car.get());
    recorder->ResetForRecording();
    RecordingReplaced();
    recorder->carIndex = recorder->trackIndex = 0;
    recorder->damage = 1;
    recorder->automatic = 0;
    ReplaySnapshot c = {0.7f, 0, 0.1f, 0, 0, 2};
    car->CopyControlsIn(&c);
    for (DWORD t = 0; t < ms; t += 16) {
      recorder->Record();
      car->Step(0.016f);
      clockNow += 16;
    }
  }
  std::vector<std::string> Files(const std::string& folder) {
    std::vector<std::string> out;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(folder, ec)) out.push_back(e.path().string());
    return out;
  }

  std::string game;
  std::unique_ptr<cReplay> recorder;
};

TEST_F(SavedReplay, NamesCarryTheTrackAndTheMoment) {
  setenv("TZ", "UTC", 1);
  tzset();
  EXPECT_EQ(SavedReplayName("DATA\\TRACKS\\Hillcrest\\Hillcrest", 1796739302),
            "replays\\Hillcrest-20261208-141502.vrxreplay");
  EXPECT_EQ(SavedReplayName("DATA/TRACKS/Two Bends/Two Bends", 0), "replays\\Two_Bends-19700101-000000.vrxreplay");
}

TEST_F(SavedReplay, F5WritesTheRunOnceIntoTheReplaysFolderAndSaysWhere) {
  testing::internal::CaptureStderr();
  EXPECT_FALSE(SaveLastReplay());  // nothing recorded yet
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "vrx: no race recorded yet: nothing to save\n");
  EXPECT_TRUE(Files(game + "/replays").empty());

  Race(3000);
  testing::internal::CaptureStdout();
  ASSERT_TRUE(SaveLastReplay());
  const std::string said = testing::internal::GetCapturedStdout();
  const std::vector<std::string> files = Files(game + "/replays");
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(said, "replay saved: " + files[0] + "\n");
  EXPECT_TRUE(std::regex_match(fs::path(files[0]).filename().string(),
                               std::regex("Flat-[0-9]{8}-[0-9]{6}\\.vrxreplay")))
      << files[0];

  vrx::Recording r;
  ASSERT_TRUE(ReadSavedReplay(files[0].c_str(), &r));
  EXPECT_EQ(r.kind, vrx::RecordKind::kReplay);
  EXPECT_STREQ(r.car, gCarList[0]);
  EXPECT_STREQ(r.track, gTrackList[0]);
  EXPECT_EQ(r.damage, 1);
  EXPECT_EQ(r.automatic, 0);
  EXPECT_GE(r.states.size(), 28u);
  EXPECT_EQ(r.time, recorder->GetLength());

  // The same run again: named, not written twice.
  testing::internal::CaptureStdout();
  EXPECT_TRUE(SaveLastReplay());
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "replay already saved: " + files[0] + "\n");
  EXPECT_EQ(Files(game + "/replays").size(), 1u);
}

TEST_F(SavedReplay, AnInstalledGameKeepsThemInThePlayersDataFolder) {
  vrxtest::WriteTextFile(game + "/installed", "");
  setenv("XDG_DATA_HOME", (dir + "/xdg").c_str(), 1);
  Race(1000);
  testing::internal::CaptureStdout();
  ASSERT_TRUE(SaveLastReplay());
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(Files(dir + "/xdg/vrx/replays").size(), 1u);
  EXPECT_FALSE(fs::exists(game + "/replays"));
}

TEST_F(SavedReplay, ASavedRunPlaysExactlyAsTheRecordingItCameFrom) {
  Race(4000);
  testing::internal::CaptureStdout();
  ASSERT_TRUE(SaveLastReplay());
  const std::string path = Files(game + "/replays").at(0);
  testing::internal::GetCapturedStdout();
  vrx::Recording r;
  ASSERT_TRUE(ReadSavedReplay(path.c_str(), &r));
  cReplay loaded;
  ASSERT_TRUE(loaded.LoadRecording(r));

  recorder->RestartForPlayback();
  loaded.RestartForPlayback();
  int frames = 0;
  while (!recorder->AtEnd() && frames < 1000) {
    ASSERT_FALSE(loaded.AtEnd()) << "frame " << frames;
    const ReplaySnapshot a = recorder->GetSnapshot(), b = loaded.GetSnapshot();
    EXPECT_EQ(memcmp(&a, &b, sizeof a), 0) << "frame " << frames;
    const ReplayState s = recorder->GetState(), t = loaded.GetState();
    EXPECT_EQ(memcmp(&s, &t, sizeof s), 0) << "frame " << frames;
    clockNow += 16;
    ++frames;
  }
  EXPECT_TRUE(loaded.AtEnd());
  EXPECT_NEAR(frames * 16.0, 4000.0, 40.0);
}

TEST_F(SavedReplay, DamagedMissingOrForeignFilesAreRefusedWithOneLine) {
  Race(1000);
  testing::internal::CaptureStdout();
  ASSERT_TRUE(SaveLastReplay());
  testing::internal::GetCapturedStdout();
  const std::string path = Files(game + "/replays").at(0);
  const std::string good = vrxtest::ReadFile(path);
  vrx::Recording r;

  auto refused = [&](const std::string& bytes, const std::string& reason) {
    const std::string bad = dir + "/bad.vrxreplay";
    vrxtest::WriteFile(bad, bytes.data(), bytes.size());
    testing::internal::CaptureStderr();
    EXPECT_FALSE(ReadSavedReplay(bad.c_str(), &r)) << reason;
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "vrx: cannot play " + bad + ": " + reason + "\n");
  };
  std::string flipped = good;
  flipped[flipped.size() / 2] ^= 0x10;
  refused(flipped, "checksum mismatch");
  refused(good.substr(0, good.size() - 9), "truncated");
  std::string ghost = good;
  ghost[6] = 1;  // the kind of a ghost lap
  refused(ghost, "not a saved replay");
  refused("", "too short to be a recording");

  testing::internal::CaptureStderr();
  EXPECT_FALSE(ReadSavedReplay((dir + "/none.vrxreplay").c_str(), &r));
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "vrx: cannot play " + dir + "/none.vrxreplay: No such file or directory\n");
}

}  // namespace
