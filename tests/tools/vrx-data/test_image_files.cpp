// The data tool's picture writers, read back through the game's own image loader.
#include <gtest/gtest.h>

#include "gl/image.h"
#include "image_files.h"
#include "test_support.h"

using vrxdata::Picture;

namespace {

Picture Gradient(int w, int h) {
  Picture pic(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      pic.at(x, y) = uint32_t((x * 40) << 24 | (x * 30) << 16 | (y * 50) << 8 | ((x + y) * 20));
  return pic;
}

uint32_t PixelOf(const Image& img, int level, int x, int y, int width) {
  const uint8_t* p = &img.levels[level][(size_t(y) * width + x) * 4];
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

Image Load(const std::string& path, D3DXIMAGE_INFO* info) {
  Image img;
  EXPECT_TRUE(LoadImageFile(path.c_str(), &img, info)) << path;
  return img;
}

}  // namespace

TEST(ImageFiles, TgaKeepsEveryPixelWithAlphaTopRowFirst) {
  const std::string dir = vrxtest::MakeTempDir("image_files_tga");
  const Picture pic = Gradient(5, 3);
  ASSERT_TRUE(vrxdata::WriteTga(dir + "/a.tga", pic));
  D3DXIMAGE_INFO info{};
  Image img = Load(dir + "/a.tga", &info);
  ASSERT_EQ(img.format, D3DFMT_A8R8G8B8);
  ASSERT_EQ(info.Width, 5u);
  ASSERT_EQ(info.Height, 3u);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) EXPECT_EQ(PixelOf(img, 0, x, y, 5), pic.at(x, y)) << x << "," << y;
}

TEST(ImageFiles, BmpKeepsColourWithPaddedRowsAndDropsAlpha) {
  const std::string dir = vrxtest::MakeTempDir("image_files_bmp");
  const Picture pic = Gradient(5, 3);
  ASSERT_TRUE(vrxdata::WriteBmp(dir + "/a.bmp", pic));
  Image img = Load(dir + "/a.bmp", nullptr);
  ASSERT_EQ(img.format, D3DFMT_X8R8G8B8);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x)
      EXPECT_EQ(PixelOf(img, 0, x, y, 5) & 0xFFFFFFu, pic.at(x, y) & 0xFFFFFFu) << x << "," << y;
}

TEST(ImageFiles, DdsStoresFormatAndMipChain) {
  const std::string dir = vrxtest::MakeTempDir("image_files_dds");
  Picture pic(8, 4, 0x80402010u);
  pic.at(0, 0) = 0xFFFFFFFFu;
  ASSERT_TRUE(vrxdata::WriteDds(dir + "/a.dds", pic, D3DFMT_A8R8G8B8, 0));
  D3DXIMAGE_INFO info{};
  Image img = Load(dir + "/a.dds", &info);
  EXPECT_EQ(img.format, D3DFMT_A8R8G8B8);
  EXPECT_EQ(info.MipLevels, 4u);  // 8x4, 4x2, 2x1, 1x1
  ASSERT_EQ(img.levels.size(), 4u);
  EXPECT_EQ(PixelOf(img, 0, 0, 0, 8), 0xFFFFFFFFu);
  EXPECT_EQ(PixelOf(img, 0, 7, 3, 8), 0x80402010u);
  // The top-left 2x2 average of level 0 is the first texel of level 1.
  const uint32_t a = (0xFF + 3 * 0x80 + 2) / 4, r = (0xFF + 3 * 0x40 + 2) / 4;
  const uint32_t g = (0xFF + 3 * 0x20 + 2) / 4, b = (0xFF + 3 * 0x10 + 2) / 4;
  EXPECT_EQ(PixelOf(img, 1, 0, 0, 4), a << 24 | r << 16 | g << 8 | b);

  ASSERT_TRUE(vrxdata::WriteDds(dir + "/b.dds", pic, D3DFMT_A4R4G4B4, 1));
  Image small = Load(dir + "/b.dds", &info);
  EXPECT_EQ(small.format, D3DFMT_A4R4G4B4);
  EXPECT_EQ(info.MipLevels, 1u);
  ASSERT_EQ(small.levels.size(), 1u);
  ASSERT_EQ(small.levels[0].size(), 8u * 4u * 2u);
  EXPECT_EQ(small.levels[0][2] | small.levels[0][3] << 8, 0x8421);  // 0x80402010 in 4 bits a channel
}

TEST(ImageFiles, UnwritablePathFailsWithoutCrashing) {
  const std::string dir = vrxtest::MakeTempDir("image_files_fail");
  ASSERT_TRUE(vrxtest::WriteTextFile(dir + "/file", "x"));
  EXPECT_FALSE(vrxdata::WriteTga(dir + "/file/a.tga", Picture(2, 2)));
}
