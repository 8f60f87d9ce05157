// Values of the D3DX math stand-in against hand-computed Direct3D results.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "platform/d3dx9math.h"

namespace {

const float kPi = 3.14159265358979f;

void ExpectMatrixNear(const D3DXMATRIX& a, const D3DXMATRIX& b, float eps) {
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) EXPECT_NEAR(a.m[r][c], b.m[r][c], eps) << "element " << r + 1 << c + 1;
}

void ExpectVec3Near(const D3DXVECTOR3& a, const D3DXVECTOR3& b, float eps) {
  EXPECT_NEAR(a.x, b.x, eps);
  EXPECT_NEAR(a.y, b.y, eps);
  EXPECT_NEAR(a.z, b.z, eps);
}

// Same rotation: q and -q are equivalent.
void ExpectSameRotation(const D3DXQUATERNION& a, const D3DXQUATERNION& b, float eps) {
  float s = D3DXQuaternionDot(&a, &b) < 0.0f ? -1.0f : 1.0f;
  EXPECT_NEAR(a.x, s * b.x, eps);
  EXPECT_NEAR(a.y, s * b.y, eps);
  EXPECT_NEAR(a.z, s * b.z, eps);
  EXPECT_NEAR(a.w, s * b.w, eps);
}

D3DXVECTOR3 TransformPoint(const D3DXVECTOR3& p, const D3DXMATRIX& m) {
  D3DXVECTOR3 out;
  D3DXVec3TransformCoord(&out, &p, &m);
  return out;
}

D3DXMATRIX Identity() {
  D3DXMATRIX m;
  D3DXMatrixIdentity(&m);
  return m;
}

}  // namespace

TEST(D3DXLayout, MatrixMemoryIsRowMajorWithTranslationInFourthRow) {
  D3DXMATRIX m(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16);
  const float* p = m;
  for (int i = 0; i < 16; ++i) EXPECT_EQ(p[i], static_cast<float>(i + 1));
  EXPECT_EQ(m._41, 13.0f);
  EXPECT_EQ(m.m[3][0], 13.0f);
  EXPECT_EQ(m(3, 0), 13.0f);
  m(1, 2) = 99.0f;
  EXPECT_EQ(m._23, 99.0f);

  D3DXMATRIX t;
  D3DXMatrixTranslation(&t, 7, 8, 9);
  float raw[16];
  std::memcpy(raw, &t, sizeof raw);
  EXPECT_EQ(raw[12], 7.0f);
  EXPECT_EQ(raw[13], 8.0f);
  EXPECT_EQ(raw[14], 9.0f);
  EXPECT_EQ(raw[15], 1.0f);
}

TEST(D3DXVector, Operators) {
  D3DXVECTOR3 a(1, 2, 3), b(4, 5, 6);
  EXPECT_EQ(a + b, D3DXVECTOR3(5, 7, 9));
  EXPECT_EQ(b - a, D3DXVECTOR3(3, 3, 3));
  EXPECT_EQ(-a, D3DXVECTOR3(-1, -2, -3));
  EXPECT_EQ(a * 2.0f, D3DXVECTOR3(2, 4, 6));
  EXPECT_EQ(2.0f * a, D3DXVECTOR3(2, 4, 6));
  EXPECT_EQ(b / 2.0f, D3DXVECTOR3(2, 2.5f, 3));
  D3DXVECTOR3 c = a;
  c += b;
  c -= D3DXVECTOR3(1, 1, 1);
  c *= 2.0f;
  c /= 4.0f;
  EXPECT_EQ(c, D3DXVECTOR3(2, 3, 4));
  EXPECT_TRUE(a != b);
  EXPECT_FALSE(a != a);
  const float* p = a;
  EXPECT_EQ(p[2], 3.0f);

  D3DXVECTOR2 u(1, 2);
  EXPECT_EQ(u * 3.0f - D3DXVECTOR2(1, 1), D3DXVECTOR2(2, 5));
  EXPECT_EQ(-u + 0.5f * u, D3DXVECTOR2(-0.5f, -1));
  D3DXVECTOR4 v(1, 2, 3, 4);
  EXPECT_EQ(v * 2.0f + v, D3DXVECTOR4(3, 6, 9, 12));
  EXPECT_EQ(D3DXVECTOR4(D3DXVECTOR3(1, 2, 3), 4), v);
}

TEST(D3DXVector, LengthDotCrossNormalizeLerp) {
  D3DXVECTOR3 x(1, 0, 0), y(0, 1, 0), out;
  EXPECT_EQ(*D3DXVec3Cross(&out, &x, &y), D3DXVECTOR3(0, 0, 1));
  D3DXVECTOR3 a(3, 4, 12), b(1, -2, 0.5f);
  EXPECT_FLOAT_EQ(D3DXVec3Length(&a), 13.0f);
  EXPECT_FLOAT_EQ(D3DXVec3LengthSq(&a), 169.0f);
  EXPECT_FLOAT_EQ(D3DXVec3Dot(&a, &b), 3 - 8 + 6);
  // The cross product is orthogonal to both operands, also when pOut aliases one.
  D3DXVECTOR3 c = a;
  D3DXVec3Cross(&c, &c, &b);
  EXPECT_NEAR(D3DXVec3Dot(&c, &a), 0.0f, 1e-4f);
  EXPECT_NEAR(D3DXVec3Dot(&c, &b), 0.0f, 1e-4f);

  ExpectVec3Near(*D3DXVec3Normalize(&out, &a), D3DXVECTOR3(3 / 13.0f, 4 / 13.0f, 12 / 13.0f), 1e-6f);
  D3DXVECTOR3 zero(0, 0, 0);
  EXPECT_EQ(*D3DXVec3Normalize(&out, &zero), zero);

  D3DXVECTOR3 from(0, 10, -4), to(8, 2, 4);
  EXPECT_EQ(*D3DXVec3Lerp(&out, &from, &to, 0.25f), D3DXVECTOR3(2, 8, -2));

  D3DXVECTOR3 mn, mx;
  D3DXVec3Minimize(&mn, &a, &b);
  D3DXVec3Maximize(&mx, &a, &b);
  EXPECT_EQ(mn, D3DXVECTOR3(1, -2, 0.5f));
  EXPECT_EQ(mx, D3DXVECTOR3(3, 4, 12));

  D3DXVECTOR2 u(3, 4), v(-1, 2), n;
  EXPECT_FLOAT_EQ(D3DXVec2Length(&u), 5.0f);
  EXPECT_FLOAT_EQ(D3DXVec2Dot(&u, &v), 5.0f);
  D3DXVec2Normalize(&n, &u);
  EXPECT_FLOAT_EQ(n.x, 0.6f);
  EXPECT_FLOAT_EQ(n.y, 0.8f);
  D3DXVECTOR2 z2(0, 0);
  EXPECT_EQ(*D3DXVec2Normalize(&n, &z2), z2);
}

TEST(D3DXMatrix, AxisRotationsHaveDirect3DRows) {
  const float a = 0.7f, c = std::cos(a), s = std::sin(a);
  D3DXMATRIX m;
  ExpectMatrixNear(*D3DXMatrixRotationY(&m, a), D3DXMATRIX(c, 0, -s, 0, 0, 1, 0, 0, s, 0, c, 0, 0, 0, 0, 1), 1e-7f);
  ExpectMatrixNear(*D3DXMatrixRotationX(&m, a), D3DXMATRIX(1, 0, 0, 0, 0, c, s, 0, 0, -s, c, 0, 0, 0, 0, 1), 1e-7f);
  ExpectMatrixNear(*D3DXMatrixRotationZ(&m, a), D3DXMATRIX(c, s, 0, 0, -s, c, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1), 1e-7f);

  // Quarter turns: y goes to z about x, z goes to x about y, x goes to y about z.
  const float q = kPi / 2;
  ExpectVec3Near(TransformPoint(D3DXVECTOR3(0, 1, 0), *D3DXMatrixRotationX(&m, q)), D3DXVECTOR3(0, 0, 1), 1e-6f);
  ExpectVec3Near(TransformPoint(D3DXVECTOR3(0, 0, 1), *D3DXMatrixRotationY(&m, q)), D3DXVECTOR3(1, 0, 0), 1e-6f);
  ExpectVec3Near(TransformPoint(D3DXVECTOR3(1, 0, 0), *D3DXMatrixRotationZ(&m, q)), D3DXVECTOR3(0, 1, 0), 1e-6f);
}

TEST(D3DXMatrix, RotationAxisMatchesAxisBuildersAndQuaternion) {
  D3DXMATRIX a, b;
  const float angle = -2.3f;
  D3DXVECTOR3 x(2, 0, 0), y(0, 0.5f, 0), z(0, 0, 3);
  ExpectMatrixNear(*D3DXMatrixRotationAxis(&a, &x, angle), *D3DXMatrixRotationX(&b, angle), 1e-6f);
  ExpectMatrixNear(*D3DXMatrixRotationAxis(&a, &y, angle), *D3DXMatrixRotationY(&b, angle), 1e-6f);
  ExpectMatrixNear(*D3DXMatrixRotationAxis(&a, &z, angle), *D3DXMatrixRotationZ(&b, angle), 1e-6f);

  D3DXVECTOR3 axis(1, -2, 0.5f);
  D3DXQUATERNION q;
  D3DXQuaternionRotationAxis(&q, &axis, 1.1f);
  ExpectMatrixNear(*D3DXMatrixRotationAxis(&a, &axis, 1.1f), *D3DXMatrixRotationQuaternion(&b, &q), 1e-6f);
  // The axis itself stays put.
  ExpectVec3Near(TransformPoint(axis, a), axis, 1e-5f);
}

TEST(D3DXMatrix, MultiplyAppliesLeftOperandFirst) {
  D3DXMATRIX t, r, m;
  D3DXMatrixTranslation(&t, 1, 0, 0);
  D3DXMatrixRotationY(&r, kPi / 2);
  D3DXMatrixMultiply(&m, &t, &r);
  // (1,0,0) moved to (2,0,0), then turned a quarter about y.
  ExpectVec3Near(TransformPoint(D3DXVECTOR3(1, 0, 0), m), D3DXVECTOR3(0, 0, -2), 1e-6f);
  ExpectMatrixNear(t * r, m, 0.0f);

  // Output aliasing an operand gives the same product.
  D3DXMATRIX a = t;
  D3DXMatrixMultiply(&a, &a, &r);
  ExpectMatrixNear(a, m, 0.0f);
  a = r;
  D3DXMatrixMultiply(&a, &t, &a);
  ExpectMatrixNear(a, m, 0.0f);
  a = t;
  a *= r;
  ExpectMatrixNear(a, m, 0.0f);

  ExpectMatrixNear(m * Identity(), m, 0.0f);
  EXPECT_TRUE(m == m * Identity());
  EXPECT_TRUE(m != t);
}

TEST(D3DXMatrix, YawPitchRollIsRollThenPitchThenYaw) {
  D3DXMATRIX m, rz, rx, ry;
  D3DXMatrixRotationYawPitchRoll(&m, 0.4f, -1.2f, 2.0f);
  D3DXMatrixRotationZ(&rz, 2.0f);
  D3DXMatrixRotationX(&rx, -1.2f);
  D3DXMatrixRotationY(&ry, 0.4f);
  ExpectMatrixNear(m, rz * rx * ry, 1e-6f);
}

TEST(D3DXMatrix, TransposeDeterminantInverse) {
  D3DXMATRIX m(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16), t;
  D3DXMatrixTranspose(&t, &m);
  EXPECT_EQ(t._12, 5.0f);
  EXPECT_EQ(t._41, 4.0f);
  EXPECT_EQ(t._44, 16.0f);

  D3DXMATRIX s;
  D3DXMatrixScaling(&s, 2, 3, 4);
  EXPECT_FLOAT_EQ(D3DXMatrixDeterminant(&s), 24.0f);

  // A general matrix: scaled, turned, moved, with a perspective column.
  D3DXMATRIX r, tr, p, g;
  D3DXVECTOR3 axis(0.3f, 1, -0.6f);
  D3DXMatrixRotationAxis(&r, &axis, 0.9f);
  D3DXMatrixTranslation(&tr, 5, -3, 12);
  D3DXMatrixPerspectiveFovLH(&p, 0.8f, 1.33f, 0.5f, 100.0f);
  g = s * r * tr * p;
  D3DXMATRIX inv;
  float det = 0;
  ASSERT_EQ(D3DXMatrixInverse(&inv, &det, &g), &inv);
  EXPECT_NEAR(det, D3DXMatrixDeterminant(&g), std::fabs(det) * 1e-5f);
  ExpectMatrixNear(inv * g, Identity(), 1e-5f);
  ExpectMatrixNear(g * inv, Identity(), 1e-5f);
  // Without a determinant out-parameter.
  D3DXMATRIX inv2;
  ASSERT_NE(D3DXMatrixInverse(&inv2, nullptr, &g), nullptr);
  ExpectMatrixNear(inv2, inv, 0.0f);

  // Singular: NULL, determinant 0, output untouched.
  D3DXMATRIX flat;
  D3DXMatrixScaling(&flat, 1, 0, 1);
  D3DXMATRIX out = m;
  det = 5;
  EXPECT_EQ(D3DXMatrixInverse(&out, &det, &flat), nullptr);
  EXPECT_EQ(det, 0.0f);
  EXPECT_TRUE(out == m);
  EXPECT_EQ(D3DXMatrixInverse(&out, nullptr, &m), nullptr);  // rows linearly dependent
}

TEST(D3DXMatrix, LookAtLHAgainstHandComputedMatrix) {
  // The menu camera: from (0, 30, 0) towards (1, 30, 1).
  D3DXVECTOR3 eye(0, 30, 0), at(1, 30, 1), up(0, 1, 0);
  D3DXMATRIX v;
  D3DXMatrixLookAtLH(&v, &eye, &at, &up);
  const float h = 1.0f / std::sqrt(2.0f);
  // zaxis = (h, 0, h), xaxis = (h, 0, -h), yaxis = (0, 1, 0), in columns.
  ExpectMatrixNear(v, D3DXMATRIX(h, 0, h, 0, 0, 1, 0, 0, -h, 0, h, 0, 0, -30, 0, 1), 1e-6f);

  // A skewed one: eye to origin, target on +z at its distance, up stays up.
  D3DXVECTOR3 eye2(1, 2, 3), at2(4, 6, 3), up2(0, 1, 0);
  D3DXMatrixLookAtLH(&v, &eye2, &at2, &up2);
  ExpectVec3Near(TransformPoint(eye2, v), D3DXVECTOR3(0, 0, 0), 1e-5f);
  ExpectVec3Near(TransformPoint(at2, v), D3DXVECTOR3(0, 0, 5), 1e-5f);
  D3DXVECTOR3 above = TransformPoint(eye2 + up2, v);
  EXPECT_GT(above.y, 0.0f);
  EXPECT_NEAR(above.x, 0.0f, 1e-6f);
  // Left-handed: looking along (3, 4, 0) with y up, (0, 0, -1) is to the right.
  EXPECT_NEAR(TransformPoint(eye2 + D3DXVECTOR3(0, 0, -1), v).x, 1.0f, 1e-5f);
  EXPECT_NEAR(D3DXMatrixDeterminant(&v), 1.0f, 1e-5f);
}

TEST(D3DXMatrix, PerspectiveAndOrthoAgainstHandComputedMatrices) {
  // The game's projection: vertical field of view pi/4, aspect 1.33.
  const float zn = 0.01f, zf = 600.0f;
  const float f = std::cos(kPi / 8) / std::sin(kPi / 8);
  const float q = zf / (zf - zn);
  D3DXMATRIX p;
  D3DXMatrixPerspectiveFovLH(&p, kPi / 4, 1.33f, zn, zf);
  ExpectMatrixNear(p, D3DXMATRIX(f / 1.33f, 0, 0, 0, 0, f, 0, 0, 0, 0, q, 1, 0, 0, -zn * q, 0), 1e-5f);
  EXPECT_NEAR(TransformPoint(D3DXVECTOR3(0, 0, zn), p).z, 0.0f, 1e-6f);
  EXPECT_NEAR(TransformPoint(D3DXVECTOR3(0, 0, zf), p).z, 1.0f, 1e-6f);
  // The top edge of the frustum at depth 10 lands on y = 1.
  EXPECT_NEAR(TransformPoint(D3DXVECTOR3(0, 10 * std::tan(kPi / 8), 10), p).y, 1.0f, 1e-5f);

  // The same frustum by width and height at the near plane.
  D3DXMATRIX pw;
  const float hh = 2 * zn * std::tan(kPi / 8);
  D3DXMatrixPerspectiveLH(&pw, hh * 1.33f, hh, zn, zf);
  ExpectMatrixNear(pw, p, 1e-4f);

  // The car's shadow view: 6 wide, aspect 1.33, near 0.01, far 50.
  D3DXMATRIX o;
  D3DXMatrixOrthoLH(&o, 6.0f, 6.0f / 1.33f, 0.01f, 50.0f);
  ExpectMatrixNear(o, D3DXMATRIX(2 / 6.0f, 0, 0, 0, 0, 2 * 1.33f / 6.0f, 0, 0, 0, 0, 1 / 49.99f, 0, 0, 0,
                                 0.01f / (0.01f - 50.0f), 1), 1e-6f);
  EXPECT_NEAR(TransformPoint(D3DXVECTOR3(3, 0, 0.01f), o).x, 1.0f, 1e-6f);
  EXPECT_NEAR(TransformPoint(D3DXVECTOR3(0, 0, 50.0f), o).z, 1.0f, 1e-6f);

  D3DXMATRIX oc;
  D3DXMatrixOrthoOffCenterLH(&oc, -3.0f, 3.0f, -3.0f / 1.33f, 3.0f / 1.33f, 0.01f, 50.0f);
  ExpectMatrixNear(oc, o, 1e-6f);
  D3DXMatrixOrthoOffCenterLH(&oc, 10.0f, 20.0f, 0.0f, 4.0f, 1.0f, 3.0f);
  ExpectVec3Near(TransformPoint(D3DXVECTOR3(10, 0, 1), oc), D3DXVECTOR3(-1, -1, 0), 1e-6f);
  ExpectVec3Near(TransformPoint(D3DXVECTOR3(20, 4, 3), oc), D3DXVECTOR3(1, 1, 1), 1e-6f);
}

TEST(D3DXTransform, CoordDividesByWNormalIgnoresTranslation) {
  D3DXMATRIX m;
  D3DXMatrixTranslation(&m, 1, 2, 3);
  m._44 = 2.0f;
  m._14 = 1.0f;  // w = x + 2
  D3DXVECTOR3 v(2, 4, 6), out;
  D3DXVec3TransformCoord(&out, &v, &m);
  ExpectVec3Near(out, D3DXVECTOR3(3 / 4.0f, 6 / 4.0f, 9 / 4.0f), 1e-6f);

  D3DXVECTOR4 h;
  D3DXVec3Transform(&h, &v, &m);
  EXPECT_EQ(h, D3DXVECTOR4(3, 6, 9, 4));
  D3DXVECTOR4 v4(2, 4, 6, 0);
  D3DXVec4Transform(&h, &v4, &m);
  EXPECT_EQ(h, D3DXVECTOR4(2, 4, 6, 2));

  D3DXMatrixRotationZ(&m, kPi / 2);
  m._41 = 100;
  D3DXVec3TransformNormal(&out, &v, &m);
  ExpectVec3Near(out, D3DXVECTOR3(-4, 2, 6), 1e-5f);
  // In place.
  D3DXVec3TransformCoord(&v, &v, &m);
  ExpectVec3Near(v, D3DXVECTOR3(96, 2, 6), 1e-4f);
}

TEST(D3DXTransform, ProjectAppliesWorldViewProjectionThenViewport) {
  D3DVIEWPORT9 vp = {0, 0, 640, 480, 0.0f, 1.0f};
  D3DXMATRIX world, view;
  D3DXMatrixTranslation(&world, 1, 0, 0);
  D3DXMatrixScaling(&view, 0.5f, 0.5f, 0.5f);
  D3DXVECTOR3 p(-0.5f, 0.5f, 0.5f), out;
  // No projection: (p + (1,0,0)) * 0.5 = (0.25, 0.25, 0.25) in device coordinates.
  D3DXVec3Project(&out, &p, &vp, nullptr, &view, &world);
  ExpectVec3Near(out, D3DXVECTOR3(1.25f * 320, 0.75f * 240, 0.25f), 1e-4f);

  D3DXMATRIX proj;
  D3DXMatrixPerspectiveFovLH(&proj, kPi / 2, 640.0f / 480.0f, 1.0f, 11.0f);
  D3DVIEWPORT9 vp2 = {10, 20, 640, 480, 0.001f, 100.0f};
  D3DXVECTOR3 ahead(0, 0, 11), corner(-4 / 3.0f, 1, 1);
  D3DXVec3Project(&out, &ahead, &vp2, &proj, nullptr, nullptr);
  ExpectVec3Near(out, D3DXVECTOR3(330, 260, 100.0f), 1e-3f);
  // Top-left of the near plane goes to the viewport's top-left, at MinZ.
  D3DXVec3Project(&out, &corner, &vp2, &proj, nullptr, nullptr);
  ExpectVec3Near(out, D3DXVECTOR3(10, 20, 0.001f), 1e-3f);
}

TEST(D3DXQuaternion, MatrixRoundTripsOnAllTraceBranches) {
  const D3DXVECTOR3 axes[] = {D3DXVECTOR3(1, 0, 0), D3DXVECTOR3(0, 1, 0), D3DXVECTOR3(0, 0, 1),
                              D3DXVECTOR3(0.3f, -0.8f, 0.52f), D3DXVECTOR3(-1, 1, 1),
                              // Near a half turn _22 is the largest diagonal element and _33 only
                              // just beats _11: the wrong branch would divide by almost zero.
                              D3DXVECTOR3(0, 1, 0.001f)};
  // Angles around 2pi/3 switch between the trace and the diagonal branches;
  // near pi the diagonal branch with the largest element must be taken.
  const float angles[] = {0.0f, 0.3f, -0.9f, 1.5f, 2.05f, 2.1f, 2.15f, -2.5f, 2.9f, 3.1f, 3.14159f, -3.14159f};
  for (const D3DXVECTOR3& axis : axes) {
    for (float angle : angles) {
      SCOPED_TRACE(testing::Message() << "axis " << axis.x << "," << axis.y << "," << axis.z << " angle " << angle);
      D3DXMATRIX m, back;
      D3DXMatrixRotationAxis(&m, &axis, angle);
      D3DXQUATERNION q, expect;
      D3DXQuaternionRotationMatrix(&q, &m);
      EXPECT_NEAR(D3DXQuaternionLength(&q), 1.0f, 1e-5f);
      D3DXQuaternionRotationAxis(&expect, &axis, angle);
      ExpectSameRotation(q, expect, 2e-5f);
      ExpectMatrixNear(*D3DXMatrixRotationQuaternion(&back, &q), m, 2e-5f);
    }
  }
  D3DXQUATERNION q;
  const D3DXMATRIX id = Identity();
  D3DXQuaternionRotationMatrix(&q, &id);
  EXPECT_EQ(q, D3DXQUATERNION(0, 0, 0, 1));
}

TEST(D3DXQuaternion, MatrixOfQuaternionMatchesAxisBuilders) {
  D3DXQUATERNION q;
  D3DXMATRIX a, b;
  D3DXVECTOR3 y(0, 1, 0);
  D3DXQuaternionRotationAxis(&q, &y, 0.8f);
  EXPECT_NEAR(q.y, std::sin(0.4f), 1e-7f);
  EXPECT_NEAR(q.w, std::cos(0.4f), 1e-7f);
  ExpectMatrixNear(*D3DXMatrixRotationQuaternion(&a, &q), *D3DXMatrixRotationY(&b, 0.8f), 1e-6f);
}

TEST(D3DXQuaternion, MultiplyIsFirstThenSecond) {
  D3DXVECTOR3 ax1(1, 0.2f, 0), ax2(0, 0.4f, -1);
  D3DXQUATERNION q1, q2, p;
  D3DXQuaternionRotationAxis(&q1, &ax1, 0.9f);
  D3DXQuaternionRotationAxis(&q2, &ax2, -1.7f);
  D3DXQuaternionMultiply(&p, &q1, &q2);
  D3DXMATRIX m1, m2, mp;
  D3DXMatrixRotationQuaternion(&m1, &q1);
  D3DXMatrixRotationQuaternion(&m2, &q2);
  ExpectMatrixNear(*D3DXMatrixRotationQuaternion(&mp, &p), m1 * m2, 1e-6f);
  EXPECT_EQ(q1 * q2, p);
  D3DXQUATERNION a = q1;
  a *= q2;
  EXPECT_EQ(a, p);
  D3DXQuaternionMultiply(&a, &q1, &a);  // aliasing the second operand
  D3DXQUATERNION expect;
  D3DXQuaternionMultiply(&expect, &q1, &p);
  EXPECT_EQ(a, expect);
  D3DXQUATERNION id;
  D3DXQuaternionIdentity(&id);
  EXPECT_EQ(id * q1, q1);
}

TEST(D3DXQuaternion, SlerpHalfwayAndShortWay) {
  D3DXQUATERNION id, q90, q45, out;
  D3DXVECTOR3 y(0, 1, 0);
  D3DXQuaternionIdentity(&id);
  D3DXQuaternionRotationAxis(&q90, &y, kPi / 2);
  D3DXQuaternionRotationAxis(&q45, &y, kPi / 4);
  D3DXQuaternionSlerp(&out, &id, &q90, 0.5f);
  ExpectSameRotation(out, q45, 1e-6f);
  EXPECT_NEAR(D3DXQuaternionLength(&out), 1.0f, 1e-6f);
  D3DXQuaternionSlerp(&out, &id, &q90, 0.0f);
  ExpectSameRotation(out, id, 1e-6f);
  D3DXQuaternionSlerp(&out, &id, &q90, 1.0f);
  ExpectSameRotation(out, q90, 1e-6f);

  // -q90 is the same turn; the path must still be the 45-degree one.
  D3DXQUATERNION neg = -q90;
  D3DXQuaternionSlerp(&out, &id, &neg, 0.5f);
  ExpectSameRotation(out, q45, 1e-6f);

  // A 270-degree turn is reached the short way, through -45 degrees.
  D3DXQUATERNION q270, qm45;
  D3DXQuaternionRotationAxis(&q270, &y, 1.5f * kPi);
  D3DXQuaternionRotationAxis(&qm45, &y, -kPi / 4);
  D3DXQuaternionSlerp(&out, &id, &q270, 0.5f);
  ExpectSameRotation(out, qm45, 1e-6f);

  // A third of the way from 30 to 120 degrees is 60 degrees.
  D3DXQUATERNION q30, q120, q60;
  D3DXQuaternionRotationAxis(&q30, &y, kPi / 6);
  D3DXQuaternionRotationAxis(&q120, &y, 2 * kPi / 3);
  D3DXQuaternionRotationAxis(&q60, &y, kPi / 3);
  D3DXQuaternionSlerp(&out, &q30, &q120, 1.0f / 3.0f);
  ExpectSameRotation(out, q60, 1e-6f);

  // Nearly equal inputs give a finite result.
  D3DXQUATERNION close(0, std::sin(1e-5f), 0, std::cos(1e-5f));
  D3DXQuaternionSlerp(&out, &id, &close, 0.5f);
  EXPECT_FALSE(std::isnan(out.w));
  EXPECT_NEAR(out.w, 1.0f, 1e-6f);
}

TEST(D3DXQuaternion, LengthDotNormalize) {
  D3DXQUATERNION q(1, 2, 2, 4), n;
  EXPECT_FLOAT_EQ(D3DXQuaternionLength(&q), 5.0f);
  EXPECT_FLOAT_EQ(D3DXQuaternionDot(&q, &q), 25.0f);
  D3DXQuaternionNormalize(&n, &q);
  EXPECT_FLOAT_EQ(n.w, 0.8f);
  EXPECT_FLOAT_EQ(n.x, 0.2f);
  D3DXQUATERNION z(0, 0, 0, 0);
  EXPECT_EQ(*D3DXQuaternionNormalize(&n, &z), z);
}

TEST(D3DXPlane, FromPointsFollowsDirect3DOrientation) {
  D3DXPLANE p;
  // normal = normalize(cross(p2 - p1, p3 - p1))
  D3DXVECTOR3 a(0, 2, 0), b(0, 2, 1), c(1, 2, 0);
  D3DXPlaneFromPoints(&p, &a, &b, &c);
  EXPECT_NEAR(p.a, 0.0f, 1e-7f);
  EXPECT_NEAR(p.b, 1.0f, 1e-7f);
  EXPECT_NEAR(p.c, 0.0f, 1e-7f);
  EXPECT_NEAR(p.d, -2.0f, 1e-6f);
  D3DXVECTOR3 q(5, 3, 7);
  EXPECT_NEAR(D3DXPlaneDotCoord(&p, &q), 1.0f, 1e-6f);
  EXPECT_NEAR(D3DXPlaneDotNormal(&p, &q), 3.0f, 1e-6f);
  // The other winding flips the normal.
  D3DXPlaneFromPoints(&p, &a, &c, &b);
  EXPECT_NEAR(p.b, -1.0f, 1e-7f);
  EXPECT_NEAR(p.d, 2.0f, 1e-6f);

  // A tilted face: unit normal, all three points on it.
  D3DXVECTOR3 t1(1, 0, 0), t2(0, 1, 0), t3(0, 0, 1);
  D3DXPlaneFromPoints(&p, &t1, &t2, &t3);
  const float s = 1 / std::sqrt(3.0f);
  EXPECT_NEAR(p.a, s, 1e-6f);
  EXPECT_NEAR(p.b, s, 1e-6f);
  EXPECT_NEAR(p.c, s, 1e-6f);
  EXPECT_NEAR(D3DXPlaneDotCoord(&p, &t3), 0.0f, 1e-6f);
}

TEST(D3DXPlane, PointNormalNormalizeIntersect) {
  D3DXPLANE p, n;
  D3DXVECTOR3 point(0, 1, 0), normal(0, 2, 0);
  D3DXPlaneFromPointNormal(&p, &point, &normal);
  EXPECT_EQ(p, D3DXPLANE(0, 2, 0, -2));  // normal kept as given
  D3DXPlaneNormalize(&n, &p);
  EXPECT_EQ(n, D3DXPLANE(0, 1, 0, -1));
  D3DXPLANE zero(0, 0, 0, 5);
  EXPECT_EQ(*D3DXPlaneNormalize(&n, &zero), D3DXPLANE(0, 0, 0, 0));

  // The line, not the segment: the crossing lies beyond the second point.
  D3DXPLANE y2(0, 1, 0, -2);
  D3DXVECTOR3 s(0, 0, 0), e(1, 1, 1), out;
  ASSERT_EQ(D3DXPlaneIntersectLine(&out, &y2, &s, &e), &out);
  ExpectVec3Near(out, D3DXVECTOR3(2, 2, 2), 1e-6f);
  D3DXVECTOR3 e2(5, 0, 3);
  out = D3DXVECTOR3(7, 7, 7);
  EXPECT_EQ(D3DXPlaneIntersectLine(&out, &y2, &s, &e2), nullptr);
  EXPECT_EQ(out, D3DXVECTOR3(7, 7, 7));
}

TEST(D3DXColor, ConvertsToAndFromArgb) {
  D3DXCOLOR c(0x80FF4000u);
  EXPECT_FLOAT_EQ(c.a, 128 / 255.0f);
  EXPECT_FLOAT_EQ(c.r, 1.0f);
  EXPECT_FLOAT_EQ(c.g, 64 / 255.0f);
  EXPECT_FLOAT_EQ(c.b, 0.0f);
  EXPECT_EQ(static_cast<DWORD>(c), 0x80FF4000u);
  EXPECT_EQ(static_cast<DWORD>(D3DXCOLOR(2.0f, -1.0f, 0.5f, 1.0f)), 0xFFFF0080u);
  D3DXCOLOR half = D3DXCOLOR(1, 1, 1, 1) * 0.5f;
  EXPECT_EQ(half, D3DXCOLOR(0.5f, 0.5f, 0.5f, 0.5f));
}
