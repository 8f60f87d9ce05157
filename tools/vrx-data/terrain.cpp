#include "terrain.h"

#include <algorithm>
#include <cstdio>

namespace vrxdata {

namespace {

const float kBlend = 35.0f;       // from the road's edge to natural ground
const float kUnderRoad = 0.35f;   // the land stays this far below the road surface at its edges,
const float kUnderRoadDeep = 0.6f;  // and this much further down away from them
const float kGrassTile = 12.0f;   // metres per repeat of the grass texture
const int kChunkCells = 8;
const float kFineReach = 40.0f;  // chunks this close to the road get the fine grid

}  // namespace

Terrain::Terrain(const TrackDesc& desc, const TrackPath& path) : desc_(desc), path_(path) {
  float sum = 0;
  for (const PathRow& r : path.rows()) sum += r.pos.y;
  base_ = sum / static_cast<float>(path.RowCount());
  cell_ = desc.terrainCell;
  const float m = desc.terrainMargin;
  minX_ = std::floor((path.MinX() - m) / cell_) * cell_;
  minZ_ = std::floor((path.MinZ() - m) / cell_) * cell_;
  cellsX_ = static_cast<int>(std::ceil((path.MaxX() + m - minX_) / cell_));
  cellsZ_ = static_cast<int>(std::ceil((path.MaxZ() + m - minZ_) / cell_));
  // Whole chunks, so every chunk has the same size.
  cellsX_ = (cellsX_ + kChunkCells - 1) / kChunkCells * kChunkCells;
  cellsZ_ = (cellsZ_ + kChunkCells - 1) / kChunkCells * kChunkCells;
  heights_.resize(static_cast<size_t>(cellsX_ + 1) * (cellsZ_ + 1));
  hidden_.resize(heights_.size());
  const float inner = desc.CorridorHalf() - 1.5f;
  for (int iz = 0; iz <= cellsZ_; ++iz)
    for (int ix = 0; ix <= cellsX_; ++ix) {
      const float x = minX_ + ix * cell_, z = minZ_ + iz * cell_;
      const size_t k = static_cast<size_t>(iz) * (cellsX_ + 1) + ix;
      heights_[k] = Height(x, z);
      const PathHit hit = path.Nearest(x, z, inner);
      hidden_[k] = hit.found ? 1 : 0;
    }
  chunksX_ = cellsX_ / kChunkCells;
  chunksZ_ = cellsZ_ / kChunkCells;
  fine_.resize(static_cast<size_t>(chunksX_) * chunksZ_);
  const float chunk = kChunkCells * cell_;
  for (int cz = 0; cz < chunksZ_; ++cz)
    for (int cx = 0; cx < chunksX_; ++cx) {
      const float x = minX_ + (cx + 0.5f) * chunk, z = minZ_ + (cz + 0.5f) * chunk;
      fine_[static_cast<size_t>(cz) * chunksX_ + cx] = path.Nearest(x, z, chunk * 0.71f + kFineReach).found;
    }
  // Along an edge between a fine and a coarse chunk the fine side's extra
  // points lie on the coarse side's straight edge.
  auto fine = [&](int cx, int cz) {
    return cx >= 0 && cz >= 0 && cx < chunksX_ && cz < chunksZ_ && fine_[static_cast<size_t>(cz) * chunksX_ + cx];
  };
  auto coarse = [&](int cx, int cz) {
    return cx >= 0 && cz >= 0 && cx < chunksX_ && cz < chunksZ_ && !fine_[static_cast<size_t>(cz) * chunksX_ + cx];
  };
  auto h = [&](int ix, int iz) -> float& { return heights_[static_cast<size_t>(iz) * (cellsX_ + 1) + ix]; };
  for (int cz = 0; cz < chunksZ_; ++cz)
    for (int cx = 0; cx < chunksX_; ++cx) {
      if (!fine(cx, cz)) continue;
      const int x0 = cx * kChunkCells, z0 = cz * kChunkCells, x1 = x0 + kChunkCells, z1 = z0 + kChunkCells;
      for (int k = 1; k < kChunkCells; k += 2) {
        if (coarse(cx - 1, cz)) h(x0, z0 + k) = 0.5f * (h(x0, z0 + k - 1) + h(x0, z0 + k + 1));
        if (coarse(cx + 1, cz)) h(x1, z0 + k) = 0.5f * (h(x1, z0 + k - 1) + h(x1, z0 + k + 1));
        if (coarse(cx, cz - 1)) h(x0 + k, z0) = 0.5f * (h(x0 + k - 1, z0) + h(x0 + k + 1, z0));
        if (coarse(cx, cz + 1)) h(x0 + k, z1) = 0.5f * (h(x0 + k - 1, z1) + h(x0 + k + 1, z1));
      }
    }
}

int Terrain::Step(int ix, int iz) const {
  const int cx = std::min(chunksX_ - 1, ix / kChunkCells), cz = std::min(chunksZ_ - 1, iz / kChunkCells);
  return fine_[static_cast<size_t>(cz) * chunksX_ + cx] ? 1 : 2;
}

float Terrain::Natural(float x, float z) const {
  const float s = desc_.terrainScale;
  const float hills = FractalNoise(x / s, z / s, static_cast<uint32_t>(desc_.seed) * 31u + 5u, 4);
  return base_ + desc_.terrainRelief * (hills - 0.5f) * 2.0f;
}

float Terrain::Height(float x, float z) const {
  const float c = desc_.CorridorHalf();
  const float natural = Natural(x, z);
  const PathHit hit = path_.Nearest(x, z, c + kBlend);
  if (!hit.found) return natural;
  // Under the road the land drops away from the edges, far enough below the
  // surface that the depth buffer keeps the two apart in the distance.
  if (hit.distance <= c)
    return hit.SurfaceY(hit.lateral) - kUnderRoad - kUnderRoadDeep * Smoothstep((c - hit.distance) / 3.0f);
  const float edge = hit.SurfaceY(hit.lateral < 0 ? -c : c) - 0.05f;
  return Lerp(edge, natural, Smoothstep((hit.distance - c) / kBlend));
}

bool Terrain::Inside(float x, float z, float margin) const {
  return x >= MinX() + margin && x <= MaxX() - margin && z >= MinZ() + margin && z <= MaxZ() - margin;
}

float Terrain::MeshHeight(float x, float z) const {
  const float fx = Clamp((x - minX_) / cell_, 0.0f, cellsX_ - 1e-3f);
  const float fz = Clamp((z - minZ_) / cell_, 0.0f, cellsZ_ - 1e-3f);
  const int step = Step(static_cast<int>(fx), static_cast<int>(fz));
  const int ix = static_cast<int>(fx) / step * step, iz = static_cast<int>(fz) / step * step;
  const float tx = (fx - ix) / step, tz = (fz - iz) / step;
  // The cell's diagonal runs from (x0, z0) to (x1, z1), as in AddMesh.
  const float h00 = Sample(ix, iz), h10 = Sample(ix + step, iz);
  const float h01 = Sample(ix, iz + step), h11 = Sample(ix + step, iz + step);
  if (tz >= tx) return h00 + tx * (h11 - h01) + tz * (h01 - h00);
  return h00 + tx * (h10 - h00) + tz * (h11 - h10);
}

void Terrain::AddMesh(MeshBuilder* mesh, int texture) const {
  auto vertex = [&](int ix, int iz) {
    const float x = minX_ + ix * cell_, z = minZ_ + iz * cell_;
    const int x0 = std::max(0, ix - 2), x1 = std::min(cellsX_, ix + 2);
    const int z0 = std::max(0, iz - 2), z1 = std::min(cellsZ_, iz + 2);
    const float gx = (Sample(x1, iz) - Sample(x0, iz)) / ((x1 - x0) * cell_);
    const float gz = (Sample(ix, z1) - Sample(ix, z0)) / ((z1 - z0) * cell_);
    return MeshVertex(Vec3(x, Sample(ix, iz), z), Normalize(Vec3(-gx, 1, -gz)), x / kGrassTile,
                      z / kGrassTile);
  };
  for (int cz = 0; cz < cellsZ_ / kChunkCells; ++cz) {
    for (int cx = 0; cx < cellsX_ / kChunkCells; ++cx) {
      int object = -1;
      const int st = Step(cx * kChunkCells, cz * kChunkCells);
      for (int iz = cz * kChunkCells; iz < (cz + 1) * kChunkCells; iz += st) {
        for (int ix = cx * kChunkCells; ix < (cx + 1) * kChunkCells; ix += st) {
          const bool h00 = Hidden(ix, iz), h10 = Hidden(ix + st, iz);
          const bool h01 = Hidden(ix, iz + st), h11 = Hidden(ix + st, iz + st);
          const bool left = !(h00 && h01 && h11), right = !(h00 && h11 && h10);
          if (!left && !right) continue;
          if (object < 0) {
            char name[32];
            std::snprintf(name, sizeof name, "h_%02d_%02d", cx, cz);
            object = mesh->Object(name);
          }
          const MeshVertex a = vertex(ix, iz), b = vertex(ix, iz + st);
          const MeshVertex c = vertex(ix + st, iz + st), d = vertex(ix + st, iz);
          if (left) mesh->Triangle(object, texture, a, b, c);
          if (right) mesh->Triangle(object, texture, a, c, d);
        }
      }
    }
  }
}

}  // namespace vrxdata
