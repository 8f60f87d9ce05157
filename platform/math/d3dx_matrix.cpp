// Matrix builders and operations with the D3DX names (row-vector convention).
#include <cmath>

#include "platform/d3dx9math.h"

D3DXMATRIX* D3DXMatrixIdentity(D3DXMATRIX* pOut) {
  *pOut = D3DXMATRIX(1.0f, 0.0f, 0.0f, 0.0f,
                     0.0f, 1.0f, 0.0f, 0.0f,
                     0.0f, 0.0f, 1.0f, 0.0f,
                     0.0f, 0.0f, 0.0f, 1.0f);
  return pOut;
}

D3DXMATRIX* D3DXMatrixMultiply(D3DXMATRIX* pOut, const D3DXMATRIX* pM1, const D3DXMATRIX* pM2) {
  D3DXMATRIX t;
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c) {
      t.m[r][c] = pM1->m[r][0] * pM2->m[0][c] + pM1->m[r][1] * pM2->m[1][c] +
                  pM1->m[r][2] * pM2->m[2][c] + pM1->m[r][3] * pM2->m[3][c];
    }
  }
  *pOut = t;
  return pOut;
}

D3DXMATRIX* D3DXMatrixTranspose(D3DXMATRIX* pOut, const D3DXMATRIX* pM) {
  D3DXMATRIX t;
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) t.m[r][c] = pM->m[c][r];
  *pOut = t;
  return pOut;
}

namespace {

// Cofactor matrix (not yet transposed) and determinant, in double so that
// well-conditioned single-precision inputs invert to the last bit or two.
double Cofactors(const D3DXMATRIX& a, double cof[4][4]) {
  double m[4][4];
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) m[r][c] = a.m[r][c];

  // 2x2 minors of the lower two rows and of the upper two rows.
  const double l01 = m[2][0] * m[3][1] - m[2][1] * m[3][0];
  const double l02 = m[2][0] * m[3][2] - m[2][2] * m[3][0];
  const double l03 = m[2][0] * m[3][3] - m[2][3] * m[3][0];
  const double l12 = m[2][1] * m[3][2] - m[2][2] * m[3][1];
  const double l13 = m[2][1] * m[3][3] - m[2][3] * m[3][1];
  const double l23 = m[2][2] * m[3][3] - m[2][3] * m[3][2];
  const double u01 = m[0][0] * m[1][1] - m[0][1] * m[1][0];
  const double u02 = m[0][0] * m[1][2] - m[0][2] * m[1][0];
  const double u03 = m[0][0] * m[1][3] - m[0][3] * m[1][0];
  const double u12 = m[0][1] * m[1][2] - m[0][2] * m[1][1];
  const double u13 = m[0][1] * m[1][3] - m[0][3] * m[1][1];
  const double u23 = m[0][2] * m[1][3] - m[0][3] * m[1][2];

  cof[0][0] = m[1][1] * l23 - m[1][2] * l13 + m[1][3] * l12;
  cof[0][1] = -(m[1][0] * l23 - m[1][2] * l03 + m[1][3] * l02);
  cof[0][2] = m[1][0] * l13 - m[1][1] * l03 + m[1][3] * l01;
  cof[0][3] = -(m[1][0] * l12 - m[1][1] * l02 + m[1][2] * l01);
  cof[1][0] = -(m[0][1] * l23 - m[0][2] * l13 + m[0][3] * l12);
  cof[1][1] = m[0][0] * l23 - m[0][2] * l03 + m[0][3] * l02;
  cof[1][2] = -(m[0][0] * l13 - m[0][1] * l03 + m[0][3] * l01);
  cof[1][3] = m[0][0] * l12 - m[0][1] * l02 + m[0][2] * l01;
  cof[2][0] = m[3][1] * u23 - m[3][2] * u13 + m[3][3] * u12;
  cof[2][1] = -(m[3][0] * u23 - m[3][2] * u03 + m[3][3] * u02);
  cof[2][2] = m[3][0] * u13 - m[3][1] * u03 + m[3][3] * u01;
  cof[2][3] = -(m[3][0] * u12 - m[3][1] * u02 + m[3][2] * u01);
  cof[3][0] = -(m[2][1] * u23 - m[2][2] * u13 + m[2][3] * u12);
  cof[3][1] = m[2][0] * u23 - m[2][2] * u03 + m[2][3] * u02;
  cof[3][2] = -(m[2][0] * u13 - m[2][1] * u03 + m[2][3] * u01);
  cof[3][3] = m[2][0] * u12 - m[2][1] * u02 + m[2][2] * u01;

  return m[0][0] * cof[0][0] + m[0][1] * cof[0][1] + m[0][2] * cof[0][2] + m[0][3] * cof[0][3];
}

}  // namespace

float D3DXMatrixDeterminant(const D3DXMATRIX* pM) {
  double cof[4][4];
  return static_cast<float>(Cofactors(*pM, cof));
}

D3DXMATRIX* D3DXMatrixInverse(D3DXMATRIX* pOut, float* pDeterminant, const D3DXMATRIX* pM) {
  double cof[4][4];
  const double det = Cofactors(*pM, cof);
  if (pDeterminant) *pDeterminant = static_cast<float>(det);
  if (det == 0.0 || !std::isfinite(det)) return nullptr;
  const double inv = 1.0 / det;
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) pOut->m[r][c] = static_cast<float>(cof[c][r] * inv);
  return pOut;
}

D3DXMATRIX* D3DXMatrixTranslation(D3DXMATRIX* pOut, float x, float y, float z) {
  D3DXMatrixIdentity(pOut);
  pOut->_41 = x;
  pOut->_42 = y;
  pOut->_43 = z;
  return pOut;
}

D3DXMATRIX* D3DXMatrixScaling(D3DXMATRIX* pOut, float sx, float sy, float sz) {
  D3DXMatrixIdentity(pOut);
  pOut->_11 = sx;
  pOut->_22 = sy;
  pOut->_33 = sz;
  return pOut;
}

D3DXMATRIX* D3DXMatrixRotationX(D3DXMATRIX* pOut, float angle) {
  const float c = std::cos(angle), s = std::sin(angle);
  *pOut = D3DXMATRIX(1.0f, 0.0f, 0.0f, 0.0f,
                     0.0f, c, s, 0.0f,
                     0.0f, -s, c, 0.0f,
                     0.0f, 0.0f, 0.0f, 1.0f);
  return pOut;
}

D3DXMATRIX* D3DXMatrixRotationY(D3DXMATRIX* pOut, float angle) {
  const float c = std::cos(angle), s = std::sin(angle);
  *pOut = D3DXMATRIX(c, 0.0f, -s, 0.0f,
                     0.0f, 1.0f, 0.0f, 0.0f,
                     s, 0.0f, c, 0.0f,
                     0.0f, 0.0f, 0.0f, 1.0f);
  return pOut;
}

D3DXMATRIX* D3DXMatrixRotationZ(D3DXMATRIX* pOut, float angle) {
  const float c = std::cos(angle), s = std::sin(angle);
  *pOut = D3DXMATRIX(c, s, 0.0f, 0.0f,
                     -s, c, 0.0f, 0.0f,
                     0.0f, 0.0f, 1.0f, 0.0f,
                     0.0f, 0.0f, 0.0f, 1.0f);
  return pOut;
}

D3DXMATRIX* D3DXMatrixRotationAxis(D3DXMATRIX* pOut, const D3DXVECTOR3* pV, float angle) {
  D3DXVECTOR3 n;
  D3DXVec3Normalize(&n, pV);
  const float c = std::cos(angle), s = std::sin(angle), t = 1.0f - c;
  *pOut = D3DXMATRIX(t * n.x * n.x + c, t * n.x * n.y + s * n.z, t * n.x * n.z - s * n.y, 0.0f,
                     t * n.x * n.y - s * n.z, t * n.y * n.y + c, t * n.y * n.z + s * n.x, 0.0f,
                     t * n.x * n.z + s * n.y, t * n.y * n.z - s * n.x, t * n.z * n.z + c, 0.0f,
                     0.0f, 0.0f, 0.0f, 1.0f);
  return pOut;
}

D3DXMATRIX* D3DXMatrixRotationQuaternion(D3DXMATRIX* pOut, const D3DXQUATERNION* pQ) {
  const float x = pQ->x, y = pQ->y, z = pQ->z, w = pQ->w;
  *pOut = D3DXMATRIX(1.0f - 2.0f * (y * y + z * z), 2.0f * (x * y + z * w), 2.0f * (x * z - y * w), 0.0f,
                     2.0f * (x * y - z * w), 1.0f - 2.0f * (x * x + z * z), 2.0f * (y * z + x * w), 0.0f,
                     2.0f * (x * z + y * w), 2.0f * (y * z - x * w), 1.0f - 2.0f * (x * x + y * y), 0.0f,
                     0.0f, 0.0f, 0.0f, 1.0f);
  return pOut;
}

D3DXMATRIX* D3DXMatrixRotationYawPitchRoll(D3DXMATRIX* pOut, float yaw, float pitch, float roll) {
  D3DXMATRIX r, p, y;
  D3DXMatrixRotationZ(&r, roll);
  D3DXMatrixRotationX(&p, pitch);
  D3DXMatrixRotationY(&y, yaw);
  D3DXMatrixMultiply(pOut, &r, &p);
  return D3DXMatrixMultiply(pOut, pOut, &y);
}

D3DXMATRIX* D3DXMatrixLookAtLH(D3DXMATRIX* pOut, const D3DXVECTOR3* pEye, const D3DXVECTOR3* pAt,
                               const D3DXVECTOR3* pUp) {
  D3DXVECTOR3 zaxis = *pAt - *pEye;
  D3DXVec3Normalize(&zaxis, &zaxis);
  D3DXVECTOR3 xaxis;
  D3DXVec3Cross(&xaxis, pUp, &zaxis);
  D3DXVec3Normalize(&xaxis, &xaxis);
  D3DXVECTOR3 yaxis;
  D3DXVec3Cross(&yaxis, &zaxis, &xaxis);
  *pOut = D3DXMATRIX(xaxis.x, yaxis.x, zaxis.x, 0.0f,
                     xaxis.y, yaxis.y, zaxis.y, 0.0f,
                     xaxis.z, yaxis.z, zaxis.z, 0.0f,
                     -D3DXVec3Dot(&xaxis, pEye), -D3DXVec3Dot(&yaxis, pEye), -D3DXVec3Dot(&zaxis, pEye), 1.0f);
  return pOut;
}

D3DXMATRIX* D3DXMatrixPerspectiveFovLH(D3DXMATRIX* pOut, float fovy, float aspect, float zn, float zf) {
  const float yScale = 1.0f / std::tan(fovy * 0.5f);
  const float xScale = yScale / aspect;
  const float q = zf / (zf - zn);
  *pOut = D3DXMATRIX(xScale, 0.0f, 0.0f, 0.0f,
                     0.0f, yScale, 0.0f, 0.0f,
                     0.0f, 0.0f, q, 1.0f,
                     0.0f, 0.0f, -zn * q, 0.0f);
  return pOut;
}

D3DXMATRIX* D3DXMatrixPerspectiveLH(D3DXMATRIX* pOut, float w, float h, float zn, float zf) {
  const float q = zf / (zf - zn);
  *pOut = D3DXMATRIX(2.0f * zn / w, 0.0f, 0.0f, 0.0f,
                     0.0f, 2.0f * zn / h, 0.0f, 0.0f,
                     0.0f, 0.0f, q, 1.0f,
                     0.0f, 0.0f, -zn * q, 0.0f);
  return pOut;
}

D3DXMATRIX* D3DXMatrixOrthoLH(D3DXMATRIX* pOut, float w, float h, float zn, float zf) {
  *pOut = D3DXMATRIX(2.0f / w, 0.0f, 0.0f, 0.0f,
                     0.0f, 2.0f / h, 0.0f, 0.0f,
                     0.0f, 0.0f, 1.0f / (zf - zn), 0.0f,
                     0.0f, 0.0f, zn / (zn - zf), 1.0f);
  return pOut;
}

D3DXMATRIX* D3DXMatrixOrthoOffCenterLH(D3DXMATRIX* pOut, float l, float r, float b, float t, float zn,
                                       float zf) {
  *pOut = D3DXMATRIX(2.0f / (r - l), 0.0f, 0.0f, 0.0f,
                     0.0f, 2.0f / (t - b), 0.0f, 0.0f,
                     0.0f, 0.0f, 1.0f / (zf - zn), 0.0f,
                     (l + r) / (l - r), (t + b) / (b - t), zn / (zn - zf), 1.0f);
  return pOut;
}
