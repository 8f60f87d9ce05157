// GDI text on a texture through cTexture::GetDC / ReleaseDC, as the number
// plate gets the player's name: the ink stays inside the rectangle, roughly
// centred, and is in the texture (and on screen) after the context goes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "cScreen.h"
#include "cTexture.h"
#include "platform/d3dx9sprite.h"
#include "platform/wingdi.h"
#include "screen_fixture.h"
#include "test_support.h"

namespace {

constexpr DWORD kPlate = 0xFFE0E070;  // yellowish
constexpr DWORD kStrip = 0xFF2040C0;  // the blue strip left of the name

class PlateText : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(f.Open(800, 600));
    dir = vrxtest::MakeTempDir(::testing::UnitTest::GetInstance()->current_test_info()->name());
  }

  std::string Plate() {
    std::vector<DWORD> px(256 * 64);
    for (int y = 0; y < 64; ++y)
      for (int x = 0; x < 256; ++x) px[y * 256 + x] = x < 25 ? kStrip : kPlate;
    std::string path = dir + "/Tablica.tga";
    EXPECT_TRUE(vrxtest::WriteTga(path, 256, 64, px));
    return path;
  }

  // The game's sequence for painting the name.
  static void PaintName(cTexture* t, const char* name) {
    HDC dc = t->GetDC();
    LOGFONT lf;
    std::memset(&lf, 0, sizeof lf);
    lf.lfHeight = -45;
    lf.lfCharSet = DEFAULT_CHARSET;
    std::strcpy(lf.lfFaceName, "Arial");
    HFONT font = CreateFontIndirect(&lf);
    SelectObject(dc, font);
    RECT r{25, 0, 255, 63};
    DrawTextA(dc, name, -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    SelectObject(dc, GetStockObject(SYSTEM_FONT));
    DeleteObject(font);
    t->ReleaseDC();
  }

  // Level 0 as 0xAARRGGBB (32-bit formats only).
  static std::vector<DWORD> Texels(cTexture* t) {
    std::vector<DWORD> out;
    D3DLOCKED_RECT lr;
    IDirect3DTexture9* tex = t->GetTexturePointer();
    D3DSURFACE_DESC d = t->GetTextureInfo();
    if (!tex || FAILED(tex->LockRect(0, &lr, nullptr, D3DLOCK_READONLY))) return out;
    for (UINT y = 0; y < d.Height; ++y) {
      const DWORD* row = reinterpret_cast<const DWORD*>(static_cast<const uint8_t*>(lr.pBits) + y * lr.Pitch);
      out.insert(out.end(), row, row + d.Width);
    }
    tex->UnlockRect(0);
    return out;
  }

  vrxtest::ScreenFixture f;
  std::string dir;
};

TEST_F(PlateText, NameIsPaintedCentredInsideItsRectangleAndStays) {
  cTexture plate(Plate().c_str(), &f.Screen(), 0);
  ASSERT_NE(plate.GetTexturePointer(), nullptr);
  const D3DFORMAT format = plate.GetTextureInfo().Format;
  ASSERT_TRUE(format == D3DFMT_X8R8G8B8 || format == D3DFMT_A8R8G8B8);
  PaintName(&plate, "Player");

  std::vector<DWORD> px = Texels(&plate);
  ASSERT_EQ(px.size(), 256u * 64u);
  int left = 256, right = -1, top = 64, bottom = -1, changed = 0;
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 256; ++x) {
      const DWORD c = px[y * 256 + x] | 0xFF000000u;
      const DWORD before = x < 25 ? kStrip : kPlate;
      if (c == before) continue;
      ++changed;
      ASSERT_TRUE(x >= 25 && x < 255 && y < 63) << "changed outside the rectangle at " << x << "," << y;
      if ((c & 0xFF) < 0x60) {  // ink
        left = std::min(left, x);
        right = std::max(right, x);
        top = std::min(top, y);
        bottom = std::max(bottom, y);
      }
    }
  EXPECT_GT(changed, 500);
  ASSERT_GE(right, 0);
  EXPECT_NEAR((left + right) / 2.0, 140.0, 6.0);
  EXPECT_NEAR((top + bottom) / 2.0, 31.5, 6.0);
  EXPECT_GE(bottom - top, 35);

  // The texture on screen shows it too.
  f.Screen().ClearScreen(0xFF000000);
  ID3DXSprite* sprite = f.Screen().GetSpritePointer();
  D3DXMATRIX id;
  D3DXMatrixIdentity(&id);
  sprite->SetTransform(&id);
  D3DXVECTOR3 at(100, 100, 0);
  sprite->Begin(D3DXSPRITE_ALPHABLEND);
  sprite->Draw(plate.GetTexturePointer(), nullptr, nullptr, &at, 0xFFFFFFFF);
  sprite->End();
  f.SaveScreenshot("plate");
  int inkOnScreen = 0;
  std::vector<DWORD> screen = f.ReadPixels();
  for (int y = 100; y < 164; ++y)
    for (int x = 125; x < 355; ++x) inkOnScreen += (screen[y * 800 + x] & 0xFF) < 0x60 ? 1 : 0;
  EXPECT_GT(inkOnScreen, 200);
  EXPECT_TRUE(vrxtest::Near(screen[120 * 800 + 110], kStrip, 2));
}

TEST_F(PlateText, SixteenBitTexturesTakeTheTextToo) {
  cTexture t(64, 0, D3DFMT_R5G6B5, &f.Screen());
  HDC dc = t.GetDC();
  ASSERT_NE(dc, nullptr);
  EXPECT_EQ(t.GetDC(), dc);  // already lent
  RECT r{0, 0, 64, 64};
  EXPECT_GT(DrawTextA(dc, "W", -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE), 0);
  t.ReleaseDC();
  D3DLOCKED_RECT lr;
  ASSERT_EQ(D3D_OK, t.GetTexturePointer()->LockRect(0, &lr, nullptr, D3DLOCK_READONLY));
  int white = 0;
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x)
      white += reinterpret_cast<const uint16_t*>(static_cast<const uint8_t*>(lr.pBits) + y * lr.Pitch)[x] == 0xFFFF;
  t.GetTexturePointer()->UnlockRect(0);
  EXPECT_GT(white, 50);  // the opaque white background behind the letter
}

TEST_F(PlateText, TexturesWithoutPixelsForGdiGiveNoContextAndNothingBreaks) {
  testing::internal::CaptureStderr();
  cTexture missing((dir + "/none.bmp").c_str(), &f.Screen(), 0);
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(missing.GetDC(), nullptr);
  PaintName(&missing, "Player");  // every call takes the null context
  missing.ReleaseDC();

  cTexture compressed(64, 0, D3DFMT_DXT1, &f.Screen());
  ASSERT_NE(compressed.GetTexturePointer(), nullptr);
  EXPECT_EQ(compressed.GetDC(), nullptr);
  compressed.ReleaseDC();

  // A texture deleted while its context is out gives everything back.
  auto* lent = new cTexture(Plate().c_str(), &f.Screen(), 0);
  ASSERT_NE(lent->GetDC(), nullptr);
  delete lent;
  cTexture again(Plate().c_str(), &f.Screen(), 0);
  EXPECT_NE(again.GetDC(), nullptr);
  again.ReleaseDC();
}

}  // namespace
