#include "art_paint.h"

namespace vrxdata {

Rgba Rgb(uint32_t rgb, float a) {
  return Rgba{((rgb >> 16) & 0xFF) / 255.0f, ((rgb >> 8) & 0xFF) / 255.0f, (rgb & 0xFF) / 255.0f, a};
}

Rgba Mix(const Rgba& x, const Rgba& y, float t) {
  return Rgba{x.r + (y.r - x.r) * t, x.g + (y.g - x.g) * t, x.b + (y.b - x.b) * t, x.a + (y.a - x.a) * t};
}

float SdCircle(float x, float y, float cx, float cy, float r) {
  return std::hypot(x - cx, y - cy) - r;
}

float SdRoundBox(float x, float y, float cx, float cy, float hw, float hh, float r) {
  const float qx = std::fabs(x - cx) - (hw - r), qy = std::fabs(y - cy) - (hh - r);
  const float outside = std::hypot(std::max(qx, 0.0f), std::max(qy, 0.0f));
  return outside + std::min(std::max(qx, qy), 0.0f) - r;
}

float SdCapsule(float x, float y, float ax, float ay, float bx, float by, float r) {
  const float pax = x - ax, pay = y - ay, bax = bx - ax, bay = by - ay;
  const float len2 = bax * bax + bay * bay;
  const float h = len2 > 0.0f ? Clamp01((pax * bax + pay * bay) / len2) : 0.0f;
  return std::hypot(pax - bax * h, pay - bay * h) - r;
}

float SdPolygon(float x, float y, const std::vector<Vec2f>& poly) {
  const size_t n = poly.size();
  if (n < 3) return 1e9f;
  float d = 1e30f;
  bool inside = false;
  for (size_t i = 0, j = n - 1; i < n; j = i++) {
    const Vec2f a = poly[j], b = poly[i];
    const float ex = b.x - a.x, ey = b.y - a.y, wx = x - a.x, wy = y - a.y;
    const float len2 = ex * ex + ey * ey;
    const float h = len2 > 0.0f ? Clamp01((wx * ex + wy * ey) / len2) : 0.0f;
    const float dx = wx - ex * h, dy = wy - ey * h;
    d = std::min(d, dx * dx + dy * dy);
    if ((a.y > y) != (b.y > y) && x < a.x + (y - a.y) * ex / ey) inside = !inside;
  }
  return inside ? -std::sqrt(d) : std::sqrt(d);
}

Mask Dilate(const Mask& m, float r) {
  Mask out(m.width, m.height);
  const int ir = int(std::ceil(r + 0.5f));
  std::vector<float> weight;
  for (int dy = -ir; dy <= ir; ++dy)
    for (int dx = -ir; dx <= ir; ++dx) weight.push_back(Clamp01(r + 0.5f - std::hypot(float(dx), float(dy))));
  for (int y = 0; y < m.height; ++y) {
    for (int x = 0; x < m.width; ++x) {
      float best = 0.0f;
      size_t w = 0;
      for (int dy = -ir; dy <= ir; ++dy)
        for (int dx = -ir; dx <= ir; ++dx, ++w)
          if (weight[w] > 0.0f) best = std::max(best, m.at(x + dx, y + dy) * weight[w]);
      out.ref(x, y) = best;
    }
  }
  return out;
}

namespace {

// One horizontal and one vertical box pass of radius r (window 2r + 1).
void BoxPass(const Mask& in, Mask* out, int r, bool horizontal) {
  const int len = horizontal ? in.width : in.height;
  const int lines = horizontal ? in.height : in.width;
  const float norm = 1.0f / float(2 * r + 1);
  for (int l = 0; l < lines; ++l) {
    float sum = 0.0f;
    auto get = [&](int i) { return horizontal ? in.at(i, l) : in.at(l, i); };
    for (int i = -r; i <= r; ++i) sum += get(i);
    for (int i = 0; i < len; ++i) {
      (horizontal ? out->ref(i, l) : out->ref(l, i)) = sum * norm;
      sum += get(i + r + 1) - get(i - r);
    }
  }
}

}  // namespace

Mask Blur(const Mask& m, int r) {
  if (r <= 0) return m;
  Mask a = m, b(m.width, m.height);
  for (int pass = 0; pass < 3; ++pass) {
    BoxPass(a, &b, r, true);
    BoxPass(b, &a, r, false);
  }
  return a;
}

Canvas::Canvas(int w, int h, Rgba fill) : width(w), height(h), px(size_t(w) * h * 4) {
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) Set(x, y, fill);
}

void Canvas::Over(int x, int y, const Rgba& c, float k) {
  if (x < 0 || y < 0 || x >= width || y >= height) return;
  float* p = &px[(size_t(y) * width + x) * 4];
  const float a = Clamp01(c.a) * Clamp01(k);
  const float keep = 1.0f - a;
  p[0] = c.r * a + p[0] * keep;
  p[1] = c.g * a + p[1] * keep;
  p[2] = c.b * a + p[2] * keep;
  p[3] = a + p[3] * keep;
}

void Canvas::Set(int x, int y, const Rgba& c) {
  if (x < 0 || y < 0 || x >= width || y >= height) return;
  float* p = &px[(size_t(y) * width + x) * 4];
  const float a = Clamp01(c.a);
  p[0] = Clamp01(c.r) * a;
  p[1] = Clamp01(c.g) * a;
  p[2] = Clamp01(c.b) * a;
  p[3] = a;
}

Rgba Canvas::Get(int x, int y) const {
  const float* p = &px[(size_t(y) * width + x) * 4];
  if (p[3] <= 0.0f) return Rgba{0, 0, 0, 0};
  return Rgba{p[0] / p[3], p[1] / p[3], p[2] / p[3], p[3]};
}

Picture Canvas::ToPicture() const {
  Picture pic(width, height, 0);
  auto byte = [](float v) { return uint32_t(std::lround(Clamp01(v) * 255.0f)); };
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const Rgba c = Get(x, y);
      pic.at(x, y) = byte(c.a) << 24 | byte(c.r) << 16 | byte(c.g) << 8 | byte(c.b);
    }
  }
  return pic;
}

float Hash01(uint32_t a, uint32_t b, uint32_t c) {
  uint32_t h = a * 0x9E3779B1u ^ (b + 0x7F4A7C15u) * 0x85EBCA77u ^ (c + 0x165667B1u) * 0xC2B2AE3Du;
  h ^= h >> 15;
  h *= 0x2C1B3C6Du;
  h ^= h >> 12;
  h *= 0x297A2D39u;
  h ^= h >> 15;
  return float(h >> 8) * (1.0f / 16777216.0f);
}

float ValueNoise(float x, float y, uint32_t seed, int period) {
  const float fx = std::floor(x), fy = std::floor(y);
  int ix = int(fx), iy = int(fy);
  const float tx = x - fx, ty = y - fy;
  auto wrap = [period](int v) { return period > 0 ? ((v % period) + period) % period : v; };
  auto corner = [&](int cx, int cy) { return Hash01(uint32_t(wrap(cx)), uint32_t(wrap(cy)), seed); };
  const float sx = tx * tx * (3 - 2 * tx), sy = ty * ty * (3 - 2 * ty);
  const float top = corner(ix, iy) + (corner(ix + 1, iy) - corner(ix, iy)) * sx;
  const float bottom = corner(ix, iy + 1) + (corner(ix + 1, iy + 1) - corner(ix, iy + 1)) * sx;
  return top + (bottom - top) * sy;
}

float Fbm(float x, float y, uint32_t seed, int octaves, int period) {
  float sum = 0.0f, weight = 0.5f, total = 0.0f;
  for (int o = 0; o < octaves; ++o) {
    sum += ValueNoise(x, y, seed + uint32_t(o) * 101u, period) * weight;
    total += weight;
    x *= 2.0f;
    y *= 2.0f;
    period *= 2;
    weight *= 0.5f;
  }
  return sum / total;
}

}  // namespace vrxdata
