// Vector, matrix, quaternion and plane types and helpers with the D3DX9 names,
// layouts and conventions the engine is written against.
//
// Conventions (the same as Direct3D's):
// - Row vectors: a point p is transformed as p * M, the translation sits in the
//   fourth row (_41, _42, _43), and A * B applies A first, then B.
// - Left-handed world with y up; rotations are counter-clockwise when looking
//   down the axis towards the origin, as D3DXMatrixRotationX/Y/Z build them.
// - Quaternions are (x, y, z, w); D3DXQuaternionMultiply(q1, q2) is "q1, then
//   q2", so the matrix of the product equals matrix(q1) * matrix(q2).
// - Every function writes through its first pointer and returns it, so calls
//   nest: D3DXMatrixMultiply(&m, D3DXMatrixRotationY(&a, t), &b).
//
// The structs are plain standard-layout records of exactly Direct3D's sizes;
// they travel in files and vertex buffers as they are.
#pragma once

#include <cstddef>
#include <type_traits>

#include "platform/types.h"

#define D3DX_PI ((FLOAT)3.141592654f)
#define D3DX_1BYPI ((FLOAT)0.318309886f)
#define D3DXToRadian(degree) ((degree) * (D3DX_PI / 180.0f))
#define D3DXToDegree(radian) ((radian) * (180.0f / D3DX_PI))

// Base records of the drawing interface. The device header may define them
// itself under the same guards; whichever header comes first wins.
#ifndef D3DVECTOR_DEFINED
#define D3DVECTOR_DEFINED
struct D3DVECTOR {
  float x, y, z;
};
#endif

#ifndef D3DCOLORVALUE_DEFINED
#define D3DCOLORVALUE_DEFINED
struct D3DCOLORVALUE {
  float r, g, b, a;
};
#endif

#ifndef D3DMATRIX_DEFINED
#define D3DMATRIX_DEFINED
struct D3DMATRIX {
  union {
    struct {
      float _11, _12, _13, _14;
      float _21, _22, _23, _24;
      float _31, _32, _33, _34;
      float _41, _42, _43, _44;
    };
    float m[4][4];
  };
};
#endif

#ifndef D3DVIEWPORT9_DEFINED
#define D3DVIEWPORT9_DEFINED
struct D3DVIEWPORT9 {
  DWORD X;
  DWORD Y;
  DWORD Width;
  DWORD Height;
  float MinZ;
  float MaxZ;
};
#endif

struct D3DXMATRIX;
struct D3DXQUATERNION;

struct D3DXVECTOR2 {
  D3DXVECTOR2() = default;
  explicit D3DXVECTOR2(const float* p) : x(p[0]), y(p[1]) {}
  D3DXVECTOR2(float fx, float fy) : x(fx), y(fy) {}

  operator float*() { return &x; }
  operator const float*() const { return &x; }

  D3DXVECTOR2& operator+=(const D3DXVECTOR2& v) { x += v.x; y += v.y; return *this; }
  D3DXVECTOR2& operator-=(const D3DXVECTOR2& v) { x -= v.x; y -= v.y; return *this; }
  D3DXVECTOR2& operator*=(float f) { x *= f; y *= f; return *this; }
  D3DXVECTOR2& operator/=(float f) { float r = 1.0f / f; x *= r; y *= r; return *this; }

  D3DXVECTOR2 operator+() const { return *this; }
  D3DXVECTOR2 operator-() const { return D3DXVECTOR2(-x, -y); }
  D3DXVECTOR2 operator+(const D3DXVECTOR2& v) const { return D3DXVECTOR2(x + v.x, y + v.y); }
  D3DXVECTOR2 operator-(const D3DXVECTOR2& v) const { return D3DXVECTOR2(x - v.x, y - v.y); }
  D3DXVECTOR2 operator*(float f) const { return D3DXVECTOR2(x * f, y * f); }
  D3DXVECTOR2 operator/(float f) const { float r = 1.0f / f; return D3DXVECTOR2(x * r, y * r); }
  friend D3DXVECTOR2 operator*(float f, const D3DXVECTOR2& v) { return D3DXVECTOR2(f * v.x, f * v.y); }

  bool operator==(const D3DXVECTOR2& v) const { return x == v.x && y == v.y; }
  bool operator!=(const D3DXVECTOR2& v) const { return !(*this == v); }

  float x, y;
};

struct D3DXVECTOR3 : public D3DVECTOR {
  D3DXVECTOR3() = default;
  explicit D3DXVECTOR3(const float* p) : D3DVECTOR{p[0], p[1], p[2]} {}
  D3DXVECTOR3(const D3DVECTOR& v) : D3DVECTOR(v) {}
  D3DXVECTOR3(float fx, float fy, float fz) : D3DVECTOR{fx, fy, fz} {}

  operator float*() { return &x; }
  operator const float*() const { return &x; }

  D3DXVECTOR3& operator+=(const D3DXVECTOR3& v) { x += v.x; y += v.y; z += v.z; return *this; }
  D3DXVECTOR3& operator-=(const D3DXVECTOR3& v) { x -= v.x; y -= v.y; z -= v.z; return *this; }
  D3DXVECTOR3& operator*=(float f) { x *= f; y *= f; z *= f; return *this; }
  D3DXVECTOR3& operator/=(float f) { float r = 1.0f / f; x *= r; y *= r; z *= r; return *this; }

  D3DXVECTOR3 operator+() const { return *this; }
  D3DXVECTOR3 operator-() const { return D3DXVECTOR3(-x, -y, -z); }
  D3DXVECTOR3 operator+(const D3DXVECTOR3& v) const { return D3DXVECTOR3(x + v.x, y + v.y, z + v.z); }
  D3DXVECTOR3 operator-(const D3DXVECTOR3& v) const { return D3DXVECTOR3(x - v.x, y - v.y, z - v.z); }
  D3DXVECTOR3 operator*(float f) const { return D3DXVECTOR3(x * f, y * f, z * f); }
  D3DXVECTOR3 operator/(float f) const { float r = 1.0f / f; return D3DXVECTOR3(x * r, y * r, z * r); }
  friend D3DXVECTOR3 operator*(float f, const D3DXVECTOR3& v) { return D3DXVECTOR3(f * v.x, f * v.y, f * v.z); }

  bool operator==(const D3DXVECTOR3& v) const { return x == v.x && y == v.y && z == v.z; }
  bool operator!=(const D3DXVECTOR3& v) const { return !(*this == v); }
};

struct D3DXVECTOR4 {
  D3DXVECTOR4() = default;
  explicit D3DXVECTOR4(const float* p) : x(p[0]), y(p[1]), z(p[2]), w(p[3]) {}
  D3DXVECTOR4(const D3DVECTOR& v, float fw) : x(v.x), y(v.y), z(v.z), w(fw) {}
  D3DXVECTOR4(float fx, float fy, float fz, float fw) : x(fx), y(fy), z(fz), w(fw) {}

  operator float*() { return &x; }
  operator const float*() const { return &x; }

  D3DXVECTOR4& operator+=(const D3DXVECTOR4& v) { x += v.x; y += v.y; z += v.z; w += v.w; return *this; }
  D3DXVECTOR4& operator-=(const D3DXVECTOR4& v) { x -= v.x; y -= v.y; z -= v.z; w -= v.w; return *this; }
  D3DXVECTOR4& operator*=(float f) { x *= f; y *= f; z *= f; w *= f; return *this; }
  D3DXVECTOR4& operator/=(float f) { float r = 1.0f / f; x *= r; y *= r; z *= r; w *= r; return *this; }

  D3DXVECTOR4 operator+() const { return *this; }
  D3DXVECTOR4 operator-() const { return D3DXVECTOR4(-x, -y, -z, -w); }
  D3DXVECTOR4 operator+(const D3DXVECTOR4& v) const { return D3DXVECTOR4(x + v.x, y + v.y, z + v.z, w + v.w); }
  D3DXVECTOR4 operator-(const D3DXVECTOR4& v) const { return D3DXVECTOR4(x - v.x, y - v.y, z - v.z, w - v.w); }
  D3DXVECTOR4 operator*(float f) const { return D3DXVECTOR4(x * f, y * f, z * f, w * f); }
  D3DXVECTOR4 operator/(float f) const { float r = 1.0f / f; return D3DXVECTOR4(x * r, y * r, z * r, w * r); }
  friend D3DXVECTOR4 operator*(float f, const D3DXVECTOR4& v) { return D3DXVECTOR4(f * v.x, f * v.y, f * v.z, f * v.w); }

  bool operator==(const D3DXVECTOR4& v) const { return x == v.x && y == v.y && z == v.z && w == v.w; }
  bool operator!=(const D3DXVECTOR4& v) const { return !(*this == v); }

  float x, y, z, w;
};

struct D3DXMATRIX : public D3DMATRIX {
  D3DXMATRIX() = default;
  explicit D3DXMATRIX(const float* p);
  D3DXMATRIX(const D3DMATRIX& mat) : D3DMATRIX(mat) {}
  D3DXMATRIX(float f11, float f12, float f13, float f14,
             float f21, float f22, float f23, float f24,
             float f31, float f32, float f33, float f34,
             float f41, float f42, float f43, float f44);

  float& operator()(UINT row, UINT col) { return m[row][col]; }
  float operator()(UINT row, UINT col) const { return m[row][col]; }

  operator float*() { return &_11; }
  operator const float*() const { return &_11; }

  D3DXMATRIX& operator*=(const D3DXMATRIX& mat);
  D3DXMATRIX& operator+=(const D3DXMATRIX& mat);
  D3DXMATRIX& operator-=(const D3DXMATRIX& mat);
  D3DXMATRIX& operator*=(float f);
  D3DXMATRIX& operator/=(float f);

  D3DXMATRIX operator+() const { return *this; }
  D3DXMATRIX operator-() const;
  D3DXMATRIX operator*(const D3DXMATRIX& mat) const;
  D3DXMATRIX operator+(const D3DXMATRIX& mat) const;
  D3DXMATRIX operator-(const D3DXMATRIX& mat) const;
  D3DXMATRIX operator*(float f) const;
  D3DXMATRIX operator/(float f) const;
  friend D3DXMATRIX operator*(float f, const D3DXMATRIX& mat) { return mat * f; }

  bool operator==(const D3DXMATRIX& mat) const;
  bool operator!=(const D3DXMATRIX& mat) const { return !(*this == mat); }
};

struct D3DXQUATERNION {
  D3DXQUATERNION() = default;
  explicit D3DXQUATERNION(const float* p) : x(p[0]), y(p[1]), z(p[2]), w(p[3]) {}
  D3DXQUATERNION(float fx, float fy, float fz, float fw) : x(fx), y(fy), z(fz), w(fw) {}

  operator float*() { return &x; }
  operator const float*() const { return &x; }

  D3DXQUATERNION& operator+=(const D3DXQUATERNION& q) { x += q.x; y += q.y; z += q.z; w += q.w; return *this; }
  D3DXQUATERNION& operator-=(const D3DXQUATERNION& q) { x -= q.x; y -= q.y; z -= q.z; w -= q.w; return *this; }
  D3DXQUATERNION& operator*=(const D3DXQUATERNION& q);  // this, then q
  D3DXQUATERNION& operator*=(float f) { x *= f; y *= f; z *= f; w *= f; return *this; }
  D3DXQUATERNION& operator/=(float f) { float r = 1.0f / f; x *= r; y *= r; z *= r; w *= r; return *this; }

  D3DXQUATERNION operator+() const { return *this; }
  D3DXQUATERNION operator-() const { return D3DXQUATERNION(-x, -y, -z, -w); }
  D3DXQUATERNION operator+(const D3DXQUATERNION& q) const { return D3DXQUATERNION(x + q.x, y + q.y, z + q.z, w + q.w); }
  D3DXQUATERNION operator-(const D3DXQUATERNION& q) const { return D3DXQUATERNION(x - q.x, y - q.y, z - q.z, w - q.w); }
  D3DXQUATERNION operator*(const D3DXQUATERNION& q) const;  // this, then q
  D3DXQUATERNION operator*(float f) const { return D3DXQUATERNION(x * f, y * f, z * f, w * f); }
  D3DXQUATERNION operator/(float f) const { float r = 1.0f / f; return D3DXQUATERNION(x * r, y * r, z * r, w * r); }
  friend D3DXQUATERNION operator*(float f, const D3DXQUATERNION& q) { return q * f; }

  bool operator==(const D3DXQUATERNION& q) const { return x == q.x && y == q.y && z == q.z && w == q.w; }
  bool operator!=(const D3DXQUATERNION& q) const { return !(*this == q); }

  float x, y, z, w;
};

// Plane a*x + b*y + c*z + d = 0; (a, b, c) is the normal.
struct D3DXPLANE {
  D3DXPLANE() = default;
  explicit D3DXPLANE(const float* p) : a(p[0]), b(p[1]), c(p[2]), d(p[3]) {}
  D3DXPLANE(float fa, float fb, float fc, float fd) : a(fa), b(fb), c(fc), d(fd) {}

  operator float*() { return &a; }
  operator const float*() const { return &a; }

  D3DXPLANE& operator*=(float f) { a *= f; b *= f; c *= f; d *= f; return *this; }
  D3DXPLANE& operator/=(float f) { float r = 1.0f / f; a *= r; b *= r; c *= r; d *= r; return *this; }

  D3DXPLANE operator+() const { return *this; }
  D3DXPLANE operator-() const { return D3DXPLANE(-a, -b, -c, -d); }
  D3DXPLANE operator*(float f) const { return D3DXPLANE(a * f, b * f, c * f, d * f); }
  D3DXPLANE operator/(float f) const { float r = 1.0f / f; return D3DXPLANE(a * r, b * r, c * r, d * r); }
  friend D3DXPLANE operator*(float f, const D3DXPLANE& p) { return p * f; }

  bool operator==(const D3DXPLANE& p) const { return a == p.a && b == p.b && c == p.c && d == p.d; }
  bool operator!=(const D3DXPLANE& p) const { return !(*this == p); }

  float a, b, c, d;
};

// Colour with float channels; converts to and from A8R8G8B8.
struct D3DXCOLOR : public D3DCOLORVALUE {
  D3DXCOLOR() = default;
  D3DXCOLOR(DWORD argb);
  explicit D3DXCOLOR(const float* p) : D3DCOLORVALUE{p[0], p[1], p[2], p[3]} {}
  D3DXCOLOR(const D3DCOLORVALUE& c) : D3DCOLORVALUE(c) {}
  D3DXCOLOR(float fr, float fg, float fb, float fa) : D3DCOLORVALUE{fr, fg, fb, fa} {}

  // Each channel clamped to [0, 1] and rounded to 8 bits.
  operator DWORD() const;
  operator float*() { return &r; }
  operator const float*() const { return &r; }

  D3DXCOLOR& operator+=(const D3DXCOLOR& c) { r += c.r; g += c.g; b += c.b; a += c.a; return *this; }
  D3DXCOLOR& operator-=(const D3DXCOLOR& c) { r -= c.r; g -= c.g; b -= c.b; a -= c.a; return *this; }
  D3DXCOLOR& operator*=(float f) { r *= f; g *= f; b *= f; a *= f; return *this; }
  D3DXCOLOR& operator/=(float f) { float s = 1.0f / f; r *= s; g *= s; b *= s; a *= s; return *this; }

  D3DXCOLOR operator+() const { return *this; }
  D3DXCOLOR operator-() const { return D3DXCOLOR(-r, -g, -b, -a); }
  D3DXCOLOR operator+(const D3DXCOLOR& c) const { return D3DXCOLOR(r + c.r, g + c.g, b + c.b, a + c.a); }
  D3DXCOLOR operator-(const D3DXCOLOR& c) const { return D3DXCOLOR(r - c.r, g - c.g, b - c.b, a - c.a); }
  D3DXCOLOR operator*(float f) const { return D3DXCOLOR(r * f, g * f, b * f, a * f); }
  D3DXCOLOR operator/(float f) const { float s = 1.0f / f; return D3DXCOLOR(r * s, g * s, b * s, a * s); }
  friend D3DXCOLOR operator*(float f, const D3DXCOLOR& c) { return c * f; }

  bool operator==(const D3DXCOLOR& c) const { return r == c.r && g == c.g && b == c.b && a == c.a; }
  bool operator!=(const D3DXCOLOR& c) const { return !(*this == c); }
};

static_assert(sizeof(D3DXVECTOR2) == 8, "D3DXVECTOR2 is 8 bytes");
static_assert(sizeof(D3DXVECTOR3) == 12, "D3DXVECTOR3 is 12 bytes");
static_assert(sizeof(D3DXVECTOR4) == 16, "D3DXVECTOR4 is 16 bytes");
static_assert(sizeof(D3DXMATRIX) == 64, "D3DXMATRIX is 64 bytes");
static_assert(sizeof(D3DXQUATERNION) == 16, "D3DXQUATERNION is 16 bytes");
static_assert(sizeof(D3DXPLANE) == 16, "D3DXPLANE is 16 bytes");
static_assert(sizeof(D3DXCOLOR) == 16, "D3DXCOLOR is 16 bytes");
static_assert(sizeof(D3DVIEWPORT9) == 24, "D3DVIEWPORT9 is 24 bytes");
static_assert(std::is_standard_layout<D3DXVECTOR3>::value && std::is_trivially_copyable<D3DXVECTOR3>::value,
              "D3DXVECTOR3 is a plain record");
static_assert(std::is_standard_layout<D3DXMATRIX>::value && std::is_trivially_copyable<D3DXMATRIX>::value,
              "D3DXMATRIX is a plain record");
static_assert(std::is_standard_layout<D3DXQUATERNION>::value && std::is_trivially_copyable<D3DXQUATERNION>::value,
              "D3DXQUATERNION is a plain record");
static_assert(std::is_standard_layout<D3DXVECTOR2>::value && std::is_standard_layout<D3DXVECTOR4>::value &&
                  std::is_standard_layout<D3DXPLANE>::value && std::is_standard_layout<D3DXCOLOR>::value,
              "math records are plain");
static_assert(offsetof(D3DMATRIX, _41) == 48, "translation row starts at byte 48");

// ---- 2D vectors ----
float D3DXVec2Length(const D3DXVECTOR2* pV);
float D3DXVec2Dot(const D3DXVECTOR2* pV1, const D3DXVECTOR2* pV2);
// A zero vector stays zero.
D3DXVECTOR2* D3DXVec2Normalize(D3DXVECTOR2* pOut, const D3DXVECTOR2* pV);

// ---- 3D vectors ----
float D3DXVec3Length(const D3DXVECTOR3* pV);
float D3DXVec3LengthSq(const D3DXVECTOR3* pV);
float D3DXVec3Dot(const D3DXVECTOR3* pV1, const D3DXVECTOR3* pV2);
D3DXVECTOR3* D3DXVec3Cross(D3DXVECTOR3* pOut, const D3DXVECTOR3* pV1, const D3DXVECTOR3* pV2);
D3DXVECTOR3* D3DXVec3Add(D3DXVECTOR3* pOut, const D3DXVECTOR3* pV1, const D3DXVECTOR3* pV2);
D3DXVECTOR3* D3DXVec3Subtract(D3DXVECTOR3* pOut, const D3DXVECTOR3* pV1, const D3DXVECTOR3* pV2);
D3DXVECTOR3* D3DXVec3Scale(D3DXVECTOR3* pOut, const D3DXVECTOR3* pV, float s);
// Per-component minimum / maximum (bounding boxes).
D3DXVECTOR3* D3DXVec3Minimize(D3DXVECTOR3* pOut, const D3DXVECTOR3* pV1, const D3DXVECTOR3* pV2);
D3DXVECTOR3* D3DXVec3Maximize(D3DXVECTOR3* pOut, const D3DXVECTOR3* pV1, const D3DXVECTOR3* pV2);
// A zero vector stays zero.
D3DXVECTOR3* D3DXVec3Normalize(D3DXVECTOR3* pOut, const D3DXVECTOR3* pV);
// pV1 + s * (pV2 - pV1)
D3DXVECTOR3* D3DXVec3Lerp(D3DXVECTOR3* pOut, const D3DXVECTOR3* pV1, const D3DXVECTOR3* pV2, float s);
// (x, y, z, 1) * M, then divided by the resulting w.
D3DXVECTOR3* D3DXVec3TransformCoord(D3DXVECTOR3* pOut, const D3DXVECTOR3* pV, const D3DXMATRIX* pM);
// (x, y, z, 0) * M: directions, no translation.
D3DXVECTOR3* D3DXVec3TransformNormal(D3DXVECTOR3* pOut, const D3DXVECTOR3* pV, const D3DXMATRIX* pM);
// (x, y, z, 1) * M, keeping w.
D3DXVECTOR4* D3DXVec3Transform(D3DXVECTOR4* pOut, const D3DXVECTOR3* pV, const D3DXMATRIX* pM);
// Object space -> screen: world, view, projection, divide by w, then the
// viewport (y down, depth into [MinZ, MaxZ]). A null matrix counts as the
// identity; a null viewport leaves normalised device coordinates.
D3DXVECTOR3* D3DXVec3Project(D3DXVECTOR3* pOut, const D3DXVECTOR3* pV, const D3DVIEWPORT9* pViewport,
                             const D3DXMATRIX* pProjection, const D3DXMATRIX* pView, const D3DXMATRIX* pWorld);

// ---- 4D vectors ----
D3DXVECTOR4* D3DXVec4Transform(D3DXVECTOR4* pOut, const D3DXVECTOR4* pV, const D3DXMATRIX* pM);

// ---- Matrices ----
D3DXMATRIX* D3DXMatrixIdentity(D3DXMATRIX* pOut);
// pM1 * pM2 (pM1 applied first); pOut may alias either operand.
D3DXMATRIX* D3DXMatrixMultiply(D3DXMATRIX* pOut, const D3DXMATRIX* pM1, const D3DXMATRIX* pM2);
D3DXMATRIX* D3DXMatrixTranspose(D3DXMATRIX* pOut, const D3DXMATRIX* pM);
float D3DXMatrixDeterminant(const D3DXMATRIX* pM);
// Writes the determinant when pDeterminant is given; returns NULL and leaves
// pOut untouched when the matrix is singular.
D3DXMATRIX* D3DXMatrixInverse(D3DXMATRIX* pOut, float* pDeterminant, const D3DXMATRIX* pM);
D3DXMATRIX* D3DXMatrixTranslation(D3DXMATRIX* pOut, float x, float y, float z);
D3DXMATRIX* D3DXMatrixScaling(D3DXMATRIX* pOut, float sx, float sy, float sz);
D3DXMATRIX* D3DXMatrixRotationX(D3DXMATRIX* pOut, float angle);
D3DXMATRIX* D3DXMatrixRotationY(D3DXMATRIX* pOut, float angle);
D3DXMATRIX* D3DXMatrixRotationZ(D3DXMATRIX* pOut, float angle);
// The axis need not be normalised.
D3DXMATRIX* D3DXMatrixRotationAxis(D3DXMATRIX* pOut, const D3DXVECTOR3* pV, float angle);
D3DXMATRIX* D3DXMatrixRotationQuaternion(D3DXMATRIX* pOut, const D3DXQUATERNION* pQ);
// Roll about z first, then pitch about x, then yaw about y.
D3DXMATRIX* D3DXMatrixRotationYawPitchRoll(D3DXMATRIX* pOut, float yaw, float pitch, float roll);
D3DXMATRIX* D3DXMatrixLookAtLH(D3DXMATRIX* pOut, const D3DXVECTOR3* pEye, const D3DXVECTOR3* pAt,
                               const D3DXVECTOR3* pUp);
D3DXMATRIX* D3DXMatrixPerspectiveFovLH(D3DXMATRIX* pOut, float fovy, float aspect, float zn, float zf);
D3DXMATRIX* D3DXMatrixPerspectiveLH(D3DXMATRIX* pOut, float w, float h, float zn, float zf);
D3DXMATRIX* D3DXMatrixOrthoLH(D3DXMATRIX* pOut, float w, float h, float zn, float zf);
D3DXMATRIX* D3DXMatrixOrthoOffCenterLH(D3DXMATRIX* pOut, float l, float r, float b, float t, float zn,
                                       float zf);

// ---- Quaternions ----
D3DXQUATERNION* D3DXQuaternionIdentity(D3DXQUATERNION* pOut);
float D3DXQuaternionLength(const D3DXQUATERNION* pQ);
float D3DXQuaternionDot(const D3DXQUATERNION* pQ1, const D3DXQUATERNION* pQ2);
// A zero quaternion stays zero.
D3DXQUATERNION* D3DXQuaternionNormalize(D3DXQUATERNION* pOut, const D3DXQUATERNION* pQ);
// Rotation pQ1 followed by rotation pQ2; pOut may alias either operand.
D3DXQUATERNION* D3DXQuaternionMultiply(D3DXQUATERNION* pOut, const D3DXQUATERNION* pQ1,
                                       const D3DXQUATERNION* pQ2);
// The axis need not be normalised.
D3DXQUATERNION* D3DXQuaternionRotationAxis(D3DXQUATERNION* pOut, const D3DXVECTOR3* pV, float angle);
// Rotation part of a row-vector matrix: trace-based, falling back to the
// largest diagonal element when the trace is not positive.
D3DXQUATERNION* D3DXQuaternionRotationMatrix(D3DXQUATERNION* pOut, const D3DXMATRIX* pM);
// Spherical interpolation from pQ1 (t = 0) to pQ2 (t = 1) along the shorter
// arc: pQ2 is negated when the two lie in opposite hemispheres.
D3DXQUATERNION* D3DXQuaternionSlerp(D3DXQUATERNION* pOut, const D3DXQUATERNION* pQ1, const D3DXQUATERNION* pQ2,
                                    float t);

// ---- Planes ----
float D3DXPlaneDotCoord(const D3DXPLANE* pP, const D3DXVECTOR3* pV);   // a x + b y + c z + d
float D3DXPlaneDotNormal(const D3DXPLANE* pP, const D3DXVECTOR3* pV);  // a x + b y + c z
// Normal as given (not normalised), d = -dot(point, normal).
D3DXPLANE* D3DXPlaneFromPointNormal(D3DXPLANE* pOut, const D3DXVECTOR3* pPoint, const D3DXVECTOR3* pNormal);
// Normal = normalize(cross(pV2 - pV1, pV3 - pV1)).
D3DXPLANE* D3DXPlaneFromPoints(D3DXPLANE* pOut, const D3DXVECTOR3* pV1, const D3DXVECTOR3* pV2,
                               const D3DXVECTOR3* pV3);
// Scales the plane so its normal has unit length; a zero normal gives a zero plane.
D3DXPLANE* D3DXPlaneNormalize(D3DXPLANE* pOut, const D3DXPLANE* pP);
// Intersection of the plane with the infinite line through pV1 and pV2;
// NULL when the line is parallel to the plane.
D3DXVECTOR3* D3DXPlaneIntersectLine(D3DXVECTOR3* pOut, const D3DXPLANE* pP, const D3DXVECTOR3* pV1,
                                    const D3DXVECTOR3* pV2);

inline D3DXQUATERNION& D3DXQUATERNION::operator*=(const D3DXQUATERNION& q) {
  D3DXQuaternionMultiply(this, this, &q);
  return *this;
}

inline D3DXQUATERNION D3DXQUATERNION::operator*(const D3DXQUATERNION& q) const {
  D3DXQUATERNION out;
  D3DXQuaternionMultiply(&out, this, &q);
  return out;
}
