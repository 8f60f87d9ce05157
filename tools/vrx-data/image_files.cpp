#include "image_files.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace vrxdata {

namespace {

void Put16(std::vector<uint8_t>& b, uint32_t v) {
  b.push_back(uint8_t(v));
  b.push_back(uint8_t(v >> 8));
}

void Put32(std::vector<uint8_t>& b, uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}

uint16_t ToA4R4G4B4(uint32_t c) {
  return uint16_t(((c >> 28) & 0xF) << 12 | ((c >> 20) & 0xF) << 8 | ((c >> 12) & 0xF) << 4 |
                  ((c >> 4) & 0xF));
}

uint16_t ToR5G6B5(uint32_t c) {
  return uint16_t(((c >> 19) & 0x1F) << 11 | ((c >> 10) & 0x3F) << 5 | ((c >> 3) & 0x1F));
}

}  // namespace

bool WriteBytes(const std::string& path, const void* data, size_t size) {
  std::error_code ec;
  std::filesystem::path p(path);
  if (p.has_parent_path()) std::filesystem::create_directories(p.parent_path(), ec);
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) {
    std::fprintf(stderr, "vrx-data: cannot write %s: %s\n", path.c_str(), std::strerror(errno));
    return false;
  }
  bool ok = std::fwrite(data, 1, size, f) == size;
  ok = (std::fclose(f) == 0) && ok;
  if (!ok) std::fprintf(stderr, "vrx-data: cannot write %s: %s\n", path.c_str(), std::strerror(errno));
  return ok;
}

bool WriteText(const std::string& path, const std::string& text) {
  return WriteBytes(path, text.data(), text.size());
}

bool WriteTga(const std::string& path, const Picture& pic) {
  std::vector<uint8_t> b;
  b.reserve(18 + pic.argb.size() * 4);
  const uint8_t header[12] = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  b.insert(b.end(), header, header + 12);
  Put16(b, uint32_t(pic.width));
  Put16(b, uint32_t(pic.height));
  b.push_back(32);
  b.push_back(0x28);  // 8 alpha bits, top-left origin
  for (uint32_t c : pic.argb) Put32(b, c);  // B, G, R, A in memory
  return WriteBytes(path, b.data(), b.size());
}

bool WriteBmp(const std::string& path, const Picture& pic) {
  const uint32_t rowBytes = (uint32_t(pic.width) * 3 + 3) & ~3u;
  const uint32_t pixelBytes = rowBytes * uint32_t(pic.height);
  std::vector<uint8_t> b;
  b.reserve(54 + pixelBytes);
  b.push_back('B');
  b.push_back('M');
  Put32(b, 54 + pixelBytes);
  Put32(b, 0);
  Put32(b, 54);
  Put32(b, 40);
  Put32(b, uint32_t(pic.width));
  Put32(b, uint32_t(pic.height));
  Put16(b, 1);
  Put16(b, 24);
  Put32(b, 0);
  Put32(b, pixelBytes);
  Put32(b, 2835);
  Put32(b, 2835);
  Put32(b, 0);
  Put32(b, 0);
  for (int y = pic.height - 1; y >= 0; --y) {
    size_t start = b.size();
    for (int x = 0; x < pic.width; ++x) {
      uint32_t c = pic.at(x, y);
      b.push_back(uint8_t(c));
      b.push_back(uint8_t(c >> 8));
      b.push_back(uint8_t(c >> 16));
    }
    while (b.size() - start < rowBytes) b.push_back(0);
  }
  return WriteBytes(path, b.data(), b.size());
}

Picture HalfSize(const Picture& pic) {
  Picture half(pic.width > 1 ? pic.width / 2 : 1, pic.height > 1 ? pic.height / 2 : 1);
  for (int y = 0; y < half.height; ++y) {
    for (int x = 0; x < half.width; ++x) {
      const int x0 = pic.width > 1 ? 2 * x : 0, y0 = pic.height > 1 ? 2 * y : 0;
      const int x1 = pic.width > 1 ? x0 + 1 : 0, y1 = pic.height > 1 ? y0 + 1 : 0;
      const uint32_t c[4] = {pic.at(x0, y0), pic.at(x1, y0), pic.at(x0, y1), pic.at(x1, y1)};
      uint32_t out = 0;
      for (int shift = 0; shift < 32; shift += 8) {
        uint32_t sum = 0;
        for (uint32_t v : c) sum += (v >> shift) & 0xFF;
        out |= ((sum + 2) / 4) << shift;
      }
      half.at(x, y) = out;
    }
  }
  return half;
}

Picture HalfSizeCutout(const Picture& pic) {
  Picture half(pic.width > 1 ? pic.width / 2 : 1, pic.height > 1 ? pic.height / 2 : 1);
  for (int y = 0; y < half.height; ++y) {
    for (int x = 0; x < half.width; ++x) {
      const int x0 = pic.width > 1 ? 2 * x : 0, y0 = pic.height > 1 ? 2 * y : 0;
      const int x1 = pic.width > 1 ? x0 + 1 : 0, y1 = pic.height > 1 ? y0 + 1 : 0;
      const uint32_t c[4] = {pic.at(x0, y0), pic.at(x1, y0), pic.at(x0, y1), pic.at(x1, y1)};
      uint32_t alpha = 0, opaque = 0, sum[3] = {0, 0, 0};
      for (uint32_t v : c) {
        alpha += v >> 24;
        if ((v >> 24) < 128) continue;
        ++opaque;
        for (int k = 0; k < 3; ++k) sum[k] += (v >> (8 * k)) & 0xFF;
      }
      // Without opaque texels the colour of all four keeps the filtering clean.
      if (opaque == 0) {
        for (uint32_t v : c)
          for (int k = 0; k < 3; ++k) sum[k] += (v >> (8 * k)) & 0xFF;
        opaque = 4;
      }
      uint32_t out = alpha >= 2 * 255 ? 0xFF000000u : 0;
      for (int k = 0; k < 3; ++k) out |= ((sum[k] + opaque / 2) / opaque) << (8 * k);
      half.at(x, y) = out;
    }
  }
  return half;
}

bool WriteDds(const std::string& path, const Picture& pic, D3DFORMAT format, int mipLevels,
              MipFilter filter) {
  const bool sixteen = format == D3DFMT_A4R4G4B4 || format == D3DFMT_R5G6B5;
  if (!sixteen && format != D3DFMT_A8R8G8B8 && format != D3DFMT_X8R8G8B8) {
    std::fprintf(stderr, "vrx-data: %s: unsupported DDS format %u\n", path.c_str(), unsigned(format));
    return false;
  }
  int levels = 1;
  for (int w = pic.width, h = pic.height; (w > 1 || h > 1); w = w > 1 ? w / 2 : 1, h = h > 1 ? h / 2 : 1)
    ++levels;
  if (mipLevels > 0 && mipLevels < levels) levels = mipLevels;

  uint32_t rgbMask[4] = {0x00FF0000u, 0x0000FF00u, 0x000000FFu, 0xFF000000u};
  if (format == D3DFMT_X8R8G8B8) rgbMask[3] = 0;
  if (format == D3DFMT_A4R4G4B4) {
    rgbMask[0] = 0x0F00;
    rgbMask[1] = 0x00F0;
    rgbMask[2] = 0x000F;
    rgbMask[3] = 0xF000;
  }
  if (format == D3DFMT_R5G6B5) {
    rgbMask[0] = 0xF800;
    rgbMask[1] = 0x07E0;
    rgbMask[2] = 0x001F;
    rgbMask[3] = 0;
  }
  const uint32_t bits = sixteen ? 16 : 32;
  const bool alpha = rgbMask[3] != 0;

  std::vector<uint8_t> b;
  Put32(b, MAKEFOURCC('D', 'D', 'S', ' '));
  Put32(b, 124);
  Put32(b, 0x1 | 0x2 | 0x4 | 0x1000 | 0x8 | (levels > 1 ? 0x20000 : 0));  // caps, height, width, pixelformat, pitch, mips
  Put32(b, uint32_t(pic.height));
  Put32(b, uint32_t(pic.width));
  Put32(b, uint32_t(pic.width) * bits / 8);
  Put32(b, 0);
  Put32(b, uint32_t(levels));
  for (int i = 0; i < 11; ++i) Put32(b, 0);
  Put32(b, 32);
  Put32(b, 0x40 | (alpha ? 0x1 : 0));  // RGB, alpha pixels
  Put32(b, 0);
  Put32(b, bits);
  for (uint32_t m : rgbMask) Put32(b, m);
  Put32(b, 0x1000 | (levels > 1 ? 0x400008 : 0));  // texture, mipmap + complex
  for (int i = 0; i < 4; ++i) Put32(b, 0);

  Picture level = pic;
  for (int l = 0; l < levels; ++l) {
    for (uint32_t c : level.argb) {
      if (format == D3DFMT_A4R4G4B4) Put16(b, ToA4R4G4B4(c));
      else if (format == D3DFMT_R5G6B5) Put16(b, ToR5G6B5(c));
      else Put32(b, format == D3DFMT_X8R8G8B8 ? (c | 0xFF000000u) : c);
    }
    if (l + 1 < levels) level = filter == MipFilter::Cutout ? HalfSizeCutout(level) : HalfSize(level);
  }
  return WriteBytes(path, b.data(), b.size());
}

}  // namespace vrxdata
