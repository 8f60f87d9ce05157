// A thin layer over the mesh object writer for the generators: vertices with
// position, normal and texture coordinates, faces turned to face a wanted
// side, textures by file name, and each object's box and face count kept as
// the faces are added (the file's boxes are computed from the same floats).
#pragma once

#include <map>
#include <string>
#include <vector>

#include "geom.h"
#include "vrxmesh/mo_writer.h"

namespace vrxdata {

struct MeshVertex {
  Vec3 p;
  Vec3 n;
  float u = 0, v = 0;
  MeshVertex() = default;
  MeshVertex(const Vec3& pos, const Vec3& normal, float tu, float tv) : p(pos), n(normal), u(tu), v(tv) {}
};

class MeshBuilder {
 public:
  int Texture(const std::string& file);  // index of the file, added on first use
  int Object(const std::string& name);
  // A triangle as given: the visible side is the one (b - a) x (c - a) points to.
  void Triangle(int object, int texture, const MeshVertex& a, const MeshVertex& b,
                const MeshVertex& c);
  // Triangles (a, b, c) and (a, c, d).
  void Quad(int object, int texture, const MeshVertex& a, const MeshVertex& b,
            const MeshVertex& c, const MeshVertex& d);
  // A planar quad shown on the side `facing` points to: the corner order is
  // reversed when needed, and every vertex gets the flat normal of that side.
  void FlatQuad(int object, int texture, MeshVertex a, MeshVertex b, MeshVertex c, MeshVertex d,
                const Vec3& facing);
  void FlatTriangle(int object, int texture, MeshVertex a, MeshVertex b, MeshVertex c,
                    const Vec3& facing);
  // A quad with its own vertex normals, turned to the side they point to.
  void SmoothQuad(int object, int texture, const MeshVertex& a, MeshVertex b, const MeshVertex& c,
                  MeshVertex d);

  int ObjectCount() const { return static_cast<int>(names_.size()); }
  const std::string& Name(int object) const { return names_[object]; }
  size_t Faces(int object) const { return faces_[object]; }
  size_t FaceCount() const;
  bool HasFaces(int object) const { return faces_[object] > 0; }
  Vec3 BoxMin(int object) const { return min_[object]; }
  Vec3 BoxMax(int object) const { return max_[object]; }

  bool Write(const std::string& path, std::string* error) const { return mo_.Write(path, error); }
  bool Build(std::vector<uint8_t>* out, std::string* error) const { return mo_.Build(out, error); }

 private:
  void Grow(int object, const Vec3& p);

  vrxmesh::MoWriter mo_;
  std::map<std::string, int> textures_;
  std::vector<std::string> names_;
  std::vector<size_t> faces_;
  std::vector<Vec3> min_, max_;
};

}  // namespace vrxdata
