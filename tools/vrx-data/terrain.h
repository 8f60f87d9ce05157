// The land around a track: a height field over the road's box plus a margin.
// Near the road it follows the road's edges (a little below the road under
// it, so it never shows through), further out it blends into rolling hills.
#pragma once

#include "geom.h"
#include "mesh_builder.h"
#include "track_desc.h"
#include "track_path.h"

namespace vrxdata {

class Terrain {
 public:
  Terrain(const TrackDesc& desc, const TrackPath& path);

  // Height of the land at (x, z) (the height field itself; the mesh is its
  // sampling on the grid).
  float Height(float x, float z) const;
  // Height of the mesh at (x, z): the grid's triangles interpolated.
  float MeshHeight(float x, float z) const;
  bool Inside(float x, float z, float margin = 0) const;

  float MinX() const { return minX_; }
  float MinZ() const { return minZ_; }
  float MaxX() const { return minX_ + cell_ * cellsX_; }
  float MaxZ() const { return minZ_ + cell_ * cellsZ_; }

  // Terrain objects "h_<col>_<row>", one per chunk of cells; triangles that
  // lie wholly under the road are left out. Chunks away from the road use
  // cells twice as large; the edges they share with fine chunks are made
  // straight on the fine side, so the two meet without cracks.
  void AddMesh(MeshBuilder* mesh, int texture) const;

 private:
  float Natural(float x, float z) const;
  // Grid step (in cells) of the chunk holding grid cell (ix, iz): 1 or 2.
  int Step(int ix, int iz) const;
  float Sample(int ix, int iz) const { return heights_[static_cast<size_t>(iz) * (cellsX_ + 1) + ix]; }
  bool Hidden(int ix, int iz) const { return hidden_[static_cast<size_t>(iz) * (cellsX_ + 1) + ix] != 0; }

  const TrackDesc& desc_;
  const TrackPath& path_;
  float base_ = 0;
  float minX_ = 0, minZ_ = 0, cell_ = 8;
  int cellsX_ = 0, cellsZ_ = 0;
  std::vector<float> heights_;
  std::vector<char> hidden_;  // grid point well under the road
  int chunksX_ = 0, chunksZ_ = 0;
  std::vector<char> fine_;    // per chunk: near the road
};

}  // namespace vrxdata
