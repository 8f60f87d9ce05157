// cCursor: the pointer image is drawn with its top-left corner on the mouse
// position in client coordinates, scaled like a relative sprite.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cCursor.h"
#include "cScreen.h"
#include "platform/testing.h"
#include "platform/win32.h"
#include "screen_fixture.h"
#include "test_support.h"

namespace {

using vrxtest::Near;

class Cursor : public ::testing::Test {
 protected:
  void SetUp() override {
    // 1000 x 750: relative scale 1 is the image's own size.
    ASSERT_TRUE(f.Open(1000, 750));
    MoveWindow(f.Window(), 37, 23, 1000, 750, TRUE);
    dir = vrxtest::MakeTempDir(::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::vector<DWORD> px(64);
    for (int y = 0; y < 8; ++y)
      for (int x = 0; x < 8; ++x) px[y * 8 + x] = y < 4 ? (x < 4 ? 0xFFFF0000 : 0xFF00FF00) : (x < 4 ? 0xFF0000FF : 0xFFFFFFFF);
    image = dir + "/Cursor.tga";
    ASSERT_TRUE(vrxtest::WriteTga(image, 8, 8, px));
    vrxtesting::SetFakeInput(true);
    f.Screen().ClearScreen(0xFF000000);
  }
  void TearDown() override { vrxtesting::SetFakeInput(false); }

  // Puts the mouse on a client position.
  void MouseAt(LONG x, LONG y) {
    POINT p{x, y};
    ClientToScreen(f.Window(), &p);
    vrxtesting::SetFakeCursorPos(p.x, p.y);
  }

  vrxtest::ScreenFixture f;
  std::string dir, image;
};

TEST_F(Cursor, TopLeftCornerIsTheHotSpot) {
  cCursor cursor(image.c_str(), &f.Screen());
  MouseAt(300, 200);
  cursor.Draw(1.0f);
  f.SaveScreenshot("cursor");
  EXPECT_TRUE(Near(f.Pixel(300, 200), 0xFFFF0000, 1)) << vrxtest::Hex(f.Pixel(300, 200));
  EXPECT_TRUE(Near(f.Pixel(307, 200), 0xFF00FF00, 1));
  EXPECT_TRUE(Near(f.Pixel(300, 207), 0xFF0000FF, 1));
  EXPECT_TRUE(Near(f.Pixel(307, 207), 0xFFFFFFFF, 1));
  EXPECT_EQ(f.Pixel(299, 200), 0xFF000000u);
  EXPECT_EQ(f.Pixel(300, 199), 0xFF000000u);
  EXPECT_EQ(f.Pixel(308, 208), 0xFF000000u);
}

TEST_F(Cursor, ScaleGrowsTheImageFromTheHotSpot) {
  cCursor cursor(image.c_str(), &f.Screen());
  MouseAt(500, 400);
  cursor.Draw(2.0f);
  EXPECT_TRUE(Near(f.Pixel(500, 400), 0xFFFF0000, 1));
  EXPECT_TRUE(Near(f.Pixel(515, 415), 0xFFFFFFFF, 1));
  EXPECT_EQ(f.Pixel(516, 416), 0xFF000000u);
  EXPECT_EQ(f.Pixel(499, 399), 0xFF000000u);
}

TEST_F(Cursor, PointerOffTheWindowOrWithoutImageIsHarmless) {
  cCursor cursor(image.c_str(), &f.Screen());
  MouseAt(-4, -4);  // half outside: only the bottom-right quadrant shows
  cursor.Draw(1.0f);
  EXPECT_TRUE(Near(f.Pixel(0, 0), 0xFFFFFFFF, 1));
  EXPECT_TRUE(Near(f.Pixel(3, 3), 0xFFFFFFFF, 1));
  EXPECT_EQ(f.Pixel(4, 4), 0xFF000000u);

  testing::internal::CaptureStderr();
  cCursor none((dir + "/none.tga").c_str(), &f.Screen());
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("none.tga"), std::string::npos);
  f.Screen().ClearScreen(0xFF000000);
  MouseAt(100, 100);
  none.Draw(1.0f);
  EXPECT_EQ(f.Pixel(100, 100), 0xFF000000u);
}

}  // namespace
