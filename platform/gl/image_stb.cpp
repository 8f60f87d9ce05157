// TGA and BMP files, decoded by stb_image. stb_image fills missing bytes of
// a short file with zeros, so the headers are checked here first: the pixel
// data they promise must be in the file, and the sizes must be sane, before
// anything is allocated.
#include <climits>

#include <stb_image.h>

#include "gl/image_decode.h"

namespace {

bool CheckSize(uint64_t width, uint64_t height, std::string* why) {
  if (width == 0 || height == 0 || width > kMaxImageSize || height > kMaxImageSize) {
    *why = "bad image size " + std::to_string(width) + "x" + std::to_string(height);
    return false;
  }
  return true;
}

// Decodes with stb_image into A8R8G8B8 (or X8R8G8B8 with alpha 0xFF when the
// file carries no alpha). `fileFormat` is what the file holds, for `info`.
bool DecodeWithStb(const uint8_t* d, size_t size, bool alpha, D3DFORMAT fileFormat,
                   D3DXIMAGE_FILEFORMAT type, Image* img, D3DXIMAGE_INFO* info, std::string* why) {
  if (size > size_t(INT_MAX)) {
    *why = "file too large";
    return false;
  }
  int w = 0, h = 0, comp = 0;
  stbi_uc* rgba = stbi_load_from_memory(d, int(size), &w, &h, &comp, 4);
  if (!rgba) {
    *why = stbi_failure_reason() ? stbi_failure_reason() : "cannot decode";
    return false;
  }
  D3DFORMAT format = alpha ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8;
  std::vector<uint8_t> level(size_t(w) * h * 4);
  for (size_t i = 0; i < level.size(); i += 4) {
    level[i] = rgba[i + 2];
    level[i + 1] = rgba[i + 1];
    level[i + 2] = rgba[i];
    level[i + 3] = alpha ? rgba[i + 3] : 0xFF;
  }
  stbi_image_free(rgba);
  img->format = format;
  img->width = UINT(w);
  img->height = UINT(h);
  img->levels.clear();
  img->levels.push_back(std::move(level));
  *info = {UINT(w), UINT(h), 1, 1, fileFormat == D3DFMT_UNKNOWN ? format : fileFormat,
           D3DRTYPE_TEXTURE, type};
  return true;
}

}  // namespace

bool DecodeTga(const uint8_t* d, size_t size, Image* img, D3DXIMAGE_INFO* info, std::string* why) {
  if (size < 18) {
    *why = "not a TGA, BMP or DDS image (too short)";
    return false;
  }
  uint32_t idLength = d[0], mapType = d[1], type = d[2];
  uint32_t mapLength = ReadLE16(d + 5), mapBits = d[7];
  uint32_t width = ReadLE16(d + 12), height = ReadLE16(d + 14), bits = d[16];
  bool rle = type >= 9;
  uint32_t baseType = rle ? type - 8 : type;  // 1 colour-mapped, 2 true-colour, 3 grey
  if (mapType > 1 || baseType < 1 || baseType > 3 || (baseType == 1) != (mapType == 1)) {
    *why = "not a TGA, BMP or DDS image";
    return false;
  }
  if (!CheckSize(width, height, why)) return false;
  if (bits == 0 || bits > 32) {
    *why = "bad TGA pixel size " + std::to_string(bits);
    return false;
  }

  // Walk the pixel data to be sure the file holds all of it.
  size_t pos = 18 + idLength + (mapType ? size_t(mapLength) * ((mapBits + 7) / 8) : 0);
  size_t pixelBytes = (bits + 7) / 8;
  size_t pixels = size_t(width) * height;
  bool complete;
  if (!rle) {
    complete = pos <= size && (size - pos) / pixelBytes >= pixels;
  } else {
    while (pixels > 0 && pos < size) {
      uint8_t packet = d[pos++];
      size_t count = (packet & 0x7F) + 1;
      size_t bytes = (packet & 0x80) ? pixelBytes : count * pixelBytes;
      if (size - pos < bytes) break;
      pos += bytes;
      pixels -= count < pixels ? count : pixels;
    }
    complete = pixels == 0;
  }
  if (!complete) {
    *why = "truncated pixel data";
    return false;
  }
  // A 24-bit file is reported as such; everything else as the format it loads in.
  bool alpha = bits == 32 || (baseType == 1 && mapBits == 32);
  return DecodeWithStb(d, size, alpha, bits == 24 ? D3DFMT_R8G8B8 : D3DFMT_UNKNOWN, D3DXIFF_TGA, img,
                       info, why);
}

bool DecodeBmp(const uint8_t* d, size_t size, Image* img, D3DXIMAGE_INFO* info, std::string* why) {
  if (size < 26) {
    *why = "truncated BMP header";
    return false;
  }
  uint32_t offset = ReadLE32(d + 10), headerSize = ReadLE32(d + 14);
  int64_t width, height;
  uint32_t bits, compression = 0;
  if (headerSize == 12) {
    width = ReadLE16(d + 18);
    height = ReadLE16(d + 20);
    bits = ReadLE16(d + 24);
  } else {
    if (headerSize < 40 || size < 14 + 40) {
      *why = "truncated or unknown BMP header";
      return false;
    }
    width = int32_t(ReadLE32(d + 18));
    height = int32_t(ReadLE32(d + 22));  // negative: rows stored top-down
    bits = ReadLE16(d + 28);
    compression = ReadLE32(d + 30);
  }
  if (height < 0) height = -height;
  if (width < 0 || !CheckSize(uint64_t(width), uint64_t(height), why)) return false;
  if (bits == 0 || bits > 32) {
    *why = "bad BMP pixel size " + std::to_string(bits);
    return false;
  }
  // The decoder turns run-length data down itself but would read any later
  // kind (JPEG, PNG, ...) as plain rows.
  if (compression > 3) {
    *why = "unsupported BMP compression " + std::to_string(compression);
    return false;
  }
  // Uncompressed and bit-field data: whole rows padded to 4 bytes.
  if (compression == 0 || compression == 3) {
    uint64_t pitch = (uint64_t(width) * bits + 31) / 32 * 4;
    if (offset > size || (size - offset) / pitch < uint64_t(height)) {
      *why = "truncated pixel data";
      return false;
    }
  }
  // Only a header with an explicit alpha mask carries alpha; the fourth byte
  // of a plain 32-bit file is padding.
  bool alpha = (bits == 16 || bits == 32) && headerSize >= 56 && size >= 70 && ReadLE32(d + 66) != 0;
  D3DFORMAT fileFormat = bits == 24 ? D3DFMT_R8G8B8 : D3DFMT_UNKNOWN;
  return DecodeWithStb(d, size, alpha, fileFormat, D3DXIFF_BMP, img, info, why);
}
