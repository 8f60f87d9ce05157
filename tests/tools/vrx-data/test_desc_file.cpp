// The description reader: typed keys with ranges, repeated rows, and the
// "file:line: what" messages that stop a build.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "desc_file.h"
#include "test_support.h"

using vrxdata::DescParser;
using vrxdata::DescRow;

namespace {

struct Parsed {
  bool ok = false;
  std::string err;
  float width = 7;
  int count = 3;
  std::string name, title, sky;
  uint32_t colour = 0;
  std::vector<DescRow> points;
};

Parsed ParseText(const std::string& text) {
  const std::string dir = vrxtest::MakeTempDir("desc_file");
  const std::string path = dir + "/t.desc";
  EXPECT_TRUE(vrxtest::WriteTextFile(path, text));
  Parsed r;
  DescParser p(path);
  p.Name("name", &r.name, 8, true);
  p.Number("width", &r.width, 1, 10);
  p.Integer("count", &r.count, 0, 5);
  p.Text("title", &r.title, 20);
  p.Choice("sky", &r.sky, {"day", "night"});
  p.Colour("colour", &r.colour);
  p.Rows("point", &r.points, 2, 3, -100, 100);
  testing::internal::CaptureStderr();
  r.ok = p.Parse();
  r.err = testing::internal::GetCapturedStderr();
  return r;
}

}  // namespace

TEST(DescFile, ReadsKeysRowsCommentsAndKeepsDefaults) {
  const Parsed r = ParseText(
      "# a comment line\n"
      "name  Track_1   # trailing comment\n"
      "\n"
      "  title   Fast and flowing  \n"
      "colour 1a2B3c\n"
      "point 1 2\n"
      "point -3.5 4e1 +5\n");
  ASSERT_TRUE(r.ok) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.name, "Track_1");
  EXPECT_EQ(r.title, "Fast and flowing");
  EXPECT_EQ(r.colour, 0xFF1A2B3Cu);
  EXPECT_FLOAT_EQ(r.width, 7);  // not given: the default stays
  EXPECT_EQ(r.count, 3);
  ASSERT_EQ(r.points.size(), 2u);
  EXPECT_EQ(r.points[0].line, 6);
  EXPECT_EQ(r.points[1].values, (std::vector<float>{-3.5f, 40.0f, 5.0f}));
}

TEST(DescFile, EveryErrorNamesFileAndLine) {
  struct Case {
    const char* text;
    const char* where;  // expected ":line: " part
    const char* what;   // expected words of the message
  };
  const Case cases[] = {
      {"name a\nwidth 11\n", ":2: ", "out of range"},
      {"name a\nwidth wide\n", ":2: ", "not a number"},
      {"name a\nwidth 2 3\n", ":2: ", "one number"},
      {"name a\ncount 2.5\n", ":2: ", "whole number"},
      {"name a\nspeed 3\n", ":2: ", "unknown key 'speed'"},
      {"name a\n\nname b\n", ":3: ", "given again (first on line 1)"},
      {"name a-b\n", ":1: ", "letters, digits"},
      {"name toolongname\n", ":1: ", "longer than 8"},
      {"name a\nsky dusk\n", ":2: ", "none of: day, night"},
      {"name a\ncolour 12345\n", ":2: ", "RRGGBB"},
      {"name a\npoint 1\n", ":2: ", "takes 2 to 3 numbers, not 1"},
      {"name a\npoint 1 200\n", ":2: ", "out of range"},
      {"name a\ntitle \x01\n", ":2: ", "printable ASCII"},
  };
  for (const Case& c : cases) {
    const Parsed r = ParseText(c.text);
    EXPECT_FALSE(r.ok) << c.text;
    EXPECT_NE(r.err.find("t.desc"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(c.where), std::string::npos) << c.text << " -> " << r.err;
    EXPECT_NE(r.err.find(c.what), std::string::npos) << c.text << " -> " << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
  }
}

TEST(DescFile, MissingRequiredKeyAndMissingFile) {
  const Parsed r = ParseText("width 3\n");
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.err.find("'name' is missing"), std::string::npos) << r.err;

  DescParser p(vrxtest::MakeTempDir("desc_file_missing") + "/none.desc");
  testing::internal::CaptureStderr();
  EXPECT_FALSE(p.Parse());
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("none.desc: cannot open"), std::string::npos) << err;
}

TEST(DescFile, NumbersAreWholeWordsOnly) {
  float v = 0;
  EXPECT_TRUE(vrxdata::ParseFloat("12", &v));
  EXPECT_FLOAT_EQ(v, 12);
  EXPECT_TRUE(vrxdata::ParseFloat("-0.5", &v));
  EXPECT_FLOAT_EQ(v, -0.5f);
  EXPECT_TRUE(vrxdata::ParseFloat(".25", &v));
  EXPECT_FLOAT_EQ(v, 0.25f);
  EXPECT_TRUE(vrxdata::ParseFloat("1e3", &v));
  EXPECT_FLOAT_EQ(v, 1000);
  for (const char* bad : {"", "-", ".", "1.2.3", "12m", "0x10", "nan", "inf", "1e", "1e99", "--1"})
    EXPECT_FALSE(vrxdata::ParseFloat(bad, &v)) << bad;
}
