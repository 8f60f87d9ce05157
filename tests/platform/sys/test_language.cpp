#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "platform/testing.h"
#include "platform/win32.h"
#include "test_support.h"

namespace {

class LanguageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = vrxtest::MakeTempDir("language");
    vrxtesting::SetProgramDir(dir.c_str());
  }
  void TearDown() override { vrxtesting::SetProgramDir(nullptr); }

  HMODULE LoadTable(const std::string& text) {
    EXPECT_TRUE(vrxtest::WriteTextFile(dir + "/lang.txt", text));
    return LoadLibraryA("Lang.dll");
  }

  std::string Load(HMODULE lang, UINT id, int size = 64) {
    char buf[256];
    std::memset(buf, 'x', sizeof(buf));
    const int n = LoadStringA(lang, id, buf, size);
    EXPECT_EQ(n, static_cast<int>(std::strlen(buf)));
    return buf;
  }

  std::string dir;
};

TEST_F(LanguageTest, StringsComeByIdWithEscapesAndBytesPassedThrough) {
  HMODULE lang = LoadTable(
      "# menu texts\n"
      "1\tStart race\n"
      "\n"
      "11\tLoading\\tplease wait\\\\\\n\n"
      "27\tCzas okr\xC4\x85zenia\r\n"
      "30\t\n"
      "31\tC:\\path kept\n");
  ASSERT_NE(lang, nullptr);
  EXPECT_EQ(Load(lang, 1), "Start race");
  EXPECT_EQ(Load(lang, 11), "Loading\tplease wait\\\n");
  EXPECT_EQ(Load(lang, 27), "Czas okr\xC4\x85zenia");  // CRLF line end dropped
  EXPECT_EQ(Load(lang, 30), "");
  EXPECT_EQ(Load(lang, 31), "C:\\path kept");  // unknown escapes stay as written
  EXPECT_EQ(Load(lang, 2), "");                 // absent id
  EXPECT_TRUE(FreeLibrary(lang));
  EXPECT_FALSE(FreeLibrary(lang));
}

TEST_F(LanguageTest, LongStringsAreCutToTheBuffer) {
  const std::string longText(100, 'a');
  HMODULE lang = LoadTable("14\t" + longText + "\n");
  ASSERT_NE(lang, nullptr);
  const std::string s = Load(lang, 14);
  EXPECT_EQ(s.size(), 63u);
  EXPECT_EQ(s, longText.substr(0, 63));
  EXPECT_EQ(Load(lang, 14, 1), "");
  char untouched = 'x';
  EXPECT_EQ(LoadStringA(lang, 14, &untouched, 0), 0);
  EXPECT_EQ(untouched, 'x');
  FreeLibrary(lang);
}

TEST_F(LanguageTest, MissingFileGivesNullHandleAndEmptyStrings) {
  testing::internal::CaptureStderr();
  HMODULE lang = LoadLibraryA("Lang.dll");
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(lang, nullptr);
  EXPECT_EQ(err, "vrx: cannot open " + dir + "/lang.txt: No such file or directory\n");
  EXPECT_EQ(Load(nullptr, 11), "");
  EXPECT_FALSE(FreeLibrary(nullptr));
}

TEST_F(LanguageTest, MalformedLinesAreSkippedWithOneLineForTheFile) {
  testing::internal::CaptureStderr();
  HMODULE lang = LoadTable(
      "1\tfirst\n"
      "2 no tab\n"
      "x\tnot a number\n"
      "70000\tid too large\n"
      "3\tthird\n"
      "1\tfirst again\n");
  std::string err = testing::internal::GetCapturedStderr();
  ASSERT_NE(lang, nullptr);
  EXPECT_EQ(Load(lang, 3), "third");
  EXPECT_EQ(Load(lang, 1), "first again");
  EXPECT_EQ(Load(lang, 2), "");
  const std::string file = dir + "/lang.txt";
  EXPECT_EQ(err, "vrx: " + file + ":2: not \"number<TAB>text\", line skipped (4 lines with problems)\n");
  FreeLibrary(lang);

  // A repeated number alone is reported as such.
  testing::internal::CaptureStderr();
  lang = LoadTable("5\tone\n5\ttwo\n");
  err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(Load(lang, 5), "two");
  EXPECT_EQ(err, "vrx: " + file + ":2: string 5 given again, this text is used\n");
  FreeLibrary(lang);

  // Something that is no string table at all: every text empty, still one line.
  std::string binary;
  for (int i = 0; i < 4096; ++i) binary += static_cast<char>((i * 37) & 0xFF);
  testing::internal::CaptureStderr();
  lang = LoadTable(binary);
  err = testing::internal::GetCapturedStderr();
  ASSERT_NE(lang, nullptr);
  for (UINT id = 1; id <= 53; ++id) EXPECT_EQ(Load(lang, id), "") << id;
  EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
  EXPECT_EQ(err.rfind("vrx: " + file + ":", 0), 0u) << err;
  FreeLibrary(lang);

  // An empty file (or only comments) gives a handle and says that every text stays empty.
  for (const char* table : {"", "# nothing yet\n"}) {
    testing::internal::CaptureStderr();
    lang = LoadTable(table);
    err = testing::internal::GetCapturedStderr();
    ASSERT_NE(lang, nullptr);
    EXPECT_EQ(err, "vrx: " + file + " holds no strings; every text stays empty\n");
    FreeLibrary(lang);
  }
}

TEST_F(LanguageTest, TheTableFileMayBeInAnyLetterCaseAndNamedDirectly) {
  ASSERT_TRUE(vrxtest::WriteTextFile(dir + "/LANG.TXT", "5\tfive\n"));
  HMODULE lang = LoadLibraryA("lang.dll");
  ASSERT_NE(lang, nullptr);
  EXPECT_EQ(Load(lang, 5), "five");
  FreeLibrary(lang);

  ASSERT_TRUE(vrxtest::WriteTextFile(dir + "/sub/other.txt", "6\tsix\n"));
  lang = LoadLibraryA((dir + "\\SUB\\other.txt").c_str());
  ASSERT_NE(lang, nullptr);
  EXPECT_EQ(Load(lang, 6), "six");
  FreeLibrary(lang);
}

}  // namespace
