// Text drawn through the GDI stand-in into a memory device context: the
// number-plate call sequence, GDI's height rules, placement, clipping,
// code-page bytes and handle checks.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "platform/wingdi.h"
#include "sys/gdi_dc.h"

namespace {

constexpr uint32_t kPaper = 0xFF808080;

struct Dc {
  Dc(int w, int h) : dc(vrxgdi::CreateMemoryDC(w, h)) {
    std::fill(dc->pixels.begin(), dc->pixels.end(), kPaper);
  }
  ~Dc() { vrxgdi::DeleteMemoryDC(dc); }
  uint32_t At(int x, int y) const { return dc->pixels[static_cast<size_t>(y) * dc->width + x]; }
  HDC dc;
};

LOGFONTA Arial(LONG height) {
  LOGFONTA lf;
  std::memset(&lf, 0, sizeof lf);
  lf.lfHeight = height;
  lf.lfCharSet = DEFAULT_CHARSET;
  std::strcpy(lf.lfFaceName, "Arial");
  return lf;
}

// Bounding box of the pixels darker than the paper (the glyphs' ink).
struct Box {
  int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;
  bool Empty() const { return right < 0; }
};
Box InkBox(const Dc& d) {
  Box b;
  for (int y = 0; y < d.dc->height; ++y)
    for (int x = 0; x < d.dc->width; ++x)
      if ((d.At(x, y) & 0xFF) < 0x60) {
        b.left = std::min(b.left, x);
        b.top = std::min(b.top, y);
        b.right = std::max(b.right, x);
        b.bottom = std::max(b.bottom, y);
      }
  return b;
}

// Draws `text` with a fresh font and gives the font back as the plate code does.
int Draw(const Dc& d, LONG height, const char* text, RECT rect, UINT format) {
  LOGFONTA lf = Arial(height);
  HFONT font = CreateFontIndirectA(&lf);
  HGDIOBJ old = SelectObject(d.dc, font);
  EXPECT_NE(old, nullptr);
  int result = DrawTextA(d.dc, text, -1, &rect, format);
  SelectObject(d.dc, GetStockObject(SYSTEM_FONT));
  EXPECT_TRUE(DeleteObject(font));
  return result;
}

TEST(Gdi, PlateNameIsCentredInsideItsRectangle) {
  Dc d(256, 64);
  RECT rect{25, 0, 255, 63};
  int r = Draw(d, -45, "Player", rect, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  EXPECT_GT(r, 0);

  int changed = 0;
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 256; ++x)
      if (d.At(x, y) != kPaper) {
        ++changed;
        EXPECT_TRUE(x >= 25 && x < 255 && y < 63) << "pixel outside the rectangle at " << x << "," << y;
      }
  EXPECT_GT(changed, 200);

  Box ink = InkBox(d);
  ASSERT_FALSE(ink.Empty());
  // "Player" at 45 pixels: a capital about 32 pixels tall plus a descender.
  EXPECT_GE(ink.bottom - ink.top, 35);
  EXPECT_LE(ink.bottom - ink.top, 50);
  EXPECT_GE(ink.right - ink.left, 100);
  EXPECT_NEAR((ink.left + ink.right) / 2.0, (25 + 255) / 2.0, 6.0);
  EXPECT_NEAR((ink.top + ink.bottom) / 2.0, 63 / 2.0, 6.0);
}

TEST(Gdi, NegativeHeightIsTheEmAndPositiveTheCell) {
  Dc d(300, 100);
  RECT rect{0, 0, 300, 100};
  int cell45 = Draw(d, 45, "H", rect, DT_SINGLELINE);
  EXPECT_EQ(cell45, 45);
  Box small = InkBox(d);

  Dc e(300, 100);
  int em45 = Draw(e, -45, "H", rect, DT_SINGLELINE);
  EXPECT_GT(em45, 45);  // the cell adds the internal leading to the em
  Box big = InkBox(e);
  ASSERT_FALSE(small.Empty());
  ASSERT_FALSE(big.Empty());
  // A sans capital H is about 0.72 em tall.
  EXPECT_NEAR(big.bottom - big.top + 1, 0.72 * 45, 3.0);
  EXPECT_LT(small.bottom - small.top, big.bottom - big.top);
}

TEST(Gdi, PlacementFlagsMoveTheLine) {
  RECT rect{10, 10, 290, 90};
  Dc left(300, 100), right(300, 100), bottom(300, 100);
  Draw(left, -20, "ab", rect, DT_SINGLELINE);
  Draw(right, -20, "ab", rect, DT_SINGLELINE | DT_RIGHT);
  int r = Draw(bottom, -20, "ab", rect, DT_SINGLELINE | DT_BOTTOM);
  Box l = InkBox(left), rt = InkBox(right), b = InkBox(bottom);
  EXPECT_LT(l.left, 16);
  EXPECT_GT(rt.right, 282);
  EXPECT_GT(b.bottom, 75);
  EXPECT_EQ(r, 80);  // DT_BOTTOM reports the distance from the top to the line's bottom
}

TEST(Gdi, TextIsClippedToTheRectangleUnlessNoClip) {
  RECT rect{40, 20, 80, 40};
  Dc clipped(200, 60);
  Draw(clipped, -30, "WWWWWWWW", rect, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  for (int y = 0; y < 60; ++y)
    for (int x = 0; x < 200; ++x) {
      if (clipped.At(x, y) != kPaper) {
        ASSERT_TRUE(x >= 40 && x < 80 && y >= 20 && y < 40) << x << "," << y;
      }
    }

  Dc unclipped(200, 60);
  Draw(unclipped, -30, "WWWWWWWW", rect, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOCLIP);
  Box ink = InkBox(unclipped);
  EXPECT_LT(ink.left, 40);
  EXPECT_GT(ink.right, 80);
}

TEST(Gdi, BackgroundIsOpaqueWhiteAndTextBlack) {
  Dc d(120, 40);
  RECT rect{0, 0, 120, 40};
  Draw(d, -30, "I", rect, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  bool white = false, black = false;
  for (uint32_t p : d.dc->pixels) {
    white |= p == 0xFFFFFFFF;
    black |= p == 0xFF000000;
  }
  EXPECT_TRUE(white);
  EXPECT_TRUE(black);
  EXPECT_EQ(d.At(0, 0), kPaper);  // outside the line's extent
}

TEST(Gdi, CodePageBytesNeverFailAndUnknownOnesTakeNoRoom) {
  RECT rect{0, 0, 200, 50};
  Dc with(200, 50), without(200, 50);
  Draw(with, -24, "A\x81\x8D" "B", rect, DT_SINGLELINE);
  Draw(without, -24, "AB", rect, DT_SINGLELINE);
  EXPECT_EQ(with.dc->pixels, without.dc->pixels);

  Dc high(200, 50);
  Draw(high, -24, "\xE9\xFC\x80\xFF\x9F", rect, DT_SINGLELINE);
  EXPECT_FALSE(InkBox(high).Empty());  // e acute, u umlaut, euro sign and so on exist in a sans face
}

TEST(Gdi, EmptyTextDrawsNothing) {
  Dc d(64, 32);
  RECT rect{0, 0, 64, 32};
  EXPECT_GT(Draw(d, -20, "", rect, DT_CENTER | DT_VCENTER | DT_SINGLELINE), 0);
  for (uint32_t p : d.dc->pixels) ASSERT_EQ(p, kPaper);
}

TEST(Gdi, CountLimitsTheBytesDrawn) {
  RECT rect{0, 0, 200, 50};
  Dc part(200, 50), whole(200, 50);
  LOGFONTA lf = Arial(-24);
  HFONT font = CreateFontIndirectA(&lf);
  SelectObject(part.dc, font);
  DrawTextA(part.dc, "ABCD", 2, &rect, DT_SINGLELINE);
  SelectObject(part.dc, GetStockObject(SYSTEM_FONT));
  DeleteObject(font);
  Draw(whole, -24, "AB", rect, DT_SINGLELINE);
  EXPECT_EQ(part.dc->pixels, whole.dc->pixels);
}

TEST(Gdi, HandlesAreChecked) {
  Dc d(32, 32);
  RECT rect{0, 0, 32, 32};
  LOGFONTA lf = Arial(-12);
  HFONT font = CreateFontIndirectA(&lf);
  HGDIOBJ stock = GetStockObject(SYSTEM_FONT);
  ASSERT_NE(stock, nullptr);
  EXPECT_EQ(GetStockObject(0), nullptr);
  EXPECT_EQ(SelectObject(d.dc, font), stock);
  EXPECT_FALSE(DeleteObject(font));  // still selected
  EXPECT_EQ(SelectObject(d.dc, stock), font);
  EXPECT_TRUE(DeleteObject(font));
  EXPECT_FALSE(DeleteObject(font));
  EXPECT_EQ(SelectObject(d.dc, font), nullptr);
  EXPECT_FALSE(DeleteObject(stock));
  EXPECT_EQ(CreateFontIndirectA(nullptr), nullptr);
  EXPECT_EQ(DrawTextA(nullptr, "x", -1, &rect, 0), 0);
  EXPECT_EQ(DrawTextA(d.dc, nullptr, -1, &rect, 0), 0);
  EXPECT_EQ(DrawTextA(d.dc, "x", -1, nullptr, 0), 0);
  // The stock font draws too.
  EXPECT_GT(DrawTextA(d.dc, "x", -1, &rect, 0), 0);
}

}  // namespace
