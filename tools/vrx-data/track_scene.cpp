#include "track_scene.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "track_textures.h"

namespace vrxdata {

const char* const kTrackTextureFiles[] = {
    "asphalt.tga", "startline.tga", "kerb.tga",  "grass.tga",  "barrier.tga", "trees.dds", "crowd.tga",
    "concrete.tga", "facade.tga",   "roof.tga",  "banner.tga", "sky.tga",     "hills.tga"};
const int kTrackTextureCount = sizeof kTrackTextureFiles / sizeof kTrackTextureFiles[0];

namespace {

const int kChunkRows = 20;          // road rows per road, border and barrier object
const float kWallThickness = 0.35f;
const float kWallFoot = 1.0f;       // walls reach this far below the road's edge
const float kBorderHeight = 2.0f;   // the invisible walls the car hits
const float kGateHigh = 6.0f, kGateLow = 2.0f;
const float kGrassTile = 12.0f;
const float kTreeCell = 128.0f;     // scenery chunk size for trees
const Vec3 kUp(0, 1, 0);
const float kCameraHeight = 4.0f;  // the race cameras over the road, with room for bumps
const float kLandStep = 4.0f;      // metres along a sight line
const int kStepsPerViewLevel = 20; // 80 m, one view distance level
const float kSkirtMargin = 1.5f;   // degrees

enum Tex { kAsphalt, kStartLine, kKerb, kGrass, kBarrier, kTrees, kCrowd, kConcrete, kFacade, kRoof,
           kBanner, kSky, kHills };

// A local frame: origin and three axes.
struct Frame {
  Vec3 o, ax, ay, az;
  Vec3 At(float x, float y, float z) const { return o + ax * x + ay * y + az * z; }
};

// Writes scenery faces into the mesh and, for opaque ones, into the shadow casters.
struct Writer {
  MeshBuilder* mesh;
  ShadowCasters* casters;
  int tex[kTrackTextureCount];

  void Quad(int obj, Tex t, const Vec3& a, const Vec3& b, const Vec3& c, const Vec3& d,
            const Vec3& facing, float u0, float v0, float u1, float v1, bool cast = true) {
    mesh->FlatQuad(obj, tex[t], MeshVertex(a, kUp, u0, v1), MeshVertex(b, kUp, u0, v0),
                   MeshVertex(c, kUp, u1, v0), MeshVertex(d, kUp, u1, v1), facing);
    if (cast) {
      casters->AddTriangle(a, b, c);
      casters->AddTriangle(a, c, d);
    }
  }
  void Tri(int obj, Tex t, const MeshVertex& a, const MeshVertex& b, const MeshVertex& c,
           const Vec3& facing) {
    mesh->FlatTriangle(obj, tex[t], a, b, c, facing);
    casters->AddTriangle(a.p, b.p, c.p);
  }
  // A box in a frame, lo..hi in local coordinates; texture repeats every
  // `tile` metres. The bottom face is left out (it stands on the ground).
  void Box(int obj, Tex t, const Frame& f, const Vec3& lo, const Vec3& hi, float tile) {
    const Vec3 p[8] = {f.At(lo.x, lo.y, lo.z), f.At(hi.x, lo.y, lo.z), f.At(hi.x, lo.y, hi.z),
                       f.At(lo.x, lo.y, hi.z), f.At(lo.x, hi.y, lo.z), f.At(hi.x, hi.y, lo.z),
                       f.At(hi.x, hi.y, hi.z), f.At(lo.x, hi.y, hi.z)};
    const float sx = (hi.x - lo.x) / tile, sy = (hi.y - lo.y) / tile, sz = (hi.z - lo.z) / tile;
    Quad(obj, t, p[0], p[4], p[5], p[1], -f.az, 0, 0, sx, sy);  // near z
    Quad(obj, t, p[2], p[6], p[7], p[3], f.az, 0, 0, sx, sy);   // far z
    Quad(obj, t, p[3], p[7], p[4], p[0], -f.ax, 0, 0, sz, sy);  // low x
    Quad(obj, t, p[1], p[5], p[6], p[2], f.ax, 0, 0, sz, sy);   // high x
    Quad(obj, t, p[4], p[7], p[6], p[5], f.ay, 0, 0, sx, sz);   // top
  }
};

struct Footprint {
  float x, z, r;
};

bool Overlaps(const std::vector<Footprint>& taken, float x, float z, float r) {
  for (const Footprint& f : taken) {
    const float dx = f.x - x, dz = f.z - z;
    if (dx * dx + dz * dz < (f.r + r) * (f.r + r)) return true;
  }
  return false;
}

std::string Numbered(const char* prefix, int n) {
  char name[32];
  std::snprintf(name, sizeof name, "%s%03d", prefix, n);
  return name;
}

class SceneBuilder {
 public:
  SceneBuilder(const TrackDesc& d, const TrackPath& p, const Terrain& t, TrackScene* s)
      : desc_(d), path_(p), terrain_(t), scene_(s), rnd_(static_cast<uint32_t>(d.seed) * 7919u + 13u) {
    w_.mesh = &s->mesh;
    w_.casters = &s->casters;
  }

  bool Build() {
    MeshBuilder& m = scene_->mesh;
    for (int i = 0; i < kTrackTextureCount; ++i) w_.tex[i] = m.Texture(kTrackTextureFiles[i]);
    const float L = path_.Length();
    scene_->startRow = 0;
    scene_->halfRow = path_.RowAt(L * 0.5f);
    const int sr = path_.RowAt(L - desc_.startOffset);
    scene_->startPos = path_.Row(sr).pos;
    // The race builds its car turned by RotationY(heading), and the car's
    // orientation reaches the physics body transposed: its nose then points
    // along (-sin heading, 0, cos heading).
    scene_->startHeading = std::atan2(-path_.Row(sr).fwd.x, path_.Row(sr).fwd.z);

    Sky();
    Road();
    terrain_.AddMesh(&m, w_.tex[kGrass]);
    Barriers(false);
    Banner();
    Grandstands();
    Buildings();
    Trees();
    Barriers(true);
    Gate("ts", scene_->startRow);
    Gate("tm", scene_->halfRow);
    scene_->casters.Build();
    return true;
  }

 private:
  float Half() const { return desc_.CorridorHalf(); }
  float RowS(int i) const { return i >= path_.RowCount() ? path_.Length() : path_.Row(i).s; }

  // How far below the horizon (degrees) the drawn land can end, seen from a
  // camera over the road (the chase and trackside cameras stay inside the
  // walls): at the land's edge, or where the far plane cuts it at any of the
  // game's view distances (80 to 800 m in steps of 80). Looking further
  // down, the land always covers the sky.
  float LandFootAngle() const {
    const float c = Half();
    float worst = 0;
    for (int i = 0; i < path_.RowCount(); i += 4)
      for (float lateral : {-c, 0.0f, c}) {
        const Vec3 p = path_.Surface(i, lateral);
        const float eye = p.y + kCameraHeight;
        for (int k = 0; k < 72; ++k) {
          const float a = k * 2 * kPi / 72, dx = std::sin(a), dz = std::cos(a);
          for (int step = 1; step * kLandStep <= 800; ++step) {
            const float d = step * kLandStep;
            if (!terrain_.Inside(p.x + dx * d, p.z + dz * d)) {
              const float last = d - kLandStep;
              const float y = terrain_.MeshHeight(p.x + dx * last, p.z + dz * last);
              worst = std::max(worst, std::atan2(eye - y, last));
              break;
            }
            if (step % kStepsPerViewLevel == 0)
              worst = std::max(worst, std::atan2(eye - terrain_.MeshHeight(p.x + dx * d, p.z + dz * d), d));
          }
        }
      }
    return worst * 180 / kPi;
  }

  // A dome over the camera, its rim at the horizon and a skirt below it that
  // reaches just past where the land can end (drawing sky that the land
  // covers costs as much as drawing the land), and a band of hills round it.
  void Sky() {
    MeshBuilder& m = scene_->mesh;
    const float R = 1000.0f;
    const float foot = -std::min(20.0f, std::max(3.0f, std::ceil(LandFootAngle() + kSkirtMargin)));
    std::vector<float> elev = {90, 76, 62, 48, 36, 26, 18, 12, 7, 3, 0};
    if (foot < -6) elev.push_back(-6);
    elev.push_back(foot);
    const int rings = static_cast<int>(elev.size());
    const int seg = 32;
    auto point = [&](float e, float a) {
      const float er = e * kPi / 180, ar = a * 2 * kPi / seg;
      return Vec3(R * std::cos(er) * std::sin(ar), R * std::sin(er), R * std::cos(er) * std::cos(ar));
    };
    auto vertex = [&](float e, float a) {
      // Inside the texture's inscribed circle all round, so nothing wraps.
      const float r = e >= 0 ? kSkyHorizon * (1.0f - e / 90.0f) : kSkyHorizon + 0.03f + 0.01f * std::min(1.0f, -e / 20.0f);
      const float ar = a * 2 * kPi / seg;
      return MeshVertex(point(e, a), kUp, 0.5f + 0.5f * r * std::sin(ar), 0.5f - 0.5f * r * std::cos(ar));
    };
    const int dome = m.Object("s_dome");
    for (int k = 0; k + 1 < rings; ++k)
      for (int a = 0; a < seg; ++a) {
        const Vec3 inward = -point(elev[k + 1], a + 0.5f);
        if (k == 0) {
          m.FlatTriangle(dome, w_.tex[kSky], vertex(elev[0], a + 0.5f), vertex(elev[1], a),
                         vertex(elev[1], a + 1), inward);
        } else {
          MeshVertex p0 = vertex(elev[k], a), p1 = vertex(elev[k], a + 1);
          MeshVertex p2 = vertex(elev[k + 1], a + 1), p3 = vertex(elev[k + 1], a);
          m.FlatQuad(dome, w_.tex[kSky], p0, p1, p2, p3, inward);
        }
      }
    const int hills = m.Object("s_hills");
    const int hseg = 64;
    const float hr = 0.9f * R, y0 = -0.03f * R, y1 = 0.075f * R;
    for (int a = 0; a < hseg; ++a) {
      const float a0 = a * 2 * kPi / hseg, a1 = (a + 1) * 2 * kPi / hseg;
      const Vec3 p0(hr * std::sin(a0), y1, hr * std::cos(a0)), p1(hr * std::sin(a1), y1, hr * std::cos(a1));
      const float u0 = 3.0f * a / hseg, u1 = 3.0f * (a + 1) / hseg;
      // v stays off the picture's edges: filtering there would wrap round and
      // draw a line of the hills' foot along the top of the band.
      const float vt = 0.02f, vb = 0.98f;
      m.FlatQuad(hills, w_.tex[kHills], MeshVertex(p0, kUp, u0, vt), MeshVertex(p1, kUp, u1, vt),
                 MeshVertex(Vec3(p1.x, y0, p1.z), kUp, u1, vb), MeshVertex(Vec3(p0.x, y0, p0.z), kUp, u0, vb),
                 -(p0 + p1));
    }
  }

  void Road() {
    MeshBuilder& m = scene_->mesh;
    const int n = path_.RowCount();
    const float w = desc_.roadWidth, k = desc_.kerbWidth, c = Half();
    const float cols[6] = {-c, -(w * 0.5f + k), -w * 0.5f, w * 0.5f, w * 0.5f + k, c};
    std::vector<Vec3> pos(static_cast<size_t>(n) * 6);
    for (int i = 0; i < n; ++i)
      for (int j = 0; j < 6; ++j) pos[static_cast<size_t>(i) * 6 + j] = path_.Surface(i, cols[j]);
    auto P = [&](int i, int j) -> const Vec3& { return pos[static_cast<size_t>((i % n + n) % n) * 6 + j]; };
    auto normal = [&](int i, int j) {
      const Vec3 along = P(i + 1, j) - P(i - 1, j);
      const Vec3 across = P(i, std::min(5, j + 1)) - P(i, std::max(0, j - 1));
      return Normalize(Cross(along, across));
    };
    // Kerbs where the road bends, a little beyond each bend.
    std::vector<char> bend(n, 0), kerb(n, 0);
    for (int i = 0; i < n; ++i) bend[i] = std::fabs(path_.Row(i).curvature) > 1.0f / 150.0f;
    for (int i = 0; i < n; ++i)
      for (int d = -6; d <= 6 && !kerb[i]; ++d) kerb[i] = bend[((i + d) % n + n) % n];

    for (int chunk = 0; chunk * kChunkRows < n; ++chunk) {
      const int obj = m.Object(Numbered("g_", chunk));
      for (int i = chunk * kChunkRows; i < std::min(n, (chunk + 1) * kChunkRows); ++i) {
        const float s0 = RowS(i), s1 = RowS(i + 1);
        for (int j = 0; j < 5; ++j) {
          MeshVertex v[4] = {MeshVertex(P(i, j), normal(i, j), 0, 0),
                             MeshVertex(P(i + 1, j), normal(i + 1, j), 0, 0),
                             MeshVertex(P(i + 1, j + 1), normal(i + 1, j + 1), 0, 0),
                             MeshVertex(P(i, j + 1), normal(i, j + 1), 0, 0)};
          const float l[4] = {cols[j], cols[j], cols[j + 1], cols[j + 1]};
          const float s[4] = {s0, s1, s1, s0};
          Tex t = kGrass;
          if (j == 2) t = i == scene_->startRow ? kStartLine : kAsphalt;
          if ((j == 1 || j == 3) && kerb[i]) t = kKerb;
          for (int q = 0; q < 4; ++q) {
            switch (t) {
              case kAsphalt:
                v[q].u = (l[q] + w * 0.5f) / w;
                v[q].v = s[q] / w;
                break;
              case kStartLine:
                v[q].u = (l[q] + w * 0.5f) / w;
                v[q].v = q == 1 || q == 2 ? 1.0f : 0.0f;
                break;
              case kKerb:
                v[q].u = (std::fabs(l[q]) - w * 0.5f) / k;
                v[q].v = s[q] / 2.0f;
                break;
              default:
                v[q].u = v[q].p.x / kGrassTile;
                v[q].v = v[q].p.z / kGrassTile;
            }
          }
          m.Quad(obj, w_.tex[t], v[0], v[1], v[2], v[3]);
          const Vec3* tri[6] = {&v[0].p, &v[1].p, &v[2].p, &v[0].p, &v[2].p, &v[3].p};
          for (const Vec3* p : tri) scene_->road.push_back(*p);
        }
      }
    }
  }

  // The visible barriers (scenery) or the invisible border walls along both
  // edges, every second row.
  void Barriers(bool border) {
    MeshBuilder& m = scene_->mesh;
    const int n = path_.RowCount();
    const float c = Half();
    const float h = border ? std::max(kBorderHeight, desc_.barrierHeight) : desc_.barrierHeight;
    for (int chunk = 0; chunk * kChunkRows < n; ++chunk) {
      const int obj = m.Object(Numbered(border ? "b_" : "o_barrier_", chunk));
      const int first = chunk * kChunkRows, last = std::min(n, (chunk + 1) * kChunkRows);
      for (int i = first; i < last; i += 2) {
        const int j = std::min(i + 2, last == n ? n : last);
        for (int side = -1; side <= 1; side += 2) {
          const Vec3 ea = path_.Surface(i, side * c), eb = path_.Surface(j, side * c);
          const Vec3 oa = path_.Row(i).right * static_cast<float>(side);
          const Vec3 ob = path_.Row(j).right * static_cast<float>(side);
          const Vec3 out = Normalize(oa + ob);
          const Vec3 ib0 = ea - kUp * kWallFoot, ib1 = eb - kUp * kWallFoot;
          const Vec3 it0 = ea + kUp * h, it1 = eb + kUp * h;
          const Vec3 ot0 = it0 + oa * kWallThickness, ot1 = it1 + ob * kWallThickness;
          const float u0 = RowS(i) / 4.0f, u1 = RowS(j) / 4.0f;
          const float vb = (h + kWallFoot) / (desc_.barrierHeight + kWallFoot);
          // Seen from the road only: the face towards it and the top.
          w_.Quad(obj, kBarrier, ib0, it0, it1, ib1, -out, u0, 0, u1, vb, !border);
          w_.Quad(obj, kBarrier, it0, ot0, ot1, it1, kUp, u0, 0, u1, 0.06f, !border);
        }
      }
    }
  }

  void Gate(const char* name, int row) {
    MeshBuilder& m = scene_->mesh;
    const float c = Half() + 0.6f;
    const Vec3 a = path_.Surface(row, -c), b = path_.Surface(row, c);
    const float lo = std::min(a.y, b.y) - kGateLow, hi = std::max(a.y, b.y) + kGateHigh;
    const int obj = m.Object(name);
    m.FlatQuad(obj, w_.tex[kBanner], MeshVertex(Vec3(a.x, lo, a.z), kUp, 0, 1),
               MeshVertex(Vec3(a.x, hi, a.z), kUp, 0, 0), MeshVertex(Vec3(b.x, hi, b.z), kUp, 1, 0),
               MeshVertex(Vec3(b.x, lo, b.z), kUp, 1, 1), -path_.Row(row).fwd);
  }

  void Banner() {
    MeshBuilder& m = scene_->mesh;
    const int row = scene_->startRow;
    const PathRow& r = path_.Row(row);
    const float c = Half();
    const Vec3 l = path_.Surface(row, -c), rt = path_.Surface(row, c);
    const float top = std::max(l.y, rt.y) + 6.4f, bottom = top - 1.4f;
    const int obj = m.Object("o_banner");
    const float post = c + kWallThickness + 0.6f;
    for (int side = -1; side <= 1; side += 2) {
      const Vec3 base = r.pos + r.right * (side * post);
      const float ground = terrain_.Height(base.x, base.z);
      Frame f{Vec3(base.x, std::min(ground, side < 0 ? l.y : rt.y) - 1.0f, base.z), r.right, kUp, r.fwd};
      w_.Box(obj, kConcrete, f, Vec3(-0.3f, 0, -0.3f), Vec3(0.3f, top + 0.2f - f.o.y, 0.3f), 2.0f);
      footprints_.push_back(Footprint{base.x, base.z, 2.0f});
    }
    // The beam: the banner on its front (towards the arriving cars) and back.
    const Vec3 a = r.pos + r.right * (-post), b = r.pos + r.right * post;
    const Vec3 d = r.fwd * 0.25f;
    const Vec3 fa0(a.x, bottom, a.z), fa1(a.x, top, a.z), fb0(b.x, bottom, b.z), fb1(b.x, top, b.z);
    // Twice across, so the letters keep their shape on a beam this long.
    w_.Quad(obj, kBanner, fa0 - d, fa1 - d, fb1 - d, fb0 - d, -r.fwd, 0, 0, 2, 1);
    w_.Quad(obj, kBanner, fb0 + d, fb1 + d, fa1 + d, fa0 + d, r.fwd, 0, 0, 2, 1);
    w_.Quad(obj, kConcrete, fa1 - d, fa1 + d, fb1 + d, fb1 - d, kUp, 0, 0, 8, 0.3f);
    w_.Quad(obj, kConcrete, fa0 - d, fa0 + d, fb0 + d, fb0 - d, -kUp, 0, 0, 8, 0.3f);
  }

  // The corners and edge midpoints of a local rectangle keep clear of the
  // road (any part of the lap) by `clear` beyond the corridor.
  bool ClearOfRoad(const Frame& f, float x0, float x1, float z0, float z1, float clear) const {
    for (int i = 0; i <= 2; ++i)
      for (int k = 0; k <= 2; ++k) {
        const Vec3 p = f.At(Lerp(x0, x1, i * 0.5f), 0, Lerp(z0, z1, k * 0.5f));
        if (!terrain_.Inside(p.x, p.z, 10.0f)) return false;
        if (path_.Nearest(p.x, p.z, Half() + clear).found) return false;
      }
    return true;
  }

  // Lowest land under a rectangle.
  float GroundUnder(const Frame& f, float x0, float x1, float z0, float z1) const {
    float y = 1e10f;
    for (int i = 0; i <= 2; ++i)
      for (int k = 0; k <= 2; ++k) {
        const Vec3 p = f.At(Lerp(x0, x1, i * 0.5f), 0, Lerp(z0, z1, k * 0.5f));
        y = std::min(y, terrain_.Height(p.x, p.z));
      }
    return y;
  }

  int OutsideSide() const { return path_.Clockwise() ? -1 : 1; }

  void Grandstands() {
    MeshBuilder& m = scene_->mesh;
    const float L = path_.Length();
    const float len = 30.0f, depth = 10.0f;
    const int side = OutsideSide();
    int placed = 0;
    for (int attempt = 0; attempt < 14 && placed < desc_.grandstands; ++attempt) {
      const float offset = (attempt & 1) ? 6.0f + 36.0f * (attempt / 2) : -30.0f - 36.0f * (attempt / 2);
      const int row = path_.RowAt(L + offset);
      const PathRow& r = path_.Row(row);
      const Vec3 out = r.right * static_cast<float>(side);
      Frame f{r.pos + out * (Half() + 3.0f), r.fwd, kUp, out};
      if (!ClearOfRoad(f, -len / 2, len / 2, 0, depth, 2.5f)) continue;
      const Vec3 mid = f.At(0, 0, depth / 2);
      if (Overlaps(footprints_, mid.x, mid.z, len / 2)) continue;
      f.o.y = GroundUnder(f, -len / 2, len / 2, 0, depth);
      Stand(m.Object(Numbered("o_stand_", placed)), f, len, depth);
      footprints_.push_back(Footprint{mid.x, mid.z, len / 2 + 1});
      ++placed;
    }
    scene_->grandstands = placed;
  }

  // A covered stand in frame f: x along the road, z away from it, y up.
  void Stand(int obj, const Frame& f, float len, float depth) {
    const float x0 = -len / 2, x1 = len / 2, foot = -2.0f;
    const float frontH = 1.2f, backH = 7.4f, roofH = 9.6f, roofT = 0.3f;
    auto P = [&](float x, float y, float z) { return f.At(x, y, z); };
    // Seats with the crowd, facing the road.
    const float tiers = (backH - frontH) / 0.9f;
    w_.Quad(obj, kCrowd, P(x0, frontH, 1), P(x0, backH, depth - 1), P(x1, backH, depth - 1), P(x1, frontH, 1),
            -f.az + f.ay, 0, 0, len / 8, tiers / 8);
    // Front wall and its top.
    w_.Quad(obj, kConcrete, P(x0, foot, 0), P(x0, frontH, 0), P(x1, frontH, 0), P(x1, foot, 0), -f.az, 0, 0,
            len / 4, 0.8f);
    w_.Quad(obj, kConcrete, P(x0, frontH, 0), P(x0, frontH, 1), P(x1, frontH, 1), P(x1, frontH, 0), f.ay, 0, 0,
            len / 4, 0.25f);
    // Back wall up to the roof, both faces.
    w_.Quad(obj, kConcrete, P(x0, backH, depth - 1), P(x0, roofH, depth - 1), P(x1, roofH, depth - 1),
            P(x1, backH, depth - 1), -f.az, 0, 0, len / 4, 0.6f);
    w_.Quad(obj, kConcrete, P(x0, foot, depth), P(x0, roofH, depth), P(x1, roofH, depth), P(x1, foot, depth), f.az,
            0, 0, len / 4, 2.5f);
    w_.Quad(obj, kConcrete, P(x0, backH, depth - 1), P(x0, backH, depth), P(x1, backH, depth),
            P(x1, backH, depth - 1), f.ay, 0, 0, len / 4, 0.25f);
    // Side walls, outside and inside.
    for (int s = 0; s < 2; ++s) {
      const float x = s ? x1 : x0;
      const Vec3 n = f.ax * (s ? 1.0f : -1.0f);
      const Vec3 a = P(x, foot, 0), b = P(x, frontH, 0), c = P(x, frontH, 1), d = P(x, backH, depth - 1);
      const Vec3 e = P(x, roofH, depth - 1), g = P(x, roofH, depth), h = P(x, foot, depth);
      for (int face = 0; face < 2; ++face) {
        const Vec3 facing = face ? -n : n;
        w_.Quad(obj, kConcrete, a, b, c, P(x, foot, 1), facing, 0, 0, 0.25f, 0.8f);
        w_.Quad(obj, kConcrete, P(x, foot, 1), c, d, P(x, foot, depth - 1), facing, 0, 0, 2, 2);
        w_.Quad(obj, kConcrete, P(x, foot, depth - 1), e, g, h, facing, 0, 0, 0.25f, 2.5f);
      }
    }
    // Roof slab over the seats, and its posts at the front.
    const Vec3 r0 = P(x0, roofH, -1), r1 = P(x1, roofH, -1), r2 = P(x1, roofH, depth), r3 = P(x0, roofH, depth);
    const Vec3 t = f.ay * roofT;
    w_.Quad(obj, kConcrete, r0, r3, r2, r1, -f.ay, 0, 0, len / 4, depth / 4);
    w_.Quad(obj, kConcrete, r0 + t, r3 + t, r2 + t, r1 + t, f.ay, 0, 0, len / 4, depth / 4);
    w_.Quad(obj, kConcrete, r0, r0 + t, r1 + t, r1, -f.az, 0, 0, len / 4, 0.1f);
    for (float x : {x0 + 0.3f, 0.0f, x1 - 0.3f}) {
      Frame pf = f;
      pf.o = f.At(x, 0, -0.6f);
      w_.Box(obj, kConcrete, pf, Vec3(-0.15f, frontH, -0.15f), Vec3(0.15f, roofH, 0.15f), 2.0f);
    }
  }

  void Buildings() {
    MeshBuilder& m = scene_->mesh;
    int placed = 0;
    if (desc_.buildings > 0) {
      // The pit building, inside the start straight.
      const float L = path_.Length();
      for (float offset : {-20.0f, -60.0f, 20.0f}) {
        const PathRow& r = path_.Row(path_.RowAt(L + offset));
        const Vec3 in = r.right * static_cast<float>(-OutsideSide());
        Frame f{r.pos + in * (Half() + 6.0f), r.fwd, kUp, in};
        if (!ClearOfRoad(f, -22, 22, 0, 12, 4.0f)) continue;
        const Vec3 mid = f.At(0, 0, 6);
        if (Overlaps(footprints_, mid.x, mid.z, 23)) continue;
        f.o.y = GroundUnder(f, -22, 22, 0, 12);
        House(m.Object(Numbered("o_building_", placed)), f, 44, 12, 6, false);
        footprints_.push_back(Footprint{mid.x, mid.z, 24});
        ++placed;
        break;
      }
    }
    for (int attempt = 0; attempt < 60 * desc_.buildings && placed < desc_.buildings; ++attempt) {
      const PathRow& r = path_.Row(rnd_.Below(path_.RowCount()));
      const int side = rnd_.Next() < 0.5f ? -1 : 1;
      const float dist = Half() + rnd_.Range(desc_.buildingStyle == "warehouses" ? 15.0f : 25.0f, 110.0f);
      const bool sheds = desc_.buildingStyle == "warehouses";
      const float len = sheds ? rnd_.Range(18, 36) : rnd_.Range(8, 16);
      const float depth = sheds ? rnd_.Range(12, 20) : rnd_.Range(6, 10);
      const float height = sheds ? rnd_.Range(6.0f, 10.0f) : rnd_.Range(3.5f, 7.5f);
      const Vec3 out = r.right * static_cast<float>(side);
      Frame f{r.pos + out * dist, r.fwd, kUp, out};
      if (!ClearOfRoad(f, -len / 2, len / 2, 0, depth, 12.0f)) continue;
      const Vec3 mid = f.At(0, 0, depth / 2);
      const float radius = 0.5f * std::sqrt(len * len + depth * depth) + 3;
      if (Overlaps(footprints_, mid.x, mid.z, radius)) continue;
      f.o.y = GroundUnder(f, -len / 2, len / 2, 0, depth);
      House(m.Object(Numbered("o_building_", placed)), f, len, depth, height, !sheds);
      footprints_.push_back(Footprint{mid.x, mid.z, radius});
      ++placed;
    }
    scene_->buildings = placed;
  }

  // Walls with windows from 2 m under the ground to `height`, then a flat or
  // a pitched roof (ridge along x).
  void House(int obj, const Frame& f, float len, float depth, float height, bool pitched) {
    const float x0 = -len / 2, x1 = len / 2, foot = -2.0f;
    auto P = [&](float x, float y, float z) { return f.At(x, y, z); };
    const float vu = 1.0f / 12.0f;  // 3 m a storey, four on the texture
    const float vb = (height - foot) * vu;
    w_.Quad(obj, kFacade, P(x0, foot, 0), P(x0, height, 0), P(x1, height, 0), P(x1, foot, 0), -f.az, 0, 0,
            len / 16, vb);
    w_.Quad(obj, kFacade, P(x1, foot, depth), P(x1, height, depth), P(x0, height, depth), P(x0, foot, depth),
            f.az, 0, 0, len / 16, vb);
    w_.Quad(obj, kFacade, P(x0, foot, depth), P(x0, height, depth), P(x0, height, 0), P(x0, foot, 0), -f.ax, 0,
            0, depth / 16, vb);
    w_.Quad(obj, kFacade, P(x1, foot, 0), P(x1, height, 0), P(x1, height, depth), P(x1, foot, depth), f.ax, 0,
            0, depth / 16, vb);
    if (!pitched) {
      w_.Quad(obj, kConcrete, P(x0, height, 0), P(x0, height, depth), P(x1, height, depth), P(x1, height, 0),
              f.ay, 0, 0, len / 4, depth / 4);
      return;
    }
    const float ridge = height + depth * 0.4f, eave = 0.4f;
    const Vec3 a = P(x0 - eave, height - 0.2f, -eave), b = P(x1 + eave, height - 0.2f, -eave);
    const Vec3 c = P(x1 + eave, ridge, depth / 2), d = P(x0 - eave, ridge, depth / 2);
    const Vec3 e = P(x1 + eave, height - 0.2f, depth + eave), g = P(x0 - eave, height - 0.2f, depth + eave);
    const float slope = std::sqrt(depth * depth / 4 + (ridge - height) * (ridge - height)) / 4;
    w_.Quad(obj, kRoof, a, d, c, b, f.ay - f.az, 0, 0, (len + 2 * eave) / 4, slope);
    w_.Quad(obj, kRoof, e, c, d, g, f.ay + f.az, 0, 0, (len + 2 * eave) / 4, slope);
    for (int s = 0; s < 2; ++s) {
      const float x = s ? x1 : x0;
      const Vec3 facing = f.ax * (s ? 1.0f : -1.0f);
      w_.Tri(obj, kFacade, MeshVertex(P(x, height, 0), kUp, 0, 0.25f),
             MeshVertex(P(x, ridge - 0.1f, depth / 2), kUp, depth / 32, 0),
             MeshVertex(P(x, height, depth), kUp, depth / 16, 0.25f), facing);
    }
  }

  void Trees() {
    if (desc_.trees <= 0) return;
    struct Tree {
      Vec3 base;
      float height, angle;
      int kind;
    };
    std::vector<Tree> trees;
    const float c = Half();
    auto tryPlace = [&](float x, float z) {
      if (!terrain_.Inside(x, z, 6.0f)) return;
      if (path_.Nearest(x, z, c + 5.0f).found) return;
      if (Overlaps(footprints_, x, z, 2.0f)) return;
      const float forest = FractalNoise(x / 160.0f, z / 160.0f, static_cast<uint32_t>(desc_.seed) + 77u, 3);
      if (rnd_.Next() > Clamp((forest - 0.3f) * 2.5f, 0.05f, 1.0f)) return;
      Tree t;
      t.height = rnd_.Range(6.5f, 13.0f);
      t.angle = rnd_.Range(0, kPi);
      t.kind = FractalNoise(x / 90.0f, z / 90.0f, static_cast<uint32_t>(desc_.seed) + 91u, 2) > 0.5f ? 0 : 1;
      t.base = Vec3(x, terrain_.MeshHeight(x, z) - 0.3f, z);
      trees.push_back(t);
    };
    // Along both sides of the lap, then scattered over the land.
    const float step = 10.0f / desc_.trees;
    for (float s = 0; s < path_.Length(); s += step) {
      const PathRow& r = path_.Row(path_.RowAt(s));
      for (int side = -1; side <= 1; side += 2) {
        const float d = c + 6.0f + 45.0f * rnd_.Next() * rnd_.Next();
        const Vec3 p = r.pos + r.right * (side * d) + r.fwd * rnd_.Range(-step, step);
        tryPlace(p.x, p.z);
      }
    }
    const float area = (terrain_.MaxX() - terrain_.MinX()) * (terrain_.MaxZ() - terrain_.MinZ());
    const int scattered = static_cast<int>(area / 4000.0f * desc_.trees);
    for (int k = 0; k < scattered; ++k)
      tryPlace(rnd_.Range(terrain_.MinX(), terrain_.MaxX()), rnd_.Range(terrain_.MinZ(), terrain_.MaxZ()));

    // Crossed planes, both sides shown, each cut to its kind's outline in
    // the picture; grouped by 128 m cells.
    TreeOutline outline[2];
    TreeOutlines(TrackTreePicture(desc_), outline);
    const int cw = static_cast<int>((terrain_.MaxX() - terrain_.MinX()) / kTreeCell) + 1;
    const int ch = static_cast<int>((terrain_.MaxZ() - terrain_.MinZ()) / kTreeCell) + 1;
    std::vector<std::vector<int>> cells(static_cast<size_t>(cw) * ch);
    for (size_t i = 0; i < trees.size(); ++i) {
      const int cx = static_cast<int>((trees[i].base.x - terrain_.MinX()) / kTreeCell);
      const int cz = static_cast<int>((trees[i].base.z - terrain_.MinZ()) / kTreeCell);
      cells[static_cast<size_t>(cz) * cw + cx].push_back(static_cast<int>(i));
    }
    MeshBuilder& m = scene_->mesh;
    int objects = 0;
    for (const std::vector<int>& cell : cells) {
      if (cell.empty()) continue;
      const int obj = m.Object(Numbered("o_trees_", objects++));
      for (int i : cell) {
        const Tree& t = trees[i];
        const float half = t.height * (t.kind == 0 ? 0.42f : 0.5f);
        const float u0 = t.kind == 0 ? 0.0f : 0.5f;
        const TreeOutline& o = outline[t.kind];
        for (int q = 0; q < 2; ++q) {
          const float a = t.angle + q * kPi / 2;
          const Vec3 across(std::cos(a) * half, 0, std::sin(a) * half);
          const Vec3 n(-std::sin(a), 0, std::cos(a));
          const Vec3 top(0, t.height, 0);
          for (int side = 0; side < 2; ++side) {
            // Normals lean up so the crowns catch light on every side.
            const Vec3 facing = side ? -n : n;
            const Vec3 nl = Normalize(facing + Vec3(0, 0.8f, 0));
            MeshVertex c[4];
            for (int k = 0; k < 4; ++k) {
              const Vec3 p = t.base + across * ((o.u[k] - u0) * 4 - 1) + top * (1 - o.v[k]);
              c[k] = MeshVertex(p, nl, o.u[k], o.v[k]);
            }
            if (Dot(Cross(c[1].p - c[0].p, c[2].p - c[0].p), facing) > 0)
              m.Quad(obj, w_.tex[kTrees], c[0], c[1], c[2], c[3]);
            else
              m.Quad(obj, w_.tex[kTrees], c[0], c[3], c[2], c[1]);
          }
        }
        const float crown = t.kind == 0 ? 0.55f : 0.62f;
        scene_->casters.AddSphere(t.base + Vec3(0, t.height * crown, 0), half * (t.kind == 0 ? 0.62f : 0.8f));
      }
    }
    scene_->trees = static_cast<int>(trees.size());
  }

  const TrackDesc& desc_;
  const TrackPath& path_;
  const Terrain& terrain_;
  TrackScene* scene_;
  Writer w_;
  Random rnd_;
  std::vector<Footprint> footprints_;
};

}  // namespace

uint32_t TrackPictureSeed(const TrackDesc& desc) { return static_cast<uint32_t>(desc.seed) * 1013u + 1u; }

Picture TrackTreePicture(const TrackDesc& desc) { return TreeTexture(TrackPictureSeed(desc) + 3); }

bool BuildTrackScene(const TrackDesc& desc, const TrackPath& path, const Terrain& terrain, TrackScene* scene) {
  SceneBuilder b(desc, path, terrain, scene);
  return b.Build();
}

ShadowBox TrackBox(const MeshBuilder& mesh) {
  ShadowBox box{1e6f, 1e6f, -1e6f, -1e6f};
  for (int i = 0; i < mesh.ObjectCount(); ++i) {
    const std::string& n = mesh.Name(i);
    if (n.empty() || n[0] == 'b' || n[0] == 's' || n[0] == 't' || !mesh.HasFaces(i)) continue;
    box.minX = std::min(box.minX, mesh.BoxMin(i).x);
    box.minZ = std::min(box.minZ, mesh.BoxMin(i).z);
    box.maxX = std::max(box.maxX, mesh.BoxMax(i).x);
    box.maxZ = std::max(box.maxZ, mesh.BoxMax(i).z);
  }
  return box;
}

RoadHeights::RoadHeights(const std::vector<Vec3>& triangles, float cell) : tris_(triangles), cell_(cell) {
  if (tris_.empty()) return;
  float maxX = -1e10f, maxZ = -1e10f;
  minX_ = minZ_ = 1e10f;
  for (const Vec3& p : tris_) {
    minX_ = std::min(minX_, p.x);
    minZ_ = std::min(minZ_, p.z);
    maxX = std::max(maxX, p.x);
    maxZ = std::max(maxZ, p.z);
  }
  w_ = static_cast<int>((maxX - minX_) / cell_) + 1;
  h_ = static_cast<int>((maxZ - minZ_) / cell_) + 1;
  cells_.assign(static_cast<size_t>(w_) * h_, {});
  for (size_t t = 0; t + 2 < tris_.size(); t += 3) {
    const Vec3 &a = tris_[t], &b = tris_[t + 1], &c = tris_[t + 2];
    const int x0 = static_cast<int>((std::min({a.x, b.x, c.x}) - minX_) / cell_);
    const int x1 = static_cast<int>((std::max({a.x, b.x, c.x}) - minX_) / cell_);
    const int z0 = static_cast<int>((std::min({a.z, b.z, c.z}) - minZ_) / cell_);
    const int z1 = static_cast<int>((std::max({a.z, b.z, c.z}) - minZ_) / cell_);
    for (int z = z0; z <= z1; ++z)
      for (int x = x0; x <= x1; ++x) cells_[static_cast<size_t>(z) * w_ + x].push_back(static_cast<int>(t));
  }
}

bool RoadHeights::At(float x, float z, float* y) const {
  if (w_ == 0) return false;
  const int cx = static_cast<int>(std::floor((x - minX_) / cell_));
  const int cz = static_cast<int>(std::floor((z - minZ_) / cell_));
  if (cx < 0 || cz < 0 || cx >= w_ || cz >= h_) return false;
  for (int t : cells_[static_cast<size_t>(cz) * w_ + cx]) {
    const Vec3 &a = tris_[t], &b = tris_[t + 1], &c = tris_[t + 2];
    const float d = (b.z - c.z) * (a.x - c.x) + (c.x - b.x) * (a.z - c.z);
    if (std::fabs(d) < 1e-12f) continue;
    const float l1 = ((b.z - c.z) * (x - c.x) + (c.x - b.x) * (z - c.z)) / d;
    const float l2 = ((c.z - a.z) * (x - c.x) + (a.x - c.x) * (z - c.z)) / d;
    const float l3 = 1 - l1 - l2;
    if (l1 < -1e-5f || l2 < -1e-5f || l3 < -1e-5f) continue;
    *y = l1 * a.y + l2 * b.y + l3 * c.y;
    return true;
  }
  return false;
}

}  // namespace vrxdata
