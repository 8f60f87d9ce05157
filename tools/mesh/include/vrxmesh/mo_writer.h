// Builds mesh object files (".mo"): named objects whose triangles are grouped
// by texture, and the list of texture file names they use. Boxes, vertex
// ranges and the group table are computed when the file is written.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "MoTypes.h"

namespace vrxmesh {

// A vertex with a white diffuse colour and zero second coordinates.
_MOVERTEX MoVertex(float x, float y, float z, float nx, float ny, float nz, float u = 0.0f,
                   float v = 0.0f);

class MoWriter {
 public:
  // Appends a texture file name (relative to the file's directory); returns its index.
  int AddTexture(const std::string& file);
  // Appends an object; returns its index. Objects keep the order they are added in.
  int AddObject(const std::string& name);
  // Adds one triangle on texture `texture` to object `object`.
  void AddFace(int object, int texture, const _MOVERTEX& a, const _MOVERTEX& b,
               const _MOVERTEX& c);
  // Two triangles (a, b, c) and (a, c, d). The visible side is the one that
  // (b - a) x (c - a) points to (clockwise on screen when seen from there).
  void AddQuad(int object, int texture, const _MOVERTEX& a, const _MOVERTEX& b,
               const _MOVERTEX& c, const _MOVERTEX& d);

  int ObjectCount() const { return static_cast<int>(objects_.size()); }
  int TextureCount() const { return static_cast<int>(textures_.size()); }
  size_t FaceCount() const;

  // The complete file image. Fails (false, reason in *error) when a name is
  // too long, an index is out of range, or a group exceeds MO_MAX_GROUP_FACES.
  bool Build(std::vector<uint8_t>* out, std::string* error) const;
  // Build, then write to `path`.
  bool Write(const std::string& path, std::string* error) const;

 private:
  struct Object {
    std::string name;
    std::vector<std::vector<_MOFACE>> groups;  // one per texture index
  };
  std::vector<std::string> textures_;
  std::vector<Object> objects_;
  std::string badCall_;  // first invalid AddFace call, reported by Build
};

}  // namespace vrxmesh
