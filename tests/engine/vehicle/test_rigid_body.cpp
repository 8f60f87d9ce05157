// The stand-alone rigid body: inertia, force accumulation and both integrators.
#include <gtest/gtest.h>

#include <cmath>

#include "cRigidBody.h"

namespace {

const float kPi = 3.14159265358979f;

// Exposes the accumulators and mass properties, which have no getters.
class Probe : public cRigidBody {
 public:
  using cRigidBody::eulerCoefficients;
  using cRigidBody::force;
  using cRigidBody::gravityForce;
  using cRigidBody::inertia;
  using cRigidBody::inverseInertia;
  using cRigidBody::inverseMass;
  using cRigidBody::inverseRotation;
  using cRigidBody::torque;
};

void ExpectVec3Near(const D3DXVECTOR3& a, const D3DXVECTOR3& b, float eps) {
  EXPECT_NEAR(a.x, b.x, eps);
  EXPECT_NEAR(a.y, b.y, eps);
  EXPECT_NEAR(a.z, b.z, eps);
}

void ExpectMatrixNear(const D3DXMATRIX& a, const D3DXMATRIX& b, float eps) {
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) EXPECT_NEAR(a.m[r][c], b.m[r][c], eps) << "element " << r + 1 << c + 1;
}

// A unit cube body of the given mass at rest at the origin, identity orientation.
void MakeCube(Probe& b, float mass) {
  D3DXVECTOR3 a(-1, -1, -1), c(1, 1, 1), zero(0, 0, 0);
  b.SetBox(&a, &c, mass);
  D3DXMATRIX id;
  D3DXMatrixIdentity(&id);
  b.Initialise(&zero, &zero, &id, &zero);
}

// Turned a quarter about y: body z points along world x.
void TurnQuarterY(Probe& b) {
  D3DXMATRIX r;
  D3DXMatrixRotationY(&r, kPi / 2);
  D3DXVECTOR3 zero(0, 0, 0);
  b.Initialise(&zero, &zero, &r, &zero);
}

}  // namespace

TEST(RigidBody, ConstructorZeroesTheState) {
  Probe b;
  EXPECT_EQ(b.GetLinPos(), D3DXVECTOR3(0, 0, 0));
  EXPECT_EQ(b.GetLinVel(), D3DXVECTOR3(0, 0, 0));
  EXPECT_EQ(b.GetRotVel(), D3DXVECTOR3(0, 0, 0));
  EXPECT_EQ(b.GetRotQuat(), D3DXQUATERNION(0, 0, 0, 0));
  const D3DXMATRIX r = b.GetRotPos();
  for (int i = 0; i < 16; ++i) EXPECT_EQ(static_cast<const float*>(r)[i], 0.0f);
  EXPECT_EQ(b.force, D3DXVECTOR3(0, 0, 0));
  EXPECT_EQ(b.torque, D3DXVECTOR3(0, 0, 0));
}

TEST(RigidBody, BoxInertiaAboutTheBodyOrigin) {
  Probe b;
  D3DXVECTOR3 a(-1, -1, -1), c(1, 1, 1);
  b.SetBox(&a, &c, 3.0f);
  for (int i = 0; i < 3; ++i) {
    EXPECT_FLOAT_EQ(b.inertia[i], 8.0f);
    EXPECT_FLOAT_EQ(b.inverseInertia[i], 0.125f);
    EXPECT_EQ(b.eulerCoefficients[i], 0.0f);
  }
  EXPECT_FLOAT_EQ(b.inverseMass, 1.0f / 3.0f);

  // An off-centre box: the centre terms move the axes to the origin.
  D3DXVECTOR3 lo(0, 0, 0), hi(2, 4, 6);
  b.SetBox(&lo, &hi, 1.0f);
  const float ix = (16 + 36) / 3.0f + (4 + 9), iy = (36 + 4) / 3.0f + (9 + 1), iz = (16 + 4) / 3.0f + (1 + 4);
  EXPECT_NEAR(b.inertia[0], ix, 1e-5f);
  EXPECT_NEAR(b.inertia[1], iy, 1e-5f);
  EXPECT_NEAR(b.inertia[2], iz, 1e-5f);
  EXPECT_NEAR(b.eulerCoefficients[0], (iy - iz) / ix, 1e-6f);
  EXPECT_NEAR(b.eulerCoefficients[1], (iz - ix) / iy, 1e-6f);
  EXPECT_NEAR(b.eulerCoefficients[2], (ix - iy) / iz, 1e-6f);
}

TEST(RigidBody, GravityForceFromMassEitherOrder) {
  Probe b;
  D3DXVECTOR3 a(-1, -1, -1), c(1, 1, 1);
  b.SetBox(&a, &c, 2.0f);
  b.SetGravity(9.81f);
  b.ZeroForces();
  ExpectVec3Near(b.force, D3DXVECTOR3(0, -19.62f, 0), 1e-5f);
  EXPECT_EQ(b.torque, D3DXVECTOR3(0, 0, 0));

  Probe g;
  g.SetGravity(9.81f);
  EXPECT_EQ(g.gravityForce, 0.0f);  // no mass yet
  g.SetBox(&a, &c, 2.0f);
  EXPECT_NEAR(g.gravityForce, -19.62f, 1e-5f);

  // ZeroForces clears added forces and torques back to the weight.
  D3DXVECTOR3 f(5, 5, 5), p(1, 0, 0);
  b.AddWorldForce(&f, &p);
  b.AddBodyTorque(&f);
  b.ZeroForces();
  ExpectVec3Near(b.force, D3DXVECTOR3(0, -19.62f, 0), 1e-5f);
  EXPECT_EQ(b.torque, D3DXVECTOR3(0, 0, 0));
}

TEST(RigidBody, EulerStepUnderGravity) {
  Probe b;
  MakeCube(b, 2.0f);
  b.SetGravity(9.81f);
  b.ZeroForces();
  b.EulerStep(0.1f);
  ExpectVec3Near(b.GetLinVel(), D3DXVECTOR3(0, -0.981f, 0), 1e-6f);
  EXPECT_EQ(b.GetLinPos(), D3DXVECTOR3(0, 0, 0));  // position uses the start velocity
  b.EulerStep(0.1f);
  ExpectVec3Near(b.GetLinVel(), D3DXVECTOR3(0, -1.962f, 0), 1e-5f);
  ExpectVec3Near(b.GetLinPos(), D3DXVECTOR3(0, -0.0981f, 0), 1e-6f);
  // No rotation without torque.
  EXPECT_EQ(b.GetRotQuat(), D3DXQUATERNION(0, 0, 0, 1));
  EXPECT_EQ(b.GetRotVel(), D3DXVECTOR3(0, 0, 0));
}

TEST(RigidBody, RK4UnderGravityIsExactWithDampedVelocity) {
  for (float h : {0.01f, 0.1f, 0.5f}) {
    SCOPED_TRACE(h);
    Probe b;
    MakeCube(b, 2.0f);
    b.SetGravity(9.81f);
    b.ZeroForces();
    b.RK4(h);
    ExpectVec3Near(b.GetLinVel(), D3DXVECTOR3(0, -9.81f * h * (1 - 0.02f * h), 0), 1e-5f);
    ExpectVec3Near(b.GetLinPos(), D3DXVECTOR3(0, -9.81f * h * h / 2, 0), 1e-6f);
  }
}

TEST(RigidBody, ConstantTorqueSpinsUpThroughInverseInertia) {
  Probe e, r;
  MakeCube(e, 3.0f);  // inertia 8
  MakeCube(r, 3.0f);
  D3DXVECTOR3 t(8, -16, 4);
  e.ZeroForces();
  e.AddBodyTorque(&t);
  r.ZeroForces();
  r.AddBodyTorque(&t);
  e.EulerStep(0.1f);
  r.RK4(0.1f);
  ExpectVec3Near(e.GetRotVel(), D3DXVECTOR3(0.1f, -0.2f, 0.05f), 1e-6f);
  ExpectVec3Near(r.GetRotVel(), D3DXVECTOR3(0.1f, -0.2f, 0.05f) * (1 - 0.002f), 1e-6f);
}

TEST(RigidBody, EulerEquationsCoupleTheAxes) {
  // Half extents (1, 2, 3): Ix = 52/3, Iy = 40/3, Iz = 20/3, so (Ix - Iy) / Iz = 0.6.
  Probe b;
  D3DXVECTOR3 a(-1, -2, -3), c(1, 2, 3), zero(0, 0, 0), w(1, 1, 0);
  b.SetBox(&a, &c, 1.0f);
  D3DXMATRIX id;
  D3DXMatrixIdentity(&id);
  b.Initialise(&zero, &zero, &id, &w);
  b.ZeroForces();
  b.EulerStep(0.1f);
  ExpectVec3Near(b.GetRotVel(), D3DXVECTOR3(1, 1, 0.06f), 1e-6f);
}

TEST(RigidBody, RK4SpinFollowsEulersEquationsToFourthOrder) {
  // The box of the test above spinning torque-free about a tilted axis: the
  // axes exchange spin through the Euler coefficients. One RK4 step of 0.2 s
  // must match a fine reference integration (in double) to its fourth-order
  // error; a stage fed the wrong angular velocity is off by ten times more.
  Probe b;
  D3DXVECTOR3 a(-1, -2, -3), c(1, 2, 3), zero(0, 0, 0), w(1, 2, 0.5f);
  b.SetBox(&a, &c, 1.0f);
  D3DXMATRIX id;
  D3DXMatrixIdentity(&id);
  b.Initialise(&zero, &zero, &id, &w);
  b.ZeroForces();
  const float h = 0.2f;
  b.RK4(h);

  const double e[3] = {20.0 / 52.0, -0.8, 0.6};
  double r[3] = {1, 2, 0.5};
  auto rate = [&](const double* v, double* out) {
    out[0] = e[0] * v[1] * v[2];
    out[1] = e[1] * v[0] * v[2];
    out[2] = e[2] * v[0] * v[1];
  };
  const int n = 20000;
  const double dt = h / n;
  for (int i = 0; i < n; ++i) {  // midpoint rule, error far below float precision
    double k[3], mid[3];
    rate(r, k);
    for (int j = 0; j < 3; ++j) mid[j] = r[j] + 0.5 * dt * k[j];
    rate(mid, k);
    for (int j = 0; j < 3; ++j) r[j] += dt * k[j];
  }
  const float damping = 1.0f - 0.02f * h;
  ExpectVec3Near(b.GetRotVel(), D3DXVECTOR3(float(r[0]), float(r[1]), float(r[2])) * damping, 4e-6f);
}

TEST(RigidBody, IntegratedSpinTurnsTheBodyInItsOwnFrame) {
  // A cube (no gyroscopic coupling) spinning at a constant body-frame rate w
  // for time T ends at RotationAxis(w, |w| T) * R0: the body turns about its
  // own axis first, then carries its initial orientation.
  D3DXMATRIX r0;
  D3DXMatrixRotationX(&r0, 0.8f);
  D3DXVECTOR3 w(0, 1, 0.5f), zero(0, 0, 0), a(-1, -1, -1), c(1, 1, 1);
  Probe e, r;
  for (Probe* b : {&e, &r}) {
    b->SetBox(&a, &c, 1.0f);
    b->Initialise(&zero, &zero, &r0, &w);
    b->ZeroForces();
  }
  for (int i = 0; i < 1000; ++i) e.EulerStep(0.001f);
  for (int i = 0; i < 100; ++i) r.RK4(0.01f);

  const float rate = D3DXVec3Length(&w);
  D3DXMATRIX turn;
  D3DXMatrixRotationAxis(&turn, &w, rate * 1.0f);
  ExpectMatrixNear(e.GetRotPos(), turn * r0, 1e-3f);
  // RK4 damps the spin by (1 - 0.0002) per step.
  const float d = 1.0f - 0.0002f;
  D3DXMatrixRotationAxis(&turn, &w, rate * 0.01f * (1.0f - std::pow(d, 100.0f)) / (1.0f - d));
  ExpectMatrixNear(r.GetRotPos(), turn * r0, 3e-4f);
  ExpectVec3Near(r.GetRotVel(), w * std::pow(d, 100.0f), 1e-5f);

  const D3DXQUATERNION q = r.GetRotQuat();
  EXPECT_NEAR(D3DXQuaternionLength(&q), 1.0f, 1e-4f);
  // The inverse stays the transpose of the rotation.
  const D3DXMATRIX rot = r.GetRotPos();
  D3DXMATRIX t;
  D3DXMatrixTranspose(&t, &rot);
  ExpectMatrixNear(r.inverseRotation, t, 0.0f);
}

TEST(RigidBody, RenormalisesOnlyOutsideTheBand) {
  Probe b;
  MakeCube(b, 1.0f);
  b.ZeroForces();
  // |q|^2 = 1.00008: inside the band, left exactly as it is.
  D3DXQUATERNION in(0, 0, 0, std::sqrt(1.00008f));
  b.SetRotQuat(&in);
  b.EulerStep(0.01f);
  EXPECT_EQ(b.GetRotQuat(), in);
  D3DXQUATERNION low(0, 0, 0, std::sqrt(0.99992f));
  b.SetRotQuat(&low);
  b.RK4(0.01f);
  EXPECT_EQ(b.GetRotQuat(), low);

  // |q|^2 = 1.0003 and 0.9996: scaled by (n + 1) / (2n).
  for (float n : {1.0003f, 0.9996f}) {
    D3DXQUATERNION out(0.6f * std::sqrt(n), 0, 0, 0.8f * std::sqrt(n));
    b.SetRotQuat(&out);
    b.EulerStep(0.01f);
    const float nn = D3DXQuaternionDot(&out, &out);
    const float k = (nn + 1) / (2 * nn);
    const D3DXQUATERNION q = b.GetRotQuat();
    EXPECT_FLOAT_EQ(q.x, out.x * k);
    EXPECT_FLOAT_EQ(q.w, out.w * k);
    EXPECT_NEAR(D3DXQuaternionDot(&q, &q), 1.0f, 1e-6f);
  }
}

TEST(RigidBody, InitialiseAndSetRotQuatKeepMatricesAndQuaternionInStep) {
  Probe b;
  D3DXVECTOR3 a(-1, -1, -1), c(1, 1, 1);
  b.SetBox(&a, &c, 2.0f);
  b.SetGravity(9.81f);
  b.ZeroForces();
  D3DXVECTOR3 f(1, 2, 3), p(0, 0, 0);
  b.AddWorldForce(&f, &p);

  D3DXVECTOR3 pos(1, 2, 3), vel(-1, 0, 4), w(0.1f, 0.2f, 0.3f), axis(1, 1, 0);
  D3DXMATRIX rot;
  D3DXMatrixRotationAxis(&rot, &axis, 2.5f);
  b.Initialise(&pos, &vel, &rot, &w);
  EXPECT_EQ(b.GetLinPos(), pos);
  EXPECT_EQ(b.GetLinVel(), vel);
  EXPECT_EQ(b.GetRotVel(), w);
  EXPECT_TRUE(b.GetRotPos() == rot);
  D3DXQUATERNION expect;
  D3DXQuaternionRotationMatrix(&expect, &rot);
  EXPECT_EQ(b.GetRotQuat(), expect);
  D3DXMATRIX t;
  EXPECT_TRUE(b.inverseRotation == *D3DXMatrixTranspose(&t, &rot));
  ExpectVec3Near(b.force, D3DXVECTOR3(1, 2 - 19.62f, 3), 1e-5f);  // forces left alone

  D3DXQUATERNION q;
  D3DXVECTOR3 z(0, 0, 1);
  D3DXQuaternionRotationAxis(&q, &z, -0.7f);
  b.SetRotQuat(&q);
  EXPECT_EQ(b.GetRotQuat(), q);
  D3DXMATRIX rz;
  ExpectMatrixNear(b.GetRotPos(), *D3DXMatrixRotationZ(&rz, -0.7f), 1e-6f);
  const D3DXMATRIX now = b.GetRotPos();
  EXPECT_TRUE(b.inverseRotation == *D3DXMatrixTranspose(&t, &now));

  D3DXVECTOR3 np(9, 8, 7), nv(1, 1, 1), nw(0, 0, 2);
  b.SetLinPos(&np);
  b.SetLinVel(&nv);
  b.SetRotVel(&nw);
  EXPECT_EQ(b.GetLinPos(), np);
  EXPECT_EQ(b.GetLinVel(), nv);
  EXPECT_EQ(b.GetRotVel(), nw);
}

TEST(RigidBody, WorldAndBodyFramesOfForcesAndTorques) {
  Probe b;
  MakeCube(b, 1.0f);
  TurnQuarterY(b);
  // The convention: a body vector v is v * R in the world; body z is world x.
  D3DXVECTOR3 bodyZ(0, 0, 1), world;
  D3DXMATRIX r = b.GetRotPos();
  ExpectVec3Near(*D3DXVec3TransformNormal(&world, &bodyZ, &r), D3DXVECTOR3(1, 0, 0), 1e-6f);

  b.ZeroForces();
  D3DXVECTOR3 tx(1, 0, 0);
  b.AddWorldTorque(&tx);
  ExpectVec3Near(b.torque, D3DXVECTOR3(0, 0, 1), 1e-6f);

  // Body force at a body point: torque p x f in the body, force turned into the world.
  b.ZeroForces();
  D3DXVECTOR3 f(0, 0, 1), p(1, 0, 0);
  b.AddBodyForce(&f, &p);
  ExpectVec3Near(b.torque, D3DXVECTOR3(0, -1, 0), 1e-6f);
  ExpectVec3Near(b.force, D3DXVECTOR3(1, 0, 0), 1e-6f);

  // World force at a world point: lever arm from the body position, torque into the body.
  b.ZeroForces();
  D3DXVECTOR3 pos(1, 0, 0);
  b.SetLinPos(&pos);
  D3DXVECTOR3 fw(0, 1, 0), pw(2, 0, 0);
  b.AddWorldForce(&fw, &pw);
  // r x f = (1,0,0) x (0,1,0) = world z, which is body -x.
  ExpectVec3Near(b.torque, D3DXVECTOR3(-1, 0, 0), 1e-6f);
  ExpectVec3Near(b.force, D3DXVECTOR3(0, 1, 0), 1e-6f);

  D3DXVECTOR3 tb(0, 3, 0);
  b.AddBodyTorque(&tb);
  ExpectVec3Near(b.torque, D3DXVECTOR3(-1, 3, 0), 1e-6f);
}

TEST(RigidBody, CopiesStepIdentically) {
  Probe a;
  D3DXVECTOR3 lo(-1, -2, -0.5f), hi(1.5f, 2, 0.5f), pos(1, 2, 3), vel(0, 1, 0), w(0.5f, -1, 2);
  a.SetBox(&lo, &hi, 4.0f);
  a.SetGravity(9.81f);
  D3DXMATRIX rot;
  D3DXMatrixRotationYawPitchRoll(&rot, 0.3f, 0.2f, 0.1f);
  a.Initialise(&pos, &vel, &rot, &w);
  a.ZeroForces();
  D3DXVECTOR3 f(3, 0, -1), p(0.5f, 0.5f, 0);
  a.AddBodyForce(&f, &p);
  Probe b = a;
  for (int i = 0; i < 10; ++i) {
    a.RK4(0.01f);
    b.RK4(0.01f);
  }
  EXPECT_EQ(a.GetLinPos(), b.GetLinPos());
  EXPECT_EQ(a.GetRotQuat(), b.GetRotQuat());
  EXPECT_EQ(a.GetRotVel(), b.GetRotVel());
}
