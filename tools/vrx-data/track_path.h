// The track's centreline: a closed centripetal Catmull-Rom spline through the
// description's points (position, height and banking), sampled into rows a
// little over 2 m apart, with a grid for nearest-point queries.
#pragma once

#include <vector>

#include "geom.h"
#include "track_desc.h"

namespace vrxdata {

struct PathRow {
  Vec3 pos;     // centreline point
  Vec3 fwd;     // horizontal unit tangent, driving direction
  Vec3 right;   // horizontal unit, to the driver's right: (fwd.z, 0, -fwd.x)
  float bank = 0;       // radians, positive raises the left edge
  float s = 0;          // distance from the start line
  float curvature = 0;  // 1 / radius, positive in right-hand bends
  int point = 0;        // the nearest description point, for messages
};

struct PathHit {
  bool found = false;
  int row = 0;           // segment from row to row + 1 (wrapping)
  float t = 0;           // along that segment
  float distance = 0;    // horizontal distance to the centreline
  float lateral = 0;     // signed horizontal offset, positive to the right
  Vec3 centre;           // nearest centreline point
  Vec3 fwd, right;
  float bank = 0;
  float s = 0;
  // Height of the (banked) road plane extended to `lateral`.
  float SurfaceY(float lateralOffset) const { return centre.y - lateralOffset * std::tan(bank); }
};

class TrackPath {
 public:
  // Samples and checks the centreline: points too close, bends too tight for
  // the road's width, parts of the lap too close to each other, slopes too
  // steep. False after printing "file:line: what".
  bool Build(const TrackDesc& desc);

  const std::vector<PathRow>& rows() const { return rows_; }
  int RowCount() const { return static_cast<int>(rows_.size()); }
  const PathRow& Row(int i) const;  // wraps around the lap
  float Length() const { return length_; }
  // The row nearest to distance s along the lap (wrapping).
  int RowAt(float s) const;

  // A point of the banked cross-section at row i: `lateral` along the surface
  // from the centreline, positive to the right.
  Vec3 Surface(int i, float lateral) const;

  // Nearest centreline point within maxDistance (horizontal), or found = false.
  PathHit Nearest(float x, float z, float maxDistance) const;

  float MinX() const { return minX_; }
  float MaxX() const { return maxX_; }
  float MinZ() const { return minZ_; }
  float MaxZ() const { return maxZ_; }
  // Positive when the lap runs clockwise seen from above (interior on the right).
  bool Clockwise() const { return clockwise_; }

 private:
  struct Dense {
    int seg;
    float u;  // spline parameter within the segment, 0..1
    float s;  // arc length from point 0
  };
  void Evaluate(int seg, float u, float out[4]) const;
  bool Check(const TrackDesc& desc) const;
  void BuildGrid();

  std::vector<TrackPoint> points_;
  std::vector<PathRow> rows_;
  float length_ = 0;
  float minX_ = 0, maxX_ = 0, minZ_ = 0, maxZ_ = 0;
  bool clockwise_ = true;
  std::string file_;

  float cell_ = 20.0f;
  float gridX_ = 0, gridZ_ = 0;
  int gridW_ = 0, gridH_ = 0;
  std::vector<std::vector<int>> grid_;  // segment indices per cell
};

}  // namespace vrxdata
