// A machine without any font: text draws nothing, says so once, and
// nothing fails. fontconfig is pointed at an empty configuration before it
// is first used in this program.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/wingdi.h"
#include "sys/gdi_dc.h"
#include "test_support.h"

namespace {

const bool kNoFonts = [] {
  std::string dir = vrxtest::MakeTempDir("gdi_nofont");
  std::string conf = dir + "/fonts.conf";
  vrxtest::WriteTextFile(conf, "<?xml version=\"1.0\"?>\n<fontconfig><cachedir>" + dir + "/cache</cachedir></fontconfig>\n");
  setenv("FONTCONFIG_FILE", conf.c_str(), 1);
  return true;
}();

TEST(GdiWithoutFonts, TextDrawsNothingAndIsReportedOnce) {
  ASSERT_TRUE(kNoFonts);
  HDC dc = vrxgdi::CreateMemoryDC(64, 32);
  LOGFONTA lf;
  std::memset(&lf, 0, sizeof lf);
  lf.lfHeight = -20;
  lf.lfCharSet = DEFAULT_CHARSET;
  std::strcpy(lf.lfFaceName, "Arial");
  HFONT font = CreateFontIndirectA(&lf);
  ASSERT_NE(font, nullptr);
  SelectObject(dc, font);
  RECT rect{0, 0, 64, 32};

  testing::internal::CaptureStderr();
  EXPECT_EQ(DrawTextA(dc, "Player", -1, &rect, DT_CENTER | DT_VCENTER | DT_SINGLELINE), 0);
  EXPECT_EQ(DrawTextA(dc, "Player", -1, &rect, DT_CENTER | DT_VCENTER | DT_SINGLELINE), 0);
  SelectObject(dc, GetStockObject(SYSTEM_FONT));
  EXPECT_EQ(DrawTextA(dc, "x", -1, &rect, 0), 0);
  std::string err = testing::internal::GetCapturedStderr();

  EXPECT_NE(err.find("vrx: no font found for \"Arial\""), std::string::npos) << err;
  EXPECT_EQ(err.find('\n'), err.size() - 1) << "more than one line: " << err;
  for (uint32_t p : dc->pixels) ASSERT_EQ(p, 0u);
  EXPECT_TRUE(DeleteObject(font));
  vrxgdi::DeleteMemoryDC(dc);
}

}  // namespace
