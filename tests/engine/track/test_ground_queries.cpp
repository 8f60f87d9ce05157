// Road heights, nearness order, camera and point collisions with the border
// walls, and the timer gates.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>

#include "cGround.h"
#include "cScreen.h"
#include "track_test_util.h"

using tracktest::AddFlatQuad;
using tracktest::AddWallZ;
using tracktest::Up;
using vrxmesh::MoWriter;

namespace {

class QueryTest : public tracktest::ScreenTest {
 protected:
  cGround* Build(const MoWriter& w) {
    tracktest::WriteMesh(w, dir + "/track.mo");
    ground = std::make_unique<cGround>((dir + "/track").c_str(), screen, nullptr);
    return ground.get();
  }
  std::vector<DWORD> RoadOrder() {
    std::vector<DWORD> r;
    for (DWORD i = 0; i < ground->GetRoadCount(); ++i) r.push_back(ground->GetRoadObj(i));
    return r;
  }
  std::vector<DWORD> BorderOrder() {
    std::vector<DWORD> r;
    for (DWORD i = 0; i < ground->GetBorderCount(); ++i) r.push_back(ground->GetBorderObj(i));
    return r;
  }
  std::unique_ptr<cGround> ground;
};

// Eight points: pos moved by +-1 in x and y and `dz` in z.
void BoxPoints(D3DXVECTOR3* points, const D3DXVECTOR3& pos, float dz) {
  for (int k = 0; k < 8; ++k)
    points[k] = pos + D3DXVECTOR3((k & 1) ? 1.0f : -1.0f, (k & 2) ? 1.0f : -0.5f,
                                  (k & 4) ? dz : -dz);
}

}  // namespace

TEST_F(QueryTest, HeightOnAFlatQuadAndBesideIt) {
  MoWriter w;
  const int t = w.AddTexture("a.tga");
  AddFlatQuad(&w, w.AddObject("g"), t, 0, 0, 10, 10, 2);
  cGround* g = Build(w);
  EXPECT_FLOAT_EQ(g->GetH(5, 5), 2.0f);
  EXPECT_FLOAT_EQ(g->GetHeight(5, 5), 2.0f);
  EXPECT_EQ(g->GetH(20, 5), -1000.0f);
  EXPECT_FLOAT_EQ(g->GetH(0, 0), 2.0f);    // a corner is inside
  EXPECT_FLOAT_EQ(g->GetH(10, 3), 2.0f);   // so is an edge
}

TEST_F(QueryTest, HeightOnASlope) {
  MoWriter w;
  const int t = w.AddTexture("a.tga");
  const int o = w.AddObject("g_slope");
  // Rises 1 in 10 along +x.
  w.AddQuad(o, t, Up(0, 0, 0), Up(0, 0, 10), Up(10, 1, 10), Up(10, 1, 0));
  cGround* g = Build(w);
  EXPECT_NEAR(g->GetH(5, 5), 0.5f, 1e-5f);
  EXPECT_NEAR(g->GetH(2, 8), 0.2f, 1e-5f);
}

TEST_F(QueryTest, PointOnASharedDiagonalIsFoundInTheFirstFace) {
  // Two triangles sharing the diagonal (0,0)-(10,10) in x and z, at heights 1 and 3.
  MoWriter w;
  const int t = w.AddTexture("a.tga");
  const int o = w.AddObject("g");
  w.AddFace(o, t, Up(0, 1, 0), Up(0, 1, 10), Up(10, 1, 10));
  w.AddFace(o, t, Up(0, 3, 0), Up(10, 3, 10), Up(10, 3, 0));
  cGround* g = Build(w);
  EXPECT_FLOAT_EQ(g->GetH(5, 5), 1.0f);
  EXPECT_FLOAT_EQ(g->GetH(7, 2), 3.0f);
  EXPECT_FLOAT_EQ(g->GetH(2, 7), 1.0f);
}

TEST_F(QueryTest, FoundObjectMovesToTheFront) {
  MoWriter w;
  const int t = w.AddTexture("a.tga");
  for (int i = 0; i < 5; ++i)
    AddFlatQuad(&w, w.AddObject("g" + std::to_string(i)), t, 10.0f * i, 0, 10.0f * i + 10, 10,
                (float)i);
  cGround* g = Build(w);
  EXPECT_EQ(RoadOrder(), (std::vector<DWORD>{0, 1, 2, 3, 4}));
  EXPECT_FLOAT_EQ(g->GetH(35, 5), 3.0f);
  EXPECT_EQ(RoadOrder(), (std::vector<DWORD>{3, 0, 1, 2, 4}));
  EXPECT_FLOAT_EQ(g->GetH(35, 5), 3.0f);
  EXPECT_EQ(RoadOrder(), (std::vector<DWORD>{3, 0, 1, 2, 4}));
  EXPECT_EQ(g->GetH(100, 5), -1000.0f);  // a miss changes nothing
  EXPECT_EQ(RoadOrder(), (std::vector<DWORD>{3, 0, 1, 2, 4}));
  g->SetGroundObjsOrder(4);
  EXPECT_EQ(RoadOrder(), (std::vector<DWORD>{4, 3, 0, 1, 2}));
  g->SetGroundObjsOrder(0);
  g->SetGroundObjsOrder(99);  // out of range: ignored
  EXPECT_EQ(RoadOrder(), (std::vector<DWORD>{4, 3, 0, 1, 2}));
  // The box records moved with the objects: heights are still found.
  for (int i = 0; i < 5; ++i) EXPECT_FLOAT_EQ(g->GetH(10.0f * i + 5, 5), (float)i);
}

TEST_F(QueryTest, SortsByNearestCornerStably) {
  MoWriter w;
  const int t = w.AddTexture("a.tga");
  // Nearest corners at squared distances 50 and 10 from the origin.
  AddFlatQuad(&w, w.AddObject("g_far"), t, 5, 5, 8, 8, 0);   // (5, 0, 5): 50
  AddFlatQuad(&w, w.AddObject("g_near"), t, 1, 3, 2, 4, 0);  // (1, 0, 3): 10
  cGround* g = Build(w);
  D3DXVECTOR3 origin(0, 0, 0);
  g->SortGroundObjs(&origin);
  EXPECT_EQ(RoadOrder(), (std::vector<DWORD>{1, 0}));
  // Equal keys keep their order, whichever it is.
  D3DXVECTOR3 between(3.5f, 0, 4.5f);  // (2, 0, 4) and (5, 0, 5) at 2.5 each
  g->SortGroundObjs(&between);
  EXPECT_EQ(RoadOrder(), (std::vector<DWORD>{1, 0}));
  g->SetGroundObjsOrder(1);
  g->SortGroundObjs(&between);
  EXPECT_EQ(RoadOrder(), (std::vector<DWORD>{0, 1}));
}

TEST_F(QueryTest, SortKeysAreCornersNotBoxes) {
  MoWriter w;
  const int t = w.AddTexture("a.tga");
  AddFlatQuad(&w, w.AddObject("g_big"), t, -100, -100, 100, 100, 0);
  AddFlatQuad(&w, w.AddObject("g_a"), t, 20, 0, 21, 1, 0);
  AddFlatQuad(&w, w.AddObject("g_b"), t, 10, 0, 11, 1, 0);
  AddFlatQuad(&w, w.AddObject("g_c"), t, 10, 0, 11, 1, 0);
  cGround* g = Build(w);
  D3DXVECTOR3 origin(0, 0, 0);
  g->SortGroundObjs(&origin);
  // The big object under pos sorts last; b and c (equal keys) keep file order.
  EXPECT_EQ(RoadOrder(), (std::vector<DWORD>{2, 3, 1, 0}));
}

TEST_F(QueryTest, BordersSortOnTheirOwn) {
  MoWriter w;
  const int t = w.AddTexture("a.tga");
  AddFlatQuad(&w, w.AddObject("g"), t, 0, 0, 1, 1, 0);
  AddWallZ(&w, w.AddObject("b_far"), t, 0, 10, 50, 0, 2);
  AddWallZ(&w, w.AddObject("b_near"), t, 0, 10, 5, 0, 2);
  cGround* g = Build(w);
  D3DXVECTOR3 origin(0, 0, 0);
  g->SortCollisionObjs(&origin);
  EXPECT_EQ(BorderOrder(), (std::vector<DWORD>{2, 1}));
  EXPECT_EQ(RoadOrder(), (std::vector<DWORD>{0}));
}

TEST_F(QueryTest, CameraSegmentThroughAWall) {
  MoWriter w;
  const int t = w.AddTexture("a.tga");
  AddWallZ(&w, w.AddObject("b_wall"), t, -10, 10, 20, 0, 10);
  cGround* g = Build(w);
  D3DXVECTOR3 out(7, 7, 7), a(0, 2, 0), b(2, 4, 40);
  ASSERT_EQ(g->GetCameraCollision(&out, &a, &b, 50.0f), 1);
  EXPECT_NEAR(out.x, 1.0f, 1e-4f);
  EXPECT_NEAR(out.y, 1.0f, 1e-4f);
  EXPECT_NEAR(out.z, 20.0f, 1e-4f);
  // From the other side, too.
  D3DXVECTOR3 back(0, 2, 30), front(1, 3, 10);
  EXPECT_EQ(g->GetCameraCollision(&out, &back, &front, 50.0f), 1);
  // Short of the wall, beside it, and horizontal: no crossing; out untouched.
  out = D3DXVECTOR3(7, 7, 7);
  D3DXVECTOR3 shortEnd(1, 3, 19);
  EXPECT_EQ(g->GetCameraCollision(&out, &a, &shortEnd, 50.0f), 0);
  D3DXVECTOR3 sa(15, 2, 0), sb(17, 4, 40);
  EXPECT_EQ(g->GetCameraCollision(&out, &sa, &sb, 50.0f), 0);
  D3DXVECTOR3 ha(0, 2, 0), hb(2, 2, 40);  // crosses the wall, but level
  EXPECT_EQ(g->GetCameraCollision(&out, &ha, &hb, 50.0f), 0);
  EXPECT_EQ(out, D3DXVECTOR3(7, 7, 7));
  // Every wall vertex at 50 or more from a: the face is never tested.
  D3DXVECTOR3 fa(0, 2, -40), fb(2, 4, 40);
  EXPECT_EQ(g->GetCameraCollision(&out, &fa, &fb, 50.0f), 0);
  EXPECT_EQ(g->GetCameraCollision(&out, &fa, &fb, 200.0f), 1);
}

TEST_F(QueryTest, OnlyTheFourNearestBordersAreTested) {
  MoWriter w;
  const int t = w.AddTexture("a.tga");
  AddWallZ(&w, w.AddObject("b_target"), t, -10, 10, 20, 0, 10);
  for (int i = 0; i < 4; ++i)
    AddWallZ(&w, w.AddObject("b_other" + std::to_string(i)), t, 100, 101, 5.0f + i, 0, 1);
  cGround* g = Build(w);
  D3DXVECTOR3 out, a(0, 2, 0), b(2, 4, 40);
  EXPECT_EQ(g->GetCameraCollision(&out, &a, &b, 500.0f), 1);  // first in file order
  D3DXVECTOR3 there(100, 0, 5);
  g->SortCollisionObjs(&there);  // the target is now fifth
  EXPECT_EQ(g->GetBorderObj(4), 0u);
  EXPECT_EQ(g->GetCameraCollision(&out, &a, &b, 500.0f), 0);
}

TEST_F(QueryTest, PointCollisionRecords) {
  MoWriter w;
  const int t = w.AddTexture("a.tga");
  AddWallZ(&w, w.AddObject("b_wall"), t, -10, 10, 20, 0, 10);
  cGround* g = Build(w);
  D3DXVECTOR3 centre(0, 2, 18.5f), points[8];
  BoxPoints(points, centre, 2.0f);  // points with k & 4 reach z = 20.5
  _COLLISIONINFO info[8];
  ASSERT_EQ(g->GetCollision(info, points, &centre, 50.0f), 1);
  for (int k = 0; k < 8; ++k) {
    SCOPED_TRACE(k);
    if (k & 4) {
      EXPECT_EQ(info[k].hit, 1);
      EXPECT_EQ(info[k].point, k);
      EXPECT_FLOAT_EQ(std::fabs(info[k].normal.z), 1.0f);
      EXPECT_EQ(info[k].normal.y, 0.0f);
      // The wall is crossed three quarters of the way out.
      const D3DXVECTOR3 d = points[k] - centre;
      EXPECT_NEAR(info[k].depth, 0.25f * D3DXVec3Length(&d), 1e-4f);
      EXPECT_EQ(info[k].position, D3DXVECTOR3(0, 0, 0));
    } else {
      EXPECT_EQ(info[k].hit, 0);
      EXPECT_EQ(info[k].depth, 0.0f);
    }
  }
  D3DXVECTOR3 away(0, 2, 0);
  BoxPoints(points, away, 2.0f);
  EXPECT_EQ(g->GetCollision(info, points, &away, 50.0f), 0);
  for (const _COLLISIONINFO& i : info) EXPECT_EQ(i.hit, 0);
}

TEST_F(QueryTest, StartGateStraddledHalfGateElsewhere) {
  MoWriter w;
  const int t = w.AddTexture("a.tga");
  AddFlatQuad(&w, w.AddObject("g"), t, -50, -50, 50, 150, 0);
  AddWallZ(&w, w.AddObject("ts"), t, -10, 10, 0, -1, 5);
  AddWallZ(&w, w.AddObject("tm"), t, -10, 10, 100, -1, 5);
  cGround* g = Build(w);
  D3DXVECTOR3 pos(0, 1, 0.5f), points[8];
  BoxPoints(points, pos, 2.0f);
  EXPECT_EQ(g->IsTimerCollision(points, &pos, 70.0f), 1);
  EXPECT_EQ(g->IsHalfTimerCollision(points, &pos, 70.0f), 0);
  D3DXVECTOR3 half(0, 1, 100.5f);
  BoxPoints(points, half, 2.0f);
  EXPECT_EQ(g->IsTimerCollision(points, &half, 70.0f), 0);
  EXPECT_EQ(g->IsHalfTimerCollision(points, &half, 70.0f), 1);
  // Clear of both gates.
  D3DXVECTOR3 clear(0, 1, 50);
  BoxPoints(points, clear, 2.0f);
  EXPECT_EQ(g->IsTimerCollision(points, &clear, 70.0f), 0);
  EXPECT_EQ(g->IsHalfTimerCollision(points, &clear, 70.0f), 0);
}

TEST_F(QueryTest, GateFaceFarFromTheCarIsNeverTested) {
  MoWriter w;
  const int t = w.AddTexture("a.tga");
  // One huge gate face whose vertices are all far from where the car crosses it.
  const int o = w.AddObject("ts");
  auto v = [](float x, float y) { return vrxmesh::MoVertex(x, y, 0, 0, 0, -1); };
  w.AddFace(o, t, v(-100, -100), v(0, 200), v(100, -100));
  cGround* g = Build(w);
  D3DXVECTOR3 pos(0, 1, 0.5f), points[8];
  BoxPoints(points, pos, 2.0f);
  EXPECT_EQ(g->IsTimerCollision(points, &pos, 70.0f), 0);
  EXPECT_EQ(g->IsTimerCollision(points, &pos, 200.0f), 1);
  // Vertices exactly 70 away (20^2 + 30^2 + 60^2 = 70^2) do not count either.
  MoWriter w2;
  const int t2 = w2.AddTexture("a.tga");
  w2.AddFace(w2.AddObject("ts"), t2, Up(-60, -30, 20), Up(-30, 60, 20), Up(60, -30, 20));
  g = Build(w2);
  D3DXVECTOR3 origin(0, 0, 0), ahead[8];
  for (D3DXVECTOR3& p : ahead) p = D3DXVECTOR3(1, 1, 25);
  EXPECT_EQ(g->IsTimerCollision(ahead, &origin, 70.0f), 0);
  EXPECT_EQ(g->IsTimerCollision(ahead, &origin, 70.01f), 1);
}

TEST_F(QueryTest, TrackWithoutHalfGateUsesObjectZero) {
  MoWriter w;
  const int t = w.AddTexture("a.tga");
  AddWallZ(&w, w.AddObject("b_first"), t, -10, 10, 0, -1, 5);
  AddWallZ(&w, w.AddObject("ts"), t, -10, 10, 50, -1, 5);
  cGround* g = Build(w);
  EXPECT_EQ(g->GetHalfGate(), 0u);
  D3DXVECTOR3 pos(0, 1, 0.5f), points[8];
  BoxPoints(points, pos, 2.0f);
  EXPECT_EQ(g->IsHalfTimerCollision(points, &pos, 70.0f), 1);
  EXPECT_EQ(g->IsTimerCollision(points, &pos, 70.0f), 0);
}
