// The bitmap font as cFont reads it: 16 x 16 cells of 32 pixels on pure
// black (the colour key), widths never above the row height, every printable
// Latin-1 character drawn inside the part of its cell cFont shows, distinct
// from the others, and the same bytes on every run.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "font.h"

namespace {

using vrxdata::kFontCell;

bool Printable(int code) { return (code >= 0x21 && code <= 0x7E) || (code >= 0xA1 && code <= 0xFF && code != 0xAD); }

class Font : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    font = new vrxdata::BitmapFont;
    ok = vrxdata::RenderBitmapFont(font);
  }
  static void TearDownTestSuite() { delete font; }
  void SetUp() override { ASSERT_TRUE(ok); }

  // The pixels of a cell's shown part (rows 1 .. R-2, columns e .. R-e).
  static std::vector<uint32_t> Cell(int code) {
    const int e = uint8_t((kFontCell - font->widths[code]) / 2);
    std::vector<uint32_t> px;
    for (int y = 1; y < kFontCell - 1; ++y)
      for (int x = e; x < kFontCell - e; ++x)
        px.push_back(font->image.at((code % 16) * kFontCell + x, (code / 16) * kFontCell + y));
    return px;
  }

  static vrxdata::BitmapFont* font;
  static bool ok;
};
vrxdata::BitmapFont* Font::font = nullptr;
bool Font::ok = false;

TEST_F(Font, GridAndWidthsAreWhatCFontReads) {
  EXPECT_EQ(font->image.width, 16 * kFontCell);
  EXPECT_EQ(font->image.height, 16 * kFontCell);  // row height = height / 16 = 32
  ASSERT_EQ(font->widths.size(), 256u);
  for (int c = 0; c < 256; ++c) EXPECT_LE(font->widths[c], kFontCell) << c;
  // Control codes draw nothing and take no room; a space takes room.
  for (int c = 0; c < 0x20; ++c) EXPECT_EQ(font->widths[c], 0) << c;
  EXPECT_GT(font->widths[' '], 4);
  EXPECT_GT(font->widths['W'], font->widths['i']);
}

TEST_F(Font, EveryPrintableCharacterIsDrawnWhereCFontLooks) {
  std::set<std::vector<uint32_t>> seen;
  for (int code = 0; code < 256; ++code) {
    if (!Printable(code)) continue;
    ASSERT_GT(font->widths[code], 0) << code;
    const std::vector<uint32_t> shown = Cell(code);
    int lit = 0;
    for (uint32_t p : shown) lit += (p & 0xFF) > 200;
    EXPECT_GE(lit, 3) << "character " << code;
    seen.insert(shown);
    // Nothing outside the shown part: the first and last rows of the cell
    // and the columns beside the shown part stay black (transparent).
    const int e = uint8_t((kFontCell - font->widths[code]) / 2);
    for (int y = 0; y < kFontCell; ++y)
      for (int x = 0; x < kFontCell; ++x) {
        const bool inside = y >= 1 && y < kFontCell - 1 && x >= e && x < kFontCell - e;
        const uint32_t p = font->image.at((code % 16) * kFontCell + x, (code / 16) * kFontCell + y);
        if (!inside) {
          EXPECT_LT(p & 0xFF, 60) << "character " << code << " at " << x << "," << y;
        }
      }
  }
  // Characters look different from one another (a few share a shape: the
  // apostrophe-like marks in the code page's upper half).
  EXPECT_GT(seen.size(), 180u);
}

TEST_F(Font, OnlyTheBackgroundIsTheColourKey) {
  int key = 0, grey = 0;
  for (uint32_t p : font->image.argb) {
    EXPECT_EQ(p >> 24, 0xFFu);
    const uint32_t r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
    EXPECT_TRUE(r == g && g == b);  // white characters with a dark rim
    if ((p & 0xFFFFFF) == 0) ++key;
    else ++grey;
  }
  EXPECT_GT(key, grey);
  EXPECT_GT(grey, 5000);
}

TEST_F(Font, IsTheSameOnEveryRun) {
  vrxdata::BitmapFont again;
  ASSERT_TRUE(vrxdata::RenderBitmapFont(&again));
  EXPECT_EQ(again.widths, font->widths);
  EXPECT_TRUE(again.image.argb == font->image.argb);
}

}  // namespace
