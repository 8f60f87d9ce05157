// Quaternion helpers with the D3DX names. Quaternions are (x, y, z, w) and act
// on row vectors through D3DXMatrixRotationQuaternion.
#include <cmath>

#include "platform/d3dx9math.h"

D3DXQUATERNION* D3DXQuaternionIdentity(D3DXQUATERNION* pOut) {
  *pOut = D3DXQUATERNION(0.0f, 0.0f, 0.0f, 1.0f);
  return pOut;
}

float D3DXQuaternionDot(const D3DXQUATERNION* pQ1, const D3DXQUATERNION* pQ2) {
  return pQ1->x * pQ2->x + pQ1->y * pQ2->y + pQ1->z * pQ2->z + pQ1->w * pQ2->w;
}

float D3DXQuaternionLength(const D3DXQUATERNION* pQ) { return std::sqrt(D3DXQuaternionDot(pQ, pQ)); }

D3DXQUATERNION* D3DXQuaternionNormalize(D3DXQUATERNION* pOut, const D3DXQUATERNION* pQ) {
  const float len = D3DXQuaternionLength(pQ);
  if (len == 0.0f) {
    *pOut = D3DXQUATERNION(0.0f, 0.0f, 0.0f, 0.0f);
  } else {
    *pOut = *pQ / len;
  }
  return pOut;
}

D3DXQUATERNION* D3DXQuaternionMultiply(D3DXQUATERNION* pOut, const D3DXQUATERNION* pQ1,
                                       const D3DXQUATERNION* pQ2) {
  // The Hamilton product q2 q1: with row vectors "q1 then q2" composes this way.
  const D3DXQUATERNION a = *pQ2, b = *pQ1;
  *pOut = D3DXQUATERNION(a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y,
                         a.w * b.y - a.x * b.z + a.y * b.w + a.z * b.x,
                         a.w * b.z + a.x * b.y - a.y * b.x + a.z * b.w,
                         a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z);
  return pOut;
}

D3DXQUATERNION* D3DXQuaternionRotationAxis(D3DXQUATERNION* pOut, const D3DXVECTOR3* pV, float angle) {
  D3DXVECTOR3 n;
  D3DXVec3Normalize(&n, pV);
  const float s = std::sin(angle * 0.5f);
  *pOut = D3DXQUATERNION(n.x * s, n.y * s, n.z * s, std::cos(angle * 0.5f));
  return pOut;
}

D3DXQUATERNION* D3DXQuaternionRotationMatrix(D3DXQUATERNION* pOut, const D3DXMATRIX* pM) {
  const D3DXMATRIX& m = *pM;
  const float trace = m._11 + m._22 + m._33;
  D3DXQUATERNION q;
  if (trace > 0.0f) {
    float s = std::sqrt(trace + 1.0f);
    q.w = 0.5f * s;
    s = 0.5f / s;
    q.x = (m._23 - m._32) * s;
    q.y = (m._31 - m._13) * s;
    q.z = (m._12 - m._21) * s;
  } else {
    // The largest diagonal element keeps the square root well away from zero.
    int i = 0;
    if (m._22 > m._11) i = 1;
    if (m._33 > m.m[i][i]) i = 2;
    if (i == 0) {
      float s = std::sqrt(m._11 - m._22 - m._33 + 1.0f);
      q.x = 0.5f * s;
      s = 0.5f / s;
      q.y = (m._12 + m._21) * s;
      q.z = (m._13 + m._31) * s;
      q.w = (m._23 - m._32) * s;
    } else if (i == 1) {
      float s = std::sqrt(m._22 - m._33 - m._11 + 1.0f);
      q.y = 0.5f * s;
      s = 0.5f / s;
      q.z = (m._23 + m._32) * s;
      q.x = (m._21 + m._12) * s;
      q.w = (m._31 - m._13) * s;
    } else {
      float s = std::sqrt(m._33 - m._11 - m._22 + 1.0f);
      q.z = 0.5f * s;
      s = 0.5f / s;
      q.x = (m._31 + m._13) * s;
      q.y = (m._32 + m._23) * s;
      q.w = (m._12 - m._21) * s;
    }
  }
  *pOut = q;
  return pOut;
}

D3DXQUATERNION* D3DXQuaternionSlerp(D3DXQUATERNION* pOut, const D3DXQUATERNION* pQ1, const D3DXQUATERNION* pQ2,
                                    float t) {
  double cosTheta = D3DXQuaternionDot(pQ1, pQ2);
  double sign = 1.0;
  if (cosTheta < 0.0) {
    cosTheta = -cosTheta;
    sign = -1.0;
  }
  double s1, s2;
  if (1.0 - cosTheta > 1e-6) {
    const double theta = std::acos(cosTheta < 1.0 ? cosTheta : 1.0);
    const double sinTheta = std::sin(theta);
    s1 = std::sin((1.0 - t) * theta) / sinTheta;
    s2 = std::sin(t * theta) / sinTheta;
  } else {
    // Nearly the same rotation: the arc is a straight line to float precision.
    s1 = 1.0 - t;
    s2 = t;
  }
  s2 *= sign;
  const D3DXQUATERNION a = *pQ1, b = *pQ2;
  *pOut = D3DXQUATERNION(static_cast<float>(s1 * a.x + s2 * b.x), static_cast<float>(s1 * a.y + s2 * b.y),
                         static_cast<float>(s1 * a.z + s2 * b.z), static_cast<float>(s1 * a.w + s2 * b.w));
  return pOut;
}
