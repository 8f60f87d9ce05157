// Image files: reading them whole and handing them to the right reader.
#include "gl/image.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "gl/image_decode.h"
#include "platform/files.h"

bool DecodeImageMemory(const void* data, size_t size, Image* out, D3DXIMAGE_INFO* info,
                       const char* name) {
  const uint8_t* d = static_cast<const uint8_t*>(data);
  Image img;
  D3DXIMAGE_INFO inf{};
  std::string why;
  bool ok;
  if (size == 0 || !d) {
    why = "empty file";
    ok = false;
  } else if (size >= 4 && memcmp(d, "DDS ", 4) == 0) {
    ok = DecodeDds(d, size, &img, &inf, &why);
  } else if (size >= 2 && d[0] == 'B' && d[1] == 'M') {
    ok = DecodeBmp(d, size, &img, &inf, &why);
  } else {
    ok = DecodeTga(d, size, &img, &inf, &why);  // TGA files have no signature
  }
  if (!ok) {
    fprintf(stderr, "vrx: cannot load %s: %s\n", name, why.c_str());
    return false;
  }
  if (out) *out = std::move(img);
  if (info) *info = inf;
  return true;
}

bool LoadImageFile(const char* path, Image* out, D3DXIMAGE_INFO* info) {
  // Game data names files Windows-style ("DATA\MENU\Cursor.tga").
  FILE* f = vrx::OpenFileReported(path, "rb");
  if (!f) return false;
  std::vector<uint8_t> bytes;
  uint8_t chunk[65536];
  size_t n;
  while ((n = fread(chunk, 1, sizeof chunk, f)) > 0) bytes.insert(bytes.end(), chunk, chunk + n);
  bool failed = ferror(f) != 0;
  int err = errno;
  fclose(f);
  if (failed) {
    fprintf(stderr, "vrx: cannot read %s: %s\n", path, strerror(err));
    return false;
  }
  return DecodeImageMemory(bytes.data(), bytes.size(), out, info, path);
}
