// Vector helpers with the D3DX names.
#include <cmath>

#include "platform/d3dx9math.h"

float D3DXVec2Length(const D3DXVECTOR2* pV) { return std::sqrt(pV->x * pV->x + pV->y * pV->y); }

float D3DXVec2Dot(const D3DXVECTOR2* pV1, const D3DXVECTOR2* pV2) { return pV1->x * pV2->x + pV1->y * pV2->y; }

D3DXVECTOR2* D3DXVec2Normalize(D3DXVECTOR2* pOut, const D3DXVECTOR2* pV) {
  float len = D3DXVec2Length(pV);
  if (len == 0.0f) {
    *pOut = D3DXVECTOR2(0.0f, 0.0f);
  } else {
    *pOut = *pV / len;
  }
  return pOut;
}

float D3DXVec3LengthSq(const D3DXVECTOR3* pV) { return pV->x * pV->x + pV->y * pV->y + pV->z * pV->z; }

float D3DXVec3Length(const D3DXVECTOR3* pV) { return std::sqrt(D3DXVec3LengthSq(pV)); }

float D3DXVec3Dot(const D3DXVECTOR3* pV1, const D3DXVECTOR3* pV2) {
  return pV1->x * pV2->x + pV1->y * pV2->y + pV1->z * pV2->z;
}

D3DXVECTOR3* D3DXVec3Cross(D3DXVECTOR3* pOut, const D3DXVECTOR3* pV1, const D3DXVECTOR3* pV2) {
  D3DXVECTOR3 v(pV1->y * pV2->z - pV1->z * pV2->y,
                pV1->z * pV2->x - pV1->x * pV2->z,
                pV1->x * pV2->y - pV1->y * pV2->x);
  *pOut = v;
  return pOut;
}

D3DXVECTOR3* D3DXVec3Add(D3DXVECTOR3* pOut, const D3DXVECTOR3* pV1, const D3DXVECTOR3* pV2) {
  *pOut = *pV1 + *pV2;
  return pOut;
}

D3DXVECTOR3* D3DXVec3Subtract(D3DXVECTOR3* pOut, const D3DXVECTOR3* pV1, const D3DXVECTOR3* pV2) {
  *pOut = *pV1 - *pV2;
  return pOut;
}

D3DXVECTOR3* D3DXVec3Scale(D3DXVECTOR3* pOut, const D3DXVECTOR3* pV, float s) {
  *pOut = *pV * s;
  return pOut;
}

D3DXVECTOR3* D3DXVec3Minimize(D3DXVECTOR3* pOut, const D3DXVECTOR3* pV1, const D3DXVECTOR3* pV2) {
  *pOut = D3DXVECTOR3(pV1->x < pV2->x ? pV1->x : pV2->x,
                      pV1->y < pV2->y ? pV1->y : pV2->y,
                      pV1->z < pV2->z ? pV1->z : pV2->z);
  return pOut;
}

D3DXVECTOR3* D3DXVec3Maximize(D3DXVECTOR3* pOut, const D3DXVECTOR3* pV1, const D3DXVECTOR3* pV2) {
  *pOut = D3DXVECTOR3(pV1->x > pV2->x ? pV1->x : pV2->x,
                      pV1->y > pV2->y ? pV1->y : pV2->y,
                      pV1->z > pV2->z ? pV1->z : pV2->z);
  return pOut;
}

D3DXVECTOR3* D3DXVec3Normalize(D3DXVECTOR3* pOut, const D3DXVECTOR3* pV) {
  float len = D3DXVec3Length(pV);
  if (len == 0.0f) {
    *pOut = D3DXVECTOR3(0.0f, 0.0f, 0.0f);
  } else {
    *pOut = *pV / len;
  }
  return pOut;
}

D3DXVECTOR3* D3DXVec3Lerp(D3DXVECTOR3* pOut, const D3DXVECTOR3* pV1, const D3DXVECTOR3* pV2, float s) {
  *pOut = *pV1 + s * (*pV2 - *pV1);
  return pOut;
}

D3DXVECTOR4* D3DXVec3Transform(D3DXVECTOR4* pOut, const D3DXVECTOR3* pV, const D3DXMATRIX* pM) {
  const float x = pV->x, y = pV->y, z = pV->z;
  *pOut = D3DXVECTOR4(x * pM->_11 + y * pM->_21 + z * pM->_31 + pM->_41,
                      x * pM->_12 + y * pM->_22 + z * pM->_32 + pM->_42,
                      x * pM->_13 + y * pM->_23 + z * pM->_33 + pM->_43,
                      x * pM->_14 + y * pM->_24 + z * pM->_34 + pM->_44);
  return pOut;
}

D3DXVECTOR3* D3DXVec3TransformCoord(D3DXVECTOR3* pOut, const D3DXVECTOR3* pV, const D3DXMATRIX* pM) {
  D3DXVECTOR4 v;
  D3DXVec3Transform(&v, pV, pM);
  // Like Direct3D, no guard against w = 0: the caller owns the projection.
  const float inv = 1.0f / v.w;
  *pOut = D3DXVECTOR3(v.x * inv, v.y * inv, v.z * inv);
  return pOut;
}

D3DXVECTOR3* D3DXVec3TransformNormal(D3DXVECTOR3* pOut, const D3DXVECTOR3* pV, const D3DXMATRIX* pM) {
  const float x = pV->x, y = pV->y, z = pV->z;
  *pOut = D3DXVECTOR3(x * pM->_11 + y * pM->_21 + z * pM->_31,
                      x * pM->_12 + y * pM->_22 + z * pM->_32,
                      x * pM->_13 + y * pM->_23 + z * pM->_33);
  return pOut;
}

D3DXVECTOR4* D3DXVec4Transform(D3DXVECTOR4* pOut, const D3DXVECTOR4* pV, const D3DXMATRIX* pM) {
  const float x = pV->x, y = pV->y, z = pV->z, w = pV->w;
  *pOut = D3DXVECTOR4(x * pM->_11 + y * pM->_21 + z * pM->_31 + w * pM->_41,
                      x * pM->_12 + y * pM->_22 + z * pM->_32 + w * pM->_42,
                      x * pM->_13 + y * pM->_23 + z * pM->_33 + w * pM->_43,
                      x * pM->_14 + y * pM->_24 + z * pM->_34 + w * pM->_44);
  return pOut;
}

D3DXVECTOR3* D3DXVec3Project(D3DXVECTOR3* pOut, const D3DXVECTOR3* pV, const D3DVIEWPORT9* pViewport,
                             const D3DXMATRIX* pProjection, const D3DXMATRIX* pView, const D3DXMATRIX* pWorld) {
  D3DXMATRIX m;
  D3DXMatrixIdentity(&m);
  if (pWorld) D3DXMatrixMultiply(&m, &m, pWorld);
  if (pView) D3DXMatrixMultiply(&m, &m, pView);
  if (pProjection) D3DXMatrixMultiply(&m, &m, pProjection);
  D3DXVECTOR3 ndc;
  D3DXVec3TransformCoord(&ndc, pV, &m);
  if (pViewport) {
    const float w = static_cast<float>(pViewport->Width);
    const float h = static_cast<float>(pViewport->Height);
    ndc = D3DXVECTOR3(static_cast<float>(pViewport->X) + (1.0f + ndc.x) * 0.5f * w,
                      static_cast<float>(pViewport->Y) + (1.0f - ndc.y) * 0.5f * h,
                      pViewport->MinZ + ndc.z * (pViewport->MaxZ - pViewport->MinZ));
  }
  *pOut = ndc;
  return pOut;
}
