// Format sizes, pixel conversions, colour keys and mip chains.
#include "gl/image.h"

#include <algorithm>

namespace {

DWORD Load32(const uint8_t* p) {
  return DWORD(p[0]) | DWORD(p[1]) << 8 | DWORD(p[2]) << 16 | DWORD(p[3]) << 24;
}

void Store32(uint8_t* p, DWORD v) {
  p[0] = BYTE(v);
  p[1] = BYTE(v >> 8);
  p[2] = BYTE(v >> 16);
  p[3] = BYTE(v >> 24);
}

DWORD Load16(const uint8_t* p) { return DWORD(p[0]) | DWORD(p[1]) << 8; }

void Store16(uint8_t* p, DWORD v) {
  p[0] = BYTE(v);
  p[1] = BYTE(v >> 8);
}

// Widens an n-bit channel to 8 bits by repeating its top bits, so that the
// largest value becomes 255 and the conversion back is exact.
DWORD Widen(DWORD v, int bits) {
  v <<= 8 - bits;
  return v | v >> bits;
}

// Nearest n-bit value of an 8-bit channel.
DWORD Narrow(DWORD v, int bits) {
  DWORD top = (1u << bits) - 1;
  return (v * top + 127) / 255;
}

DWORD Argb(DWORD a, DWORD r, DWORD g, DWORD b) { return a << 24 | r << 16 | g << 8 | b; }

DWORD PixelToArgb(D3DFORMAT format, const uint8_t* p) {
  switch (format) {
    case D3DFMT_A8R8G8B8:
      return Load32(p);
    case D3DFMT_X8R8G8B8:
      return Load32(p) | 0xFF000000u;
    case D3DFMT_R5G6B5: {
      DWORD v = Load16(p);
      return Argb(0xFF, Widen(v >> 11, 5), Widen(v >> 5 & 0x3F, 6), Widen(v & 0x1F, 5));
    }
    case D3DFMT_A4R4G4B4: {
      DWORD v = Load16(p);
      return Argb((v >> 12) * 17, (v >> 8 & 0xF) * 17, (v >> 4 & 0xF) * 17, (v & 0xF) * 17);
    }
    case D3DFMT_A1R5G5B5:
    case D3DFMT_X1R5G5B5: {
      DWORD v = Load16(p);
      DWORD a = (format == D3DFMT_X1R5G5B5 || (v & 0x8000)) ? 0xFF : 0;
      return Argb(a, Widen(v >> 10 & 0x1F, 5), Widen(v >> 5 & 0x1F, 5), Widen(v & 0x1F, 5));
    }
    default:
      return 0;
  }
}

void ArgbToPixel(D3DFORMAT format, DWORD c, uint8_t* p) {
  DWORD a = c >> 24, r = c >> 16 & 0xFF, g = c >> 8 & 0xFF, b = c & 0xFF;
  switch (format) {
    case D3DFMT_A8R8G8B8:
      Store32(p, c);
      break;
    case D3DFMT_X8R8G8B8:
      Store32(p, c | 0xFF000000u);
      break;
    case D3DFMT_R5G6B5:
      Store16(p, Narrow(r, 5) << 11 | Narrow(g, 6) << 5 | Narrow(b, 5));
      break;
    case D3DFMT_A4R4G4B4:
      Store16(p, Narrow(a, 4) << 12 | Narrow(r, 4) << 8 | Narrow(g, 4) << 4 | Narrow(b, 4));
      break;
    case D3DFMT_A1R5G5B5:
    case D3DFMT_X1R5G5B5: {
      DWORD top = (format == D3DFMT_X1R5G5B5 || a >= 128) ? 0x8000 : 0;
      Store16(p, top | Narrow(r, 5) << 10 | Narrow(g, 5) << 5 | Narrow(b, 5));
      break;
    }
    default:
      break;
  }
}

// The four colours of a DXT colour block. DXT1 switches to three colours plus
// transparent black when the first endpoint is not above the second; DXT3 and
// DXT5 always use four. The thirds round to nearest, as Direct3D documents.
void BlockPalette(const uint8_t* block, bool dxt1, DWORD palette[4]) {
  DWORD c0 = Load16(block), c1 = Load16(block + 2);
  DWORD ch0[3] = {Widen(c0 >> 11, 5), Widen(c0 >> 5 & 0x3F, 6), Widen(c0 & 0x1F, 5)};
  DWORD ch1[3] = {Widen(c1 >> 11, 5), Widen(c1 >> 5 & 0x3F, 6), Widen(c1 & 0x1F, 5)};
  DWORD ch2[3], ch3[3];
  bool four = !dxt1 || c0 > c1;
  for (int i = 0; i < 3; ++i) {
    if (four) {
      ch2[i] = (2 * ch0[i] + ch1[i] + 1) / 3;
      ch3[i] = (ch0[i] + 2 * ch1[i] + 1) / 3;
    } else {
      ch2[i] = (ch0[i] + ch1[i]) / 2;
      ch3[i] = 0;
    }
  }
  palette[0] = Argb(0xFF, ch0[0], ch0[1], ch0[2]);
  palette[1] = Argb(0xFF, ch1[0], ch1[1], ch1[2]);
  palette[2] = Argb(0xFF, ch2[0], ch2[1], ch2[2]);
  palette[3] = four ? Argb(0xFF, ch3[0], ch3[1], ch3[2]) : 0;
}

// Decodes one 4x4 block into 16 A8R8G8B8 values, row by row.
void DecodeBlock(D3DFORMAT format, const uint8_t* block, DWORD out[16]) {
  const uint8_t* colour = format == D3DFMT_DXT1 ? block : block + 8;
  DWORD palette[4];
  BlockPalette(colour, format == D3DFMT_DXT1, palette);
  DWORD indices = Load32(colour + 4);
  for (int i = 0; i < 16; ++i) out[i] = palette[indices >> (2 * i) & 3];

  if (format == D3DFMT_DXT3) {
    for (int i = 0; i < 16; ++i) {
      DWORD a = (block[i / 2] >> (4 * (i & 1))) & 0xF;
      out[i] = (out[i] & 0x00FFFFFFu) | (a * 17) << 24;
    }
  } else if (format == D3DFMT_DXT5) {
    DWORD a0 = block[0], a1 = block[1];
    DWORD alpha[8] = {a0, a1};
    if (a0 > a1) {
      for (DWORD k = 1; k < 7; ++k) alpha[k + 1] = ((7 - k) * a0 + k * a1) / 7;
    } else {
      for (DWORD k = 1; k < 5; ++k) alpha[k + 1] = ((5 - k) * a0 + k * a1) / 5;
      alpha[6] = 0;
      alpha[7] = 255;
    }
    uint64_t bits = 0;
    for (int i = 0; i < 6; ++i) bits |= uint64_t(block[2 + i]) << (8 * i);
    for (int i = 0; i < 16; ++i) {
      out[i] = (out[i] & 0x00FFFFFFu) | alpha[bits >> (3 * i) & 7] << 24;
    }
  }
}

// Halves an A8R8G8B8 level (each dimension, not below 1), averaging the 2x2,
// 2x1 or 1x2 source pixels of each target pixel with rounding. An odd last
// row or column of the source is left out, as a plain box filter does.
std::vector<uint8_t> HalveArgb(const std::vector<uint8_t>& src, UINT w, UINT h) {
  UINT nw = MipDimension(w, 1), nh = MipDimension(h, 1);
  UINT sx = w > 1 ? 2 : 1, sy = h > 1 ? 2 : 1;
  std::vector<uint8_t> dst(size_t(nw) * nh * 4);
  for (UINT y = 0; y < nh; ++y) {
    for (UINT x = 0; x < nw; ++x) {
      for (int c = 0; c < 4; ++c) {
        UINT sum = 0;
        for (UINT j = 0; j < sy; ++j) {
          for (UINT i = 0; i < sx; ++i) sum += src[((size_t(y) * sy + j) * w + x * sx + i) * 4 + c];
        }
        UINT n = sx * sy;
        dst[(size_t(y) * nw + x) * 4 + c] = uint8_t((sum + n / 2) / n);
      }
    }
  }
  return dst;
}

// A supported format and every level the size its dimensions call for, so
// the conversions below never read past a level.
bool IsWellFormed(const Image& img) {
  if (!IsImageFormatSupported(img.format)) return false;
  for (size_t l = 0; l < img.levels.size(); ++l) {
    UINT w = MipDimension(img.width, UINT(l)), h = MipDimension(img.height, UINT(l));
    if (img.levels[l].size() != FormatLevelSize(img.format, w, h)) return false;
  }
  return true;
}

}  // namespace

bool IsImageFormatSupported(D3DFORMAT format) {
  return FormatBytesPerPixel(format) != 0 || IsCompressedFormat(format);
}

bool IsCompressedFormat(D3DFORMAT format) {
  return format == D3DFMT_DXT1 || format == D3DFMT_DXT3 || format == D3DFMT_DXT5;
}

UINT FormatBytesPerPixel(D3DFORMAT format) {
  switch (format) {
    case D3DFMT_A8R8G8B8:
    case D3DFMT_X8R8G8B8:
      return 4;
    case D3DFMT_R5G6B5:
    case D3DFMT_A4R4G4B4:
    case D3DFMT_A1R5G5B5:
    case D3DFMT_X1R5G5B5:
      return 2;
    default:
      return 0;
  }
}

UINT FormatRowPitch(D3DFORMAT format, UINT width) {
  if (IsCompressedFormat(format)) {
    UINT blockBytes = format == D3DFMT_DXT1 ? 8 : 16;
    return std::max(1u, (width + 3) / 4) * blockBytes;
  }
  return FormatBytesPerPixel(format) * width;
}

size_t FormatLevelSize(D3DFORMAT format, UINT width, UINT height) {
  UINT rows = IsCompressedFormat(format) ? std::max(1u, (height + 3) / 4) : height;
  return size_t(FormatRowPitch(format, width)) * rows;
}

UINT MipDimension(UINT size, UINT level) {
  if (level >= 32) return 1;
  return std::max(1u, size >> level);
}

UINT FullMipCount(UINT width, UINT height) {
  UINT n = 1;
  for (UINT m = std::max(width, height); m > 1; m >>= 1) ++n;
  return n;
}

std::vector<uint8_t> LevelToA8R8G8B8(D3DFORMAT format, const uint8_t* src, UINT width, UINT height) {
  if (!IsImageFormatSupported(format)) return {};
  std::vector<uint8_t> out(size_t(width) * height * 4);
  if (IsCompressedFormat(format)) {
    UINT blockBytes = format == D3DFMT_DXT1 ? 8 : 16;
    UINT bw = std::max(1u, (width + 3) / 4), bh = std::max(1u, (height + 3) / 4);
    DWORD texels[16];
    for (UINT by = 0; by < bh; ++by) {
      for (UINT bx = 0; bx < bw; ++bx) {
        DecodeBlock(format, src + (size_t(by) * bw + bx) * blockBytes, texels);
        // Blocks at the right and bottom edges of small or odd-sized levels
        // hold texels outside the picture; those are dropped.
        for (UINT j = 0; j < 4 && by * 4 + j < height; ++j) {
          for (UINT i = 0; i < 4 && bx * 4 + i < width; ++i) {
            Store32(&out[((size_t(by) * 4 + j) * width + bx * 4 + i) * 4], texels[j * 4 + i]);
          }
        }
      }
    }
    return out;
  }
  UINT bpp = FormatBytesPerPixel(format);
  for (size_t i = 0, n = size_t(width) * height; i < n; ++i) {
    Store32(&out[i * 4], PixelToArgb(format, src + i * bpp));
  }
  return out;
}

std::vector<uint8_t> LevelFromA8R8G8B8(D3DFORMAT format, const uint8_t* argb, UINT width, UINT height) {
  UINT bpp = FormatBytesPerPixel(format);
  if (bpp == 0) return {};
  std::vector<uint8_t> out(size_t(width) * height * bpp);
  for (size_t i = 0, n = size_t(width) * height; i < n; ++i) {
    ArgbToPixel(format, Load32(argb + i * 4), &out[i * bpp]);
  }
  return out;
}

bool ConvertImage(Image* img, D3DFORMAT format) {
  if (!IsWellFormed(*img)) return false;
  if (img->format == format) return true;
  if (FormatBytesPerPixel(format) == 0) return false;
  std::vector<std::vector<uint8_t>> levels;
  for (size_t l = 0; l < img->levels.size(); ++l) {
    UINT w = MipDimension(img->width, UINT(l)), h = MipDimension(img->height, UINT(l));
    std::vector<uint8_t> argb = LevelToA8R8G8B8(img->format, img->levels[l].data(), w, h);
    levels.push_back(format == D3DFMT_A8R8G8B8 ? std::move(argb)
                                               : LevelFromA8R8G8B8(format, argb.data(), w, h));
  }
  img->levels = std::move(levels);
  img->format = format;
  return true;
}

bool ApplyColourKey(Image* img, DWORD key) {
  if (!ConvertImage(img, D3DFMT_A8R8G8B8)) return false;
  for (std::vector<uint8_t>& level : img->levels) {
    for (size_t i = 0; i + 4 <= level.size(); i += 4) {
      if (Load32(&level[i]) == key) Store32(&level[i], 0);
    }
  }
  return true;
}

bool BuildMipChain(Image* img, UINT levels) {
  if (img->levels.empty() || !IsWellFormed(*img)) return false;
  UINT full = FullMipCount(img->width, img->height);
  UINT want = (levels == 0 || levels > full) ? full : levels;
  if (img->levels.size() >= want) {
    img->levels.resize(want);
    return true;
  }
  if (IsCompressedFormat(img->format)) ConvertImage(img, D3DFMT_A8R8G8B8);

  // Filter in A8R8G8B8 from one level to the next, so a 16-bit image does not
  // lose precision at every step.
  UINT last = UINT(img->levels.size()) - 1;
  UINT w = MipDimension(img->width, last), h = MipDimension(img->height, last);
  std::vector<uint8_t> argb = LevelToA8R8G8B8(img->format, img->levels[last].data(), w, h);
  for (UINT l = last + 1; l < want; ++l) {
    argb = HalveArgb(argb, w, h);
    w = MipDimension(img->width, l);
    h = MipDimension(img->height, l);
    img->levels.push_back(img->format == D3DFMT_A8R8G8B8
                              ? argb
                              : LevelFromA8R8G8B8(img->format, argb.data(), w, h));
  }
  return true;
}
