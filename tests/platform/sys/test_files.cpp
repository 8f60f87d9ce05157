#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <string>

#include "platform/files.h"
#include "test_support.h"

namespace {

class FilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = vrxtest::MakeTempDir("files");
    ASSERT_TRUE(getcwd(oldCwd, sizeof(oldCwd)));
    ASSERT_EQ(chdir(dir.c_str()), 0);
  }
  void TearDown() override { ASSERT_EQ(chdir(oldCwd), 0); }

  std::string ReadVia(const char* windowsName) {
    FILE* f = vrx::OpenFile(windowsName, "rb");
    if (!f) return "<missing>";
    char buf[64] = {};
    const size_t n = std::fread(buf, 1, sizeof(buf) - 1, f);
    std::fclose(f);
    return std::string(buf, n);
  }

  std::string dir;
  char oldCwd[4096];
};

TEST_F(FilesTest, WindowsNamesFindFilesInAnyLetterCase) {
  ASSERT_TRUE(vrxtest::WriteTextFile(dir + "/DATA/MENU/menu.bmp", "menu"));
  ASSERT_TRUE(vrxtest::WriteTextFile(dir + "/DATA/MENU/Cursor.tga", "cursor"));
  EXPECT_EQ(ReadVia("DATA\\Menu\\Menu.bmp"), "menu");
  EXPECT_EQ(ReadVia("DATA\\MENU\\Cursor.tga"), "cursor");
  EXPECT_EQ(ReadVia("data/menu/CURSOR.TGA"), "cursor");
  EXPECT_EQ(vrx::ResolvePath("DATA\\Menu\\Menu.bmp"), "DATA/MENU/menu.bmp");
  // Absolute paths resolve the same way below the root.
  EXPECT_EQ(vrx::ResolvePath((dir + "\\data\\menu\\MENU.BMP").c_str()), dir + "/DATA/MENU/menu.bmp");
}

TEST_F(FilesTest, TheExactNameWinsOverOtherCases) {
  ASSERT_TRUE(vrxtest::WriteTextFile(dir + "/Tracks/a.txt", "upper"));
  ASSERT_TRUE(vrxtest::WriteTextFile(dir + "/tracks/a.txt", "lower"));
  EXPECT_EQ(ReadVia("tracks\\a.txt"), "lower");
  EXPECT_EQ(ReadVia("Tracks\\a.txt"), "upper");
  // Neither matches exactly: the byte-wise smallest name is taken.
  EXPECT_EQ(ReadVia("TRACKS\\a.txt"), "upper");
}

TEST_F(FilesTest, MissingFilesGiveNullAndAReportWhenAsked) {
  EXPECT_EQ(vrx::OpenFile("DATA\\CARS\\x.mo", "rb"), nullptr);
  testing::internal::CaptureStderr();
  EXPECT_EQ(vrx::OpenFile("DATA\\CARS\\x.mo", "rb"), nullptr);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");

  testing::internal::CaptureStderr();
  EXPECT_EQ(vrx::OpenFileReported("DATA\\CARS\\x.mo", "rb"), nullptr);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "vrx: cannot open DATA/CARS/x.mo: No such file or directory\n");
  EXPECT_EQ(vrx::OpenFile(nullptr, "rb"), nullptr);
}

TEST_F(FilesTest, NewFilesGoIntoExistingDirectoriesUnderTheirGivenName) {
  ASSERT_TRUE(vrxtest::WriteTextFile(dir + "/DATA/TRACKS/Oval/Start.ini", "x"));
  FILE* f = vrx::OpenFile("data\\tracks\\OVAL\\BestTime.dat", "wb");
  ASSERT_NE(f, nullptr);
  std::fputs("best", f);
  std::fclose(f);
  EXPECT_EQ(vrxtest::ReadFile(dir + "/DATA/TRACKS/Oval/BestTime.dat"), "best");

  // Writing a file that exists in another case replaces that file.
  f = vrx::OpenFile("data\\tracks\\oval\\START.INI", "wb");
  ASSERT_NE(f, nullptr);
  std::fputs("new", f);
  std::fclose(f);
  EXPECT_EQ(vrxtest::ReadFile(dir + "/DATA/TRACKS/Oval/Start.ini"), "new");

  // Below a missing directory nothing is searched and nothing is created.
  EXPECT_EQ(vrx::ResolvePath("Nowhere\\Sub\\file.txt"), "Nowhere/Sub/file.txt");
  EXPECT_EQ(vrx::OpenFile("Nowhere\\Sub\\file.txt", "wb"), nullptr);
}

TEST_F(FilesTest, SeparatorsAndDotsAreKept) {
  ASSERT_TRUE(vrxtest::WriteTextFile(dir + "/DATA/Cars.txt", "cars"));
  EXPECT_EQ(vrx::ResolvePath("DATA\\\\cars.TXT"), "DATA/Cars.txt");
  EXPECT_EQ(vrx::ResolvePath(".\\data\\..\\DATA\\CARS.txt"), "./DATA/../DATA/Cars.txt");
  EXPECT_EQ(vrx::ResolvePath("data\\"), "DATA/");
  EXPECT_EQ(vrx::ResolvePath(""), "");
}

}  // namespace
