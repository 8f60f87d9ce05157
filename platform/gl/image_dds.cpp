// DDS reader: 2D textures in the uncompressed 16/32-bit formats (told apart
// by their channel masks) and DXT1/3/5, with the mip levels the file holds.
#include <cstdio>

#include "gl/image_decode.h"

namespace {

// Header layout: "DDS " and a 124-byte header; offsets from the file start.
constexpr size_t kHeaderEnd = 128;
constexpr size_t kFlags = 8, kHeight = 12, kWidth = 16, kMipCount = 28;
constexpr size_t kPfFlags = 80, kFourCC = 84, kBitCount = 88;
constexpr size_t kRMask = 92, kGMask = 96, kBMask = 100, kAMask = 104;
constexpr size_t kCaps = 108, kCaps2 = 112;

constexpr uint32_t DDSD_MIPMAPCOUNT = 0x20000, DDSD_DEPTH = 0x800000;
constexpr uint32_t DDPF_ALPHAPIXELS = 0x1, DDPF_FOURCC = 0x4, DDPF_RGB = 0x40;
constexpr uint32_t DDSCAPS_MIPMAP = 0x400000;
constexpr uint32_t DDSCAPS2_CUBEMAP = 0x200, DDSCAPS2_VOLUME = 0x200000;

D3DFORMAT MaskedFormat(const uint8_t* d) {
  uint32_t bits = ReadLE32(d + kBitCount);
  uint32_t r = ReadLE32(d + kRMask), g = ReadLE32(d + kGMask), b = ReadLE32(d + kBMask);
  bool alpha = (ReadLE32(d + kPfFlags) & DDPF_ALPHAPIXELS) != 0;
  uint32_t a = alpha ? ReadLE32(d + kAMask) : 0;
  if (bits == 32 && r == 0xFF0000 && g == 0xFF00 && b == 0xFF) {
    if (a == 0xFF000000u) return D3DFMT_A8R8G8B8;
    if (a == 0) return D3DFMT_X8R8G8B8;
  }
  if (bits == 16 && r == 0xF800 && g == 0x07E0 && b == 0x001F && a == 0) return D3DFMT_R5G6B5;
  if (bits == 16 && r == 0x0F00 && g == 0x00F0 && b == 0x000F && a == 0xF000) return D3DFMT_A4R4G4B4;
  if (bits == 16 && r == 0x7C00 && g == 0x03E0 && b == 0x001F) {
    if (a == 0x8000) return D3DFMT_A1R5G5B5;
    if (a == 0) return D3DFMT_X1R5G5B5;
  }
  return D3DFMT_UNKNOWN;
}

std::string FourCCText(uint32_t code) {
  std::string s;
  for (int i = 0; i < 4; ++i) {
    char c = char(code >> (8 * i));
    s += (c >= 32 && c < 127) ? c : '?';
  }
  return s;
}

}  // namespace

bool DecodeDds(const uint8_t* d, size_t size, Image* img, D3DXIMAGE_INFO* info, std::string* why) {
  if (size < kHeaderEnd) {
    *why = "truncated DDS header";
    return false;
  }
  if (ReadLE32(d + 4) != 124 || ReadLE32(d + 76) != 32) {
    *why = "malformed DDS header";
    return false;
  }
  uint32_t flags = ReadLE32(d + kFlags);
  uint32_t width = ReadLE32(d + kWidth), height = ReadLE32(d + kHeight);
  if (width == 0 || height == 0 || width > kMaxImageSize || height > kMaxImageSize) {
    *why = "bad image size " + std::to_string(width) + "x" + std::to_string(height);
    return false;
  }
  if ((ReadLE32(d + kCaps2) & (DDSCAPS2_CUBEMAP | DDSCAPS2_VOLUME)) || (flags & DDSD_DEPTH)) {
    *why = "cube map and volume DDS files are not supported";
    return false;
  }

  D3DFORMAT format = D3DFMT_UNKNOWN;
  uint32_t pfFlags = ReadLE32(d + kPfFlags);
  if (pfFlags & DDPF_FOURCC) {
    uint32_t code = ReadLE32(d + kFourCC);
    if (code == D3DFMT_DXT1 || code == D3DFMT_DXT3 || code == D3DFMT_DXT5) {
      format = D3DFORMAT(code);
    } else {
      *why = "unsupported DDS format '" + FourCCText(code) + "'";
      return false;
    }
  } else if (pfFlags & DDPF_RGB) {
    format = MaskedFormat(d);
  }
  if (format == D3DFMT_UNKNOWN) {
    char text[96];
    snprintf(text, sizeof text, "unsupported DDS pixel format (%u bits, masks %08X %08X %08X %08X)",
             ReadLE32(d + kBitCount), ReadLE32(d + kRMask), ReadLE32(d + kGMask), ReadLE32(d + kBMask),
             ReadLE32(d + kAMask));
    *why = text;
    return false;
  }

  // Writers differ in which of the two mip markers they set; either one
  // makes the count field meaningful.
  uint32_t mips = 1;
  bool hasMips = (flags & DDSD_MIPMAPCOUNT) || (ReadLE32(d + kCaps) & DDSCAPS_MIPMAP);
  if (hasMips && ReadLE32(d + kMipCount) != 0) mips = ReadLE32(d + kMipCount);
  if (mips > FullMipCount(width, height)) {
    *why = "bad mip level count " + std::to_string(mips) + " for " + std::to_string(width) + "x" +
           std::to_string(height);
    return false;
  }

  size_t total = 0;
  for (uint32_t l = 0; l < mips; ++l) {
    total += FormatLevelSize(format, MipDimension(width, l), MipDimension(height, l));
  }
  if (size - kHeaderEnd < total) {
    *why = "truncated pixel data (" + std::to_string(size - kHeaderEnd) + " of " + std::to_string(total) +
           " bytes)";
    return false;
  }

  img->format = format;
  img->width = width;
  img->height = height;
  img->levels.clear();
  const uint8_t* p = d + kHeaderEnd;
  for (uint32_t l = 0; l < mips; ++l) {
    size_t n = FormatLevelSize(format, MipDimension(width, l), MipDimension(height, l));
    img->levels.emplace_back(p, p + n);
    p += n;
  }
  *info = {width, height, 1, mips, format, D3DRTYPE_TEXTURE, D3DXIFF_DDS};
  return true;
}
