// Where the player's files live: beside a writable program folder, in the
// XDG folders for an installed game; the shipped record read until the
// player has their own; names that leave the program's folder never moved.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/testing.h"
#include "platform/user_files.h"
#include "test_support.h"

namespace {

class PlayerFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root = vrxtest::MakeTempDir(::testing::UnitTest::GetInstance()->current_test_info()->name());
    program = root + "/program";
    home = root + "/home";
    std::filesystem::create_directories(program + "/DATA/TRACKS/Oval");
    std::filesystem::create_directories(home);
    vrxtesting::SetProgramDir(program.c_str());
    previousDir = std::filesystem::current_path();
    // The game works from its program's folder.
    std::filesystem::current_path(program);
    Save("HOME");
    Save("XDG_CONFIG_HOME");
    Save("XDG_DATA_HOME");
    Save("XDG_PICTURES_DIR");
    setenv("HOME", home.c_str(), 1);
    unsetenv("XDG_CONFIG_HOME");
    unsetenv("XDG_DATA_HOME");
    unsetenv("XDG_PICTURES_DIR");
  }
  void TearDown() override {
    chmod(program.c_str(), 0755);
    std::filesystem::current_path(previousDir);
    vrxtesting::SetProgramDir(nullptr);
    for (auto& [name, value] : saved) {
      if (value.first)
        setenv(name.c_str(), value.second.c_str(), 1);
      else
        unsetenv(name.c_str());
    }
  }
  void Save(const char* name) {
    const char* v = std::getenv(name);
    saved.push_back({name, {v != nullptr, v ? v : ""}});
  }
  void Install() { ASSERT_TRUE(vrxtest::WriteTextFile(program + "/installed", "installed\n")); }

  std::string root, program, home;
  std::filesystem::path previousDir;
  std::vector<std::pair<std::string, std::pair<bool, std::string>>> saved;
};

using vrx::PlayerFile;

TEST_F(PlayerFilesTest, WritableProgramFolderKeepsEverythingBesideIt) {
  EXPECT_TRUE(vrx::PlayerFilesBesideProgram());
  EXPECT_EQ(vrx::PlayerFileToRead("vrx.ini", PlayerFile::kSettings), "vrx.ini");
  EXPECT_EQ(vrx::PlayerFileToWrite("vrx.cfg", PlayerFile::kSettings), "vrx.cfg");
  EXPECT_EQ(vrx::PlayerFileToWrite("DATA\\TRACKS\\Oval\\BestTime.dat", PlayerFile::kRecord),
            "DATA/TRACKS/Oval/BestTime.dat");
  // Nothing was made in the player's home.
  EXPECT_FALSE(std::filesystem::exists(home + "/.config"));
  EXPECT_FALSE(std::filesystem::exists(home + "/.local"));
}

TEST_F(PlayerFilesTest, InstalledGameUsesTheXdgDefaultsAndMakesPrivateFolders) {
  Install();
  EXPECT_FALSE(vrx::PlayerFilesBesideProgram());
  EXPECT_EQ(vrx::PlayerFileToWrite("vrx.ini", PlayerFile::kSettings), home + "/.config/vrx/vrx.ini");
  EXPECT_EQ(vrx::PlayerFileToWrite("vrx.cfg", PlayerFile::kSettings), home + "/.config/vrx/vrx.cfg");
  const std::string record = vrx::PlayerFileToWrite("DATA\\TRACKS\\Oval\\BestTime.dat", PlayerFile::kRecord);
  EXPECT_EQ(record, home + "/.local/share/vrx/DATA/TRACKS/Oval/BestTime.dat");
  struct stat st;
  ASSERT_EQ(stat((home + "/.local/share/vrx/DATA/TRACKS/Oval").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  ASSERT_EQ(stat((home + "/.config/vrx").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  // Before the player saved anything, the settings are looked for beside the game.
  EXPECT_EQ(vrx::PlayerFileToRead("vrx.ini", PlayerFile::kSettings), "vrx.ini");
}

TEST_F(PlayerFilesTest, XdgVariablesAreUsedWhenAbsoluteAndIgnoredWhenRelative) {
  Install();
  setenv("XDG_CONFIG_HOME", (root + "/cfg").c_str(), 1);
  setenv("XDG_DATA_HOME", (root + "/data").c_str(), 1);
  EXPECT_EQ(vrx::PlayerFileToWrite("vrx.ini", PlayerFile::kSettings), root + "/cfg/vrx/vrx.ini");
  EXPECT_EQ(vrx::PlayerFileToWrite("DATA\\TRACKS\\Oval\\BestTime.dat", PlayerFile::kRecord),
            root + "/data/vrx/DATA/TRACKS/Oval/BestTime.dat");
  setenv("XDG_CONFIG_HOME", "relative/cfg", 1);
  setenv("XDG_DATA_HOME", "", 1);
  EXPECT_EQ(vrx::PlayerFolder(PlayerFile::kSettings), home + "/.config/vrx");
  EXPECT_EQ(vrx::PlayerFolder(PlayerFile::kRecord), home + "/.local/share/vrx");
}

TEST_F(PlayerFilesTest, ShippedRecordIsReadUntilThePlayersOwnExists) {
  Install();
  const char* name = "DATA\\TRACKS\\Oval\\BestTime.dat";
  const uint32_t shipped = 90000, own = 80000;
  ASSERT_TRUE(vrxtest::WriteFile(program + "/DATA/TRACKS/Oval/BestTime.dat", &shipped, 4));
  EXPECT_EQ(vrx::PlayerFileToRead(name, PlayerFile::kRecord), "DATA/TRACKS/Oval/BestTime.dat");
  ASSERT_TRUE(vrxtest::WriteFile(vrx::PlayerFileToWrite(name, PlayerFile::kRecord), &own, 4));
  const std::string read = vrx::PlayerFileToRead(name, PlayerFile::kRecord);
  EXPECT_EQ(read, home + "/.local/share/vrx/DATA/TRACKS/Oval/BestTime.dat");
  EXPECT_EQ(vrxtest::ReadFile(read), std::string(reinterpret_cast<const char*>(&own), 4));
  // The shipped file is untouched.
  EXPECT_EQ(vrxtest::ReadFile(program + "/DATA/TRACKS/Oval/BestTime.dat"),
            std::string(reinterpret_cast<const char*>(&shipped), 4));
  // The player's copy is found whatever letter case the game asks in.
  EXPECT_EQ(vrx::PlayerFileToRead("data\\tracks\\OVAL\\besttime.dat", PlayerFile::kRecord), read);
}

TEST_F(PlayerFilesTest, NamesOutsideTheProgramFolderAreNeverMoved) {
  Install();
  EXPECT_EQ(vrx::PlayerFileToWrite("../elsewhere/vrx.ini", PlayerFile::kSettings), "../elsewhere/vrx.ini");
  EXPECT_EQ(vrx::PlayerFileToWrite("DATA\\..\\..\\x.dat", PlayerFile::kRecord), "DATA/../../x.dat");
  const std::string absolute = root + "/abs/BestTime.dat";
  EXPECT_EQ(vrx::PlayerFileToWrite(absolute.c_str(), PlayerFile::kRecord), absolute);
  EXPECT_EQ(vrx::PlayerFileToRead(absolute.c_str(), PlayerFile::kRecord), absolute);
  // "./" and doubled separators still name the same file.
  EXPECT_EQ(vrx::PlayerFileToWrite(".\\DATA\\\\TRACKS\\Oval\\BestTime.dat", PlayerFile::kRecord),
            home + "/.local/share/vrx/DATA/TRACKS/Oval/BestTime.dat");
}

TEST_F(PlayerFilesTest, ReadOnlyProgramFolderCountsAsInstalled) {
  if (geteuid() == 0) GTEST_SKIP() << "root may write into any folder";
  ASSERT_EQ(chmod(program.c_str(), 0555), 0);
  EXPECT_FALSE(vrx::PlayerFilesBesideProgram());
  EXPECT_EQ(vrx::PlayerFileToWrite("vrx.ini", PlayerFile::kSettings), home + "/.config/vrx/vrx.ini");
}

TEST_F(PlayerFilesTest, PicturesFolderFromTheEnvironmentUserDirsOrHome) {
  EXPECT_EQ(vrx::PicturesFolder(), home + "/Pictures/vrx");
  ASSERT_TRUE(vrxtest::WriteTextFile(home + "/.config/user-dirs.dirs",
                                     "# written by xdg-user-dirs-update\n"
                                     "XDG_DESKTOP_DIR=\"$HOME/Desktop\"\n"
                                     "XDG_PICTURES_DIR=\"$HOME/Bilder\"\n"));
  EXPECT_EQ(vrx::PicturesFolder(), home + "/Bilder/vrx");
  setenv("XDG_PICTURES_DIR", (root + "/shots").c_str(), 1);
  EXPECT_EQ(vrx::PicturesFolder(), root + "/shots/vrx");
}

}  // namespace
