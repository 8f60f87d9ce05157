// Skid marks: quads that follow the road, in a ring of 256.
#include <gtest/gtest.h>

#include <memory>

#include "cGround.h"
#include "cScreen.h"
#include "track_test_util.h"

using tracktest::AddFlatQuad;
using vrxmesh::MoWriter;

namespace {

class SkidTest : public tracktest::ScreenTest {
 protected:
  void SetUp() override {
    tracktest::ScreenTest::SetUp();
    MoWriter w;
    const int t = w.AddTexture("a.tga");
    AddFlatQuad(&w, w.AddObject("g_low"), t, -10, -10, 0, 10, 0);
    AddFlatQuad(&w, w.AddObject("g_high"), t, 0, -10, 10, 10, 1);
    tracktest::WriteMesh(w, dir + "/track.mo");
    ground = std::make_unique<cGround>((dir + "/track").c_str(), screen, nullptr);
  }
  std::vector<_MOVERTEX> Quad(int q) {
    std::vector<_MOVERTEX> v(6);
    EXPECT_EQ(screen->ReadVertexBuffer(ground->GetSkidVertexBuffer(), v.data(), q * 6, 6), 1);
    return v;
  }
  std::unique_ptr<cGround> ground;
};

void ExpectAt(const _MOVERTEX& v, float x, float y, float z, float u, float vv) {
  EXPECT_NEAR(v.x, x, 1e-5f);
  EXPECT_NEAR(v.y, y, 1e-5f);
  EXPECT_NEAR(v.z, z, 1e-5f);
  EXPECT_EQ(v.u, u);
  EXPECT_EQ(v.v, vv);
  EXPECT_EQ(v.nx, 0.0f);
  EXPECT_EQ(v.ny, 1.0f);
  EXPECT_EQ(v.nz, 0.0f);
  EXPECT_EQ(v.diffuse, 0u);
  EXPECT_EQ(v.u2, 0.0f);
  EXPECT_EQ(v.v2, 0.0f);
}

}  // namespace

TEST_F(SkidTest, QuadFollowsTheRoadHeight) {
  EXPECT_EQ(ground->GetSkidCount(), 0);
  for (const _MOVERTEX& v : Quad(0)) EXPECT_EQ(v.x, 0.0f);  // empty until written
  D3DXVECTOR3 from(-5, 5, 0), to(-5, 5, 1);
  ground->AddSkid(&from, &to, 0.2f);
  EXPECT_EQ(ground->GetSkidCount(), 1);
  const std::vector<_MOVERTEX> q = Quad(0);
  // A = (-5.1, 0.01, 0), B = (-5.1, 0.01, 1), C = (-4.9, 0.01, 1), D = (-4.9, 0.01, 0).
  ExpectAt(q[0], -5.1f, 0.01f, 0, 0, 1);
  ExpectAt(q[1], -5.1f, 0.01f, 1, 0, 0);
  ExpectAt(q[2], -4.9f, 0.01f, 1, 1, 0);
  ExpectAt(q[3], -5.1f, 0.01f, 0, 0, 1);
  ExpectAt(q[4], -4.9f, 0.01f, 1, 1, 0);
  ExpectAt(q[5], -4.9f, 0.01f, 0, 1, 1);

  // Across the step between the two road objects, and off the road.
  D3DXVECTOR3 a(-1, 0, 0), b(1, 0, 0), c(9.95f, 0, 3), d(12, 0, 3);
  ground->AddSkid(&a, &b, 1.0f);
  const std::vector<_MOVERTEX> s = Quad(1);
  EXPECT_NEAR(s[0].y, 0.01f, 1e-5f);  // A at x = -1
  EXPECT_NEAR(s[1].y, 1.01f, 1e-5f);  // B at x = 1
  ground->AddSkid(&c, &d, 0.5f);
  const std::vector<_MOVERTEX> o = Quad(2);
  EXPECT_NEAR(o[0].y, 1.01f, 1e-5f);
  EXPECT_NEAR(o[1].y, -1000.0f + 0.01f, 1e-3f);
}

TEST_F(SkidTest, RingOverwritesTheOldestQuad) {
  for (int i = 0; i < 256; ++i) {
    D3DXVECTOR3 from(-9, 0, -9.0f + i * 0.05f), to(-8, 0, -9.0f + i * 0.05f);
    ground->AddSkid(&from, &to, 0.1f);
  }
  EXPECT_EQ(ground->GetSkidCount(), 256);
  EXPECT_NEAR(Quad(0)[0].z, -9.0f + 0.05f, 1e-4f);  // side offset +0.05 in z
  D3DXVECTOR3 from(5, 0, 5), to(6, 0, 5);
  ground->AddSkid(&from, &to, 0.1f);  // the 257th
  EXPECT_EQ(ground->GetSkidCount(), 1);
  EXPECT_NEAR(Quad(0)[0].x, 5.0f, 1e-5f);
  EXPECT_NEAR(Quad(0)[0].y, 1.01f, 1e-5f);
  EXPECT_NEAR(Quad(1)[0].x, -9.0f, 1e-5f);
  ground->AddSkid(&from, &to, 0.1f);  // the 258th
  EXPECT_EQ(ground->GetSkidCount(), 2);
  EXPECT_NEAR(Quad(1)[0].x, 5.0f, 1e-5f);
  EXPECT_NEAR(Quad(2)[0].x, -9.0f, 1e-5f);
}

TEST_F(SkidTest, ZeroLengthMarkDoesNotBreakTheRing) {
  D3DXVECTOR3 p(1, 0, 1);
  ground->AddSkid(&p, &p, 0.3f);
  EXPECT_EQ(ground->GetSkidCount(), 1);
  D3DXVECTOR3 from(-5, 5, 0), to(-5, 5, 1);
  ground->AddSkid(&from, &to, 0.2f);
  EXPECT_NEAR(Quad(1)[0].x, -5.1f, 1e-5f);
}

TEST_F(SkidTest, SlotIsReleasedWithTheGround) {
  const BYTE slot = ground->GetSkidVertexBuffer();
  ground.reset();
  std::vector<_MOVERTEX> v(6);
  EXPECT_EQ(screen->ReadVertexBuffer(slot, v.data(), 0, 6), 0);
}
