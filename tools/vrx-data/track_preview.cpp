#include "track_preview.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "paint.h"

namespace vrxdata {

Picture TrackPreview(const TrackDesc& desc, const TrackPath& path, const Terrain& terrain, int size) {
  Picture pic(size, size);
  const float half = desc.CorridorHalf();
  const float margin = half + 30.0f;
  const float spanX = path.MaxX() - path.MinX() + 2 * margin;
  const float spanZ = path.MaxZ() - path.MinZ() + 2 * margin;
  const int top = size / 8;  // room for the name
  const float scale = std::min((size - 16.0f) / spanX, (size - top - 16.0f) / spanZ);  // pixels a metre
  const float cx = (path.MinX() + path.MaxX()) * 0.5f, cz = (path.MinZ() + path.MaxZ()) * 0.5f;
  const float py0 = top + (size - top) * 0.5f;
  auto toWorld = [&](float px, float py, float* x, float* z) {
    *x = cx + (px - size * 0.5f) / scale;
    *z = cz - (py - py0) / scale;
  };
  auto toPixel = [&](const Vec3& p, float* px, float* py) {
    *px = size * 0.5f + (p.x - cx) * scale;
    *py = py0 - (p.z - cz) * scale;
  };
  const float pixel = 1.0f / scale;  // metres a pixel
  const float w = desc.roadWidth * 0.5f;
  // Heights first, so the shading can compare neighbouring pixels.
  std::vector<float> heights(static_cast<size_t>(size) * size);
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      float wx, wz;
      toWorld(x + 0.5f, y + 0.5f, &wx, &wz);
      heights[static_cast<size_t>(y) * size + x] = terrain.Height(wx, wz);
    }
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      float wx, wz;
      toWorld(x + 0.5f, y + 0.5f, &wx, &wz);
      // Shaded land: light from the upper left.
      const float h = heights[static_cast<size_t>(y) * size + x];
      const float gx = heights[static_cast<size_t>(y) * size + std::min(size - 1, x + 1)] - h;
      const float gz = h - heights[static_cast<size_t>(std::min(size - 1, y + 1)) * size + x];
      const float light = Clamp(0.85f - (gx - gz) / pixel * 1.5f, 0.55f, 1.15f);
      uint32_t c = Shade(desc.grass, light * 0.85f);
      const PathHit hit = path.Nearest(wx, wz, half + 2 * pixel);
      if (hit.found) {
        const float d = hit.distance;
        auto cover = [&](float edge) { return Clamp((edge - d) / pixel + 0.5f, 0.0f, 1.0f); };
        c = Mix(c, Shade(desc.grass, 1.05f), cover(half));
        c = Mix(c, 0xFFF0F0F0u, cover(w + std::max(1.2f, pixel)));
        c = Mix(c, Shade(desc.asphalt, 0.8f), cover(w));
      }
      pic.at(x, y) = c;
    }
  }
  // Start line and the driving direction.
  const PathRow& s = path.Row(0);
  float ax, ay, bx, by;
  toPixel(s.pos + s.right * (half + 4), &ax, &ay);
  toPixel(s.pos - s.right * (half + 4), &bx, &by);
  DrawLine(&pic, ax, ay, bx, by, std::max(3.0f, 3 * scale), 0xFFFFFFFFu);
  DrawLine(&pic, ax, ay, bx, by, std::max(1.5f, 1.5f * scale), 0xFF101010u);
  const PathRow& ahead = path.Row(path.RowAt(std::min(60.0f, path.Length() * 0.1f)));
  float tx, ty, lx, ly, rx, ry;
  const Vec3 tip = ahead.pos + ahead.right * (half + 14) + ahead.fwd * 6;
  toPixel(tip, &tx, &ty);
  toPixel(tip - ahead.fwd * 14 - ahead.right * 5, &lx, &ly);
  toPixel(tip - ahead.fwd * 14 + ahead.right * 5, &rx, &ry);
  DrawLine(&pic, lx, ly, tx, ty, 3, 0xFFF0D020u);
  DrawLine(&pic, rx, ry, tx, ty, 3, 0xFFF0D020u);

  // Name and length on a dark band.
  for (int y = 0; y < top; ++y)
    for (int x = 0; x < size; ++x) pic.at(x, y) = Mix(pic.at(x, y), 0xFF101820u, 0.75f);
  std::string name = desc.name;
  for (char& ch : name) ch = ch == '_' ? ' ' : static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
  char length[32];
  std::snprintf(length, sizeof length, "%.2f KM", path.Length() / 1000.0f);
  const int big = std::max(2, size / 128);
  const int small = std::max(1, size / 256);
  const int y0 = (top - 7 * big) / 2;
  DrawText(&pic, 12 + big / 2, y0 + big / 2, name, big, 0xFF000000u);
  DrawText(&pic, 12, y0, name, big, 0xFFFFFFFFu);
  DrawText(&pic, size - 12 - TextWidth(length, small), y0 + 7 * (big - small), length, small, 0xFFF0D020u);
  return pic;
}

}  // namespace vrxdata
