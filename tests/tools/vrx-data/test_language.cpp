// The language file: the game's own loader reads every string of the file we
// ship without a complaint, each fits its place with the real font, and the
// check catches the strings that would not.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "font.h"
#include "language.h"
#include "platform/testing.h"
#include "platform/win32.h"
#include "test_support.h"

namespace {

std::vector<uint8_t> Widths() {
  std::vector<uint8_t> w(256, 0);
  std::ifstream in(VRX_BIN_DIR "/DATA/MENU/Font1.dat", std::ios::binary);
  in.read(reinterpret_cast<char*>(w.data()), 256);
  return w;
}

std::map<unsigned, std::string> Shipped() {
  std::map<unsigned, std::string> s;
  EXPECT_TRUE(vrxdata::ReadLanguage(VRX_BIN_DIR "/lang.txt", &s));
  return s;
}

// Runs the check, returns what it said.
std::string Check(const std::map<unsigned, std::string>& strings, bool* ok) {
  testing::internal::CaptureStderr();
  *ok = vrxdata::CheckLanguage(strings, Widths(), vrxdata::kFontCell, "en.txt");
  return testing::internal::GetCapturedStderr();
}

TEST(Language, TheGameReadsEveryStringOfTheShippedFile) {
  testing::internal::CaptureStderr();
  vrxtesting::SetProgramDir(VRX_BIN_DIR);
  HMODULE lang = LoadLibraryA("Lang.dll");
  vrxtesting::SetProgramDir(nullptr);
  const std::string said = testing::internal::GetCapturedStderr();
  ASSERT_NE(lang, nullptr);
  EXPECT_EQ(said, "");
  const std::map<unsigned, std::string> mine = Shipped();
  for (unsigned id = 1; id <= 53; ++id) {
    char buf[64];
    const int n = LoadStringA(lang, id, buf, 64);
    if (id == 8) {
      EXPECT_EQ(n, 0);  // not used by the game
      continue;
    }
    EXPECT_GT(n, 0) << id;
    EXPECT_LE(n, 63) << id;
    EXPECT_EQ(std::string(buf), mine.at(id)) << id;
  }
  FreeLibrary(lang);
}

TEST(Language, ShippedStringsFitTheirPlaces) {
  bool ok = false;
  EXPECT_EQ(Check(Shipped(), &ok), "");
  EXPECT_TRUE(ok);
  EXPECT_EQ(vrxdata::LanguagePlaces().size(), 52u);  // 1 to 53 but 8
}

TEST(Language, CheckCatchesStringsThatWouldNotFit) {
  const std::map<unsigned, std::string> good = Shipped();
  auto with = [&](unsigned id, const std::string& text) {
    std::map<unsigned, std::string> s = good;
    s[id] = text;
    return s;
  };
  bool ok = true;
  // A caption wider than its button, though short enough for the buffer.
  std::string said = Check(with(3, "Exit the game now"), &ok);
  EXPECT_FALSE(ok);
  EXPECT_NE(said.find("string 3"), std::string::npos) << said;
  // A caption beyond cButton's 31 characters.
  Check(with(6, std::string(32, 'i')), &ok);
  EXPECT_FALSE(ok);
  // A key label running into its field at x 0.6.
  said = Check(with(41, "Accelerate the car towards the line"), &ok);
  EXPECT_FALSE(ok);
  EXPECT_NE(said.find("string 41"), std::string::npos) << said;
  // Longer than the game's 63-character buffer.
  Check(with(14, std::string(64, 'i')), &ok);
  EXPECT_FALSE(ok);
  // A control character has no picture in the font; a string the game has no place for.
  Check(with(15, "Leave\tnow"), &ok);
  EXPECT_FALSE(ok);
  said = Check(with(8, "Spare"), &ok);
  EXPECT_FALSE(ok);
  EXPECT_NE(said.find("string 8"), std::string::npos) << said;
  // A missing or empty string.
  std::map<unsigned, std::string> missing = good;
  missing.erase(27);
  Check(missing, &ok);
  EXPECT_FALSE(ok);
  Check(with(28, ""), &ok);
  EXPECT_FALSE(ok);
  // Latin-1 letters the font draws are fine.
  Check(with(33, "Voiture d\xE9truite !"), &ok);
  EXPECT_TRUE(ok);
}

TEST(Language, ReaderTakesTheGamesFormatAndRefusesWhatTheGameWouldSkip) {
  const std::string dir = vrxtest::MakeTempDir("language_reader");
  ASSERT_TRUE(vrxtest::WriteTextFile(dir + "/lang.txt", "# comment\n\n1\tStart\\trace\r\n2\tA\\\\B\\nC\\x\n"));
  std::map<unsigned, std::string> s;
  ASSERT_TRUE(vrxdata::ReadLanguage(dir + "/lang.txt", &s));
  // The same texts the game's loader makes of it.
  vrxtesting::SetProgramDir(dir.c_str());
  HMODULE lang = LoadLibraryA("Lang.dll");
  vrxtesting::SetProgramDir(nullptr);
  ASSERT_NE(lang, nullptr);
  for (unsigned id : {1u, 2u}) {
    char buf[64];
    LoadStringA(lang, id, buf, 64);
    EXPECT_EQ(s.at(id), buf) << id;
  }
  FreeLibrary(lang);
  EXPECT_EQ(s.at(1), "Start\trace");

  for (const char* bad : {"1 Start race\n", "x\tStart\n", "1\tOne\n1\tAgain\n", "70000\tBig\n"}) {
    ASSERT_TRUE(vrxtest::WriteTextFile(dir + "/bad.txt", bad));
    std::map<unsigned, std::string> b;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(vrxdata::ReadLanguage(dir + "/bad.txt", &b)) << bad;
    EXPECT_NE(testing::internal::GetCapturedStderr().find("bad.txt:"), std::string::npos) << bad;
  }
}

}  // namespace
