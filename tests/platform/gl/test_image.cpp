// Image decoding, conversion, colour keys and mip chains, on files built
// byte by byte here.
#include "gl/image.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "test_support.h"

namespace {

using Bytes = std::vector<uint8_t>;

void Put16(Bytes& b, size_t at, uint32_t v) {
  if (b.size() < at + 2) b.resize(at + 2);
  b[at] = uint8_t(v);
  b[at + 1] = uint8_t(v >> 8);
}

void Put32(Bytes& b, size_t at, uint32_t v) {
  Put16(b, at, v & 0xFFFF);
  Put16(b, at + 2, v >> 16);
}

void Append16(Bytes& b, uint32_t v) { Put16(b, b.size(), v); }
void Append32(Bytes& b, uint32_t v) { Put32(b, b.size(), v); }

DWORD PixelAt(const Image& img, UINT x, UINT y, UINT level = 0) {
  UINT w = MipDimension(img.width, level);
  const uint8_t* p = &img.levels[level][(size_t(y) * w + x) * 4];
  return DWORD(p[0]) | DWORD(p[1]) << 8 | DWORD(p[2]) << 16 | DWORD(p[3]) << 24;
}

// Decodes with stderr captured; returns the captured text through `err`.
bool Decode(const Bytes& file, Image* img, D3DXIMAGE_INFO* info = nullptr, std::string* err = nullptr) {
  testing::internal::CaptureStderr();
  bool ok = DecodeImageMemory(file.data(), file.size(), img, info, "test.img");
  std::string text = testing::internal::GetCapturedStderr();
  if (err) *err = text;
  return ok;
}

// A 4x3 picture with distinct colours and alphas, row 0 at the top, and
// repeats so that RLE has runs (one crossing a row end) as well as raw packets.
// Five columns, so that 24-bit BMP rows need padding.
const UINT kW = 5, kH = 3;
const DWORD kPicture[kW * kH] = {
    0xFFFF0000, 0xFFFF0000, 0xFFFF0000, 0x8000FF00, 0x8000FF00,  //
    0x8000FF00, 0x400000FF, 0xFFFFFFFF, 0x00000000, 0xFFFF0000,  //
    0xC0102030, 0xC0102030, 0x11223344, 0xFF000000, 0xFF000000,
};

Bytes MakeTga(int bits, bool topLeft, bool rle) {
  Bytes b(18, 0);
  b[2] = rle ? 10 : 2;
  Put16(b, 12, kW);
  Put16(b, 14, kH);
  b[16] = uint8_t(bits);
  b[17] = uint8_t((bits == 32 ? 8 : 0) | (topLeft ? 0x20 : 0));
  std::vector<DWORD> stream;
  for (UINT r = 0; r < kH; ++r) {
    UINT y = topLeft ? r : kH - 1 - r;
    for (UINT x = 0; x < kW; ++x) stream.push_back(kPicture[y * kW + x]);
  }
  auto pixel = [&](DWORD c) {
    b.push_back(uint8_t(c));
    b.push_back(uint8_t(c >> 8));
    b.push_back(uint8_t(c >> 16));
    if (bits == 32) b.push_back(uint8_t(c >> 24));
  };
  if (!rle) {
    for (DWORD c : stream) pixel(c);
    return b;
  }
  // Runs of equal pixels become run packets, everything else one-pixel raw packets.
  for (size_t i = 0; i < stream.size();) {
    size_t n = 1;
    while (i + n < stream.size() && stream[i + n] == stream[i]) ++n;
    b.push_back(uint8_t(n > 1 ? 0x80 | (n - 1) : 0));
    pixel(stream[i]);
    i += n;
  }
  return b;
}

// 24-bit or 32-bit BMP of the picture; a negative height stores rows top-down.
Bytes MakeBmp(int bits, bool topDown, bool alphaMaskHeader = false) {
  uint32_t headerSize = alphaMaskHeader ? 108 : 40;
  uint32_t offset = 14 + headerSize;
  uint32_t pitch = (kW * bits / 8 + 3) & ~3u;
  Bytes b;
  b.push_back('B');
  b.push_back('M');
  Append32(b, offset + pitch * kH);
  Append32(b, 0);
  Append32(b, offset);
  Append32(b, headerSize);
  Append32(b, kW);
  Append32(b, topDown ? uint32_t(-int32_t(kH)) : kH);
  Append16(b, 1);
  Append16(b, bits);
  Append32(b, alphaMaskHeader ? 3 : 0);
  for (int i = 0; i < 5; ++i) Append32(b, 0);
  if (alphaMaskHeader) {
    Append32(b, 0x00FF0000);
    Append32(b, 0x0000FF00);
    Append32(b, 0x000000FF);
    Append32(b, 0xFF000000);
    while (b.size() < offset) b.push_back(0);
  }
  for (UINT r = 0; r < kH; ++r) {
    UINT y = topDown ? r : kH - 1 - r;
    size_t start = b.size();
    for (UINT x = 0; x < kW; ++x) {
      DWORD c = kPicture[y * kW + x];
      b.push_back(uint8_t(c));
      b.push_back(uint8_t(c >> 8));
      b.push_back(uint8_t(c >> 16));
      if (bits == 32) b.push_back(uint8_t(c >> 24));
    }
    while (b.size() - start < pitch) b.push_back(0xEE);
  }
  return b;
}

struct DdsFormat {
  D3DFORMAT format;
  uint32_t bits, r, g, b, a;  // a != 0: alpha pixels flag set
};

// DDS header followed by `data`; a format without a bit count is a fourcc code.
Bytes MakeDds(const DdsFormat& f, UINT w, UINT h, UINT mips, const Bytes& data) {
  Bytes b(128, 0);
  memcpy(b.data(), "DDS ", 4);
  Put32(b, 4, 124);
  Put32(b, 8, 0x1007 | (mips > 1 ? 0x20000 : 0));
  Put32(b, 12, h);
  Put32(b, 16, w);
  Put32(b, 28, mips);
  Put32(b, 76, 32);
  if (f.bits == 0) {
    Put32(b, 80, 0x4);
    Put32(b, 84, f.format);
  } else {
    Put32(b, 80, 0x40 | (f.a ? 0x1 : 0));
    Put32(b, 88, f.bits);
    Put32(b, 92, f.r);
    Put32(b, 96, f.g);
    Put32(b, 100, f.b);
    Put32(b, 104, f.a);
  }
  Put32(b, 108, 0x1000 | (mips > 1 ? 0x400008 : 0));
  b.insert(b.end(), data.begin(), data.end());
  return b;
}

const DdsFormat kArgb8 = {D3DFMT_A8R8G8B8, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000};
const DdsFormat kDxt1 = {D3DFMT_DXT1, 0, 0, 0, 0, 0};
const DdsFormat kDxt3 = {D3DFMT_DXT3, 0, 0, 0, 0, 0};
const DdsFormat kDxt5 = {D3DFMT_DXT5, 0, 0, 0, 0, 0};

// An A8R8G8B8 image filled from a list of pixels.
Image ArgbImage(UINT w, UINT h, const std::vector<DWORD>& pixels) {
  Image img;
  img.format = D3DFMT_A8R8G8B8;
  img.width = w;
  img.height = h;
  Bytes level;
  for (DWORD c : pixels) Append32(level, c);
  img.levels.push_back(level);
  return img;
}

// A DXT colour block: endpoints and one 2-bit index per texel, row by row.
Bytes ColourBlock(uint32_t c0, uint32_t c1, const int idx[16]) {
  Bytes b;
  Append16(b, c0);
  Append16(b, c1);
  uint32_t bits = 0;
  for (int i = 0; i < 16; ++i) bits |= uint32_t(idx[i]) << (2 * i);
  Append32(b, bits);
  return b;
}

const int kRamp[16] = {0, 1, 2, 3, 0, 1, 2, 3, 0, 1, 2, 3, 0, 1, 2, 3};

}  // namespace

TEST(ImageFormats, SizesPitchesAndMipCounts) {
  EXPECT_EQ(FormatBytesPerPixel(D3DFMT_A8R8G8B8), 4u);
  EXPECT_EQ(FormatBytesPerPixel(D3DFMT_X1R5G5B5), 2u);
  EXPECT_EQ(FormatBytesPerPixel(D3DFMT_DXT1), 0u);
  EXPECT_EQ(FormatRowPitch(D3DFMT_R5G6B5, 5), 10u);
  EXPECT_EQ(FormatRowPitch(D3DFMT_DXT1, 5), 16u);
  EXPECT_EQ(FormatRowPitch(D3DFMT_DXT5, 1), 16u);
  EXPECT_EQ(FormatLevelSize(D3DFMT_DXT1, 1, 1), 8u);
  EXPECT_EQ(FormatLevelSize(D3DFMT_DXT3, 5, 3), 32u);
  EXPECT_EQ(FormatLevelSize(D3DFMT_DXT5, 8, 9), 96u);
  EXPECT_EQ(FormatLevelSize(D3DFMT_X8R8G8B8, 3, 2), 24u);
  EXPECT_EQ(FormatLevelSize(D3DFMT_R8G8B8, 3, 2), 0u);
  EXPECT_FALSE(IsImageFormatSupported(D3DFMT_DXT2));
  EXPECT_EQ(FullMipCount(1, 1), 1u);
  EXPECT_EQ(FullMipCount(256, 64), 9u);
  EXPECT_EQ(FullMipCount(5, 3), 3u);
  EXPECT_EQ(MipDimension(5, 1), 2u);
  EXPECT_EQ(MipDimension(5, 3), 1u);
  EXPECT_EQ(MipDimension(64, 40), 1u);
}

TEST(ImageTga, UncompressedAndRleInBothOrigins) {
  for (int bits : {24, 32}) {
    for (bool topLeft : {false, true}) {
      for (bool rle : {false, true}) {
        SCOPED_TRACE(std::to_string(bits) + (topLeft ? " top-left" : " bottom-left") + (rle ? " rle" : ""));
        Image img;
        D3DXIMAGE_INFO info{};
        ASSERT_TRUE(Decode(MakeTga(bits, topLeft, rle), &img, &info));
        EXPECT_EQ(img.format, bits == 32 ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8);
        ASSERT_EQ(img.width, kW);
        ASSERT_EQ(img.height, kH);
        ASSERT_EQ(img.levels.size(), 1u);
        ASSERT_EQ(img.levels[0].size(), kW * kH * 4);
        for (UINT y = 0; y < kH; ++y) {
          for (UINT x = 0; x < kW; ++x) {
            DWORD want = bits == 32 ? kPicture[y * kW + x] : (kPicture[y * kW + x] | 0xFF000000);
            EXPECT_EQ(PixelAt(img, x, y), want) << x << "," << y;
          }
        }
        EXPECT_EQ(info.Width, kW);
        EXPECT_EQ(info.Height, kH);
        EXPECT_EQ(info.Depth, 1u);
        EXPECT_EQ(info.MipLevels, 1u);
        EXPECT_EQ(info.Format, bits == 32 ? D3DFMT_A8R8G8B8 : D3DFMT_R8G8B8);
        EXPECT_EQ(info.ResourceType, D3DRTYPE_TEXTURE);
        EXPECT_EQ(info.ImageFileFormat, D3DXIFF_TGA);
      }
    }
  }
}

TEST(ImageBmp, RowsPaddingAndAlpha) {
  struct Case {
    int bits;
    bool topDown, alphaHeader;
    D3DFORMAT format, fileFormat;
  } cases[] = {
      {24, false, false, D3DFMT_X8R8G8B8, D3DFMT_R8G8B8},
      {24, true, false, D3DFMT_X8R8G8B8, D3DFMT_R8G8B8},
      // The fourth byte of a plain 32-bit bitmap is padding, not alpha.
      {32, false, false, D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8},
      {32, false, true, D3DFMT_A8R8G8B8, D3DFMT_A8R8G8B8},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.bits) + (c.topDown ? " top-down" : "") + (c.alphaHeader ? " alpha" : ""));
    Image img;
    D3DXIMAGE_INFO info{};
    ASSERT_TRUE(Decode(MakeBmp(c.bits, c.topDown, c.alphaHeader), &img, &info));
    EXPECT_EQ(img.format, c.format);
    ASSERT_EQ(img.width, kW);
    ASSERT_EQ(img.height, kH);
    for (UINT y = 0; y < kH; ++y) {
      for (UINT x = 0; x < kW; ++x) {
        DWORD want = c.format == D3DFMT_A8R8G8B8 ? kPicture[y * kW + x] : (kPicture[y * kW + x] | 0xFF000000);
        EXPECT_EQ(PixelAt(img, x, y), want) << x << "," << y;
      }
    }
    EXPECT_EQ(info.Format, c.fileFormat);
    EXPECT_EQ(info.ImageFileFormat, D3DXIFF_BMP);
    EXPECT_EQ(info.MipLevels, 1u);
  }
}

TEST(ImageDds, UncompressedFormatsKeepTheirLayoutAndLevels) {
  struct Case {
    DdsFormat f;
    uint32_t pixel;  // the file's value of texel (1, 0)
    DWORD argb;      // what it expands to
  } cases[] = {
      {kArgb8, 0x80FF4020, 0x80FF4020},
      {{D3DFMT_X8R8G8B8, 32, 0xFF0000, 0xFF00, 0xFF, 0}, 0x00FF4020, 0xFFFF4020},
      {{D3DFMT_R5G6B5, 16, 0xF800, 0x07E0, 0x001F, 0}, 0xF81F, 0xFFFF00FF},
      {{D3DFMT_A4R4G4B4, 16, 0x0F00, 0x00F0, 0x000F, 0xF000}, 0x8F40, 0x88FF4400},
      {{D3DFMT_A1R5G5B5, 16, 0x7C00, 0x03E0, 0x001F, 0x8000}, 0x7C00, 0x00FF0000},
      {{D3DFMT_X1R5G5B5, 16, 0x7C00, 0x03E0, 0x001F, 0}, 0x03E0, 0xFF00FF00},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.f.format);
    // 4x2 and 2x1 levels; texel (1, 0) of level 0 carries the test value.
    Bytes data;
    UINT bpp = c.f.bits / 8;
    for (UINT i = 0; i < 8 + 2; ++i) {
      uint32_t v = i == 1 ? c.pixel : 0x1234 + i;
      for (UINT k = 0; k < bpp; ++k) data.push_back(uint8_t(v >> (8 * k)));
    }
    Image img;
    D3DXIMAGE_INFO info{};
    ASSERT_TRUE(Decode(MakeDds(c.f, 4, 2, 2, data), &img, &info));
    EXPECT_EQ(img.format, c.f.format);
    EXPECT_EQ(info.Format, c.f.format);
    EXPECT_EQ(info.MipLevels, 2u);
    EXPECT_EQ(info.ImageFileFormat, D3DXIFF_DDS);
    ASSERT_EQ(img.levels.size(), 2u);
    EXPECT_EQ(img.levels[0], Bytes(data.begin(), data.begin() + 8 * bpp));
    EXPECT_EQ(img.levels[1], Bytes(data.begin() + 8 * bpp, data.end()));
    Bytes argb = LevelToA8R8G8B8(img.format, img.levels[0].data(), 4, 2);
    ASSERT_EQ(argb.size(), 32u);
    DWORD got = DWORD(argb[4]) | DWORD(argb[5]) << 8 | DWORD(argb[6]) << 16 | DWORD(argb[7]) << 24;
    EXPECT_EQ(got, c.argb);
  }
}

TEST(ImageDds, Dxt1FourColourAndTransparentModes) {
  // 8x4: left block white..black ramp (four colours), right block blue/red
  // with c0 < c1, which selects three colours plus transparent black.
  // Below them red thirds that round to nearest: (2 * 255 + 8) / 3 = 172.67
  // and (255 + 2 * 8) / 3 = 90.33.
  Bytes data = ColourBlock(0xFFFF, 0x0000, kRamp);
  Bytes second = ColourBlock(0x001F, 0xF800, kRamp);
  Bytes third = ColourBlock(0xF800, 0x0800, kRamp);
  data.insert(data.end(), second.begin(), second.end());
  data.insert(data.end(), third.begin(), third.end());
  data.insert(data.end(), third.begin(), third.end());
  Image img;
  ASSERT_TRUE(Decode(MakeDds(kDxt1, 8, 8, 1, data), &img));
  ASSERT_EQ(img.format, D3DFMT_DXT1);
  EXPECT_EQ(img.levels[0], data);
  Image argb = img;
  ASSERT_TRUE(ConvertImage(&argb, D3DFMT_A8R8G8B8));
  const DWORD four[4] = {0xFFFFFFFF, 0xFF000000, 0xFFAAAAAA, 0xFF555555};
  const DWORD three[4] = {0xFF0000FF, 0xFFFF0000, 0xFF7F007F, 0x00000000};
  for (UINT y = 0; y < 4; ++y) {
    for (UINT x = 0; x < 4; ++x) {
      EXPECT_EQ(PixelAt(argb, x, y), four[x]) << x << "," << y;
      EXPECT_EQ(PixelAt(argb, x + 4, y), three[x]) << x + 4 << "," << y;
    }
  }
  EXPECT_EQ(PixelAt(argb, 2, 4), 0xFFAD0000u);
  EXPECT_EQ(PixelAt(argb, 3, 4), 0xFF5A0000u);
}

TEST(ImageDds, Dxt3ExplicitAlphaAlwaysFourColours) {
  Bytes data;
  for (int i = 0; i < 8; ++i) data.push_back(uint8_t((2 * i) | (2 * i + 1) << 4));  // alpha of texel i = i
  // c0 < c1 must not switch DXT3 to the transparent mode.
  Bytes colour = ColourBlock(0x001F, 0xF800, kRamp);
  data.insert(data.end(), colour.begin(), colour.end());
  Image img;
  ASSERT_TRUE(Decode(MakeDds(kDxt3, 4, 4, 1, data), &img));
  ASSERT_TRUE(ConvertImage(&img, D3DFMT_A8R8G8B8));
  const DWORD rgb[4] = {0x0000FF, 0xFF0000, 0x5500AA, 0xAA0055};
  for (UINT i = 0; i < 16; ++i) {
    DWORD want = (i * 17) << 24 | rgb[i % 4];
    EXPECT_EQ(PixelAt(img, i % 4, i / 4), want) << i;
  }
}

TEST(ImageDds, Dxt5InterpolatedAlphaBothModes) {
  auto alphaBlock = [](uint8_t a0, uint8_t a1) {
    Bytes b = {a0, a1};
    uint64_t bits = 0;
    for (int i = 0; i < 16; ++i) bits |= uint64_t(i % 8) << (3 * i);
    for (int i = 0; i < 6; ++i) b.push_back(uint8_t(bits >> (8 * i)));
    return b;
  };
  const int white[16] = {};
  Bytes data = alphaBlock(255, 0);
  Bytes colour = ColourBlock(0xFFFF, 0x0000, white);
  data.insert(data.end(), colour.begin(), colour.end());
  Bytes second = alphaBlock(0, 255);
  data.insert(data.end(), second.begin(), second.end());
  data.insert(data.end(), colour.begin(), colour.end());
  Image img;
  ASSERT_TRUE(Decode(MakeDds(kDxt5, 4, 8, 1, data), &img));
  ASSERT_TRUE(ConvertImage(&img, D3DFMT_A8R8G8B8));
  const DWORD eight[8] = {255, 0, 218, 182, 145, 109, 72, 36};
  const DWORD six[8] = {0, 255, 51, 102, 153, 204, 0, 255};
  for (UINT i = 0; i < 16; ++i) {
    EXPECT_EQ(PixelAt(img, i % 4, i / 4), eight[i % 8] << 24 | 0xFFFFFF) << i;
    EXPECT_EQ(PixelAt(img, i % 4, 4 + i / 4), six[i % 8] << 24 | 0xFFFFFF) << i;
  }
}

TEST(ImageDds, CompressedMipLevelsAndPartialBlocks) {
  // 8x8 DXT1 with its full chain: 4 blocks, then one block each for 4x4, 2x2, 1x1.
  // Every block's top-left texel is a different colour.
  const uint32_t colours[7] = {0xF800, 0x07E0, 0x001F, 0xFFE0, 0xF81F, 0x07FF, 0x8410};
  const int zero[16] = {};
  Bytes data;
  for (uint32_t c : colours) {
    Bytes b = ColourBlock(c, 0, zero);
    data.insert(data.end(), b.begin(), b.end());
  }
  Image img;
  D3DXIMAGE_INFO info{};
  ASSERT_TRUE(Decode(MakeDds(kDxt1, 8, 8, 4, data), &img, &info));
  EXPECT_EQ(info.MipLevels, 4u);
  ASSERT_EQ(img.levels.size(), 4u);
  for (int l = 1; l < 4; ++l) EXPECT_EQ(img.levels[l].size(), 8u);
  ASSERT_TRUE(ConvertImage(&img, D3DFMT_A8R8G8B8));
  EXPECT_EQ(PixelAt(img, 7, 7, 0), 0xFFFFFF00u);  // block (1, 1)
  EXPECT_EQ(PixelAt(img, 3, 3, 1), 0xFFFF00FFu);
  EXPECT_EQ(PixelAt(img, 1, 1, 2), 0xFF00FFFFu);
  EXPECT_EQ(img.levels[3].size(), 4u);
  EXPECT_EQ(PixelAt(img, 0, 0, 3), 0xFF848284u);

  // 6x5 DXT5: 2x2 blocks, the right and bottom ones only partly inside.
  Bytes dxt5;
  for (uint32_t c : {0xF800u, 0x07E0u, 0x001Fu, 0xFFFFu}) {
    Bytes alpha = {uint8_t(c >> 8), uint8_t(c >> 8), 0, 0, 0, 0, 0, 0};
    Bytes b = ColourBlock(c, 0, zero);
    dxt5.insert(dxt5.end(), alpha.begin(), alpha.end());
    dxt5.insert(dxt5.end(), b.begin(), b.end());
  }
  Image odd;
  ASSERT_TRUE(Decode(MakeDds(kDxt5, 6, 5, 1, dxt5), &odd));
  ASSERT_TRUE(ConvertImage(&odd, D3DFMT_A8R8G8B8));
  ASSERT_EQ(odd.levels[0].size(), 6u * 5 * 4);
  EXPECT_EQ(PixelAt(odd, 3, 3), 0xF8FF0000u);
  EXPECT_EQ(PixelAt(odd, 4, 0), 0x0700FF00u);
  EXPECT_EQ(PixelAt(odd, 0, 4), 0x000000FFu);
  EXPECT_EQ(PixelAt(odd, 5, 4), 0xFFFFFFFFu);
}

TEST(ImageConvert, SixteenBitFormatsSurviveTheRoundTrip) {
  Bytes all;
  for (uint32_t v = 0; v < 0x10000; ++v) Append16(all, v);
  for (D3DFORMAT f : {D3DFMT_R5G6B5, D3DFMT_A4R4G4B4, D3DFMT_A1R5G5B5, D3DFMT_X1R5G5B5}) {
    SCOPED_TRACE(f);
    Bytes argb = LevelToA8R8G8B8(f, all.data(), 256, 256);
    Bytes back = LevelFromA8R8G8B8(f, argb.data(), 256, 256);
    ASSERT_EQ(back.size(), all.size());
    size_t wrong = 0;
    for (size_t i = 0; i < all.size(); i += 2) {
      uint32_t want = all[i] | all[i + 1] << 8;
      if (f == D3DFMT_X1R5G5B5) want |= 0x8000;  // the unused bit is written as 1
      if (uint32_t(back[i] | back[i + 1] << 8) != want) ++wrong;
    }
    EXPECT_EQ(wrong, 0u);
  }
  // Channels are rounded to the nearest value, not truncated.
  Bytes grey;
  Append32(grey, 0xFF7F7F7F);
  Append32(grey, 0x77888888);
  Bytes r565 = LevelFromA8R8G8B8(D3DFMT_R5G6B5, grey.data(), 2, 1);
  EXPECT_EQ(r565[0] | r565[1] << 8, 15u << 11 | 31u << 5 | 15u);
  Bytes a4 = LevelFromA8R8G8B8(D3DFMT_A4R4G4B4, grey.data(), 2, 1);
  EXPECT_EQ(a4[2] | a4[3] << 8, 0x7888u);
  Bytes a1 = LevelFromA8R8G8B8(D3DFMT_A1R5G5B5, grey.data(), 2, 1);
  EXPECT_EQ(a1[0] | a1[1] << 8, 0x8000u | 15u << 10 | 15u << 5 | 15u);
  EXPECT_EQ((a1[2] | a1[3] << 8) & 0x8000u, 0u);
  Bytes x8 = LevelFromA8R8G8B8(D3DFMT_X8R8G8B8, grey.data(), 2, 1);
  EXPECT_EQ(x8[7], 0xFF);
  EXPECT_TRUE(LevelFromA8R8G8B8(D3DFMT_DXT1, grey.data(), 2, 1).empty());

  Image img = ArgbImage(2, 1, {0x80FF0000, 0xFF00FF00});
  ASSERT_TRUE(ConvertImage(&img, D3DFMT_A4R4G4B4));
  EXPECT_EQ(img.format, D3DFMT_A4R4G4B4);
  EXPECT_EQ(img.levels[0], (Bytes{0x00, 0x8F, 0xF0, 0xF0}));
  EXPECT_FALSE(ConvertImage(&img, D3DFMT_DXT5));
  EXPECT_EQ(img.format, D3DFMT_A4R4G4B4);

  // A level shorter than its size calls for is refused, not read past.
  Image shortLevel = ArgbImage(4, 4, {0xFF000000});
  EXPECT_FALSE(ConvertImage(&shortLevel, D3DFMT_R5G6B5));
  EXPECT_FALSE(ApplyColourKey(&shortLevel, 0xFF000000));
  EXPECT_FALSE(BuildMipChain(&shortLevel, 0));
  EXPECT_EQ(shortLevel.levels.size(), 1u);
}

TEST(ImageConvert, ColourKeyMatchesTheWholeArgbValue) {
  // A font bitmap has no alpha: black loads as opaque black and the key
  // 0xFF000000 must hit it.
  Image font;
  ASSERT_TRUE(Decode(MakeBmp(24, false), &font));
  ASSERT_TRUE(ApplyColourKey(&font, 0xFF000000));
  EXPECT_EQ(font.format, D3DFMT_A8R8G8B8);
  EXPECT_EQ(PixelAt(font, 3, 1), 0x00000000u);  // 0x00000000 in the file, opaque black when loaded
  EXPECT_EQ(PixelAt(font, 3, 2), 0x00000000u);
  EXPECT_EQ(PixelAt(font, 0, 0), 0xFFFF0000u);
  EXPECT_EQ(PixelAt(font, 2, 1), 0xFFFFFFFFu);

  // With alpha in the file, transparent black is not opaque black.
  Image tga;
  ASSERT_TRUE(Decode(MakeTga(32, true, false), &tga));
  ASSERT_TRUE(ApplyColourKey(&tga, 0xFF000000));
  EXPECT_EQ(PixelAt(tga, 3, 2), 0x00000000u);
  EXPECT_EQ(PixelAt(tga, 2, 2), 0x11223344u);
  ASSERT_TRUE(ApplyColourKey(&tga, 0xC0102030));
  EXPECT_EQ(PixelAt(tga, 0, 2), 0x00000000u);
  EXPECT_EQ(PixelAt(tga, 1, 2), 0x00000000u);

  // 16-bit pixels are compared after widening; every level is keyed.
  Image r565;
  r565.format = D3DFMT_R5G6B5;
  r565.width = 2;
  r565.height = 1;
  r565.levels = {{0x00, 0x00, 0x1F, 0x00}, {0x00, 0x00}};
  ASSERT_TRUE(ApplyColourKey(&r565, 0xFF000000));
  EXPECT_EQ(PixelAt(r565, 0, 0), 0x00000000u);
  EXPECT_EQ(PixelAt(r565, 1, 0), 0xFF0000FFu);
  EXPECT_EQ(PixelAt(r565, 0, 0, 1), 0x00000000u);
}

TEST(ImageMips, BoxFilterDownToOnePixel) {
  // 4x2: each 2x2 quad averages with rounding per channel.
  Image img = ArgbImage(4, 2, {0xFF000000, 0xFF000003, 0x00FFFFFF, 0x00FFFFFF,  //
                               0xFF000001, 0xFF000002, 0x00FFFFFF, 0x0000FF00});
  ASSERT_TRUE(BuildMipChain(&img, 0));
  ASSERT_EQ(img.levels.size(), 3u);
  EXPECT_EQ(img.levels[1].size(), 8u);
  EXPECT_EQ(img.levels[2].size(), 4u);
  EXPECT_EQ(PixelAt(img, 0, 0, 1), 0xFF000002u);  // blue 6/4 rounds up
  EXPECT_EQ(PixelAt(img, 1, 0, 1), 0x00BFFFBFu);  // red 765/4 rounds down
  EXPECT_EQ(PixelAt(img, 0, 0, 2), 0x80608061u);  // from level 1, 2x1 -> 1x1
}

TEST(ImageMips, OddAndThinSizesHalveEachDimension) {
  struct Size {
    UINT w, h;
    std::vector<std::pair<UINT, UINT>> chain;
  } sizes[] = {
      {5, 3, {{5, 3}, {2, 1}, {1, 1}}},
      {1, 8, {{1, 8}, {1, 4}, {1, 2}, {1, 1}}},
      {8, 2, {{8, 2}, {4, 1}, {2, 1}, {1, 1}}},
  };
  for (const Size& s : sizes) {
    std::vector<DWORD> pixels(s.w * s.h, 0xFF204060);
    Image img = ArgbImage(s.w, s.h, pixels);
    ASSERT_TRUE(BuildMipChain(&img, 0));
    ASSERT_EQ(img.levels.size(), s.chain.size());
    for (size_t l = 0; l < s.chain.size(); ++l) {
      EXPECT_EQ(MipDimension(img.width, UINT(l)), s.chain[l].first);
      EXPECT_EQ(MipDimension(img.height, UINT(l)), s.chain[l].second);
      EXPECT_EQ(img.levels[l].size(), s.chain[l].first * s.chain[l].second * 4u);
      EXPECT_EQ(PixelAt(img, 0, 0, UINT(l)), 0xFF204060u);
    }
  }
  // A column averages along its one long side only.
  Image column = ArgbImage(1, 2, {0xFF000000, 0xFF0000FF});
  ASSERT_TRUE(BuildMipChain(&column, 0));
  EXPECT_EQ(PixelAt(column, 0, 0, 1), 0xFF000080u);
}

TEST(ImageMips, KeepsFileLevelsFormatsAndLimits) {
  // A 4x4 R5G6B5 file with two levels: both are kept as they are, the 1x1 level
  // is filtered from the 2x2 one and stays R5G6B5.
  DdsFormat r565 = {D3DFMT_R5G6B5, 16, 0xF800, 0x07E0, 0x001F, 0};
  Bytes data;
  for (int i = 0; i < 16; ++i) Append16(data, 0xFFFF);
  for (uint32_t v : {0xF800u, 0xF800u, 0x001Fu, 0x001Fu}) Append16(data, v);
  Image img;
  ASSERT_TRUE(Decode(MakeDds(r565, 4, 4, 2, data), &img));
  Bytes level1 = img.levels[1];
  ASSERT_TRUE(BuildMipChain(&img, 0));
  EXPECT_EQ(img.format, D3DFMT_R5G6B5);
  ASSERT_EQ(img.levels.size(), 3u);
  EXPECT_EQ(img.levels[1], level1);
  ASSERT_EQ(img.levels[2].size(), 2u);
  EXPECT_EQ(img.levels[2][0] | img.levels[2][1] << 8, 16u << 11 | 16u);  // half red, half blue

  ASSERT_TRUE(BuildMipChain(&img, 1));
  EXPECT_EQ(img.levels.size(), 1u);
  ASSERT_TRUE(BuildMipChain(&img, 99));
  EXPECT_EQ(img.levels.size(), 3u);

  // A compressed file without its chain gets one in A8R8G8B8.
  const int zero[16] = {};
  Bytes dxt;
  for (int i = 0; i < 4; ++i) {
    Bytes b = ColourBlock(0xF800, 0, zero);
    dxt.insert(dxt.end(), b.begin(), b.end());
  }
  Image compressed;
  ASSERT_TRUE(Decode(MakeDds(kDxt1, 8, 8, 1, dxt), &compressed));
  ASSERT_TRUE(BuildMipChain(&compressed, 0));
  EXPECT_EQ(compressed.format, D3DFMT_A8R8G8B8);
  ASSERT_EQ(compressed.levels.size(), 4u);
  EXPECT_EQ(PixelAt(compressed, 0, 0, 3), 0xFFFF0000u);

  Image empty;
  EXPECT_FALSE(BuildMipChain(&empty, 0));
}

TEST(ImageInput, EveryTruncationFailsCleanly) {
  Bytes dxt;
  for (int i = 0; i < 7; ++i) {
    Bytes b = ColourBlock(0xF800, 0x001F, kRamp);
    dxt.insert(dxt.end(), b.begin(), b.end());
  }
  Bytes argb(4 * 4 * 4 + 2 * 2 * 4 + 4, 0x5A);
  const std::pair<const char*, Bytes> files[] = {
      {"tga 24", MakeTga(24, false, false)},
      {"tga 32 rle", MakeTga(32, true, true)},
      {"tga 24 rle", MakeTga(24, false, true)},
      {"bmp 24", MakeBmp(24, false)},
      {"bmp 32 v4", MakeBmp(32, true, true)},
      {"dds dxt1 mips", MakeDds(kDxt1, 8, 8, 4, dxt)},
      {"dds argb mips", MakeDds(kArgb8, 4, 4, 3, argb)},
  };
  for (const auto& [name, file] : files) {
    SCOPED_TRACE(name);
    ASSERT_TRUE(Decode(file, nullptr));
    for (size_t n = 0; n < file.size(); ++n) {
      // An exact-size copy, so that reading past the end is caught by the
      // address sanitizer.
      Bytes prefix(file.begin(), file.begin() + n);
      std::string err;
      Image img;
      img.width = 77;
      EXPECT_FALSE(Decode(prefix, &img, nullptr, &err)) << n;
      EXPECT_EQ(img.width, 77u) << n;
      EXPECT_EQ(err.rfind("vrx: cannot load test.img: ", 0), 0u) << err;
      EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    }
  }
}

TEST(ImageInput, AbsurdAndUnsupportedHeadersAreRejected) {
  Bytes small(64, 0);
  auto dds = [&](UINT w, UINT h, UINT mips) { return MakeDds(kArgb8, w, h, mips, small); };
  std::vector<std::pair<std::string, Bytes>> bad = {
      {"bad image size 100000x4", dds(100000, 4, 1)},
      {"bad image size 0x4", dds(0, 4, 1)},
      {"bad image size 4x0", dds(4, 0, 1)},
      {"bad mip level count 4 for 4x4", dds(4, 4, 4)},
      {"truncated pixel data", dds(16384, 16384, 1)},
      {"unsupported DDS format 'DXT2'", MakeDds({D3DFMT_DXT2, 0, 0, 0, 0, 0}, 4, 4, 1, small)},
      {"unsupported DDS pixel format", MakeDds({D3DFMT_R8G8B8, 24, 0xFF0000, 0xFF00, 0xFF, 0}, 4, 4, 1, small)},
  };
  Bytes cube = dds(4, 4, 1);
  Put32(cube, 112, 0x200 | 0xFC00);
  bad.push_back({"cube map", cube});
  Bytes headerSize = dds(4, 4, 1);
  Put32(headerSize, 4, 100);
  bad.push_back({"malformed DDS header", headerSize});

  Bytes wideTga = MakeTga(24, false, false);
  Put16(wideTga, 12, 0);
  bad.push_back({"bad image size 0x3", wideTga});
  Bytes hugeRle = MakeTga(32, false, true);
  Put16(hugeRle, 12, 16000);
  Put16(hugeRle, 14, 16000);
  bad.push_back({"truncated pixel data", hugeRle});
  Bytes oddBits = MakeTga(24, false, false);
  oddBits[16] = 0;
  bad.push_back({"bad TGA pixel size 0", oddBits});
  Bytes notAnImage(40, 'x');
  bad.push_back({"not a TGA, BMP or DDS image", notAnImage});
  bad.push_back({"empty file", Bytes()});

  Bytes hugeBmp = MakeBmp(24, false);
  Put32(hugeBmp, 18, 20000);
  Put32(hugeBmp, 22, 20000);
  bad.push_back({"bad image size 20000x20000", hugeBmp});
  Bytes tallBmp = MakeBmp(24, false);
  Put32(tallBmp, 22, 0x80000000u);
  bad.push_back({"bad image size 5x2147483648", tallBmp});
  Bytes longBmp = MakeBmp(24, false);
  Put32(longBmp, 22, 9000);
  bad.push_back({"truncated pixel data", longBmp});
  Bytes rleBmp = MakeBmp(24, false);
  Put32(rleBmp, 30, 1);
  bad.push_back({"RLE", rleBmp});
  // A few bytes claiming a large picture in a kind the decoder would take
  // for plain rows: refused before anything is allocated.
  Bytes jpegBmp = MakeBmp(24, false);
  Put32(jpegBmp, 18, 2092);
  Put32(jpegBmp, 22, 9732);
  Put32(jpegBmp, 30, 4);
  bad.push_back({"unsupported BMP compression 4", jpegBmp});
  Put32(jpegBmp, 30, 0xFF000000u);
  bad.push_back({"unsupported BMP compression 4278190080", jpegBmp});

  for (const auto& [reason, file] : bad) {
    SCOPED_TRACE(reason);
    std::string err;
    D3DXIMAGE_INFO info{};
    info.Width = 77;
    EXPECT_FALSE(Decode(file, nullptr, &info, &err));
    EXPECT_EQ(info.Width, 77u);
    EXPECT_NE(err.find(reason), std::string::npos) << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
  }
}

TEST(ImageInput, LoadsFilesAndNamesMissingOnes) {
  std::string dir = vrxtest::MakeTempDir("image_load");
  Bytes tga = MakeTga(32, false, true);
  ASSERT_TRUE(vrxtest::WriteFile(dir + "/pic.tga", tga.data(), tga.size()));
  Image img;
  D3DXIMAGE_INFO info{};
  ASSERT_TRUE(LoadImageFile((dir + "/pic.tga").c_str(), &img, &info));
  EXPECT_EQ(PixelAt(img, 1, 1), 0x400000FFu);
  EXPECT_EQ(info.ImageFileFormat, D3DXIFF_TGA);
  // Names from the game's data use backslashes and their own letter case.
  Bytes bmp = MakeBmp(24, false);
  ASSERT_TRUE(vrxtest::WriteFile(dir + "/Menu/Font1.bmp", bmp.data(), bmp.size()));
  ASSERT_TRUE(LoadImageFile((dir + "\\MENU\\font1.BMP").c_str(), &img, &info));
  EXPECT_EQ(info.ImageFileFormat, D3DXIFF_BMP);

  std::string missing = dir + "/none.tga";
  testing::internal::CaptureStderr();
  EXPECT_FALSE(LoadImageFile(missing.c_str(), &img, &info));
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "vrx: cannot open " + missing + ": No such file or directory\n");
  testing::internal::CaptureStderr();
  EXPECT_FALSE(LoadImageFile(dir.c_str(), &img, &info));
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(err.rfind("vrx: cannot ", 0), 0u) << err;
  EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
}
