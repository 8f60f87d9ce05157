#include "track_textures.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "geom.h"
#include "paint.h"

namespace vrxdata {

namespace {

struct SkyColours {
  uint32_t zenith, horizon, cloud, haze, hills;
  float cloudCover;
};

SkyColours Palette(const std::string& name) {
  if (name == "evening")
    return {0xFF2E4C86u, 0xFFF0B07Au, 0xFFF4D2B8u, 0xFF4A5040u, 0xFF5A5E6Eu, 0.45f};
  if (name == "overcast")
    return {0xFF8A96A4u, 0xFFC8CED4u, 0xFFE2E4E8u, 0xFF56664Cu, 0xFF7A8690u, 0.85f};
  return {0xFF2F6FC8u, 0xFFC4DCF0u, 0xFFFFFFFFu, 0xFF4E6A40u, 0xFF7E96A8u, 0.4f};
}

// Fine grain plus a few light and dark stones, tiling with the picture.
float AsphaltGrain(int x, int y, uint32_t seed, int period) {
  const float fine = LatticeNoise(x * 0.5f, y * 0.5f, seed, period / 2);
  const float coarse = FractalNoise(x / 32.0f, y / 32.0f, seed + 7, 3, period / 32);
  const uint32_t h = Hash(static_cast<uint32_t>(x % period), static_cast<uint32_t>(y % period), seed + 3);
  float stone = 0;
  if ((h & 63) == 0) stone = 0.25f;
  if ((h & 63) == 1) stone = -0.2f;
  return (fine - 0.5f) * 0.22f + (coarse - 0.5f) * 0.25f + stone;
}

}  // namespace

Picture AsphaltTexture(uint32_t seed, uint32_t tint, float roadWidth) {
  const int size = 512;
  Picture pic(size, size);
  const float line0 = 0.12f / roadWidth, line1 = 0.30f / roadWidth;  // edge line, from each edge
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      const float u = (x + 0.5f) / size;
      float f = 1.0f + AsphaltGrain(x, y, seed, size);
      // Darker rubbered bands where the wheels run.
      const float lane = std::fabs(std::fabs(u - 0.5f) - 0.18f);
      if (lane < 0.06f) f *= 0.93f + lane;
      uint32_t c = Shade(tint, f);
      const float e = std::min(u, 1.0f - u);
      if (e > line0 && e < line1) {
        const float worn = FractalNoise(x / 16.0f, y / 16.0f, seed + 11, 2, size / 16);
        c = Mix(c, 0xFFEDEDE6u, 0.78f + 0.2f * worn);
      }
      pic.at(x, y) = c;
    }
  }
  return pic;
}

Picture StartLineTexture(uint32_t seed, uint32_t tint, float roadWidth) {
  const int w = 512, h = 64;
  Picture pic(w, h);
  const float line0 = 0.12f / roadWidth, line1 = 0.30f / roadWidth;
  const int squares = std::max(4, static_cast<int>(roadWidth / 0.5f));
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const float u = (x + 0.5f) / w, v = (y + 0.5f) / h;
      uint32_t c = Shade(tint, 1.0f + AsphaltGrain(x, y, seed, w));
      const float e = std::min(u, 1.0f - u);
      if (e > line0 && e < line1) c = Mix(c, 0xFFEDEDE6u, 0.9f);
      if (e >= line1 && v > 0.25f && v < 0.75f) {
        const int sx = static_cast<int>((u - line1) / (1 - 2 * line1) * squares);
        const int sy = v < 0.5f ? 0 : 1;
        c = ((sx + sy) & 1) ? Mix(c, 0xFF181818u, 0.9f) : Mix(c, 0xFFF2F2F2u, 0.9f);
      }
      pic.at(x, y) = c;
    }
  }
  return pic;
}

Picture KerbTexture() {
  const int w = 64, h = 256;
  Picture pic(w, h);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const bool red = y < h / 2;
      uint32_t c = red ? 0xFFC8201Cu : 0xFFF0F0EAu;
      // Ridged profile: darker towards the outer edge and between blocks.
      const float u = (x + 0.5f) / w;
      float f = 1.0f - 0.12f * u;
      const int edge = std::min(y % (h / 2), h / 2 - 1 - y % (h / 2));
      if (edge < 3) f *= 0.8f;
      f *= 0.96f + 0.08f * Unit(Hash(static_cast<uint32_t>(x), static_cast<uint32_t>(y), 77));
      pic.at(x, y) = Shade(c, f);
    }
  }
  return pic;
}

Picture GrassTexture(uint32_t seed, uint32_t tint) {
  const int size = 512;
  Picture pic(size, size);
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      const float broad = FractalNoise(x / 128.0f, y / 128.0f, seed, 3, size / 128);
      const float mid = FractalNoise(x / 16.0f, y / 16.0f, seed + 5, 3, size / 16);
      const float blade = Unit(Hash(static_cast<uint32_t>(x), static_cast<uint32_t>(y), seed + 9));
      float f = 0.78f + 0.35f * broad + 0.18f * (mid - 0.5f) + 0.16f * (blade - 0.5f);
      uint32_t c = Shade(tint, f);
      // Patches of drier grass.
      const float dry = FractalNoise(x / 64.0f + 3, y / 64.0f, seed + 13, 2, size / 64);
      if (dry > 0.62f) c = Mix(c, Shade(0xFF9C9A52u, f), (dry - 0.62f) * 2.5f);
      pic.at(x, y) = c;
    }
  }
  return pic;
}

Picture BarrierTexture(uint32_t seed) {
  const int w = 256, h = 128;
  Picture pic(w, h);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const float n = FractalNoise(x / 8.0f, y / 8.0f, seed, 3, w / 8);
      float f = 0.85f + 0.2f * n;
      if (x < 2 || x >= w - 2) f *= 0.6f;  // joint between panels
      uint32_t c = Shade(0xFFC4C4BEu, f);
      // A painted band along the top of the face.
      if (y >= 8 && y < 36) {
        const bool red = ((x / 32) & 1) == 0;
        c = Shade(red ? 0xFFC02A22u : 0xFFEAEAE4u, 0.9f + 0.1f * n);
      }
      if (y > h - 10) c = Shade(c, 0.7f);  // dirt at the foot
      pic.at(x, y) = c;
    }
  }
  return pic;
}

Picture TreeTexture(uint32_t seed) {
  const int w = 512, h = 256;
  Picture pic(w, h, 0x00304020u);
  // Left half: conifer, layered triangles.
  const float cx = 128;
  FillRect(&pic, 122, 200, 134, 256, 0xFF4A3522u);
  for (int y = 4; y < 236; ++y) {
    const float t = (y - 4) / 232.0f;
    const float layer = std::fmod(t * 7.0f, 1.0f);
    const float half = (10 + 105 * t) * (0.72f + 0.28f * layer);
    for (int x = 0; x < 256; ++x) {
      const float d = std::fabs(x + 0.5f - cx);
      const float ragged = 6 * (LatticeNoise(x * 0.25f, y * 0.25f, seed) - 0.5f);
      if (d < half + ragged) {
        const float light = 0.65f + 0.35f * (1 - d / (half + 8)) + 0.2f * (layer - 0.5f);
        const float n = FractalNoise(x / 4.0f, y / 4.0f, seed + 1, 2);
        pic.at(x, y) = Shade(0xFF2C5A2Eu, light * (0.8f + 0.4f * n));
      }
    }
  }
  // Right half: broad-leaved tree, a lumpy crown on a trunk.
  FillRect(&pic, 256 + 120, 150, 256 + 136, 256, 0xFF55402Au);
  DrawLine(&pic, 256 + 128, 170, 256 + 90, 120, 7, 0xFF55402Au);
  DrawLine(&pic, 256 + 128, 165, 256 + 170, 115, 7, 0xFF55402Au);
  Random rnd(seed + 2);
  for (int k = 0; k < 26; ++k) {
    const float a = rnd.Range(0, 2 * kPi), r = rnd.Range(0, 62);
    const float bx = 256 + 128 + std::cos(a) * r * 1.1f, by = 92 + std::sin(a) * r * 0.85f;
    const float br = rnd.Range(26, 44);
    for (int y = static_cast<int>(by - br); y <= by + br; ++y)
      for (int x = static_cast<int>(bx - br); x <= bx + br; ++x) {
        if (x < 256 || x >= w || y < 0 || y >= h) continue;
        const float dx = x - bx, dy = y - by;
        const float d = std::sqrt(dx * dx + dy * dy) / br;
        const float ragged = 0.25f * (LatticeNoise(x * 0.3f, y * 0.3f, seed + 4) - 0.5f);
        if (d < 0.95f + ragged) {
          const float light = 0.7f + 0.3f * (-dy / br) * 0.5f + 0.15f * (1 - d);
          const float n = FractalNoise(x / 5.0f, y / 5.0f, seed + 5, 2);
          pic.at(x, y) = Shade(0xFF3F7030u, light * (0.75f + 0.5f * n));
        }
      }
  }
  // Drawn with alpha reference 255: every texel wholly there or not. The
  // transparent ones take the foliage's colour so filtering draws no dark rim.
  for (uint32_t& c : pic.argb) {
    c = (c >> 24) >= 128 ? (c | 0xFF000000u) : 0x00345A2Cu;
  }
  return pic;
}

namespace {

struct UV {
  double u, v;
};

double Cross(const UV& o, const UV& a, const UV& b) { return (a.u - o.u) * (b.v - o.v) - (a.v - o.v) * (b.u - o.u); }

std::vector<UV> ConvexHull(std::vector<UV> p) {
  std::sort(p.begin(), p.end(), [](const UV& a, const UV& b) { return a.u < b.u || (a.u == b.u && a.v < b.v); });
  std::vector<UV> h(2 * p.size() + 1);
  size_t k = 0;
  for (size_t i = 0; i < p.size(); ++i) {
    while (k >= 2 && Cross(h[k - 2], h[k - 1], p[i]) <= 0) --k;
    h[k++] = p[i];
  }
  for (size_t i = p.size() - 1, t = k + 1; i-- > 0;) {
    while (k >= t && Cross(h[k - 2], h[k - 1], p[i]) <= 0) --k;
    h[k++] = p[i];
  }
  h.resize(k > 1 ? k - 1 : k);
  return h;
}

// The part of a convex polygon on the left of the line from a to b.
std::vector<UV> Clip(const std::vector<UV>& poly, const UV& a, const UV& b) {
  std::vector<UV> out;
  for (size_t i = 0; i < poly.size(); ++i) {
    const UV &p = poly[i], &q = poly[(i + 1) % poly.size()];
    const double dp = Cross(a, b, p), dq = Cross(a, b, q);
    if (dp >= 0) out.push_back(p);
    if ((dp >= 0) != (dq >= 0)) {
      const double t = dp / (dp - dq);
      out.push_back(UV{p.u + t * (q.u - p.u), p.v + t * (q.v - p.v)});
    }
  }
  return out;
}

double Area(const std::vector<UV>& h) {
  double a = 0;
  for (size_t k = 0; k < h.size(); ++k) a += Cross(UV{0, 0}, h[k], h[(k + 1) % h.size()]);
  return std::fabs(a) * 0.5;
}

// The smallest polygon of at most `corners` corners that is the box with
// the lines of up to three of the hull's edges cut off it. It holds the
// hull, which lies wholly on the inner side of each of its edges.
std::vector<UV> Outline(const std::vector<UV>& hull, double u0, double u1, size_t corners) {
  const std::vector<UV> box = {UV{u0, 0}, UV{u0, 1}, UV{u1, 1}, UV{u1, 0}};
  std::vector<UV> best = box;
  const size_t n = hull.size();
  auto cut = [&](const std::vector<UV>& p, size_t e) { return Clip(p, hull[e], hull[(e + 1) % n]); };
  auto consider = [&](const std::vector<UV>& p) {
    if (p.size() >= 3 && p.size() <= corners && Area(p) < Area(best)) best = p;
  };
  for (size_t i = 0; i < n; ++i) {
    const std::vector<UV> a = cut(box, i);
    consider(a);
    for (size_t j = i + 1; j < n; ++j) {
      const std::vector<UV> b = cut(a, j);
      consider(b);
      for (size_t k = j + 1; k < n; ++k) consider(cut(b, k));
    }
  }
  return best;
}

}  // namespace

void TreeOutlines(const Picture& trees, TreeOutline out[2]) {
  std::vector<UV> corners[2];
  Picture level = trees;
  for (int l = 0; l <= 4; ++l) {
    for (int y = 0; y < level.height; ++y)
      for (int x = 0; x < level.width; ++x) {
        if ((level.at(x, y) >> 24) != 255) continue;
        const double u0 = double(x) / level.width, u1 = double(x + 1) / level.width;
        const double v0 = double(y) / level.height, v1 = double(y + 1) / level.height;
        std::vector<UV>& c = corners[u0 < 0.5 ? 0 : 1];
        c.insert(c.end(), {UV{u0, v0}, UV{u1, v0}, UV{u1, v1}, UV{u0, v1}});
      }
    level = HalfSizeCutout(level);
  }
  for (int kind = 0; kind < 2; ++kind) {
    const double u0 = kind * 0.5, u1 = u0 + 0.5;
    const std::vector<UV> hull = ConvexHull(corners[kind]);
    std::vector<UV> h = Outline(hull, u0, u1, 4);
    while (h.size() < 4) h.push_back(h.back());
    for (int k = 0; k < 4; ++k) {
      out[kind].u[k] = float(h[k].u);
      out[kind].v[k] = float(h[k].v);
    }
  }
}

Picture CrowdTexture(uint32_t seed) {
  const int size = 256;
  Picture pic(size, size);
  const uint32_t shirts[] = {0xFFD03030u, 0xFF3050C0u, 0xFFE0E0E0u, 0xFFE0C030u, 0xFF30A040u,
                             0xFF202020u, 0xFFE07020u, 0xFF8040A0u};
  const int tier = 32;  // one tier of seats per 32 rows
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      const int ty = y % tier;
      uint32_t c = ty < 6 ? 0xFF8A8A86u : 0xFF6A6A6Eu;  // step edge, seat row
      pic.at(x, y) = Shade(c, 0.9f + 0.2f * Unit(Hash(x, y, seed)));
    }
  }
  // Spectators: a head over a shirt, one per seat, a few empty seats.
  for (int row = 0; row < size / tier; ++row) {
    for (int seat = 0; seat < size / 8; ++seat) {
      const uint32_t h = Hash(static_cast<uint32_t>(row), static_cast<uint32_t>(seat), seed + 1);
      if ((h & 7) == 0) continue;
      const int x = seat * 8 + 1 + static_cast<int>((h >> 4) & 1);
      const int y = row * tier + 8;
      FillRect(&pic, x, y + 8, x + 6, y + 22, shirts[(h >> 8) % 8]);
      FillCircle(&pic, x + 3.0f, y + 5.0f, 3.0f, ((h >> 12) & 3) == 0 ? 0xFF6A4A30u : 0xFFE0B898u);
    }
  }
  return pic;
}

Picture ConcreteTexture(uint32_t seed) {
  const int size = 128;
  Picture pic(size, size);
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      const float n = FractalNoise(x / 8.0f, y / 8.0f, seed, 3, size / 8);
      pic.at(x, y) = Shade(0xFFB4B2AAu, 0.82f + 0.25f * n);
    }
  return pic;
}

Picture FacadeTexture(uint32_t seed, uint32_t wall) {
  const int size = 256;
  Picture pic(size, size);
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      const float n = FractalNoise(x / 8.0f, y / 8.0f, seed, 2, size / 8);
      pic.at(x, y) = Shade(wall, 0.85f + 0.2f * n);
    }
  const int cols = 8, rows = 4;
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < cols; ++c) {
      const int x0 = c * size / cols + 8, x1 = (c + 1) * size / cols - 8;
      const int y0 = r * size / rows + 14, y1 = (r + 1) * size / rows - 14;
      FillRect(&pic, x0 - 2, y0 - 2, x1 + 2, y1 + 2, 0xFFE8E8E0u);
      const uint32_t glass = Mix(0xFF2A3A4Au, 0xFF8FA8C0u, Unit(Hash(r, c, seed)) * 0.6f);
      for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x)
          pic.at(x, y) = Mix(glass, 0xFFFFFFFFu, 0.25f * (y1 - y) / float(y1 - y0) * ((x - x0) < 6));
      FillRect(&pic, (x0 + x1) / 2 - 1, y0, (x0 + x1) / 2 + 1, y1, 0xFFE8E8E0u);
    }
  return pic;
}

Picture RoofTexture(uint32_t seed, uint32_t colour) {
  const int size = 128;
  Picture pic(size, size);
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      const int row = y / 8;
      const int off = (row & 1) * 8;
      float f = 0.8f + 0.25f * Unit(Hash((x + off) / 16, row, seed));
      if (y % 8 == 7 || (x + off) % 16 == 0) f *= 0.65f;
      pic.at(x, y) = Shade(colour, f);
    }
  return pic;
}

Picture BannerTexture() {
  const int w = 512, h = 128;
  Picture pic(w, h, 0xFF1E3C8Cu);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      if (x < 96 || x >= w - 96) pic.at(x, y) = (((x / 16) + (y / 16)) & 1) ? 0xFF101010u : 0xFFF4F4F4u;
    }
  FillRect(&pic, 96, 0, w - 96, 6, 0xFFF0C020u);
  FillRect(&pic, 96, h - 6, w - 96, h, 0xFFF0C020u);
  const std::string a = "START", b = "FINISH";
  const int scale = 4, gap = 24;
  const int total = TextWidth(a, scale) + gap + TextWidth(b, scale);
  int x = (w - total) / 2;
  const int y = (h - 7 * scale) / 2;
  x += DrawText(&pic, x, y, a, scale, 0xFFFFFFFFu) + gap;
  DrawText(&pic, x, y, b, scale, 0xFFFFFFFFu);
  return pic;
}

uint32_t HazeColour(const std::string& palette) { return Palette(palette).haze; }

Picture SkyTexture(uint32_t seed, const std::string& palette) {
  const SkyColours p = Palette(palette);
  const int size = 512;
  Picture pic(size, size);
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      const float dx = (x + 0.5f) / size * 2 - 1, dy = (y + 0.5f) / size * 2 - 1;
      const float r = std::sqrt(dx * dx + dy * dy) / kSkyHorizon;  // 0 zenith, 1 horizon
      uint32_t c;
      if (r >= 1.0f) {
        c = Mix(p.horizon, p.haze, std::min(1.0f, (r - 1.0f) * 40));
      } else {
        const float elevation = 1.0f - r;
        c = Mix(p.horizon, p.zenith, std::pow(elevation, 0.6f));
        // Clouds, squashed towards the horizon by the dome's projection.
        const float n = FractalNoise(dx * 6 + 10, dy * 6 + 10, seed, 5);
        const float cover = Clamp((n - (1.0f - p.cloudCover)) * 3.0f, 0.0f, 1.0f);
        const float shade = 0.82f + 0.18f * FractalNoise(dx * 12, dy * 12, seed + 3, 3);
        c = Mix(c, Shade(p.cloud, shade), cover * (0.35f + 0.65f * std::min(1.0f, r * 1.5f)));
      }
      pic.at(x, y) = c;
    }
  return pic;
}

Picture HillsTexture(uint32_t seed, const std::string& palette) {
  const SkyColours p = Palette(palette);
  const int w = 1024, h = 128;
  Picture pic(w, h, WithAlpha(p.hills, 0));
  for (int x = 0; x < w; ++x) {
    const float u = (x + 0.5f) / w;
    // Two ranges: far and pale, near and darker; both tile in u.
    const float far = 0.35f + 0.45f * FractalNoise(u * 6, 0.5f, seed, 4, 6);
    const float nearer = 0.15f + 0.45f * FractalNoise(u * 10, 3.5f, seed + 1, 4, 10);
    for (int y = 0; y < h; ++y) {
      const float v = 1.0f - (y + 0.5f) / h;  // 0 bottom, 1 top
      if (v < nearer) {
        pic.at(x, y) = Mix(p.haze, p.hills, 0.25f);
      } else if (v < far) {
        pic.at(x, y) = Mix(p.hills, p.horizon, 0.35f);
      }
      // Soft outline: alpha fades over one texel above each range.
      const float edge = std::max(nearer, far) - v;
      if (edge > -1.0f / h && edge < 0) pic.at(x, y) = WithAlpha(pic.at(x, y), 128);
    }
  }
  return pic;
}

bool IsCutout(const Picture& pic) {
  for (uint32_t c : pic.argb)
    if ((c >> 24) != 0 && (c >> 24) != 255) return false;
  return true;
}

}  // namespace vrxdata
