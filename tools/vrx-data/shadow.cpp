#include "shadow.h"

#include <algorithm>

#include "paint.h"

namespace vrxdata {

namespace {

// Towards the light: the opposite of its travel (0, -1, 1), normalised.
const Vec3 kToLight(0.0f, 0.70710678f, -0.70710678f);
const float kStartOffset = 0.15f;  // ray origins sit this far above the surface
const uint32_t kShadowColour = 0x00202838u;

}  // namespace

void ShadowCasters::AddTriangle(const Vec3& a, const Vec3& b, const Vec3& c) {
  tris_.push_back(Tri{a, b - a, c - a});
}

void ShadowCasters::AddSphere(const Vec3& centre, float radius) { spheres_.push_back(Sphere{centre, radius}); }

void ShadowCasters::Build(float cellSize) {
  cell_ = cellSize;
  lo_ = Vec3(1e10f, 1e10f, 1e10f);
  hi_ = Vec3(-1e10f, -1e10f, -1e10f);
  auto grow = [&](const Vec3& p) {
    lo_ = Vec3(std::min(lo_.x, p.x), std::min(lo_.y, p.y), std::min(lo_.z, p.z));
    hi_ = Vec3(std::max(hi_.x, p.x), std::max(hi_.y, p.y), std::max(hi_.z, p.z));
  };
  for (const Tri& t : tris_) {
    grow(t.a);
    grow(t.a + t.e1);
    grow(t.a + t.e2);
  }
  for (const Sphere& s : spheres_) {
    grow(s.c - Vec3(s.r, s.r, s.r));
    grow(s.c + Vec3(s.r, s.r, s.r));
  }
  if (lo_.x > hi_.x) {
    w_ = h_ = 0;
    cells_.clear();
    return;
  }
  minX_ = lo_.x;
  minZ_ = lo_.z;
  maxY_ = hi_.y;
  w_ = static_cast<int>((hi_.x - lo_.x) / cell_) + 1;
  h_ = static_cast<int>((hi_.z - lo_.z) / cell_) + 1;
  cells_.assign(static_cast<size_t>(w_) * h_, {});
  auto insert = [&](float x0, float x1, float z0, float z1, int id) {
    const int cx0 = static_cast<int>((x0 - minX_) / cell_), cx1 = static_cast<int>((x1 - minX_) / cell_);
    const int cz0 = static_cast<int>((z0 - minZ_) / cell_), cz1 = static_cast<int>((z1 - minZ_) / cell_);
    for (int z = cz0; z <= cz1; ++z)
      for (int x = cx0; x <= cx1; ++x) cells_[static_cast<size_t>(z) * w_ + x].push_back(id);
  };
  for (size_t i = 0; i < tris_.size(); ++i) {
    const Tri& t = tris_[i];
    const Vec3 b = t.a + t.e1, c = t.a + t.e2;
    insert(std::min({t.a.x, b.x, c.x}), std::max({t.a.x, b.x, c.x}), std::min({t.a.z, b.z, c.z}),
           std::max({t.a.z, b.z, c.z}), static_cast<int>(i));
  }
  for (size_t i = 0; i < spheres_.size(); ++i) {
    const Sphere& s = spheres_[i];
    insert(s.c.x - s.r, s.c.x + s.r, s.c.z - s.r, s.c.z + s.r, -1 - static_cast<int>(i));
  }
}

bool ShadowCasters::Blocked(const Vec3& p) const {
  if (w_ == 0) return false;
  const Vec3 o = p + Vec3(0, kStartOffset, 0);
  const Vec3& d = kToLight;
  const int cx = static_cast<int>(std::floor((o.x - minX_) / cell_));
  if (cx < 0 || cx >= w_) return false;
  int cz = static_cast<int>(std::floor((o.z - minZ_) / cell_));
  if (cz >= h_) cz = h_ - 1;
  for (; cz >= 0; --cz) {
    // The ray rises as much as it travels towards -z: above every caster
    // once it has left the cell band below maxY.
    const float zTop = minZ_ + (cz + 1) * cell_;
    const float travelled = std::max(0.0f, o.z - zTop);
    if (o.y + travelled > maxY_) break;
    for (int id : cells_[static_cast<size_t>(cz) * w_ + cx]) {
      if (id >= 0) {
        const Tri& t = tris_[id];
        const Vec3 pv = Cross(d, t.e2);
        const float det = Dot(t.e1, pv);
        if (std::fabs(det) < 1e-9f) continue;
        const float inv = 1.0f / det;
        const Vec3 tv = o - t.a;
        const float u = Dot(tv, pv) * inv;
        if (u < 0 || u > 1) continue;
        const Vec3 qv = Cross(tv, t.e1);
        const float v = Dot(d, qv) * inv;
        if (v < 0 || u + v > 1) continue;
        if (Dot(t.e2, qv) * inv > 0.05f) return true;
      } else {
        const Sphere& s = spheres_[-1 - id];
        const Vec3 oc = o - s.c;
        const float b = Dot(oc, d);
        const float c = Dot(oc, oc) - s.r * s.r;
        const float disc = b * b - c;
        if (disc >= 0 && -b + std::sqrt(disc) > 0) return true;
      }
    }
  }
  return false;
}

Picture BakeShadowMap(const ShadowCasters& casters, const ShadowBox& box, int size, float darkness,
                      const std::function<bool(float, float, float*)>& surface) {
  Picture pic(size, size, kShadowColour);
  const float dx = box.maxX - box.minX, dz = box.maxZ - box.minZ;
  const float sub[2] = {0.25f, 0.75f};
  for (int row = 0; row < size; ++row) {
    for (int col = 0; col < size; ++col) {
      int hits = 0, samples = 0;
      for (float sy : sub)
        for (float sx : sub) {
          const float u = (col + sx) / size, v = (row + sy) / size;
          const float x = box.maxX - u * dx, z = box.minZ + v * dz;
          float y;
          if (!surface(x, z, &y)) continue;
          ++samples;
          if (casters.Blocked(Vec3(x, y, z))) ++hits;
        }
      const float shadow = samples ? static_cast<float>(hits) / samples : 0.0f;
      pic.at(col, row) = WithAlpha(kShadowColour, static_cast<int>(std::lround(shadow * darkness * 255)));
    }
  }
  return pic;
}

}  // namespace vrxdata
