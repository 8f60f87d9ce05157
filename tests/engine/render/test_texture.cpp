// cTexture over the D3DX file loaders: TGA, BMP and DDS files at their own
// size, mip chains, colour keys, render targets, and files that are missing
// or broken.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "cScreen.h"
#include "cTexture.h"
#include "platform/d3dx9.h"
#include "screen_fixture.h"
#include "test_support.h"

namespace {

void Put16(std::vector<uint8_t>& b, size_t at, unsigned v) {
  b[at] = (uint8_t)v;
  b[at + 1] = (uint8_t)(v >> 8);
}
void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = (uint8_t)(v >> (8 * i));
}

// 24-bit BMP, rows stored bottom-up and padded to four bytes.
std::vector<uint8_t> Bmp24(int w, int h, const std::vector<DWORD>& argb) {
  int row = (w * 3 + 3) & ~3;
  std::vector<uint8_t> b(54 + (size_t)row * h, 0);
  b[0] = 'B';
  b[1] = 'M';
  Put32(b, 2, (uint32_t)b.size());
  Put32(b, 10, 54);
  Put32(b, 14, 40);
  Put32(b, 18, (uint32_t)w);
  Put32(b, 22, (uint32_t)h);
  Put16(b, 26, 1);
  Put16(b, 28, 24);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      DWORD c = argb[(size_t)y * w + x];
      uint8_t* p = &b[54 + (size_t)(h - 1 - y) * row + x * 3];
      p[0] = (uint8_t)c;
      p[1] = (uint8_t)(c >> 8);
      p[2] = (uint8_t)(c >> 16);
    }
  return b;
}

// A DDS file with one DXT1 level of one 4 x 4 block.
std::vector<uint8_t> Dxt1Block(WORD colour0, WORD colour1, uint32_t indices) {
  std::vector<uint8_t> b(128 + 8, 0);
  memcpy(b.data(), "DDS ", 4);
  Put32(b, 4, 124);
  Put32(b, 8, 0x1 | 0x2 | 0x4 | 0x1000 | 0x80000);  // caps, height, width, pixel format, linear size
  Put32(b, 12, 4);
  Put32(b, 16, 4);
  Put32(b, 20, 8);
  Put32(b, 76, 32);
  Put32(b, 80, 0x4);  // four-cc
  memcpy(&b[84], "DXT1", 4);
  Put32(b, 108, 0x1000);
  Put16(b, 128, colour0);
  Put16(b, 130, colour1);
  Put32(b, 132, indices);
  return b;
}

class TextureTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(f.Open(128, 96));
    dir = vrxtest::MakeTempDir(::testing::UnitTest::GetInstance()->current_test_info()->name());
  }
  std::string Tga(const char* name, int w, int h, const std::vector<DWORD>& px) {
    std::string path = dir + "/" + name;
    EXPECT_TRUE(vrxtest::WriteTga(path, w, h, px));
    return path;
  }
  DWORD Texel(IDirect3DTexture9* t, UINT level, int x, int y) {
    D3DLOCKED_RECT lr;
    DWORD v = 0;
    if (FAILED(t->LockRect(level, &lr, nullptr, D3DLOCK_READONLY))) return 0xDEADBEEF;
    memcpy(&v, static_cast<uint8_t*>(lr.pBits) + y * lr.Pitch + x * 4, 4);
    t->UnlockRect(level);
    return v;
  }
  vrxtest::ScreenFixture f;
  std::string dir;
};

TEST_F(TextureTest, FileAtItsOwnSizeWithAFullMipChain) {
  std::vector<DWORD> px(12 * 5, 0xFF204080);
  px[0] = 0x80FF0000;
  cTexture tex(Tga("odd.tga", 12, 5, px).c_str(), &f.Screen());
  IDirect3DTexture9* t = tex.GetTexturePointer();
  ASSERT_NE(nullptr, t);
  D3DSURFACE_DESC d = tex.GetTextureInfo();
  EXPECT_EQ(12u, d.Width);  // not rounded to powers of two
  EXPECT_EQ(5u, d.Height);
  EXPECT_EQ(D3DFMT_A8R8G8B8, d.Format);
  EXPECT_EQ(D3DPOOL_MANAGED, d.Pool);
  EXPECT_EQ(4u, t->GetLevelCount());  // 12x5, 6x2, 3x1, 1x1
  D3DXIMAGE_INFO info = tex.GetImageInfo();
  EXPECT_EQ(12u, info.Width);
  EXPECT_EQ(5u, info.Height);
  EXPECT_EQ(D3DXIFF_TGA, info.ImageFileFormat);
  EXPECT_EQ(0x80FF0000u, Texel(t, 0, 0, 0));
  EXPECT_EQ(0xFF204080u, Texel(t, 0, 11, 4));

  // Without the own-size request D3DX rounds up to powers of two.
  IDirect3DTexture9* rounded = nullptr;
  ASSERT_EQ(D3D_OK, D3DXCreateTextureFromFileA(f.Device(), (dir + "/odd.tga").c_str(), &rounded));
  D3DSURFACE_DESC rd;
  rounded->GetLevelDesc(0, &rd);
  EXPECT_EQ(16u, rd.Width);
  EXPECT_EQ(8u, rd.Height);
  EXPECT_EQ(0xFF204080u, Texel(rounded, 0, 15, 7));
  rounded->Release();
}

TEST_F(TextureTest, ColourKeyGivesOneLevelAndTransparentPixels) {
  // The font's case: a BMP without alpha keyed on opaque black.
  std::vector<DWORD> px(8 * 8, 0xFFFFFFFF);
  for (int i = 0; i < 8; ++i) px[i * 8 + i] = 0xFF000000;
  std::string path = dir + "/font.bmp";
  std::vector<uint8_t> bmp = Bmp24(8, 8, px);
  ASSERT_TRUE(vrxtest::WriteFile(path, bmp.data(), bmp.size()));
  cTexture keyed(path.c_str(), &f.Screen(), 0xFF000000);
  IDirect3DTexture9* t = keyed.GetTexturePointer();
  ASSERT_NE(nullptr, t);
  EXPECT_EQ(1u, t->GetLevelCount());
  EXPECT_EQ(D3DFMT_A8R8G8B8, keyed.GetTextureInfo().Format);  // alpha added for the key
  EXPECT_EQ(D3DFMT_R8G8B8, keyed.GetImageInfo().Format);
  EXPECT_EQ(D3DXIFF_BMP, keyed.GetImageInfo().ImageFileFormat);
  EXPECT_EQ(0x00000000u, Texel(t, 0, 3, 3));
  EXPECT_EQ(0xFFFFFFFFu, Texel(t, 0, 4, 3));

  // Key 0 is no key (the number plate): the file's own format, opaque.
  cTexture plain(path.c_str(), &f.Screen(), 0);
  ASSERT_NE(nullptr, plain.GetTexturePointer());
  EXPECT_EQ(1u, plain.GetTexturePointer()->GetLevelCount());
  EXPECT_EQ(D3DFMT_X8R8G8B8, plain.GetTextureInfo().Format);
  EXPECT_EQ(0x000000u, Texel(plain.GetTexturePointer(), 0, 3, 3) & 0xFFFFFF);
}

TEST_F(TextureTest, CompressedDdsKeepsItsFormatAndDraws) {
  std::string path = dir + "/red.dds";
  std::vector<uint8_t> dds = Dxt1Block(0xF800, 0x001F, 0);  // every texel colour 0: red
  ASSERT_TRUE(vrxtest::WriteFile(path, dds.data(), dds.size()));
  cTexture tex(path.c_str(), &f.Screen());
  ASSERT_NE(nullptr, tex.GetTexturePointer());
  EXPECT_EQ(D3DFMT_DXT1, tex.GetTextureInfo().Format);
  EXPECT_EQ(D3DXIFF_DDS, tex.GetImageInfo().ImageFileFormat);
  EXPECT_EQ(1u, tex.GetTexturePointer()->GetLevelCount());  // the file's levels
  D3DLOCKED_RECT lr;
  ASSERT_EQ(D3D_OK, tex.GetTexturePointer()->LockRect(0, &lr, nullptr, D3DLOCK_READONLY));
  EXPECT_EQ(0, memcmp(lr.pBits, dds.data() + 128, 8));  // the block as it was
  tex.GetTexturePointer()->UnlockRect(0);
  D3DXIMAGE_INFO info;
  ASSERT_EQ(D3D_OK, D3DXGetImageInfoFromFileA(path.c_str(), &info));
  EXPECT_EQ(1u, info.MipLevels);
  EXPECT_EQ(D3DFMT_DXT1, info.Format);

  IDirect3DDevice9* dev = f.Device();
  f.Screen().ClearScreen(0xFF000000);
  dev->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
  tex.Set(0);
  struct Q {
    float x, y, z, rhw;
    float u, v;
  } q[4] = {{10, 10, 0.5f, 1, 0, 0}, {30, 10, 0.5f, 1, 1, 0}, {10, 30, 0.5f, 1, 0, 1}, {30, 30, 0.5f, 1, 1, 1}};
  dev->SetFVF(D3DFVF_XYZRHW | D3DFVF_TEX1);
  dev->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, q, sizeof(Q));
  EXPECT_EQ(0xFFFF0000, f.Pixel(20, 20)) << vrxtest::Hex(f.Pixel(20, 20));
}

TEST_F(TextureTest, MissingOrBrokenFilesLeaveTheTextureEmpty) {
  std::vector<DWORD> px(4 * 4, 0xFFFFFFFF);
  std::string good = Tga("good.tga", 4, 4, px);
  std::string file = vrxtest::ReadFile(good);
  std::string truncated = dir + "/truncated.tga";
  ASSERT_TRUE(vrxtest::WriteFile(truncated, file.data(), 30));
  std::string garbage = dir + "/garbage.dds";
  ASSERT_TRUE(vrxtest::WriteTextFile(garbage, "this is not an image at all"));
  for (const std::string& path : {dir + "/missing.tga", truncated, garbage}) {
    ::testing::internal::CaptureStderr();
    cTexture tex(path.c_str(), &f.Screen());
    std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(nullptr, tex.GetTexturePointer()) << path;
    // One line naming the file.
    EXPECT_EQ(1, std::count(err.begin(), err.end(), '\n')) << err;
    EXPECT_EQ(0u, err.find("vrx: ")) << err;
    EXPECT_NE(std::string::npos, err.find(path.substr(path.rfind('/') + 1))) << err;
    EXPECT_EQ(0u, tex.GetTextureInfo().Width);
    // Binding it binds no texture, also over one that was bound.
    cTexture other(good.c_str(), &f.Screen());
    other.Set(0);
    tex.Set(0);
    IDirect3DBaseTexture9* bound = reinterpret_cast<IDirect3DBaseTexture9*>(1);
    f.Device()->GetTexture(0, &bound);
    EXPECT_EQ(nullptr, bound);
  }
}

TEST_F(TextureTest, EmptyTexturesAsTargetsAndDepthSurfaces) {
  cScreen& s = f.Screen();
  IDirect3DDevice9* dev = f.Device();
  cTexture target(128, D3DUSAGE_RENDERTARGET, D3DFMT_A4R4G4B4, &s);
  ASSERT_NE(nullptr, target.GetTexturePointer());
  D3DSURFACE_DESC d = target.GetTextureInfo();
  EXPECT_EQ(128u, d.Width);
  EXPECT_EQ(D3DPOOL_DEFAULT, d.Pool);
  EXPECT_EQ((DWORD)D3DUSAGE_RENDERTARGET, d.Usage);
  EXPECT_EQ(1u, target.GetTexturePointer()->GetLevelCount());

  cTexture depth(128, D3DUSAGE_DEPTHSTENCIL, D3DFMT_D24S8, &s);
  ASSERT_NE(nullptr, depth.GetTexturePointer());
  EXPECT_EQ(D3DPOOL_DEFAULT, depth.GetTextureInfo().Pool);

  cTexture plain(64, 0, D3DFMT_A8R8G8B8, &s);
  EXPECT_EQ(D3DPOOL_MANAGED, plain.GetTextureInfo().Pool);

  // Draw into the target with the texture's own depth surface, then go back.
  depth.SetAsDepthStencil();
  target.SetAsTarget();
  EXPECT_EQ(1, s.ClearScreen(0xFF00FF00));
  IDirect3DSurface9* current = nullptr;
  IDirect3DSurface9* level = nullptr;
  dev->GetRenderTarget(0, &current);
  target.GetTexturePointer()->GetSurfaceLevel(0, &level);
  EXPECT_EQ(level, current);
  current->Release();
  level->Release();
  WORD texel = 0;
  D3DLOCKED_RECT lr;
  ASSERT_EQ(D3D_OK, target.GetTexturePointer()->LockRect(0, &lr, nullptr, D3DLOCK_READONLY));
  memcpy(&texel, lr.pBits, 2);
  target.GetTexturePointer()->UnlockRect(0);
  EXPECT_EQ(0xF0F0, texel);
  s.RestoreTarget();
  s.RestoreDepthStencil();
  IDirect3DSurface9* back = nullptr;
  dev->GetRenderTarget(0, &back);
  IDirect3DSurface9* backBuffer = nullptr;
  dev->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &backBuffer);
  EXPECT_EQ(backBuffer, back);
  back->Release();
  backBuffer->Release();

  cTexture impossible(128, D3DUSAGE_RENDERTARGET, D3DFMT_DXT5, &s);
  EXPECT_EQ(nullptr, impossible.GetTexturePointer());
}

}  // namespace
