// The game started as a player starts it: the settings it needs, the name
// screen, the files it writes on the way out, and the window's close button.
#include "game_fixture.h"

namespace e2e {
namespace {

class Startup : public GameTest {};

TEST_F(Startup, WithoutSettingsTheSettingsProgramStartsAndTheGameEnds) {
  // A stand-in settings program that leaves a mark.
  const std::string config = Bin() + "/vrx-config";
  const std::string real = vrxtest::ReadFile(config);
  const std::string mark = Bin() + "/config-started";
  vrxtest::WriteTextFile(config, "#!/bin/sh\necho started > '" + mark + "'\n");
  chmod(config.c_str(), 0755);
  ASSERT_TRUE(G().Start());
  const int rc = G().WaitExit(20000);
  for (int i = 0; i < 100 && vrxtest::ReadFile(mark).empty(); ++i) SleepMs(50);
  const bool started = !vrxtest::ReadFile(mark).empty();
  vrxtest::WriteFile(config, real.data(), real.size());
  EXPECT_EQ(rc, 1) << G().Stderr();
  EXPECT_TRUE(started);
  EXPECT_FALSE(fs::exists(Bin() + "/vrx.ini"));
}

TEST_F(Startup, SettingsMadeForAnotherAdapterAreRefused) {
  ASSERT_TRUE(WriteConfig(X(), Bin(), 800, 600));
  std::string cfg = vrxtest::ReadFile(Bin() + "/vrx.cfg");
  ASSERT_EQ(cfg.size(), 36u);
  cfg[16] = char(cfg[16] ^ 0x5A);  // another adapter's identifier
  vrxtest::WriteFile(Bin() + "/vrx.cfg", cfg.data(), cfg.size());
  ASSERT_TRUE(G().Start());
  EXPECT_EQ(G().WaitExit(20000), 1);
  EXPECT_NE(G().Stderr().find("Error!: Config loading error!"), std::string::npos) << G().Stderr();
  EXPECT_FALSE(fs::exists(Bin() + "/vrx.ini"));
}

TEST_F(Startup, AMissingListIsNamedAndEndsTheGame) {
  const std::string tracks = vrxtest::ReadFile(Bin() + "/DATA/Tracks.txt");
  fs::remove(Bin() + "/DATA/Tracks.txt");
  ASSERT_TRUE(WriteConfig(X(), Bin(), 800, 600));
  ASSERT_TRUE(G().Start());
  const int rc = G().WaitExit(30000);
  vrxtest::WriteTextFile(Bin() + "/DATA/Tracks.txt", tracks);
  EXPECT_EQ(rc, 1);
  EXPECT_NE(G().Stderr().find("Tracks.txt"), std::string::npos) << G().Stderr();
  EXPECT_FALSE(fs::exists(Bin() + "/vrx.ini"));
}

TEST_F(Startup, AShortPlayerFileKeepsTheDefaultsOfItsMissingTail) {
  char name[16] = "Ann";
  vrxtest::WriteFile(Bin() + "/vrx.ini", name, sizeof name);
  StartToMenu();
  ASSERT_FALSE(HasFatalFailure());
  EXPECT_EQ(ExitFromMenu(), 0) << G().Stderr();
  _PLAYERCFG p;
  ASSERT_TRUE(ReadIni(&p));
  EXPECT_STREQ(p.Name, "Ann");
  EXPECT_EQ(p.CarIndex, 0);
  EXPECT_EQ(p.TrackIndex, 0);
  EXPECT_EQ(p.Automatic, 1);
  EXPECT_EQ(p.Damage, 1);
  const uint8_t keys[7] = {0xC8, 0xD0, 0xCB, 0xCD, 0x1E, 0x2C, 0x39};
  EXPECT_EQ(memcmp(p.KeyMap, keys, 7), 0);
  EXPECT_EQ(p.Reflections, 1);
  EXPECT_EQ(p.WBuffer, 1);
}

TEST_F(Startup, TheTypedNameIsKeptAndEscOnTheNameScreenDoesNothing) {
  StartToNameScreen();
  ASSERT_FALSE(HasFatalFailure());
  Hover(kName);
  for (int i = 0; i < 6; ++i) G().Key("BackSpace");
  for (const char* k : {"shift+b", "o", "b"}) G().Key(k);
  G().Key("Escape");
  SleepMs(500);
  EXPECT_TRUE(G().Running());
  Click(kName);
  ASSERT_TRUE(G().WaitFor(MenuShown));
  EXPECT_EQ(ExitFromMenu(), 0) << G().Stderr();
  _PLAYERCFG p;
  ASSERT_TRUE(ReadIni(&p));
  EXPECT_STREQ(p.Name, "Bob");
}

TEST_F(Startup, ClosingTheWindowOnTheNameScreenEndsTheGameInOrder) {
  StartToNameScreen();
  ASSERT_FALSE(HasFatalFailure());
  G().RequestClose();
  EXPECT_EQ(G().WaitExit(20000), 0) << G().Stderr();
  _PLAYERCFG p;
  ASSERT_TRUE(ReadIni(&p));
  EXPECT_STREQ(p.Name, "Player");
}

TEST_F(Startup, ClosingTheWindowInTheMenuEndsTheGameInOrder) {
  StartToMenu();
  ASSERT_FALSE(HasFatalFailure());
  Click(kNextTrack);
  G().RequestClose();
  EXPECT_EQ(G().WaitExit(20000), 0) << G().Stderr();
  _PLAYERCFG p;
  ASSERT_TRUE(ReadIni(&p));
  EXPECT_EQ(p.TrackIndex, 1);
}

}  // namespace
}  // namespace e2e
