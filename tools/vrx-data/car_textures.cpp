#include "car_textures.h"

#include <algorithm>
#include <cmath>

#include "geom.h"
#include "paint.h"

namespace vrxdata {

CarLayout LayoutOf(const BodyDesc& body) {
  CarLayout l;
  l.front = body.stations.front().z;
  l.back = body.stations.back().z;
  l.top = -1e9f;
  l.bottom = 1e9f;
  for (const BodyStation& s : body.stations) {
    l.top = std::max(l.top, s.top);
    l.bottom = std::min(l.bottom, s.bottom);
    l.width = std::max(l.width, s.width);
  }
  l.doorFront = l.front;
  l.doorBack = l.back;
  bool screen = false, pillar = false;
  for (const BodyStation& s : body.stations) {
    if (s.zone == "screen" && !screen) {
      screen = true;
      l.doorFront = s.z - 0.05f;
      l.belt = s.belt;
      l.sill = s.bottom;
    }
    if (s.zone == "pillar" && !pillar) {
      pillar = true;
      l.doorBack = s.z;
    }
  }
  return l;
}

Picture PaintTexture(const CarDesc& car, const CarLayout& l) {
  const int w = 512, h = 256;
  Picture pic(w, h);
  const float len = l.front - l.back, height = l.top - l.bottom;
  auto sideX = [&](float z) { return (l.front - z) / len * 256.0f; };
  auto sideY = [&](float y) { return (l.top - y) / height * 256.0f; };
  auto topY = [&](float x) { return (x / l.width * 0.5f + 0.5f) * 256.0f; };
  const bool rally = car.livery == "rally";
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const float n = FractalNoise(x / 32.0f, y / 32.0f, 5, 2);
      // A slight darkening towards the bottom of the sides, lighter on top.
      const float f = x < 256 ? 1.04f - 0.16f * (y / 256.0f) : 1.05f;
      pic.at(x, y) = Shade(car.paint, f * (0.98f + 0.04f * n));
    }
  const uint32_t stripe = car.stripeColour;
  if (car.livery == "stripes") {
    // Twin stripes over bonnet, roof and hatch; a thin line along the sides.
    for (float side : {-1.0f, 1.0f}) {
      const float a = topY(side * 0.10f), b = topY(side * 0.22f);
      FillRect(&pic, 256, static_cast<int>(std::min(a, b)), 512, static_cast<int>(std::max(a, b)), stripe);
    }
    const float y0 = sideY(l.sill + 0.6f * (l.belt - l.sill)), y1 = sideY(l.sill + 0.55f * (l.belt - l.sill));
    FillRect(&pic, 0, static_cast<int>(y0), 256, static_cast<int>(y1) + 1, stripe);
  }
  if (rally) {
    // A sweeping band along the sides and a coloured bonnet.
    for (int x = 0; x < 256; ++x) {
      const float t = x / 256.0f;
      const float mid = sideY(l.sill + (0.25f + 0.35f * t) * (l.belt - l.sill));
      const float half = 10 + 14 * t;
      FillRect(&pic, x, static_cast<int>(mid - half), x + 1, static_cast<int>(mid + half), stripe);
      FillRect(&pic, x, static_cast<int>(mid - half - 5), x + 1, static_cast<int>(mid - half - 2), 0xFF202020u);
    }
    const float bonnetEnd = 256 + (l.front - l.doorFront) / len * 256.0f;
    FillRect(&pic, 256, 0, static_cast<int>(bonnetEnd), 256, stripe);
  }
  // Panel gaps: the door, and the bonnet's and hatch's edges on top.
  const uint32_t gap = Shade(car.paint, 0.35f);
  const int dy0 = static_cast<int>(sideY(l.belt)), dy1 = static_cast<int>(sideY(l.sill + 0.02f));
  for (float z : {l.doorFront, l.doorBack}) {
    const int x = static_cast<int>(sideX(z));
    FillRect(&pic, x, dy0, x + 2, dy1, gap);
  }
  FillRect(&pic, static_cast<int>(sideX(l.doorBack)) - 22, dy0 + 10, static_cast<int>(sideX(l.doorBack)) - 8,
           dy0 + 14, Shade(car.paint, 0.55f));
  const int bonnet = 256 + static_cast<int>((l.front - l.doorFront + 0.02f) / len * 256.0f);
  FillRect(&pic, bonnet, static_cast<int>(topY(-0.7f * l.width)), bonnet + 2, static_cast<int>(topY(0.7f * l.width)),
           gap);
  return pic;
}

Picture GlassTexture() {
  const int w = 64, h = 128;
  Picture pic(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const float t = y / static_cast<float>(h);
      // Dark: the car is lit and shines, and there is nothing inside to see.
      uint32_t c = Mix(0xFF3A4656u, 0xFF0E1218u, t);
      // A soft diagonal highlight.
      const float band = std::fabs(std::fmod(x * 0.5f + y * 0.6f, 64.0f) - 32.0f) / 32.0f;
      if (band < 0.25f) c = Mix(c, 0xFF7A8896u, (0.25f - band) * 0.9f);
      pic.at(x, y) = c;
    }
  return pic;
}

Picture TrimTexture(uint32_t colour) {
  const int size = 128;
  Picture pic(size, size);
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x)
      pic.at(x, y) = Shade(colour, 0.92f + 0.12f * FractalNoise(x / 4.0f, y / 4.0f, 21, 2, size / 4));
  return pic;
}

Picture LampsTexture() {
  const int w = 256, h = 128;
  Picture pic(w, h, 0xFF181818u);
  // Headlamp: chrome bowl with a bright lens and a small indicator.
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < 64; ++x) {
      const float dx = (x - 24) / 22.0f, dy = (y - 64) / 50.0f;
      const float d = std::sqrt(dx * dx + dy * dy);
      uint32_t c = Mix(0xFFE8ECF0u, 0xFF8890A0u, std::min(1.0f, d));
      if (d < 0.45f) c = Mix(0xFFFFFFF4u, c, d / 0.45f);
      if (x >= 50) c = 0xFFE09020u;
      if (x < 2 || x >= 62 || y < 3 || y >= h - 3) c = 0xFF303030u;
      pic.at(x, y) = c;
    }
  // Tail lamp: red with ribs.
  for (int y = 0; y < h; ++y)
    for (int x = 64; x < 128; ++x) {
      uint32_t c = ((y / 8) & 1) ? 0xFFB01818u : 0xFFD82828u;
      if (x < 66 || x >= 126 || y < 3 || y >= h - 3) c = 0xFF301010u;
      pic.at(x, y) = c;
    }
  // Reversing lamp: clear.
  for (int y = 0; y < h; ++y)
    for (int x = 128; x < 160; ++x) pic.at(x, y) = (x < 130 || x >= 158) ? 0xFF303030u : 0xFFE8E8E8u;
  // Grille: dark slats.
  for (int y = 0; y < h; ++y)
    for (int x = 160; x < 256; ++x) pic.at(x, y) = ((y / 10) & 1) ? 0xFF0C0C0Cu : 0xFF3A3A3Cu;
  return pic;
}

Picture TyreTexture() {
  const int w = 256, h = 128;
  Picture pic(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const float n = 0.9f + 0.2f * Unit(Hash(x, y, 41));
      uint32_t c;
      if (y < 64) {
        // Tread: grooves around and blocks across.
        const bool groove = (x % 64) < 6 || ((y / 8 + x / 64) % 2 == 0 && (x % 32) < 3);
        c = groove ? 0xFF0E0E0Eu : 0xFF2A2A2Au;
      } else {
        c = 0xFF242424u;
        if (x > 150 && x < 170 && ((y / 4) % 3 != 0)) c = 0xFF5A5A5Au;  // lettering band
      }
      pic.at(x, y) = Shade(c, n);
    }
  return pic;
}

Picture RimTexture(const std::string& style, uint32_t colour) {
  const int size = 128;
  Picture pic(size, size);
  const float c = size * 0.5f;
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      const float dx = x + 0.5f - c, dy = y + 0.5f - c;
      const float r = std::sqrt(dx * dx + dy * dy) / c;  // 0 centre, 1 rim edge
      const float a = std::atan2(dy, dx);
      uint32_t col = Shade(colour, 0.85f + 0.2f * (1 - r));
      bool hole = false;
      if (style == "steel") {
        // Pressed disc with a ring of round holes and a centre cap.
        const float k = std::fmod(a + 2 * kPi, 2 * kPi / 8) - kPi / 8;
        const float hx = r * std::cos(k) - 0.62f, hy = r * std::sin(k);
        hole = hx * hx + hy * hy < 0.11f * 0.11f;
        if (r > 0.86f) col = Shade(col, 0.8f);
      } else if (style == "alloy") {
        // Five spokes.
        const float k = std::fmod(a + 2 * kPi, 2 * kPi / 5) - kPi / 5;
        hole = r > 0.3f && r < 0.86f && std::fabs(k) > 0.2f + 0.12f * (r - 0.3f);
      } else {
        // Flat eight-spoke rally wheel.
        const float k = std::fmod(a + 2 * kPi, 2 * kPi / 8) - kPi / 8;
        hole = r > 0.32f && r < 0.82f && std::fabs(k) > 0.16f;
      }
      if (hole) col = 0xFF141414u;
      if (r < 0.18f) col = Shade(colour, 1.1f);
      if (r < 0.07f) col = 0xFF303030u;
      pic.at(x, y) = col;
    }
  return pic;
}

Picture DecalTexture(int number) {
  const int size = 128;
  // A white panel with a black edge.
  Picture pic(size, size, 0xFF101010u);
  FillRect(&pic, 6, 6, size - 6, size - 6, 0xFFFFFFFFu);
  const std::string text = std::to_string(number);
  const int scale = text.size() > 1 ? 7 : 9;
  DrawText(&pic, (size - TextWidth(text, scale)) / 2, (size - 7 * scale) / 2, text, scale, 0xFF101010u);
  return pic;
}

}  // namespace vrxdata
