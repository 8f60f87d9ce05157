// The files the game reads at start and writes at exit: the player's
// settings over their defaults, the lists, the screen settings.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "shell/player_files.h"
#include "test_support.h"

namespace {

class PlayerFiles : public ::testing::Test {
 protected:
  void SetUp() override { dir = vrxtest::MakeTempDir(::testing::UnitTest::GetInstance()->current_test_info()->name()); }
  std::string dir;
};

TEST_F(PlayerFiles, MissingOrShortSettingsKeepTheDefaultsOfWhatTheyLack) {
  _PLAYERCFG p;
  SetPlayerDefaults(&p);
  EXPECT_EQ(ReadPlayerConfig((dir + "/none.ini").c_str(), &p), 0u);
  EXPECT_STREQ(p.Name, "Player");
  EXPECT_EQ(p.CarIndex, 0);
  EXPECT_EQ(p.TrackIndex, 0);
  EXPECT_EQ(p.Automatic, 1);
  EXPECT_EQ(p.Damage, 1);
  const uint8_t keys[7] = {0xC8, 0xD0, 0xCB, 0xCD, 0x1E, 0x2C, 0x39};
  EXPECT_EQ(memcmp(p.KeyMap, keys, 7), 0);
  EXPECT_EQ(p.Reflections, 1);
  EXPECT_EQ(p.WBuffer, 1);

  // 16 bytes set only the name.
  char name[16] = "Ann";
  vrxtest::WriteFile(dir + "/short.ini", name, sizeof name);
  SetPlayerDefaults(&p);
  EXPECT_EQ(ReadPlayerConfig((dir + "/short.ini").c_str(), &p), 16u);
  EXPECT_STREQ(p.Name, "Ann");
  EXPECT_EQ(p.Automatic, 1);
  EXPECT_EQ(memcmp(p.KeyMap, keys, 7), 0);
  EXPECT_EQ(p.WBuffer, 1);
}

TEST_F(PlayerFiles, SettingsWrittenAreReadBackWhole) {
  _PLAYERCFG p;
  SetPlayerDefaults(&p);
  strcpy(p.Name, "Zoe");
  p.CarIndex = 2;
  p.TrackIndex = 1;
  p.Automatic = 0;
  p.Damage = 0;
  p.KeyMap[6] = 0x1D;
  p.Reflections = 0;
  p.WBuffer = 0;
  const std::string path = dir + "/vrx.ini";
  ASSERT_EQ(WritePlayerConfig(path.c_str(), &p), 1);
  EXPECT_EQ(vrxtest::ReadFile(path).size(), 48u);
  _PLAYERCFG q;
  SetPlayerDefaults(&q);
  EXPECT_EQ(ReadPlayerConfig(path.c_str(), &q), 48u);
  EXPECT_EQ(memcmp(&p, &q, sizeof p), 0);

  // The player's own file mode and a link to the real file survive a save.
  chmod(path.c_str(), 0600);
  const std::string link = dir + "/link.ini";
  ASSERT_EQ(symlink(path.c_str(), link.c_str()), 0);
  p.CarIndex = 1;
  ASSERT_EQ(WritePlayerConfig(link.c_str(), &p), 1);
  struct stat st;
  ASSERT_EQ(lstat(link.c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  ReadPlayerConfig(path.c_str(), &q);
  EXPECT_EQ(q.CarIndex, 1);

  // A folder that cannot be written reports failure and leaves nothing.
  EXPECT_EQ(WritePlayerConfig((dir + "/no/such/dir/vrx.ini").c_str(), &p), 0);
}

TEST_F(PlayerFiles, StoredValuesAreBroughtIntoRange) {
  _PLAYERCFG p;
  SetPlayerDefaults(&p);
  memset(p.Name, 'x', sizeof p.Name);  // no end within its 16 bytes
  p.CarIndex = 3;
  p.TrackIndex = -1;
  p.Automatic = 7;
  p.Damage = 0;
  ClampPlayerConfig(&p, 3, 2);
  EXPECT_EQ(strlen(p.Name), 15u);
  EXPECT_EQ(p.CarIndex, 0);
  EXPECT_EQ(p.TrackIndex, 0);
  EXPECT_EQ(p.Automatic, 1);
  EXPECT_EQ(p.Damage, 0);

  p.CarIndex = 2;
  p.TrackIndex = 1;
  ClampPlayerConfig(&p, 3, 2);
  EXPECT_EQ(p.CarIndex, 2);
  EXPECT_EQ(p.TrackIndex, 1);
}

TEST_F(PlayerFiles, ListEntriesLoseTheirLineEnds) {
  static char list[kListMax][kListEntry];
  const std::string path = dir + "/list.txt";

  vrxtest::WriteTextFile(path, "DATA\\CARS\\A\\A\nb\nC\n");
  ASSERT_EQ(ReadList(path.c_str(), list, kListMax), 3);
  EXPECT_STREQ(list[0], "DATA\\CARS\\A\\A");
  EXPECT_STREQ(list[1], "b");
  EXPECT_STREQ(list[2], "C");

  // Windows line ends, and a last entry without its newline.
  vrxtest::WriteTextFile(path, "one\r\ntwo\r\nthree");
  ASSERT_EQ(ReadList(path.c_str(), list, kListMax), 3);
  EXPECT_STREQ(list[0], "one");
  EXPECT_STREQ(list[1], "two");
  EXPECT_STREQ(list[2], "three");

  // A line of only line ends is an empty entry.
  vrxtest::WriteTextFile(path, "a\n\r\nb\n");
  ASSERT_EQ(ReadList(path.c_str(), list, kListMax), 3);
  EXPECT_STREQ(list[1], "");

  vrxtest::WriteTextFile(path, "");
  EXPECT_EQ(ReadList(path.c_str(), list, kListMax), 0);
  EXPECT_EQ(ReadList((dir + "/missing.txt").c_str(), list, kListMax), -1);
}

TEST_F(PlayerFiles, OverlongListsAndLinesAreCutNotOverrun) {
  static char list[kListMax][kListEntry];
  const std::string path = dir + "/list.txt";
  const std::string longLine(200, 'L');
  vrxtest::WriteTextFile(path, longLine + "\nnext\n");
  ASSERT_EQ(ReadList(path.c_str(), list, kListMax), 2);
  EXPECT_EQ(std::string(list[0]), std::string(kListEntry - 1, 'L'));
  EXPECT_STREQ(list[1], "next");

  std::string many;
  for (int i = 0; i < kListMax + 5; ++i) many += "e" + std::to_string(i) + "\n";
  vrxtest::WriteTextFile(path, many);
  ASSERT_EQ(ReadList(path.c_str(), list, kListMax), kListMax);
  EXPECT_STREQ(list[kListMax - 1], ("e" + std::to_string(kListMax - 1)).c_str());
}

TEST_F(PlayerFiles, ScreenSettingsAreReadOverWhatIsThere) {
  _SCREENCFG cfg;
  memset(&cfg, 0, sizeof cfg);
  EXPECT_EQ(ReadScreenConfig((dir + "/none.cfg").c_str(), &cfg), 0);
  const uint32_t head[3] = {1280, 720, 1};
  vrxtest::WriteFile(dir + "/vrx.cfg", head, sizeof head);
  cfg.ViewDistance = 5;
  EXPECT_EQ(ReadScreenConfig((dir + "/vrx.cfg").c_str(), &cfg), 1);
  EXPECT_EQ(cfg.Width, 1280u);
  EXPECT_EQ(cfg.Height, 720u);
  EXPECT_EQ(cfg.Colour32, 1u);
  EXPECT_EQ(cfg.ViewDistance, 5u);
}

TEST(LapTimeText, HundredthsAndNoTime) {
  EXPECT_STREQ(FormatLapTime(83456), "01:23:45");
  EXPECT_STREQ(FormatLapTime(0), "--:--:--");
  EXPECT_STREQ(FormatLapTime(0xFFFFFFFFu), "--:--:--");
  EXPECT_STREQ(FormatLapTime(59999), "00:59:99");
}

}  // namespace
