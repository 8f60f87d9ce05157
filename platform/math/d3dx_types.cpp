// Member operators of the D3DX records that are too long to sit in the header.
#include "platform/d3dx9math.h"

D3DXMATRIX::D3DXMATRIX(const float* p) {
  for (int i = 0; i < 16; ++i) (&_11)[i] = p[i];
}

D3DXMATRIX::D3DXMATRIX(float f11, float f12, float f13, float f14,
                       float f21, float f22, float f23, float f24,
                       float f31, float f32, float f33, float f34,
                       float f41, float f42, float f43, float f44) {
  _11 = f11; _12 = f12; _13 = f13; _14 = f14;
  _21 = f21; _22 = f22; _23 = f23; _24 = f24;
  _31 = f31; _32 = f32; _33 = f33; _34 = f34;
  _41 = f41; _42 = f42; _43 = f43; _44 = f44;
}

D3DXMATRIX& D3DXMATRIX::operator*=(const D3DXMATRIX& mat) {
  D3DXMatrixMultiply(this, this, &mat);
  return *this;
}

D3DXMATRIX& D3DXMATRIX::operator+=(const D3DXMATRIX& mat) {
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) m[r][c] += mat.m[r][c];
  return *this;
}

D3DXMATRIX& D3DXMATRIX::operator-=(const D3DXMATRIX& mat) {
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) m[r][c] -= mat.m[r][c];
  return *this;
}

D3DXMATRIX& D3DXMATRIX::operator*=(float f) {
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) m[r][c] *= f;
  return *this;
}

D3DXMATRIX& D3DXMATRIX::operator/=(float f) { return *this *= 1.0f / f; }

D3DXMATRIX D3DXMATRIX::operator-() const { return *this * -1.0f; }

D3DXMATRIX D3DXMATRIX::operator*(const D3DXMATRIX& mat) const {
  D3DXMATRIX out;
  D3DXMatrixMultiply(&out, this, &mat);
  return out;
}

D3DXMATRIX D3DXMATRIX::operator+(const D3DXMATRIX& mat) const {
  D3DXMATRIX out = *this;
  return out += mat;
}

D3DXMATRIX D3DXMATRIX::operator-(const D3DXMATRIX& mat) const {
  D3DXMATRIX out = *this;
  return out -= mat;
}

D3DXMATRIX D3DXMATRIX::operator*(float f) const {
  D3DXMATRIX out = *this;
  return out *= f;
}

D3DXMATRIX D3DXMATRIX::operator/(float f) const {
  D3DXMATRIX out = *this;
  return out /= f;
}

bool D3DXMATRIX::operator==(const D3DXMATRIX& mat) const {
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c)
      if (m[r][c] != mat.m[r][c]) return false;
  return true;
}

D3DXCOLOR::D3DXCOLOR(DWORD argb) {
  const float k = 1.0f / 255.0f;
  a = static_cast<float>((argb >> 24) & 0xFF) * k;
  r = static_cast<float>((argb >> 16) & 0xFF) * k;
  g = static_cast<float>((argb >> 8) & 0xFF) * k;
  b = static_cast<float>(argb & 0xFF) * k;
}

static DWORD ColorChannel(float v) {
  if (!(v > 0.0f)) return 0;  // also NaN
  if (v >= 1.0f) return 0xFF;
  return static_cast<DWORD>(v * 255.0f + 0.5f);
}

D3DXCOLOR::operator DWORD() const {
  return (ColorChannel(a) << 24) | (ColorChannel(r) << 16) | (ColorChannel(g) << 8) | ColorChannel(b);
}
