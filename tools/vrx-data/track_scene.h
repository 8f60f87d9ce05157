// Everything in a track's mesh object file, built from its description: the
// sky, the road in chunks, the terrain, barriers, the start banner,
// grandstands, buildings and trees, the invisible border walls and the two
// timing gates; plus what the shadow bake and the start file need.
#pragma once

#include <vector>

#include "image_files.h"
#include "mesh_builder.h"
#include "shadow.h"
#include "terrain.h"
#include "track_desc.h"
#include "track_path.h"

namespace vrxdata {

// Texture files beside the track's mesh.
extern const char* const kTrackTextureFiles[];
extern const int kTrackTextureCount;

struct TrackScene {
  MeshBuilder mesh;
  ShadowCasters casters;     // what throws shadows onto road and land
  std::vector<Vec3> road;    // the road's triangles, three points each
  int startRow = 0;          // the start line (start gate) row
  int halfRow = 0;           // the half-lap gate row
  Vec3 startPos;             // on the centreline, behind the start line
  float startHeading = 0;    // radians about y; a car started with it faces (-sin h, 0, cos h)
  int trees = 0, buildings = 0, grandstands = 0;
};

bool BuildTrackScene(const TrackDesc& desc, const TrackPath& path, const Terrain& terrain,
                     TrackScene* scene);

// The seed a track's pictures are made from, and its trees picture (the
// scene fits the trees' shapes to it).
uint32_t TrackPictureSeed(const TrackDesc& desc);
Picture TrackTreePicture(const TrackDesc& desc);

// The box the game's global texture coordinates (and so the shadow maps)
// span: road, terrain and scenery objects, not borders, sky or gates.
ShadowBox TrackBox(const MeshBuilder& mesh);

// Road height at (x, z) from the scene's road triangles, false off the road.
class RoadHeights {
 public:
  explicit RoadHeights(const std::vector<Vec3>& triangles, float cell = 8.0f);
  bool At(float x, float z, float* y) const;

 private:
  std::vector<Vec3> tris_;
  float cell_, minX_ = 0, minZ_ = 0;
  int w_ = 0, h_ = 0;
  std::vector<std::vector<int>> cells_;
};

}  // namespace vrxdata
