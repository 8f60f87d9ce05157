// The writer's file image, checked byte by byte against the ".mo" layout.
#include <gtest/gtest.h>

#include <cstring>

#include "test_support.h"
#include "vrxmesh/mo_writer.h"

using vrxmesh::MoVertex;
using vrxmesh::MoWriter;

namespace {

template <typename T>
T At(const std::vector<uint8_t>& b, size_t offset) {
  T v;
  std::memcpy(&v, b.data() + offset, sizeof v);
  return v;
}

_MOVERTEX V(float x, float y, float z) { return MoVertex(x, y, z, 0, 1, 0); }

}  // namespace

TEST(MoWriter, LaysOutSectionsGroupsAndBoxes) {
  MoWriter w;
  const int grass = w.AddTexture("grass.tga");
  const int road = w.AddTexture("TEX/road.tga");
  const int a = w.AddObject("g_road");
  const int b = w.AddObject("hill");
  // Object a: faces added on texture 1 first, then 0; stored grouped by texture.
  w.AddFace(a, road, V(0, 0, 0), V(0, 0, 1), V(1, 0, 1));
  w.AddFace(a, grass, V(5, 1, 5), V(5, 2, 6), V(6, 3, 6));
  w.AddFace(a, road, V(-1, 0, 0), V(0, 0, 1), V(1, 0, 1));
  w.AddFace(b, grass, V(10, -4, 10), V(10, 4, 20), V(30, 0, 20));

  std::vector<uint8_t> bytes;
  std::string error;
  ASSERT_TRUE(w.Build(&bytes, &error)) << error;
  const size_t n = 2, t = 2, f = 4;
  ASSERT_EQ(bytes.size(), 60 + n * 160 + n * t * 8 + f * 132 + t * 300);

  EXPECT_EQ(0, std::memcmp(bytes.data(), "MOFILE00", 8));
  EXPECT_EQ(At<uint32_t>(bytes, 8), n);
  EXPECT_EQ(At<uint32_t>(bytes, 12), f);
  EXPECT_EQ(At<uint32_t>(bytes, 16), t);
  for (size_t i = 20; i < 60; ++i) EXPECT_EQ(bytes[i], 0) << i;

  const size_t obj = 60;
  EXPECT_STREQ(reinterpret_cast<const char*>(&bytes[obj]), "g_road");
  EXPECT_EQ(At<uint32_t>(bytes, obj + 128), 0u);
  EXPECT_EQ(At<uint32_t>(bytes, obj + 132), 3u);
  EXPECT_FLOAT_EQ(At<float>(bytes, obj + 136), -1.0f);  // min x
  EXPECT_FLOAT_EQ(At<float>(bytes, obj + 140), 0.0f);
  EXPECT_FLOAT_EQ(At<float>(bytes, obj + 144), 0.0f);
  EXPECT_FLOAT_EQ(At<float>(bytes, obj + 148), 6.0f);  // max x
  EXPECT_FLOAT_EQ(At<float>(bytes, obj + 152), 3.0f);
  EXPECT_FLOAT_EQ(At<float>(bytes, obj + 156), 6.0f);
  EXPECT_STREQ(reinterpret_cast<const char*>(&bytes[obj + 160]), "hill");
  EXPECT_EQ(At<uint32_t>(bytes, obj + 160 + 128), 9u);  // 3 x first face
  EXPECT_EQ(At<uint32_t>(bytes, obj + 160 + 132), 1u);
  EXPECT_FLOAT_EQ(At<float>(bytes, obj + 160 + 140), -4.0f);
  EXPECT_FLOAT_EQ(At<float>(bytes, obj + 160 + 148), 30.0f);

  const size_t grp = obj + n * 160;
  EXPECT_EQ(At<uint32_t>(bytes, grp + 0), 0u);  // (a, grass)
  EXPECT_EQ(At<uint32_t>(bytes, grp + 4), 1u);
  EXPECT_EQ(At<uint32_t>(bytes, grp + 8), 3u);  // (a, road)
  EXPECT_EQ(At<uint32_t>(bytes, grp + 12), 2u);
  EXPECT_EQ(At<uint32_t>(bytes, grp + 16), 9u);  // (b, grass)
  EXPECT_EQ(At<uint32_t>(bytes, grp + 20), 1u);
  EXPECT_EQ(At<uint32_t>(bytes, grp + 28), 0u);  // (b, road) empty

  const size_t faces = grp + n * t * 8;
  EXPECT_FLOAT_EQ(At<float>(bytes, faces + 0), 5.0f);             // grass face first
  EXPECT_FLOAT_EQ(At<float>(bytes, faces + 132 + 44 * 0), 0.0f);  // then road faces in order
  EXPECT_FLOAT_EQ(At<float>(bytes, faces + 264), -1.0f);
  EXPECT_FLOAT_EQ(At<float>(bytes, faces + 396 + 88), 30.0f);  // b's third vertex x
  EXPECT_FLOAT_EQ(At<float>(bytes, faces + 16), 1.0f);          // normal y
  EXPECT_EQ(At<uint32_t>(bytes, faces + 24), 0xFFFFFFFFu);

  const size_t tex = faces + f * 132;
  EXPECT_STREQ(reinterpret_cast<const char*>(&bytes[tex + 4]), "grass.tga");
  EXPECT_STREQ(reinterpret_cast<const char*>(&bytes[tex + 304]), "TEX/road.tga");
}

TEST(MoWriter, EmptyObjectAndNoTextures) {
  MoWriter w;
  w.AddObject("s_sky");
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(w.Build(&bytes, nullptr));
  ASSERT_EQ(bytes.size(), 60u + 160u);
  EXPECT_EQ(At<uint32_t>(bytes, 60 + 132), 0u);
  // An object without faces carries the same start box its bounds computation has.
  EXPECT_FLOAT_EQ(At<float>(bytes, 60 + 136), 1e10f);
  EXPECT_FLOAT_EQ(At<float>(bytes, 60 + 148), -1e10f);
}

TEST(MoWriter, RefusesWhatTheFormatCannotHold) {
  std::string error;
  std::vector<uint8_t> bytes;
  {
    MoWriter w;
    w.AddObject(std::string(128, 'x'));
    EXPECT_FALSE(w.Build(&bytes, &error));
    EXPECT_NE(error.find("too long"), std::string::npos);
  }
  {
    MoWriter w;
    w.AddObject(std::string(127, 'x'));
    w.AddTexture(std::string(295, 't'));
    EXPECT_TRUE(w.Build(&bytes, &error)) << error;
    w.AddTexture(std::string(296, 't'));
    EXPECT_FALSE(w.Build(&bytes, &error));
  }
  {
    MoWriter w;
    const int t = w.AddTexture("a.tga");
    const int o = w.AddObject("big");
    for (int i = 0; i < MO_MAX_GROUP_FACES; ++i) w.AddFace(o, t, V(0, 0, 0), V(0, 0, 1), V(1, 0, 0));
    EXPECT_TRUE(w.Build(&bytes, &error)) << error;
    w.AddFace(o, t, V(0, 0, 0), V(0, 0, 1), V(1, 0, 0));
    EXPECT_FALSE(w.Build(&bytes, &error));
    EXPECT_NE(error.find("21845"), std::string::npos);
  }
  {
    MoWriter w;
    w.AddObject("o");
    w.AddFace(0, 0, V(0, 0, 0), V(0, 0, 1), V(1, 0, 0));  // no texture 0
    EXPECT_FALSE(w.Build(&bytes, &error));
  }
}

TEST(MoWriter, WritesTheBuiltImageToDisk) {
  MoWriter w;
  const int t = w.AddTexture("a.tga");
  const int o = w.AddObject("g");
  w.AddQuad(o, t, V(0, 0, 0), V(0, 0, 1), V(1, 0, 1), V(1, 0, 0));
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(w.Build(&bytes, nullptr));
  EXPECT_EQ(w.FaceCount(), 2u);
  const std::string dir = vrxtest::MakeTempDir("mo_writer");
  std::string error;
  ASSERT_TRUE(w.Write(dir + "/q.mo", &error)) << error;
  EXPECT_EQ(vrxtest::ReadFile(dir + "/q.mo"), std::string(bytes.begin(), bytes.end()));
  EXPECT_FALSE(w.Write(dir + "/missing/q.mo", &error));
  EXPECT_NE(error.find("cannot create"), std::string::npos);
}
