// The ground's physics world and collision meshes carry and stop a body.
#include <gtest/gtest.h>

#include <ode/ode.h>

#include <cmath>
#include <memory>

#include "cGround.h"
#include "cScreen.h"
#include "track_test_util.h"

using tracktest::AddFlatQuad;
using tracktest::AddWallZ;
using vrxmesh::MoWriter;

namespace {

const double kRadius = 0.5;

class PhysicsTest : public tracktest::ScreenTest {
 protected:
  void SetUp() override {
    tracktest::ScreenTest::SetUp();
    MoWriter w;
    const int t = w.AddTexture("a.tga");
    // Road at height 1 over a 40 x 40 square in tiles; a wall across it at z = 10.
    const int road = w.AddObject("g_road");
    for (int x = -20; x < 20; x += 10)
      for (int z = -20; z < 20; z += 10) AddFlatQuad(&w, road, t, x, z, x + 10, z + 10, 1);
    AddWallZ(&w, w.AddObject("b_wall"), t, -20, 20, 10, 0, 4);
    tracktest::WriteMesh(w, dir + "/track.mo");
    ground = std::make_unique<cGround>((dir + "/track").c_str(), screen, nullptr);
    world = ground->GetWorld();
    contacts = dJointGroupCreate(0);
    body = dBodyCreate(world);
    dMass m;
    dMassSetSphereTotal(&m, 10.0, kRadius);
    dBodySetMass(body, &m);
    sphere = dCreateSphere(nullptr, kRadius);
    dGeomSetBody(sphere, body);
  }
  void TearDown() override {
    dGeomDestroy(sphere);
    dBodyDestroy(body);
    dJointGroupDestroy(contacts);
    ground.reset();
  }
  // Collides the sphere with one mesh; returns the contact count.
  int Collide(dGeomID mesh, bool* wall, bool isWall) {
    dContact c[8];
    const int n = dCollide(sphere, mesh, 8, &c[0].geom, sizeof(dContact));
    for (int i = 0; i < n; ++i) {
      c[i].surface.mode = dContactBounce;
      c[i].surface.mu = 0.5;
      c[i].surface.bounce = 0.1;
      c[i].surface.bounce_vel = 0.1;
      dJointAttach(dJointCreateContact(world, contacts, &c[i]), body, nullptr);
    }
    if (n && isWall) *wall = true;
    return n;
  }
  // Steps 0.01 s at a time; true when the wall was touched.
  bool Run(int steps) {
    bool wall = false;
    for (int i = 0; i < steps; ++i) {
      Collide(ground->GetGroundGeom(), &wall, false);
      Collide(ground->GetBorderGeom(), &wall, true);
      dWorldStep(world, 0.01);
      dJointGroupEmpty(contacts);
    }
    return wall;
  }
  std::unique_ptr<cGround> ground;
  dWorldID world = nullptr;
  dJointGroupID contacts = nullptr;
  dBodyID body = nullptr;
  dGeomID sphere = nullptr;
};

}  // namespace

TEST_F(PhysicsTest, WorldHasEarthGravity) {
  dVector3 g;
  dWorldGetGravity(world, g);
  EXPECT_DOUBLE_EQ(g[0], 0.0);
  EXPECT_NEAR(g[1], -9.81, 1e-12);
  EXPECT_DOUBLE_EQ(g[2], 0.0);
  EXPECT_EQ(dGeomGetSpace(ground->GetGroundGeom()), nullptr);
  EXPECT_EQ(dGeomGetClass(ground->GetGroundGeom()), dTriMeshClass);
  EXPECT_EQ(dGeomGetClass(ground->GetBorderGeom()), dTriMeshClass);
}

TEST_F(PhysicsTest, DroppedSphereComesToRestOnTheRoad) {
  dBodySetPosition(body, -3.0, 4.0, -5.0);
  EXPECT_FALSE(Run(300));
  const dReal* p = dBodyGetPosition(body);
  const dReal* v = dBodyGetLinearVel(body);
  EXPECT_NEAR(p[1], 1.0 + kRadius, 0.02);
  EXPECT_NEAR(p[0], -3.0, 0.05);
  EXPECT_NEAR(p[2], -5.0, 0.05);
  EXPECT_LT(std::fabs(v[1]), 0.05);
}

TEST_F(PhysicsTest, RollingSphereIsStoppedByTheWall) {
  dBodySetPosition(body, 2.0, 1.0 + kRadius, 0.0);
  dBodySetLinearVel(body, 0.0, 0.0, 8.0);
  EXPECT_TRUE(Run(400));
  const dReal* p = dBodyGetPosition(body);
  EXPECT_LT(p[2], 10.0 - kRadius + 0.05);  // never through the wall
  EXPECT_GT(p[1], 1.0);                    // still on the road
  EXPECT_LT(dBodyGetLinearVel(body)[2], 0.5);
}

TEST_F(PhysicsTest, OffTheRoadThereIsNothingToStandOn) {
  dBodySetPosition(body, 50.0, 2.0, 50.0);
  Run(100);
  EXPECT_LT(dBodyGetPosition(body)[1], -1.0);
}
