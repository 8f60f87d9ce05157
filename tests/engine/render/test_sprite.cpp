// cSprite on an 808 x 606 client area: relative size and position, rotation
// about the centre point, colour, the depth state it leaves, and a missing
// image.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cScreen.h"
#include "cSprite.h"
#include "screen_fixture.h"
#include "test_support.h"

namespace {

using vrxtest::Near;

class Sprite : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(f.Open(808, 606));
    dir = vrxtest::MakeTempDir(::testing::UnitTest::GetInstance()->current_test_info()->name());
    f.Screen().ClearScreen(0xFF000000);
  }

  // w x h texels, left half `left`, right half `right`.
  std::string Image(int w, int h, DWORD left, DWORD right) {
    std::vector<DWORD> px((size_t)w * h);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) px[(size_t)y * w + x] = x < w / 2 ? left : right;
    std::string path = dir + "/img" + std::to_string(++images) + ".tga";
    EXPECT_TRUE(vrxtest::WriteTga(path, w, h, px));
    return path;
  }

  // Extent of the non-black pixels along one row / one column.
  int RowRun(int y) {
    std::vector<DWORD> px = f.ReadPixels();
    int n = 0;
    for (int x = 0; x < 808; ++x) n += px[(size_t)y * 808 + x] != 0xFF000000 ? 1 : 0;
    return n;
  }
  int ColumnRun(int x) {
    std::vector<DWORD> px = f.ReadPixels();
    int n = 0;
    for (int y = 0; y < 606; ++y) n += px[(size_t)y * 808 + x] != 0xFF000000 ? 1 : 0;
    return n;
  }

  vrxtest::ScreenFixture f;
  std::string dir;
  int images = 0;
};

TEST_F(Sprite, RelativeScaleOneShowsTheImageAtClientWidthOverAThousand) {
  cSprite s(Image(100, 50, 0xFFFF0000, 0xFFFF0000).c_str(), &f.Screen());
  EXPECT_EQ(s.GetTextureInfo().Width, 100u);
  EXPECT_EQ(s.GetTextureInfo().Height, 50u);
  D3DXVECTOR2 scale(1, 1), centre(0, 0), at(0.5f, 0.5f);
  s.DrawRelative(&scale, &centre, 0.0f, &at, 0xFFFFFFFF);
  f.SaveScreenshot("sprite_relative");
  // 0.808 x 100 by 0.808 x 50 pixels from (404, 303).
  EXPECT_NEAR(RowRun(320), 80.8, 1.0);
  EXPECT_NEAR(ColumnRun(440), 40.4, 1.0);
  EXPECT_TRUE(Near(f.Pixel(404, 303), 0xFFFF0000, 2));
  EXPECT_EQ(f.Pixel(403, 303), 0xFF000000u);
  EXPECT_EQ(f.Pixel(404, 302), 0xFF000000u);
}

TEST_F(Sprite, TurnsAboutTheCentrePointWhichLandsOnThePosition) {
  cSprite s(Image(40, 20, 0xFFFF0000, 0xFF0000FF).c_str(), &f.Screen());
  D3DXVECTOR2 scale(1, 1), centre(20, 10), at(200, 200);
  s.Draw(&scale, &centre, 3.14159265f / 2, &at, 0xFFFFFFFF);
  f.SaveScreenshot("sprite_turned_quarter");
  // A quarter turn clockwise on screen: the left (red) half points up.
  EXPECT_TRUE(Near(f.Pixel(200, 185), 0xFFFF0000, 2)) << vrxtest::Hex(f.Pixel(200, 185));
  EXPECT_TRUE(Near(f.Pixel(200, 215), 0xFF0000FF, 2)) << vrxtest::Hex(f.Pixel(200, 215));
  EXPECT_EQ(f.Pixel(186, 200), 0xFF000000u);  // now 20 wide, 40 tall
  EXPECT_EQ(f.Pixel(200, 178), 0xFF000000u);
  EXPECT_NEAR(RowRun(195), 20, 1);
  EXPECT_NEAR(ColumnRun(200), 40, 1);

  // Scale applies about the same point.
  f.Screen().ClearScreen(0xFF000000);
  D3DXVECTOR2 twice(2, 3);
  s.Draw(&twice, &centre, 0.0f, &at, 0xFFFFFFFF);
  EXPECT_NEAR(RowRun(200), 80, 1);
  EXPECT_NEAR(ColumnRun(200), 60, 1);
  EXPECT_TRUE(Near(f.Pixel(165, 200), 0xFFFF0000, 2));
  EXPECT_TRUE(Near(f.Pixel(235, 200), 0xFF0000FF, 2));
}

TEST_F(Sprite, ColourModulatesTheImage) {
  cSprite s(Image(16, 16, 0xFFFFFFFF, 0xFFFFFFFF).c_str(), &f.Screen());
  D3DXVECTOR2 scale(1, 1), centre(0, 0), a(10, 10), b(40, 10);
  s.Draw(&scale, &centre, 0.0f, &a, 0xFF00FF00);
  s.Draw(&scale, &centre, 0.0f, &b, 0x80FF0000);
  EXPECT_TRUE(Near(f.Pixel(15, 15), 0xFF00FF00, 2));
  EXPECT_TRUE(Near(f.Pixel(45, 15), 0xFF800000, 3)) << vrxtest::Hex(f.Pixel(45, 15));
}

TEST_F(Sprite, DrawsOverEverythingAndLeavesLessOrEqualWithWrites) {
  cSprite s(Image(16, 16, 0xFFFFFFFF, 0xFFFFFFFF).c_str(), &f.Screen());
  IDirect3DDevice9* dev = f.Device();
  dev->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 0.0f, 0);  // the nearest depth everywhere
  dev->SetRenderState(D3DRS_ZFUNC, D3DCMP_GREATER);
  dev->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
  D3DXVECTOR2 scale(1, 1), centre(0, 0), at(50, 50);
  s.Draw(&scale, &centre, 0.0f, &at, 0xFFFFFFFF);
  EXPECT_TRUE(Near(f.Pixel(55, 55), 0xFFFFFFFF, 2));
  DWORD v = 0;
  dev->GetRenderState(D3DRS_ZFUNC, &v);
  EXPECT_EQ(v, (DWORD)D3DCMP_LESSEQUAL);
  dev->GetRenderState(D3DRS_ZWRITEENABLE, &v);
  EXPECT_EQ(v, 1u);
}

TEST_F(Sprite, ZeroScaleDrawsNothing) {
  cSprite s(Image(16, 16, 0xFFFFFFFF, 0xFFFFFFFF).c_str(), &f.Screen());
  D3DXVECTOR2 flat(0, 1), centre(8, 8), at(100, 100);
  s.Draw(&flat, &centre, 0.0f, &at, 0xFFFFFFFF);
  EXPECT_EQ(RowRun(100), 0);
  EXPECT_EQ(ColumnRun(100), 0);
  DWORD v = 0;
  f.Device()->GetRenderState(D3DRS_ZFUNC, &v);
  EXPECT_EQ(v, (DWORD)D3DCMP_LESSEQUAL);
}

TEST_F(Sprite, MissingImageDrawsNothingAndSaysSo) {
  testing::internal::CaptureStderr();
  cSprite s((dir + "/missing.tga").c_str(), &f.Screen());
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("missing.tga"), std::string::npos) << err;
  EXPECT_EQ(err.find('\n'), err.size() - 1) << err;
  D3DXVECTOR2 scale(1, 1), centre(0, 0), at(0, 0);
  s.DrawRelative(&scale, &centre, 0.0f, &at, 0xFFFFFFFF);
  EXPECT_EQ(RowRun(0), 0);
  EXPECT_EQ(s.GetTextureInfo().Width, 0u);
}

}  // namespace
