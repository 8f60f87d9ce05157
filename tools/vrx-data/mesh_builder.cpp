#include "mesh_builder.h"

#include <algorithm>

namespace vrxdata {

namespace {

_MOVERTEX ToVertex(const MeshVertex& m) {
  return vrxmesh::MoVertex(m.p.x, m.p.y, m.p.z, m.n.x, m.n.y, m.n.z, m.u, m.v);
}

}  // namespace

int MeshBuilder::Texture(const std::string& file) {
  auto it = textures_.find(file);
  if (it != textures_.end()) return it->second;
  const int index = mo_.AddTexture(file);
  textures_[file] = index;
  return index;
}

int MeshBuilder::Object(const std::string& name) {
  names_.push_back(name);
  faces_.push_back(0);
  min_.push_back(Vec3(1e10f, 1e10f, 1e10f));
  max_.push_back(Vec3(-1e10f, -1e10f, -1e10f));
  return mo_.AddObject(name);
}

void MeshBuilder::Grow(int object, const Vec3& p) {
  Vec3& lo = min_[object];
  Vec3& hi = max_[object];
  lo = Vec3(std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z));
  hi = Vec3(std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z));
}

void MeshBuilder::Triangle(int object, int texture, const MeshVertex& a, const MeshVertex& b,
                           const MeshVertex& c) {
  mo_.AddFace(object, texture, ToVertex(a), ToVertex(b), ToVertex(c));
  if (object < 0 || object >= ObjectCount()) return;
  ++faces_[object];
  Grow(object, a.p);
  Grow(object, b.p);
  Grow(object, c.p);
}

void MeshBuilder::Quad(int object, int texture, const MeshVertex& a, const MeshVertex& b,
                       const MeshVertex& c, const MeshVertex& d) {
  Triangle(object, texture, a, b, c);
  Triangle(object, texture, a, c, d);
}

void MeshBuilder::FlatQuad(int object, int texture, MeshVertex a, MeshVertex b, MeshVertex c,
                           MeshVertex d, const Vec3& facing) {
  Vec3 n = Cross(b.p - a.p, c.p - a.p);
  if (Dot(n, facing) < 0) {
    std::swap(b, d);
    n = -n;
  }
  n = Normalize(n);
  a.n = b.n = c.n = d.n = n;
  Quad(object, texture, a, b, c, d);
}

void MeshBuilder::FlatTriangle(int object, int texture, MeshVertex a, MeshVertex b, MeshVertex c,
                               const Vec3& facing) {
  Vec3 n = Cross(b.p - a.p, c.p - a.p);
  if (Dot(n, facing) < 0) {
    std::swap(b, c);
    n = -n;
  }
  n = Normalize(n);
  a.n = b.n = c.n = n;
  Triangle(object, texture, a, b, c);
}

void MeshBuilder::SmoothQuad(int object, int texture, const MeshVertex& a, MeshVertex b, const MeshVertex& c,
                             MeshVertex d) {
  const Vec3 n = Cross(b.p - a.p, c.p - a.p) + Cross(c.p - a.p, d.p - a.p);
  if (Dot(n, a.n + b.n + c.n + d.n) < 0) std::swap(b, d);
  Quad(object, texture, a, b, c, d);
}

size_t MeshBuilder::FaceCount() const {
  size_t n = 0;
  for (size_t f : faces_) n += f;
  return n;
}

}  // namespace vrxdata
