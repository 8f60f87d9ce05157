// cFont on a generated 16 x 16 cell image whose texels say where they come
// from (red = character code, green = column in the cell, blue = row): cell
// trimming and pen advance with and without a width file, the colour key,
// bytes above 127, empty texts, the number overloads, relative placement and
// missing files.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "cFont.h"
#include "cScreen.h"
#include "platform/d3dx9sprite.h"
#include "screen_fixture.h"
#include "test_support.h"

namespace {

constexpr DWORD kGrey = 0xFF404040;
constexpr DWORD kKey = 0xFF000000;  // colour key: transparent
constexpr BYTE kHollow = 'O';       // a cell whose inside is all key colour

// Texel of the cell image: the first and last row of every cell are magenta,
// which the font must never show.
DWORD CellTexel(int code, int cx, int cy, int r) {
  if (cy == 0 || cy == r - 1) return 0xFFFF00FF;
  if (code == kHollow) return kKey;
  return 0xFF000000u | (DWORD)code << 16 | (DWORD)(cx * 8) << 8 | (DWORD)(cy * 8 + 4);
}

class Font : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(f.Open(808, 606));
    dir = vrxtest::MakeTempDir(::testing::UnitTest::GetInstance()->current_test_info()->name());
    f.Screen().ClearScreen(kGrey);
  }

  // An image of 16 x 16 cells, each cellWidth x 16 texels (row height 16).
  std::string Image(int cellWidth = 16) {
    const int w = cellWidth * 16, h = 256;
    std::vector<DWORD> px((size_t)w * h);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        // The font reads its cells at R * column whatever the image width,
        // so texels are labelled by the 16-wide cell they fall in.
        px[(size_t)y * w + x] = CellTexel((y / 16) * 16 + x / 16, x % 16, y % 16, 16);
      }
    std::string path = dir + "/font.tga";
    EXPECT_TRUE(vrxtest::WriteTga(path, w, h, px));
    return path;
  }

  std::string Widths(const std::vector<std::pair<BYTE, BYTE>>& set, size_t bytes = 256) {
    std::vector<BYTE> w(256, 16);
    for (auto& p : set) w[p.first] = p.second;
    std::string path = dir + "/font.dat";
    EXPECT_TRUE(vrxtest::WriteFile(path, w.data(), bytes));
    return path;
  }

  // The pixel shows texel (cx, cy) of character `code`'s cell.
  void ExpectTexel(int x, int y, int code, int cx, int cy) {
    DWORD want = CellTexel(code, cx, cy, 16), got = f.Pixel(x, y);
    EXPECT_TRUE(vrxtest::Near(got, want, 1))
        << "pixel " << x << "," << y << " is " << vrxtest::Hex(got) << ", want " << vrxtest::Hex(want) << " (char "
        << code << " texel " << cx << "," << cy << ")";
  }

  // The first column at or after x0 on row y that is not the background.
  int FirstInk(int y, int x0 = 0) {
    std::vector<DWORD> px = f.ReadPixels();
    for (int x = x0; x < 808; ++x)
      if (px[(size_t)y * 808 + x] != kGrey) return x;
    return -1;
  }
  int InkCount(int y) {
    std::vector<DWORD> px = f.ReadPixels();
    return (int)std::count_if(px.begin() + y * 808, px.begin() + (y + 1) * 808, [](DWORD c) { return c != kGrey; });
  }
  bool Blank() {
    std::vector<DWORD> px = f.ReadPixels();
    return !px.empty() && std::all_of(px.begin(), px.end(), [](DWORD c) { return c == kGrey; });
  }

  vrxtest::ScreenFixture f;
  std::string dir;
};

TEST_F(Font, WithoutWidthFileEveryCellIsDrawnWholeButItsFirstAndLastRow) {
  cFont font(Image().c_str(), nullptr, kKey, &f.Screen());
  EXPECT_EQ(font.GetRowHeight(), 16);
  EXPECT_EQ(font.GetCharacterWidth('A'), 16);
  font.PutText(100, 100, 1, 1, "AB");
  f.SaveScreenshot("font_ab");
  for (int k = 0; k < 16; ++k) {
    ExpectTexel(100 + k, 100, 'A', k, 1);
    ExpectTexel(100 + k, 113, 'A', k, 14);
    ExpectTexel(116 + k, 105, 'B', k, 6);
  }
  // 14 rows tall: the magenta rows are left out.
  EXPECT_EQ(f.Pixel(100, 99), kGrey);
  EXPECT_EQ(f.Pixel(100, 114), kGrey);
  EXPECT_EQ(f.Pixel(132, 105), kGrey);
  EXPECT_EQ(InkCount(105), 32);
}

TEST_F(Font, NarrowCellsAdvanceByTheTrimmedWidth) {
  // Image 192 x 256: R = 16, widths 12, margins (16 - 12) / 2 = 2, advance 12.
  cFont font(Image(12).c_str(), nullptr, kKey, &f.Screen());
  EXPECT_EQ(font.GetCharacterWidth('x'), 12);
  font.PutText(200, 200, 1, 1, "AB");
  ExpectTexel(200, 205, 'A', 2, 6);
  ExpectTexel(211, 205, 'A', 13, 6);
  ExpectTexel(212, 205, 'B', 2, 6);
  EXPECT_EQ(InkCount(205), 24);
}

TEST_F(Font, WidthFileTrimsEachCellAroundItsMiddle) {
  // 'A' 10 wide: margins 3, texels 3..12, advance 10. 'B' 9 wide: margins
  // (16 - 9) / 2 = 3 as well, so it also advances 10. 'W' 20 is wider than
  // the cell and takes the whole cell instead of wrapping its margin.
  cFont font(Image().c_str(), Widths({{'A', 10}, {'B', 9}, {'W', 20}}).c_str(), kKey, &f.Screen());
  EXPECT_EQ(font.GetCharacterWidth('A'), 10);
  EXPECT_EQ(font.GetCharacterWidth('B'), 9);
  EXPECT_EQ(font.GetPixelLength("AB"), 19u);
  EXPECT_EQ(font.GetPixelLength("ABW"), 39u);
  EXPECT_EQ(font.GetPixelLength(""), 0u);
  font.PutText(100, 100, 1, 1, "ABWA");
  ExpectTexel(100, 105, 'A', 3, 6);
  ExpectTexel(109, 105, 'A', 12, 6);
  ExpectTexel(110, 105, 'B', 3, 6);
  ExpectTexel(119, 105, 'B', 12, 6);
  ExpectTexel(120, 105, 'W', 0, 6);
  ExpectTexel(135, 105, 'W', 15, 6);
  ExpectTexel(136, 105, 'A', 3, 6);
  EXPECT_EQ(InkCount(105), 10 + 10 + 16 + 10);
}

TEST_F(Font, ScaleStretchesTheTextFromItsTopLeftCorner) {
  cFont font(Image().c_str(), nullptr, kKey, &f.Screen());
  font.PutText(100, 100, 2, 3, "A");
  EXPECT_EQ(InkCount(120), 32);
  EXPECT_EQ(FirstInk(120), 100);
  EXPECT_EQ(f.Pixel(110, 99), kGrey);
  EXPECT_NE(f.Pixel(110, 100), kGrey);
  EXPECT_NE(f.Pixel(110, 141), kGrey);
  EXPECT_EQ(f.Pixel(110, 142), kGrey);  // 14 rows x 3
}

TEST_F(Font, ColourKeyedTexelsAreTransparent) {
  cFont font(Image().c_str(), nullptr, kKey, &f.Screen());
  font.PutText(100, 100, 1, 1, "AOA");
  EXPECT_EQ(InkCount(105), 32);
  EXPECT_EQ(f.Pixel(120, 105), kGrey);
}

TEST_F(Font, BytesAboveOneHundredAndTwentySevenAreCellsLikeAnyOther) {
  cFont font(Image().c_str(), nullptr, kKey, &f.Screen());
  font.PutText(100, 100, 1, 1, "\xC4\xFF\x80");
  ExpectTexel(100, 105, 0xC4, 0, 6);
  ExpectTexel(116, 105, 0xFF, 0, 6);
  ExpectTexel(132, 105, 0x80, 0, 6);
  EXPECT_EQ(font.GetPixelLength("\xC4\xFF"), 32u);
}

TEST_F(Font, EmptyTextOpensAndClosesABatchAndDrawsNothing) {
  cFont font(Image().c_str(), nullptr, kKey, &f.Screen());
  ID3DXSprite* sprite = f.Screen().GetSpritePointer();
  DWORD before = VrxSpriteBatchCount(sprite);
  font.PutText(100, 100, 1, 1, "");
  EXPECT_EQ(VrxSpriteBatchCount(sprite), before + 1);
  EXPECT_TRUE(Blank());
}

TEST_F(Font, NumbersAreWrittenAsIntegersAndWithTwoDecimals) {
  cFont font(Image().c_str(), nullptr, kKey, &f.Screen());
  font.PutText(10, 10, 1, 1, -42);
  font.PutText(10, 40, 1, 1, 3.14159f);
  ExpectTexel(10, 15, '-', 0, 6);
  ExpectTexel(26, 15, '4', 0, 6);
  ExpectTexel(42, 15, '2', 0, 6);
  EXPECT_EQ(FirstInk(15, 58), -1);
  ExpectTexel(10, 45, '3', 0, 6);
  ExpectTexel(26, 45, '.', 0, 6);
  ExpectTexel(42, 45, '1', 0, 6);
  ExpectTexel(58, 45, '4', 0, 6);
  EXPECT_EQ(FirstInk(45, 74), -1);
}

TEST_F(Font, RelativeTextScalesWithTheClientArea) {
  cFont font(Image().c_str(), nullptr, kKey, &f.Screen());
  // 808 x 606: x 0.5 -> 404, y 0.5 -> 303, scale 0.808 both ways.
  font.PutTextRelative(0.5f, 0.5f, 1, 1, 7);
  const int y = 303 + 6;
  EXPECT_EQ(FirstInk(y), 404);
  EXPECT_NEAR(InkCount(y), 16 * 0.808, 1.0);
  font.PutTextRelative(0.1f, 0.1f, 1, 1, 7.5f);
  EXPECT_EQ(FirstInk(60 + 6), 81);  // "7.50" at (80.8, 60.6)
}

TEST_F(Font, ZeroScaleDrawsNothing) {
  cFont font(Image().c_str(), nullptr, kKey, &f.Screen());
  font.PutText(100, 100, 0, 1, "AB");
  font.PutText(100, 100, 1, 0, "AB");
  EXPECT_TRUE(Blank());
}

TEST_F(Font, DepthTestComesBackAsLessOrEqualAndWritesAreLeftAlone) {
  cFont font(Image().c_str(), nullptr, kKey, &f.Screen());
  IDirect3DDevice9* dev = f.Device();
  dev->SetRenderState(D3DRS_ZFUNC, D3DCMP_NEVER);
  dev->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
  font.PutText(100, 100, 1, 1, "A");
  EXPECT_NE(f.Pixel(105, 105), kGrey);  // drawn whatever the depth test was
  DWORD v = 0;
  dev->GetRenderState(D3DRS_ZFUNC, &v);
  EXPECT_EQ(v, (DWORD)D3DCMP_LESSEQUAL);
  dev->GetRenderState(D3DRS_ZWRITEENABLE, &v);
  EXPECT_EQ(v, 0u);
}

TEST_F(Font, MissingFilesDrawNothingAndSaySoOnce) {
  std::string image = Image();
  testing::internal::CaptureStderr();
  cFont noWidths(image.c_str(), (dir + "/none.dat").c_str(), kKey, &f.Screen());
  cFont noImage((dir + "/none.bmp").c_str(), nullptr, kKey, &f.Screen());
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("none.dat"), std::string::npos) << err;
  EXPECT_NE(err.find("none.bmp"), std::string::npos) << err;
  EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 2) << err;

  EXPECT_EQ(noWidths.GetCharacterWidth('A'), 0);
  EXPECT_EQ(noWidths.GetPixelLength("AB"), 0u);
  EXPECT_EQ(noImage.GetRowHeight(), 0);
  noWidths.PutText(100, 100, 1, 1, "Hello \xFF");
  noImage.PutText(100, 200, 1, 1, "Hello");
  noImage.PutTextRelative(0.1f, 0.1f, 1, 1, "Hello");
  EXPECT_TRUE(Blank());

  // A short width file leaves the widths it does not reach at 0.
  cFont shortFile(image.c_str(), Widths({{'A', 10}}, 66).c_str(), kKey, &f.Screen());
  EXPECT_EQ(shortFile.GetCharacterWidth('A'), 10);
  EXPECT_EQ(shortFile.GetCharacterWidth('B'), 0);
}

}  // namespace
