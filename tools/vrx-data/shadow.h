// Baking a track's shadow maps: rays from the ground towards the light
// (the light travels along (0, -1, 1)) against the track's own triangles and
// the crowns of its trees, through a grid over x and z.
#pragma once

#include <functional>
#include <vector>

#include "geom.h"
#include "image_files.h"

namespace vrxdata {

// Triangles and spheres in a grid of columns; the ray towards the light
// keeps its x and runs towards -z, so it walks one column of cells.
class ShadowCasters {
 public:
  void AddTriangle(const Vec3& a, const Vec3& b, const Vec3& c);
  void AddSphere(const Vec3& centre, float radius);
  void Build(float cellSize = 8.0f);

  // Whether the ray from p towards the light hits anything.
  bool Blocked(const Vec3& p) const;
  size_t TriangleCount() const { return tris_.size(); }

 private:
  struct Tri {
    Vec3 a, e1, e2;
  };
  struct Sphere {
    Vec3 c;
    float r;
  };
  std::vector<Tri> tris_;
  std::vector<Sphere> spheres_;
  float cell_ = 8, minX_ = 0, minZ_ = 0, maxY_ = 0;
  int w_ = 0, h_ = 0;
  std::vector<std::vector<int>> cells_;  // >= 0 triangle, < 0 sphere -1 - index
  Vec3 lo_, hi_;
};

// The box a shadow map covers, in x and z, exactly as the game maps it: a
// texel column u = (col + 0.5) / width lies at x = max x - u (max x - min x),
// a row v = (row + 0.5) / height at z = min z + v (max z - min z).
struct ShadowBox {
  float minX, minZ, maxX, maxZ;
};

// One sample grid of size x size texels: alpha = shadow (255 full shadow times
// darkness), colour a dark blue-grey. `surface` gives the height to test
// from at (x, z), false where there is nothing to shade (alpha 0). Each texel
// averages 2 x 2 rays.
Picture BakeShadowMap(const ShadowCasters& casters, const ShadowBox& box, int size, float darkness,
                      const std::function<bool(float x, float z, float* y)>& surface);

}  // namespace vrxdata
