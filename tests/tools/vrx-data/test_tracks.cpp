// Tracks from their descriptions, checked on the files the tool writes: the
// centreline, road coverage and winding, walls, gates, scenery placement,
// the land at the road's edges, the start file, the shadow maps and their
// mapping, the budget, determinism and the messages for bad descriptions.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>

#include "content_test_util.h"
#include "desc_file.h"
#include "gl/image.h"
#include "track_desc.h"
#include "track_path.h"
#include "track_scene.h"
#include "track_textures.h"
#include "tracks.h"

using contenttest::MoFile;
using vrxdata::PathHit;
using vrxdata::TrackDesc;
using vrxdata::TrackPath;
using vrxdata::Vec3;

namespace {

// A stadium-shaped lap, clockwise seen from above: a straight along +x at
// z = r (the start line at its middle), a half circle, the straight back and
// the other half circle.
std::string StadiumPoints(float half, float r, float rise = 0) {
  std::string out;
  char line[96];
  auto add = [&](float x, float z, float h) {
    std::snprintf(line, sizeof line, "point %.2f %.2f %.2f\n", x, z, h);
    out += line;
  };
  add(0, r, 0);
  add(half, r, rise * 0.5f);
  for (int k = 1; k < 6; ++k) {
    const float a = k * 3.14159265f / 6;
    add(half + r * std::sin(a), r * std::cos(a), rise);
  }
  add(half, -r, rise);
  add(-half, -r, rise * 0.5f);
  for (int k = 1; k < 6; ++k) {
    const float a = k * 3.14159265f / 6;
    add(-half - r * std::sin(a), -r * std::cos(a), 0);
  }
  add(-half, r, 0);
  return out;
}

// A small test circuit; no trees, so that shadows fall only where buildings stand.
std::string TestTrackText(float trees = 0) {
  return "# a small test circuit\n"
         "name         TestRing\n"
         "seed         5\n"
         "road_width   10\n"
         "kerb_width   1\n"
         "verge_width  3\n"
         "trees        " + std::to_string(trees) + "\n"
         "grandstands  1\n"
         "buildings    3\n"
         "terrain_margin 90\n"
         "shadow_size  512\n";
}

std::string WriteDesc(const std::string& dir, const std::string& file, const std::string& text) {
  const std::string path = dir + "/" + file;
  EXPECT_TRUE(vrxtest::WriteTextFile(path, text));
  return path;
}

// Heights from a list of triangles, as the game's road query finds them.
struct Surface {
  vrxdata::RoadHeights heights;
  explicit Surface(const std::vector<Vec3>& tris) : heights(tris) {}
};

std::vector<Vec3> Triangles(const std::vector<const MoFile::Object*>& objects) {
  std::vector<Vec3> out;
  for (const MoFile::Object* o : objects)
    for (const _MOFACE& f : o->faces)
      for (const _MOVERTEX& v : f.v) out.push_back(Vec3(v.x, v.y, v.z));
  return out;
}

Vec3 P(const _MOVERTEX& v) { return Vec3(v.x, v.y, v.z); }
Vec3 GeometricNormal(const _MOFACE& f) { return vrxdata::Cross(P(f.v[1]) - P(f.v[0]), P(f.v[2]) - P(f.v[0])); }

// One description built once into a folder, with its path and the mesh read back.
class TestTrack : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new std::string(vrxtest::MakeTempDir("tracks_test"));
    const std::string desc = WriteDesc(*dir_, "ring.track", TestTrackText() + StadiumPoints(140, 70, 6));
    ASSERT_TRUE(vrxdata::ReadTrackDesc(desc, &desc_));
    ASSERT_TRUE(path_.Build(desc_));
    ASSERT_TRUE(vrxdata::BuildTrack(desc, *dir_ + "/TRACKS", &stats_));
    ASSERT_TRUE(contenttest::ReadMo(*dir_ + "/TRACKS/TestRing/TestRing.mo", &mo_));
  }
  static void TearDownTestSuite() { delete dir_; }
  static std::string File(const std::string& name) { return *dir_ + "/TRACKS/TestRing/" + name; }

  static std::string* dir_;
  static TrackDesc desc_;
  static TrackPath path_;
  static vrxdata::TrackStats stats_;
  static MoFile mo_;
};
std::string* TestTrack::dir_ = nullptr;
TrackDesc TestTrack::desc_;
TrackPath TestTrack::path_;
vrxdata::TrackStats TestTrack::stats_;
MoFile TestTrack::mo_;

}  // namespace

TEST_F(TestTrack, CentrelineIsAClosedLapInDrivingOrder) {
  // Two 280 m straights and a circle of about 70 m radius.
  const float expected = 2 * 280 + 2 * 3.14159f * 70;
  EXPECT_NEAR(path_.Length(), expected, expected * 0.03f);
  EXPECT_TRUE(path_.Clockwise());
  const vrxdata::PathRow& start = path_.Row(0);
  EXPECT_NEAR(start.pos.x, 0, 0.01f);
  EXPECT_NEAR(start.pos.z, 70, 0.01f);
  EXPECT_NEAR(start.fwd.x, 1, 1e-3f);  // along +x
  EXPECT_NEAR(start.right.z, -1, 1e-3f);  // the driver's right, towards the inside
  for (int i = 0; i < path_.RowCount(); ++i) {
    const float step = vrxdata::Length(path_.Row(i + 1).pos - path_.Row(i).pos);
    ASSERT_GT(step, 1.5f) << i;
    ASSERT_LT(step, 2.6f) << i;
  }
  const PathHit hit = path_.Nearest(10, 64, 20);
  ASSERT_TRUE(hit.found);
  EXPECT_NEAR(hit.lateral, 6, 0.2f);  // 6 m to the right of the straight
  EXPECT_FALSE(path_.Nearest(0, 0, 20).found);
}

TEST_F(TestTrack, FilesOfTheTrackDirectory) {
  for (const char* f : {"TestRing.mo", "Start.ini", "road_sh.dds", "ground_sh.dds", "Screen.tga"})
    EXPECT_TRUE(std::filesystem::is_regular_file(File(f))) << f;
  // Every texture the mesh names lies beside it.
  ASSERT_FALSE(mo_.textures.empty());
  for (const std::string& t : mo_.textures) EXPECT_TRUE(std::filesystem::is_regular_file(File(t))) << t;
  // The preview: 512 x 512, read by the game's loader.
  Image img;
  D3DXIMAGE_INFO info;
  ASSERT_TRUE(LoadImageFile(File("Screen.tga").c_str(), &img, &info));
  EXPECT_EQ(info.Width, 512u);
  EXPECT_EQ(info.Height, 512u);
}

TEST_F(TestTrack, ObjectsTakeTheirRolesFromTheirNames) {
  std::map<char, int> kinds;
  for (const MoFile::Object& o : mo_.objects) {
    ASSERT_FALSE(o.name.empty());
    ++kinds[o.name[0]];
    EXPECT_GT(o.faces.size(), 0u) << o.name;
  }
  EXPECT_GT(kinds['g'], 10);  // the road in chunks
  EXPECT_EQ(kinds['b'], kinds['g']);
  EXPECT_GT(kinds['h'], 4);
  EXPECT_GT(kinds['o'], 4);
  EXPECT_EQ(kinds['s'], 2);
  ASSERT_NE(mo_.Find("ts"), nullptr);
  ASSERT_NE(mo_.Find("tm"), nullptr);
  EXPECT_EQ(stats_.grandstands, 1);
  EXPECT_EQ(stats_.buildings, 3);
  // Road chunks small enough for culling: a few dozen metres each.
  for (const MoFile::Object* g : mo_.Starting("g")) {
    EXPECT_LE(g->faces.size(), 200u) << g->name;
    EXPECT_LT(g->record.max[0] - g->record.min[0], 70.0f) << g->name;
    EXPECT_LT(g->record.max[2] - g->record.min[2], 70.0f) << g->name;
  }
  for (const MoFile::Object* h : mo_.Starting("h")) EXPECT_LE(h->faces.size(), 128u) << h->name;
}

TEST_F(TestTrack, EveryFaceShowsTheSideItsNormalsPointTo) {
  for (const MoFile::Object& o : mo_.objects) {
    for (size_t i = 0; i < o.faces.size(); ++i) {
      const _MOFACE& f = o.faces[i];
      const Vec3 g = GeometricNormal(f);
      const Vec3 n(f.v[0].nx + f.v[1].nx + f.v[2].nx, f.v[0].ny + f.v[1].ny + f.v[2].ny,
                   f.v[0].nz + f.v[1].nz + f.v[2].nz);
      ASSERT_GT(vrxdata::Dot(g, n), 0) << o.name << " face " << i;
      if (o.name[0] == 'g' || o.name[0] == 'h') {
        // Seen from above: clockwise on screen looking down, so the front faces up.
        ASSERT_GT(g.y, 0) << o.name << " face " << i;
      }
    }
  }
  // The sky faces its centre.
  for (const MoFile::Object* s : mo_.Starting("s"))
    for (const _MOFACE& f : s->faces) ASSERT_LT(vrxdata::Dot(GeometricNormal(f), P(f.v[0])), 0) << s->name;
}

TEST_F(TestTrack, RoadCoversTheDrivableWidthAllRoundTheLap) {
  const Surface road(Triangles(mo_.Starting("g")));
  const float c = desc_.CorridorHalf();
  for (int i = 0; i < path_.RowCount(); ++i) {
    for (float t : {0.0f, 0.5f}) {
      for (float l = -c + 0.02f; l <= c - 0.02f; l += (c - 0.02f) / 4) {
        const Vec3 a = path_.Surface(i, l), b = path_.Surface(i + 1, l);
        const Vec3 p = vrxdata::Lerp(a, b, t);
        float y;
        ASSERT_TRUE(road.heights.At(p.x, p.z, &y)) << "row " << i << " lateral " << l;
        ASSERT_NEAR(y, p.y, 0.02f) << "row " << i << " lateral " << l;
      }
    }
  }
  // Nothing beyond the walls.
  float y;
  const Vec3 out = path_.Surface(10, c + 1.0f);
  EXPECT_FALSE(road.heights.At(out.x, out.z, &y));
}

TEST_F(TestTrack, WallsStandAtBothEdgesFacingTheRoad) {
  const float c = desc_.CorridorHalf();
  for (const MoFile::Object* b : mo_.Starting("b")) {
    for (const _MOFACE& f : b->faces) {
      for (const _MOVERTEX& v : f.v) {
        const PathHit hit = path_.Nearest(v.x, v.z, c + 2);
        ASSERT_TRUE(hit.found) << b->name;
        ASSERT_GT(hit.distance, c - 0.05f) << b->name;
        ASSERT_LT(hit.distance, c + 0.45f) << b->name;
      }
      // Inner faces point back towards the centreline, tops up.
      const Vec3 n = vrxdata::Normalize(GeometricNormal(f));
      if (std::fabs(n.y) < 0.5f) {
        const PathHit hit = path_.Nearest(f.v[0].x, f.v[0].z, c + 2);
        const Vec3 towards = hit.centre - P(f.v[0]);
        ASSERT_GT(n.x * towards.x + n.z * towards.z, 0) << b->name;
      }
    }
  }
}

TEST_F(TestTrack, GatesCrossTheRoadAtTheStartLineAndHalfALapOn) {
  const float c = desc_.CorridorHalf();
  for (const char* name : {"ts", "tm"}) {
    const MoFile::Object* gate = mo_.Find(name);
    ASSERT_NE(gate, nullptr);
    const _MOOBJECT& r = gate->record;
    const Vec3 mid((r.min[0] + r.max[0]) / 2, 0, (r.min[2] + r.max[2]) / 2);
    const PathHit hit = path_.Nearest(mid.x, mid.z, 5);
    ASSERT_TRUE(hit.found) << name;
    EXPECT_LT(hit.distance, 0.5f) << name;
    const float wanted = std::string(name) == "ts" ? 0.0f : path_.Length() / 2;
    float along = std::fabs(hit.s - wanted);
    along = std::min(along, path_.Length() - along);
    EXPECT_LT(along, 2.5f) << name;
    // Wider than the road, from under it to well above a car.
    const float span = std::sqrt((r.max[0] - r.min[0]) * (r.max[0] - r.min[0]) + (r.max[2] - r.min[2]) * (r.max[2] - r.min[2]));
    EXPECT_GT(span, 2 * c) << name;
    EXPECT_LT(r.min[1], hit.centre.y - 1.0f) << name;
    EXPECT_GT(r.max[1], hit.centre.y + 4.0f) << name;
  }
}

TEST_F(TestTrack, SceneryStandsOffTheRoadAndTheLandMeetsItsEdges) {
  const float c = desc_.CorridorHalf();
  for (const MoFile::Object& o : mo_.objects) {
    if (o.name[0] != 'o' || o.name.rfind("o_barrier", 0) == 0) continue;
    for (const _MOFACE& f : o.faces)
      for (const _MOVERTEX& v : f.v) {
        const PathHit hit = path_.Nearest(v.x, v.z, c + 0.3f);
        // Only the banner's beam spans the road, high above it.
        if (hit.found) {
          ASSERT_TRUE(o.name == "o_banner" && v.y > hit.centre.y + 4.5f) << o.name;
        }
      }
  }
  const Surface land(Triangles(mo_.Starting("h")));
  for (int i = 0; i < path_.RowCount(); i += 3) {
    for (int side = -1; side <= 1; side += 2) {
      const Vec3 edge = path_.Surface(i, side * c);
      const Vec3 out = path_.Surface(i, side * (c + 0.6f));
      float y;
      ASSERT_TRUE(land.heights.At(out.x, out.z, &y)) << "row " << i;
      // Between the barrier's foot (1 m under the edge) and its top: the
      // barrier covers the seam between road and land.
      EXPECT_GT(y, edge.y - 0.95f) << "row " << i << " side " << side;
      EXPECT_LT(y, edge.y + desc_.barrierHeight) << "row " << i << " side " << side;
    }
    // Under the road the land stays below it.
    const Vec3 mid = path_.Surface(i, 0);
    float y;
    if (land.heights.At(mid.x, mid.z, &y)) {
      EXPECT_LT(y, mid.y - 0.1f) << "row " << i;
    }
  }
}

// The race draws the sky first and the land over it; where no land is drawn
// the sky must be. Seen from the race cameras (2 m over a car anywhere on the
// road), the land ends at its edge or where the far plane of the shortest
// view (80 m) cuts it: the sky's lowest ring reaches below both, and no
// further than it needs to on this gentle land.
TEST_F(TestTrack, SkyReachesBelowWhereverTheLandCanEnd) {
  float lowest = 0;  // degrees
  for (const MoFile::Object* s : mo_.Starting("s_dome"))
    for (const _MOFACE& f : s->faces)
      for (const _MOVERTEX& v : f.v)
        lowest = std::min(lowest, std::asin(v.y / std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z)) * 57.29578f);
  std::vector<const MoFile::Object*> ground = mo_.Starting("h"), road = mo_.Starting("g");
  ground.insert(ground.end(), road.begin(), road.end());
  const Surface land(Triangles(ground));
  const float c = desc_.CorridorHalf();
  float worst = 0;
  for (int i = 0; i < path_.RowCount(); i += 6)
    for (float lateral : {-c, 0.0f, c}) {
      const Vec3 eye = path_.Surface(i, lateral) + Vec3(0, 2.6f, 0);
      for (int k = 0; k < 36; ++k) {
        const float dx = std::sin(k * 0.1745329f), dz = std::cos(k * 0.1745329f);
        float y, last = 0, lastY = 0;
        if (land.heights.At(eye.x + dx * 80, eye.z + dz * 80, &y)) worst = std::max(worst, std::atan2(eye.y - y, 80.0f));
        for (float d = 2; d < 2000 && land.heights.At(eye.x + dx * d, eye.z + dz * d, &y); d += 2) {
          last = d;
          lastY = y;
        }
        if (last > 0) worst = std::max(worst, std::atan2(eye.y - lastY, last));
      }
    }
  worst *= 57.29578f;
  EXPECT_LT(worst, -lowest);
  EXPECT_GT(lowest, -20.0f) << "the land's foot lies at " << worst << " degrees";
}

TEST_F(TestTrack, StartFileHoldsAPlaceBehindTheLineFacingAlongTheRoad) {
  const std::string text = vrxtest::ReadFile(File("Start.ini"));
  std::vector<std::string> lines = contenttest::ListEntries(File("Start.ini"));
  ASSERT_EQ(lines.size(), 3u) << text;
  for (const std::string& l : lines) EXPECT_LE(l.size(), 31u);
  const float x = std::strtof(lines[0].c_str(), nullptr), z = std::strtof(lines[1].c_str(), nullptr);
  const float heading = std::strtof(lines[2].c_str(), nullptr) * 0.017444445f;  // as the game converts it
  const PathHit hit = path_.Nearest(x, z, 3);
  ASSERT_TRUE(hit.found);
  EXPECT_LT(hit.distance, 0.2f);
  EXPECT_NEAR(hit.s, path_.Length() - desc_.startOffset, 1.5f);
  // A car built with RotationY(heading) faces (-sin, 0, cos): its matrix
  // reaches the physics body transposed.
  const Vec3 forward(-std::sin(heading), 0, std::cos(heading));
  EXPECT_GT(vrxdata::Dot(forward, hit.fwd), 0.999f);
  const Surface road(Triangles(mo_.Starting("g")));
  float y;
  EXPECT_TRUE(road.heights.At(x, z, &y));
}

TEST_F(TestTrack, ShadowMapsAreA8R8G8B8OverTheTrackBox) {
  for (const auto& f : {std::make_pair("road_sh.dds", 512u), std::make_pair("ground_sh.dds", 256u)}) {
    const std::string bytes = vrxtest::ReadFile(File(f.first));
    ASSERT_GT(bytes.size(), 128u);
    uint32_t h[32];
    std::memcpy(h, bytes.data(), sizeof h);
    EXPECT_EQ(std::memcmp(bytes.data(), "DDS ", 4), 0);
    EXPECT_EQ(h[3], f.second);   // height
    EXPECT_EQ(h[4], f.second);   // width
    EXPECT_EQ(h[22], 32u);       // bits a pixel
    EXPECT_EQ(h[23], 0x00FF0000u);
    EXPECT_EQ(h[26], 0xFF000000u);  // alpha mask: alpha is the shadow
    Image img;
    D3DXIMAGE_INFO info;
    ASSERT_TRUE(LoadImageFile(File(f.first).c_str(), &img, &info));
    EXPECT_EQ(info.Format, D3DFMT_A8R8G8B8);
  }
  // The box the maps span is the one the game computes: road, land and scenery.
  float minX = 1e9f, minZ = 1e9f, maxX = -1e9f, maxZ = -1e9f;
  for (const MoFile::Object& o : mo_.objects) {
    const char k = o.name[0];
    if (k == 'b' || k == 's' || k == 't') continue;
    minX = std::min(minX, o.record.min[0]);
    minZ = std::min(minZ, o.record.min[2]);
    maxX = std::max(maxX, o.record.max[0]);
    maxZ = std::max(maxZ, o.record.max[2]);
  }
  // A building's shadow falls towards +z (the light travels along (0, -1, 1)):
  // the texel just beyond its +z wall is dark, the one before its -z wall clear.
  Image img;
  D3DXIMAGE_INFO info;
  ASSERT_TRUE(LoadImageFile(File("ground_sh.dds").c_str(), &img, &info));
  auto alphaAt = [&](float x, float z) {
    const float u = 1 - (x - minX) / (maxX - minX), v = (z - minZ) / (maxZ - minZ);  // the game's global UV
    const int col = std::min<int>(info.Width - 1, static_cast<int>(u * info.Width));
    const int row = std::min<int>(info.Height - 1, static_cast<int>(v * info.Height));
    return img.levels[0][(static_cast<size_t>(row) * info.Width + col) * 4 + 3];
  };
  // The pit building stands square to the start straight, inside the lap.
  const MoFile::Object* pits = mo_.Find("o_building_000");
  ASSERT_NE(pits, nullptr);
  const _MOOBJECT& r = pits->record;
  const float cx = (r.min[0] + r.max[0]) / 2;
  EXPECT_GT(alphaAt(cx, r.max[2] + 1.5f), 80);
  EXPECT_EQ(alphaAt(cx, r.min[2] - 4.0f), 0);
  EXPECT_EQ(alphaAt(cx + 30, r.min[2] - 20.0f), 0);
}

TEST_F(TestTrack, TreesKeepCutOutAlphaAtEveryMipLevel) {
  Image img;
  D3DXIMAGE_INFO info;
  ASSERT_TRUE(LoadImageFile(File("trees.dds").c_str(), &img, &info));
  ASSERT_GT(img.levels.size(), 5u);
  for (size_t l = 0; l < img.levels.size(); ++l) {
    int opaque = 0;
    for (size_t i = 3; i < img.levels[l].size(); i += 4) {
      const int a = img.levels[l][i];
      ASSERT_TRUE(a == 0 || a == 255) << "level " << l;
      opaque += a == 255;
    }
    if (img.levels[l].size() >= 64 * 4) {
      EXPECT_GT(opaque, 0) << "level " << l;
    }
  }
}

// Trees are drawn as their kind's outline, not the whole half of the
// picture: every opaque texel of the levels they are drawn from lies inside
// it, and it leaves out a good part of the half.
TEST(Tracks, TreeOutlinesHoldEveryOpaqueTexelOfTheDrawnLevels) {
  for (uint32_t seed : {4u, 23u * 1013u + 4u}) {
    vrxdata::Picture level = vrxdata::TreeTexture(seed);
    vrxdata::TreeOutline outline[2];
    vrxdata::TreeOutlines(level, outline);
    // Inside (or on) the convex outline, whichever way round its corners run.
    auto inside = [&](const vrxdata::TreeOutline& o, double u, double v) {
      int sign = 0;
      for (int k = 0; k < 4; ++k) {
        const double ex = o.u[(k + 1) % 4] - o.u[k], ey = o.v[(k + 1) % 4] - o.v[k];
        const double c = ex * (v - o.v[k]) - ey * (u - o.u[k]);
        if (std::fabs(c) < 1e-6) continue;
        if (sign == 0) sign = c > 0 ? 1 : -1;
        if ((c > 0 ? 1 : -1) != sign) return false;
      }
      return true;
    };
    for (int l = 0; l <= 4; ++l) {
      for (int y = 0; y < level.height; ++y)
        for (int x = 0; x < level.width; ++x) {
          if ((level.at(x, y) >> 24) != 255) continue;
          const int kind = 2 * x < level.width ? 0 : 1;
          for (int corner = 0; corner < 4; ++corner) {
            const double u = double(x + (corner & 1)) / level.width, v = double(y + (corner >> 1)) / level.height;
            ASSERT_TRUE(inside(outline[kind], u, v)) << "level " << l << " texel " << x << ", " << y;
          }
        }
      level = vrxdata::HalfSizeCutout(level);
    }
    for (const vrxdata::TreeOutline& o : outline) {
      double area = 0;
      for (int k = 0; k < 4; ++k) area += o.u[k] * o.v[(k + 1) % 4] - o.u[(k + 1) % 4] * o.v[k];
      EXPECT_LT(std::fabs(area) * 0.5, 0.5 * 0.8);
      for (int k = 0; k < 4; ++k) EXPECT_TRUE(o.v[k] >= 0 && o.v[k] <= 1);
    }
    for (int k = 0; k < 4; ++k) {
      EXPECT_TRUE(outline[0].u[k] >= 0 && outline[0].u[k] <= 0.5f);
      EXPECT_TRUE(outline[1].u[k] >= 0.5f && outline[1].u[k] <= 1);
    }
  }
}

TEST(Tracks, TwoBuildsWriteTheSameBytes) {
  const std::string dir = vrxtest::MakeTempDir("tracks_twice");
  const std::string desc = WriteDesc(dir, "ring.track", TestTrackText(1) + StadiumPoints(100, 60));
  ASSERT_TRUE(vrxdata::BuildTrack(desc, dir + "/a"));
  ASSERT_TRUE(vrxdata::BuildTrack(desc, dir + "/b"));
  const std::vector<std::string> a = contenttest::FilesBelow(dir + "/a"), b = contenttest::FilesBelow(dir + "/b");
  ASSERT_EQ(a, b);
  EXPECT_GT(a.size(), 10u);
  for (const std::string& f : a)
    EXPECT_TRUE(vrxtest::ReadFile(dir + "/a/" + f) == vrxtest::ReadFile(dir + "/b/" + f)) << f;
}

TEST(Tracks, TheRepositorysTracksKeepToTheBudget) {
  const std::vector<std::string> files = vrxdata::ListDescriptions(contenttest::ContentDir() + "/tracks", ".track");
  ASSERT_GE(files.size(), 3u);
  const std::string out = vrxtest::MakeTempDir("tracks_budget");
  for (const std::string& f : files) {
    vrxdata::TrackStats st;
    ASSERT_TRUE(vrxdata::BuildTrack(f, out, &st)) << f;
    EXPECT_LE(st.faces, vrxdata::kMaxTrackFaces) << f;
    EXPECT_GT(st.roadFaces, 3000u) << f;
    EXPECT_GT(st.length, 800.0f) << f;
  }
}

TEST(Tracks, BadDescriptionsStopWithFileLineAndReason) {
  const std::string dir = vrxtest::MakeTempDir("tracks_bad");
  const std::string head = "name Bad\nroad_width 10\nkerb_width 1\nverge_width 3\n";
  struct Case {
    std::string text;
    std::string where, what;
  };
  const std::vector<Case> cases = {
      {head + "point 0 0\npoint 100 0\npoint 100 100\n", ": ", "at least 4 points"},
      {"name Bad\nkerb_width 1\nverge_width 3\n\nroad_width 40\n" + StadiumPoints(100, 60), ":5: ", "out of range"},
      {head + "point 0 0\npoint 200 0\npoint 200 2\npoint 0 200\n", ":7: ", "within 4 m"},
      // A corner of radius about 10 m is too tight for a 20 m corridor.
      {head + "point 0 0\npoint 200 0\npoint 210 10\npoint 200 20\npoint 0 20\npoint -100 -50\n", ":", "bend too tight"},
      // A figure of eight crosses itself.
      {head + "point -200 0\npoint -100 100\npoint 100 -100\npoint 200 0\npoint 100 100\npoint -100 -100\n", ":",
       "passes within"},
      {head + "point 0 0 0\npoint 150 0 60\npoint 150 150 60\npoint 0 150 0\n", ":", "steeper than 25 %"},
      {head + "sky purple\n" + StadiumPoints(100, 60), ":5: ", "none of: day, evening, overcast"},
      {head + "point 0 0\npoint 60 0\npoint 60 60\npoint 0 60\n", ":5: ", "must be 300 m to 12 km"},
  };
  for (size_t i = 0; i < cases.size(); ++i) {
    const std::string path = WriteDesc(dir, "bad" + std::to_string(i) + ".track", cases[i].text);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(vrxdata::BuildTrack(path, dir + "/out")) << cases[i].what;
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find(path + cases[i].where), std::string::npos) << err;
    EXPECT_NE(err.find(cases[i].what), std::string::npos) << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
  }
  EXPECT_FALSE(std::filesystem::exists(dir + "/out/Bad"));
}

// The whole tool: a broken description among good ones stops it, and the
// DATA folder it was to replace stays as it was.
TEST(Tracks, TheToolLeavesNoHalfBuiltDataBehind) {
  const std::string tool = std::string(VRX_BIN_DIR) + "/vrx-data";
  if (!std::filesystem::exists(tool)) GTEST_SKIP() << "no " << tool;
  const std::string dir = vrxtest::MakeTempDir("tracks_tool");
  std::filesystem::copy(contenttest::ContentDir(), dir + "/content", std::filesystem::copy_options::recursive);
  WriteDesc(dir + "/content/tracks", "zz_bad.track", "name Broken\nroad_width 10\n\npoint 0 0\npoint 1 x\n");
  ASSERT_TRUE(vrxtest::WriteTextFile(dir + "/DATA/old.txt", "before"));
  const std::string cmd = "\"" + tool + "\" --out \"" + dir + "/DATA\" --source \"" + dir + "/content\" > \"" + dir +
                          "/out.txt\" 2> \"" + dir + "/err.txt\"";
  EXPECT_NE(std::system(cmd.c_str()), 0);
  const std::string err = vrxtest::ReadFile(dir + "/err.txt");
  EXPECT_NE(err.find("zz_bad.track:5: point: 'x' is not a number"), std::string::npos) << err;
  EXPECT_EQ(vrxtest::ReadFile(dir + "/DATA/old.txt"), "before");
  EXPECT_FALSE(std::filesystem::exists(dir + "/DATA/TRACKS"));
  EXPECT_FALSE(std::filesystem::exists(dir + "/DATA.building"));
}
