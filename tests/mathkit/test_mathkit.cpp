// mathkit builders and scalar helpers as their callers use them.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>
#include <type_traits>

#include "mathkit/mathkit.h"

namespace {

const float kPi = 3.14159265358979f;

void ExpectMatrixNear(const D3DXMATRIX& a, const D3DXMATRIX& b, float eps) {
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) EXPECT_NEAR(a.m[r][c], b.m[r][c], eps) << "element " << r + 1 << c + 1;
}

// Filled with NaN so a builder that leaves any element alone shows up.
D3DXMATRIX Garbage() {
  D3DXMATRIX m;
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) m.m[r][c] = std::numeric_limits<float>::quiet_NaN();
  return m;
}

D3DXVECTOR3 Apply(const D3DXVECTOR3& p, const D3DXMATRIX& m) {
  D3DXVECTOR3 out;
  D3DXVec3TransformCoord(&out, &p, &m);
  return out;
}

// Texture coordinates of a homogeneous clip position after the adjust matrix.
D3DXVECTOR3 ToTexture(const D3DXVECTOR4& clip, const D3DXMATRIX& adjust) {
  D3DXVECTOR4 t;
  D3DXVec4Transform(&t, &clip, &adjust);
  return D3DXVECTOR3(t.x / t.w, t.y / t.w, t.z / t.w);
}

_BOXCORNERS Box(const D3DXVECTOR3& mn, const D3DXVECTOR3& mx) {
  _BOXCORNERS b;
  b.corner[0] = D3DXVECTOR3(mn.x, mn.y, mx.z);
  b.corner[1] = D3DXVECTOR3(mx.x, mn.y, mx.z);
  b.corner[2] = D3DXVECTOR3(mn.x, mn.y, mn.z);
  b.corner[3] = D3DXVECTOR3(mx.x, mn.y, mn.z);
  b.corner[4] = D3DXVECTOR3(mn.x, mx.y, mx.z);
  b.corner[5] = D3DXVECTOR3(mx.x, mx.y, mx.z);
  b.corner[6] = D3DXVECTOR3(mn.x, mx.y, mn.z);
  b.corner[7] = D3DXVECTOR3(mx.x, mx.y, mn.z);
  return b;
}

}  // namespace

TEST(MathkitBuilders, FillTheWholeMatrixAndReturnIt) {
  D3DXMATRIX m = Garbage(), e;
  EXPECT_EQ(MatrixIdentity(&m), &m);
  EXPECT_TRUE(m == *D3DXMatrixIdentity(&e));

  m = Garbage();
  EXPECT_EQ(TranslationV(&m, 1, -2, 3.5f), &m);
  EXPECT_TRUE(m == *D3DXMatrixTranslation(&e, 1, -2, 3.5f));
  EXPECT_EQ(Apply(D3DXVECTOR3(1, 1, 1), m), D3DXVECTOR3(2, -1, 4.5f));

  m = Garbage();
  EXPECT_EQ(Scaling(&m, 0.25f), &m);
  EXPECT_TRUE(m == *D3DXMatrixScaling(&e, 0.25f, 0.25f, 0.25f));

  m = Garbage();
  EXPECT_EQ(ScalingEx(&m, 2, 3, 4), &m);
  EXPECT_EQ(Apply(D3DXVECTOR3(1, 1, 1), m), D3DXVECTOR3(2, 3, 4));

  for (float a : {0.0f, 0.5f, -1.3f, 3.14159f}) {
    m = Garbage();
    EXPECT_EQ(RotationX(&m, a), &m);
    EXPECT_TRUE(m == *D3DXMatrixRotationX(&e, a));
    m = Garbage();
    EXPECT_EQ(RotationY(&m, a), &m);
    EXPECT_TRUE(m == *D3DXMatrixRotationY(&e, a));
    m = Garbage();
    EXPECT_EQ(RotationZ(&m, a), &m);
    EXPECT_TRUE(m == *D3DXMatrixRotationZ(&e, a));
  }
}

TEST(MathkitBuilders, HalfTurnWithTheSinglePrecisionConstant) {
  // Callers pass 3.14159f (0x40490FD0), slightly short of pi.
  D3DXMATRIX m;
  RotationY(&m, 3.14159f);
  D3DXVECTOR3 x = Apply(D3DXVECTOR3(1, 0, 0), m), z = Apply(D3DXVECTOR3(0, 0, 1), m);
  EXPECT_NEAR(x.x, -1.0f, 1e-6f);
  EXPECT_NEAR(x.z, 0.0f, 1e-5f);
  EXPECT_NEAR(z.z, -1.0f, 1e-6f);
  EXPECT_NEAR(z.x, 0.0f, 1e-5f);
  EXPECT_EQ(m._22, 1.0f);
}

TEST(MathkitBuilders, ResultsNestIntoProducts) {
  // A sprite transform: scale, then move to the light's centre.
  D3DXMATRIX s, t;
  D3DXMATRIX m = *Scaling(&s, 2.0f) * *TranslationV(&t, 10, 0, -1);
  EXPECT_EQ(Apply(D3DXVECTOR3(1, 1, 1), m), D3DXVECTOR3(12, 2, 1));
  // A wheel turned half round, then placed.
  D3DXMATRIX r;
  m = *RotationY(&r, 3.14159f) * *TranslationV(&t, 1, 0, 2);
  D3DXVECTOR3 p = Apply(D3DXVECTOR3(0.5f, 0, 0), m);
  EXPECT_NEAR(p.x, 0.5f, 1e-5f);
  EXPECT_NEAR(p.z, 2.0f, 1e-5f);
}

TEST(MathkitAdjust, MapsClipSpaceToTextureWithYDown) {
  for (int size : {128, 256, 512}) {
    SCOPED_TRACE(size);
    D3DXMATRIX a = Garbage();
    ASSERT_EQ(GetAdjustMtx(&a, size, 24), &a);
    ExpectMatrixNear(a, D3DXMATRIX(0.5f, 0, 0, 0, 0, -0.5f, 0, 0, 0, 0, 16777215.0f, 0, 0.5f, 0.5f, 0, 1), 0.0f);

    // Top left and bottom right of clip space are the texture's corners.
    D3DXVECTOR3 tl = ToTexture(D3DXVECTOR4(-1, 1, 0, 1), a);
    EXPECT_EQ(tl.x, 0.0f);
    EXPECT_EQ(tl.y, 0.0f);
    EXPECT_EQ(tl.z, 0.0f);
    D3DXVECTOR3 br = ToTexture(D3DXVECTOR4(1, -1, 1, 1), a);
    EXPECT_EQ(br.x, 1.0f);
    EXPECT_EQ(br.y, 1.0f);
    EXPECT_FLOAT_EQ(br.z, 16777215.0f);
    // Top right stays on the top row, bottom left on the left column.
    D3DXVECTOR3 tr = ToTexture(D3DXVECTOR4(1, 1, 0, 1), a);
    EXPECT_EQ(tr.x, 1.0f);
    EXPECT_EQ(tr.y, 0.0f);

    // After a perspective projection w is not 1; the mapping must hold after the divide.
    D3DXVECTOR3 c = ToTexture(D3DXVECTOR4(-4 * 0.5f, 4 * 0.5f, 4 * 0.25f, 4), a);
    EXPECT_NEAR(c.x, 0.25f, 1e-6f);
    EXPECT_NEAR(c.y, 0.25f, 1e-6f);
    EXPECT_FLOAT_EQ(c.z, 0.25f * 16777215.0f);
  }
  D3DXMATRIX a;
  GetAdjustMtx(&a, 256, 16);
  EXPECT_EQ(a._33, 65535.0f);
}

TEST(MathkitScalar, RoundHalvesAwayFromZero) {
  EXPECT_EQ(mathkit::round(0.5f), 1);
  EXPECT_EQ(mathkit::round(-0.5f), -1);
  EXPECT_EQ(mathkit::round(79.6f), 80);
  EXPECT_EQ(mathkit::round(-79.6f), -80);
  EXPECT_EQ(mathkit::round(79.4f), 79);
  EXPECT_EQ(mathkit::round(2.5f), 3);
  EXPECT_EQ(mathkit::round(-2.5f), -3);
  EXPECT_EQ(mathkit::round(0.0f), 0);
  EXPECT_EQ(mathkit::round(-0.0f), 0);
  // The largest float below 0.5: adding 0.5 in single precision would give 1.
  EXPECT_EQ(mathkit::round(0.49999997f), 0);
  EXPECT_EQ(mathkit::round(std::numeric_limits<float>::quiet_NaN()), 0);
  EXPECT_EQ(mathkit::round(1e20f), INT_MAX);
  EXPECT_EQ(mathkit::round(-1e20f), INT_MIN);
  // The C library's round stays usable next to ours.
  static_assert(std::is_same<decltype(::round(1.0)), double>::value, "C round untouched");
  EXPECT_EQ(::round(2.5), 3.0);
}

TEST(MathkitScalar, SgnGivesMinusOneZeroOrOne) {
  EXPECT_EQ(sgn(3.0f), 1.0f);
  EXPECT_EQ(sgn(1e-30f), 1.0f);
  EXPECT_EQ(sgn(-0.001f), -1.0f);
  EXPECT_EQ(sgn(-std::numeric_limits<float>::infinity()), -1.0f);
  EXPECT_EQ(sgn(0.0f), 0.0f);
  EXPECT_EQ(sgn(-0.0f), 0.0f);
  EXPECT_FALSE(std::signbit(sgn(-0.0f)));
  EXPECT_EQ(sgn(std::numeric_limits<float>::quiet_NaN()), 0.0f);
  // Callers compare results with each other.
  EXPECT_EQ(sgn(0.2f), sgn(700.0f));
  EXPECT_NE(sgn(0.2f), sgn(-0.2f));
}

TEST(MathkitBox, PointInBoxInTheHorizontalPlane) {
  const _BOXCORNERS b = Box(D3DXVECTOR3(-2, 1, 10), D3DXVECTOR3(4, 3, 20));
  const D3DXVECTOR3 inside(0, 2, 15);
  EXPECT_NE(IsPointInBBox2D(&inside, &b), 0);
  // y does not matter.
  const D3DXVECTOR3 above(0, 500, 15), below(0, -500, 15);
  EXPECT_NE(IsPointInBBox2D(&above, &b), 0);
  EXPECT_NE(IsPointInBBox2D(&below, &b), 0);
  // Outside on each side.
  for (const D3DXVECTOR3& p : {D3DXVECTOR3(-2.01f, 2, 15), D3DXVECTOR3(4.01f, 2, 15), D3DXVECTOR3(0, 2, 9.99f),
                               D3DXVECTOR3(0, 2, 20.01f), D3DXVECTOR3(10, 2, 30)}) {
    EXPECT_EQ(IsPointInBBox2D(&p, &b), 0) << p.x << "," << p.z;
  }
  // The boundary counts as inside, corners too.
  for (const D3DXVECTOR3& p : {D3DXVECTOR3(-2, 2, 15), D3DXVECTOR3(4, 2, 15), D3DXVECTOR3(0, 2, 10),
                               D3DXVECTOR3(0, 2, 20), D3DXVECTOR3(-2, 0, 10), D3DXVECTOR3(4, 0, 20)}) {
    EXPECT_NE(IsPointInBBox2D(&p, &b), 0) << p.x << "," << p.z;
  }
}

TEST(MathkitAngle, SignedAntisymmetricAndNaNForZeroVectors) {
  EXPECT_NEAR(GetVec2ToVec2Angle(D3DXVECTOR2(0, 1), D3DXVECTOR2(1, 0)), -kPi / 2, 1e-6f);
  EXPECT_NEAR(GetVec2ToVec2Angle(D3DXVECTOR2(1, 0), D3DXVECTOR2(0, 1)), kPi / 2, 1e-6f);
  EXPECT_NEAR(GetVec2ToVec2Angle(D3DXVECTOR2(1, 0), D3DXVECTOR2(1, 1)), kPi / 4, 1e-6f);
  EXPECT_EQ(GetVec2ToVec2Angle(D3DXVECTOR2(3, 4), D3DXVECTOR2(6, 8)), 0.0f);
  EXPECT_NEAR(std::fabs(GetVec2ToVec2Angle(D3DXVECTOR2(1, 0), D3DXVECTOR2(-1, 0))), kPi, 1e-6f);
  // Lengths do not matter.
  EXPECT_NEAR(GetVec2ToVec2Angle(D3DXVECTOR2(0.001f, 0), D3DXVECTOR2(-50, 50)), 3 * kPi / 4, 1e-6f);

  const D3DXVECTOR2 vs[] = {D3DXVECTOR2(1, 0),   D3DXVECTOR2(0.3f, -2), D3DXVECTOR2(-5, 0.1f),
                            D3DXVECTOR2(-1, -1), D3DXVECTOR2(0, 7),     D3DXVECTOR2(-1, 0)};
  for (const D3DXVECTOR2& a : vs) {
    for (const D3DXVECTOR2& b : vs) {
      const float ab = GetVec2ToVec2Angle(a, b), ba = GetVec2ToVec2Angle(b, a);
      EXPECT_FLOAT_EQ(ab, -ba);
      EXPECT_LE(std::fabs(ab), kPi);
      // Turning a by the angle lands on b's direction.
      const float c = std::cos(ab), s = std::sin(ab);
      D3DXVECTOR2 turned(a.x * c - a.y * s, a.x * s + a.y * c), nb;
      D3DXVec2Normalize(&turned, &turned);
      D3DXVec2Normalize(&nb, &b);
      EXPECT_NEAR(turned.x, nb.x, 1e-5f);
      EXPECT_NEAR(turned.y, nb.y, 1e-5f);
    }
  }

  EXPECT_TRUE(std::isnan(GetVec2ToVec2Angle(D3DXVECTOR2(0, 0), D3DXVECTOR2(1, 0))));
  EXPECT_TRUE(std::isnan(GetVec2ToVec2Angle(D3DXVECTOR2(1, 2), D3DXVECTOR2(0, 0))));
  EXPECT_TRUE(std::isnan(GetVec2ToVec2Angle(D3DXVECTOR2(0, -0.0f), D3DXVECTOR2(0, 0))));
}
