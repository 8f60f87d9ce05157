#include "track_path.h"

#include <algorithm>
#include <cstdio>

namespace vrxdata {

namespace {

const float kRowSpacing = 2.0f;  // target distance between road rows
const float kWallGap = 2.0f;     // least room between the corridors of two parts of the lap

float HorizontalDistance(const TrackPoint& a, const TrackPoint& b) {
  return std::sqrt((a.x - b.x) * (a.x - b.x) + (a.z - b.z) * (a.z - b.z));
}

bool Report(const std::string& file, int line, const std::string& what) {
  std::fprintf(stderr, "%s:%d: %s\n", file.c_str(), line, what.c_str());
  return false;
}

std::string Metres(float v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.1f m", v);
  return buf;
}

}  // namespace

void TrackPath::Evaluate(int seg, float u, float out[4]) const {
  const int n = static_cast<int>(points_.size());
  const TrackPoint* p[4];
  for (int k = 0; k < 4; ++k) p[k] = &points_[((seg - 1 + k) % n + n) % n];
  float v[4][4];
  for (int k = 0; k < 4; ++k) {
    v[k][0] = p[k]->x;
    v[k][1] = p[k]->height;
    v[k][2] = p[k]->z;
    v[k][3] = p[k]->bank;
  }
  // Centripetal knots from the horizontal distances.
  float t[4] = {0, 0, 0, 0};
  for (int k = 1; k < 4; ++k)
    t[k] = t[k - 1] + std::max(1e-3f, std::sqrt(HorizontalDistance(*p[k - 1], *p[k])));
  const float x = t[1] + u * (t[2] - t[1]);
  for (int c = 0; c < 4; ++c) {
    const float a1 = ((t[1] - x) * v[0][c] + (x - t[0]) * v[1][c]) / (t[1] - t[0]);
    const float a2 = ((t[2] - x) * v[1][c] + (x - t[1]) * v[2][c]) / (t[2] - t[1]);
    const float a3 = ((t[3] - x) * v[2][c] + (x - t[2]) * v[3][c]) / (t[3] - t[2]);
    const float b1 = ((t[2] - x) * a1 + (x - t[0]) * a2) / (t[2] - t[0]);
    const float b2 = ((t[3] - x) * a2 + (x - t[1]) * a3) / (t[3] - t[1]);
    out[c] = ((t[2] - x) * b1 + (x - t[1]) * b2) / (t[2] - t[1]);
  }
}

const PathRow& TrackPath::Row(int i) const {
  const int n = RowCount();
  return rows_[((i % n) + n) % n];
}

int TrackPath::RowAt(float s) const {
  s = std::fmod(s, length_);
  if (s < 0) s += length_;
  return static_cast<int>(std::lround(s / length_ * RowCount())) % RowCount();
}

Vec3 TrackPath::Surface(int i, float lateral) const {
  const PathRow& r = Row(i);
  return r.pos + r.right * (lateral * std::cos(r.bank)) + Vec3(0, -lateral * std::sin(r.bank), 0);
}

bool TrackPath::Build(const TrackDesc& desc) {
  points_ = desc.points;
  file_ = desc.file;
  rows_.clear();
  const int n = static_cast<int>(points_.size());
  for (int i = 0; i < n; ++i) {
    const TrackPoint& a = points_[i];
    const TrackPoint& b = points_[(i + 1) % n];
    if (HorizontalDistance(a, b) < 4.0f)
      return Report(file_, b.line, "point lies within 4 m of the point before it");
  }

  // Dense samples with their arc length, then rows at equal arc steps.
  std::vector<Dense> dense;
  float s = 0;
  float prev[4];
  Evaluate(0, 0, prev);
  for (int seg = 0; seg < n; ++seg) {
    const float chord = HorizontalDistance(points_[seg], points_[(seg + 1) % n]);
    const int steps = std::max(16, static_cast<int>(std::ceil(chord / 0.25f)));
    for (int k = 0; k < steps; ++k) {
      const float u = static_cast<float>(k) / steps;
      float cur[4];
      Evaluate(seg, u, cur);
      s += std::sqrt((cur[0] - prev[0]) * (cur[0] - prev[0]) + (cur[1] - prev[1]) * (cur[1] - prev[1]) +
                     (cur[2] - prev[2]) * (cur[2] - prev[2]));
      dense.push_back(Dense{seg, u, s});
      std::copy(cur, cur + 4, prev);
    }
  }
  {
    float cur[4];
    Evaluate(0, 0, cur);
    s += std::sqrt((cur[0] - prev[0]) * (cur[0] - prev[0]) + (cur[1] - prev[1]) * (cur[1] - prev[1]) +
                   (cur[2] - prev[2]) * (cur[2] - prev[2]));
    dense.push_back(Dense{n, 0, s});  // closes the lap
    dense[0].s = 0;
  }
  length_ = s;
  if (length_ < 300.0f || length_ > 12000.0f)
    return Report(file_, points_[0].line,
                  "the lap is " + Metres(length_) + " long; it must be 300 m to 12 km");

  const int count = std::max(8, static_cast<int>(std::lround(length_ / kRowSpacing)));
  rows_.resize(count);
  size_t d = 0;
  for (int k = 0; k < count; ++k) {
    const float target = length_ * k / count;
    while (d + 2 < dense.size() && dense[d + 1].s <= target) ++d;
    const Dense& a = dense[d];
    const Dense& b = dense[d + 1];
    const float f = b.s > a.s ? (target - a.s) / (b.s - a.s) : 0.0f;
    const float ga = a.seg + a.u, gb = b.seg + b.u;  // global spline parameter
    const float g = ga + f * (gb - ga);
    int seg = std::min(n - 1, static_cast<int>(std::floor(g)));
    float v[4];
    Evaluate(seg, g - seg, v);
    PathRow& r = rows_[k];
    r.pos = Vec3(v[0], v[1], v[2]);
    r.bank = v[3] * kPi / 180.0f;
    r.s = target;
    r.point = (g - seg < 0.5f ? seg : (seg + 1) % n);
  }
  for (int k = 0; k < count; ++k) {
    PathRow& r = rows_[k];
    const Vec3 d2 = Row(k + 1).pos - Row(k - 1).pos;
    r.fwd = Normalize(Vec3(d2.x, 0, d2.z));
    r.right = Vec3(r.fwd.z, 0, -r.fwd.x);
  }
  for (int k = 0; k < count; ++k) {
    const Vec3& a = Row(k - 1).fwd;
    const Vec3& b = Row(k + 1).fwd;
    float dh = std::atan2(b.x, b.z) - std::atan2(a.x, a.z);
    if (dh > kPi) dh -= 2 * kPi;
    if (dh < -kPi) dh += 2 * kPi;
    rows_[k].curvature = dh / (2 * length_ / count);
  }

  minX_ = maxX_ = rows_[0].pos.x;
  minZ_ = maxZ_ = rows_[0].pos.z;
  float area = 0;
  for (int k = 0; k < count; ++k) {
    const Vec3& p = rows_[k].pos;
    const Vec3& q = Row(k + 1).pos;
    minX_ = std::min(minX_, p.x);
    maxX_ = std::max(maxX_, p.x);
    minZ_ = std::min(minZ_, p.z);
    maxZ_ = std::max(maxZ_, p.z);
    area += p.x * q.z - q.x * p.z;
  }
  clockwise_ = area < 0;
  BuildGrid();
  return Check(desc);
}

void TrackPath::BuildGrid() {
  const float margin = 200.0f;
  gridX_ = minX_ - margin;
  gridZ_ = minZ_ - margin;
  gridW_ = static_cast<int>((maxX_ - minX_ + 2 * margin) / cell_) + 1;
  gridH_ = static_cast<int>((maxZ_ - minZ_ + 2 * margin) / cell_) + 1;
  grid_.assign(static_cast<size_t>(gridW_) * gridH_, {});
  for (int i = 0; i < RowCount(); ++i) {
    const Vec3& a = Row(i).pos;
    const Vec3& b = Row(i + 1).pos;
    const int x0 = static_cast<int>((std::min(a.x, b.x) - gridX_) / cell_);
    const int x1 = static_cast<int>((std::max(a.x, b.x) - gridX_) / cell_);
    const int z0 = static_cast<int>((std::min(a.z, b.z) - gridZ_) / cell_);
    const int z1 = static_cast<int>((std::max(a.z, b.z) - gridZ_) / cell_);
    for (int z = z0; z <= z1; ++z)
      for (int x = x0; x <= x1; ++x) grid_[static_cast<size_t>(z) * gridW_ + x].push_back(i);
  }
}

PathHit TrackPath::Nearest(float x, float z, float maxDistance) const {
  PathHit best;
  float bestD2 = maxDistance * maxDistance;
  const int x0 = std::max(0, static_cast<int>(std::floor((x - maxDistance - gridX_) / cell_)));
  const int x1 = std::min(gridW_ - 1, static_cast<int>(std::floor((x + maxDistance - gridX_) / cell_)));
  const int z0 = std::max(0, static_cast<int>(std::floor((z - maxDistance - gridZ_) / cell_)));
  const int z1 = std::min(gridH_ - 1, static_cast<int>(std::floor((z + maxDistance - gridZ_) / cell_)));
  for (int cz = z0; cz <= z1; ++cz) {
    for (int cx = x0; cx <= x1; ++cx) {
      for (int i : grid_[static_cast<size_t>(cz) * gridW_ + cx]) {
        const Vec3& a = Row(i).pos;
        const Vec3& b = Row(i + 1).pos;
        const float dx = b.x - a.x, dz = b.z - a.z;
        const float len2 = dx * dx + dz * dz;
        float t = len2 > 0 ? ((x - a.x) * dx + (z - a.z) * dz) / len2 : 0.0f;
        t = Clamp(t, 0.0f, 1.0f);
        const float px = a.x + t * dx - x, pz = a.z + t * dz - z;
        const float d2 = px * px + pz * pz;
        if (d2 < bestD2 || (!best.found && d2 <= bestD2)) {
          bestD2 = d2;
          best.found = true;
          best.row = i;
          best.t = t;
        }
      }
    }
  }
  if (!best.found) return best;
  const PathRow& a = Row(best.row);
  const PathRow& b = Row(best.row + 1);
  best.centre = Lerp(a.pos, b.pos, best.t);
  best.fwd = Normalize(Lerp(a.fwd, b.fwd, best.t));
  best.right = Vec3(best.fwd.z, 0, -best.fwd.x);
  best.bank = Lerp(a.bank, b.bank, best.t);
  best.s = a.s + best.t * (best.row + 1 == RowCount() ? length_ - a.s : b.s - a.s);
  best.distance = std::sqrt(bestD2);
  best.lateral = (x - best.centre.x) * best.right.x + (z - best.centre.z) * best.right.z;
  return best;
}

bool TrackPath::Check(const TrackDesc& desc) const {
  const float half = desc.CorridorHalf();
  const float minRadius = half + 4.0f;
  for (const PathRow& r : rows_) {
    if (std::fabs(r.curvature) * minRadius > 1.0f)
      return Report(file_, points_[r.point].line,
                    "bend too tight: radius " + Metres(1.0f / std::fabs(r.curvature)) +
                        ", a road this wide needs at least " + Metres(minRadius));
  }
  const int n = RowCount();
  const float step = length_ / n;
  for (int i = 0; i < n; ++i) {
    const float grade = (Row(i + 1).pos.y - Row(i).pos.y) / step;
    if (std::fabs(grade) > 0.25f)
      return Report(file_, points_[Row(i).point].line, "slope steeper than 25 %");
  }
  // No other part of the lap may come within two corridors of a row's
  // cross-section: checked by cutting each row's cross-section line with the
  // centreline segments that are not its own neighbours.
  const float reach = 2.0f * half + kWallGap;
  for (int i = 0; i < n; ++i) {
    const PathRow& r = rows_[i];
    const float x0 = std::min(r.pos.x - r.right.x * reach, r.pos.x + r.right.x * reach);
    const float x1 = std::max(r.pos.x - r.right.x * reach, r.pos.x + r.right.x * reach);
    const float z0 = std::min(r.pos.z - r.right.z * reach, r.pos.z + r.right.z * reach);
    const float z1 = std::max(r.pos.z - r.right.z * reach, r.pos.z + r.right.z * reach);
    const int cx0 = std::max(0, static_cast<int>((x0 - gridX_) / cell_));
    const int cx1 = std::min(gridW_ - 1, static_cast<int>((x1 - gridX_) / cell_));
    const int cz0 = std::max(0, static_cast<int>((z0 - gridZ_) / cell_));
    const int cz1 = std::min(gridH_ - 1, static_cast<int>((z1 - gridZ_) / cell_));
    for (int cz = cz0; cz <= cz1; ++cz) {
      for (int cx = cx0; cx <= cx1; ++cx) {
        for (int j : grid_[static_cast<size_t>(cz) * gridW_ + cx]) {
          float lap = std::fabs(Row(j).s - r.s);
          lap = std::min(lap, length_ - lap);
          if (lap < reach + 2 * step) continue;
          // Segment a-b against the line p + right * l, |l| < reach.
          const Vec3& a = Row(j).pos;
          const Vec3& b = Row(j + 1).pos;
          const float ex = b.x - a.x, ez = b.z - a.z;
          const float den = r.right.x * ez - r.right.z * ex;
          if (std::fabs(den) < 1e-6f) continue;
          const float wx = a.x - r.pos.x, wz = a.z - r.pos.z;
          const float l = (wx * ez - wz * ex) / den;
          const float t = (wx * r.right.z - wz * r.right.x) / den;
          if (t < 0 || t > 1 || std::fabs(l) >= reach) continue;
          return Report(file_, points_[r.point].line,
                        "the lap passes within " + Metres(std::fabs(l)) +
                            " of itself here (near the point on line " +
                            std::to_string(points_[Row(j).point].line) + "); keep at least " +
                            Metres(reach) + " between the centrelines");
        }
      }
    }
  }
  return true;
}

}  // namespace vrxdata
