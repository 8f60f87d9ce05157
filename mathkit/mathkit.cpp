#include "mathkit/mathkit.h"

#include <climits>
#include <cmath>
#include <limits>

namespace mathkit {

D3DXMATRIX* MatrixIdentity(D3DXMATRIX* out) { return D3DXMatrixIdentity(out); }

D3DXMATRIX* TranslationV(D3DXMATRIX* out, float x, float y, float z) { return D3DXMatrixTranslation(out, x, y, z); }

D3DXMATRIX* RotationX(D3DXMATRIX* out, float angle) { return D3DXMatrixRotationX(out, angle); }

D3DXMATRIX* RotationY(D3DXMATRIX* out, float angle) { return D3DXMatrixRotationY(out, angle); }

D3DXMATRIX* RotationZ(D3DXMATRIX* out, float angle) { return D3DXMatrixRotationZ(out, angle); }

D3DXMATRIX* Scaling(D3DXMATRIX* out, float s) { return D3DXMatrixScaling(out, s, s, s); }

D3DXMATRIX* ScalingEx(D3DXMATRIX* out, float sx, float sy, float sz) { return D3DXMatrixScaling(out, sx, sy, sz); }

// The texture size does not enter: the drawing device puts pixel centres and
// texel centres both half a step in (it has no Direct3D 9 half-pixel shift),
// so a position drawn into a render target is read back from the same texel
// without a texel offset.
D3DXMATRIX* GetAdjustMtx(D3DXMATRIX* out, int /*size*/, int depthBits) {
  const float offset = 0.5f;
  const float depthScale = static_cast<float>(std::ldexp(1.0, depthBits) - 1.0);
  *out = D3DXMATRIX(0.5f, 0.0f, 0.0f, 0.0f,
                    0.0f, -0.5f, 0.0f, 0.0f,
                    0.0f, 0.0f, depthScale, 0.0f,
                    offset, offset, 0.0f, 1.0f);
  return out;
}

int round(float v) {
  if (std::isnan(v)) return 0;
  const float r = std::round(v);
  // INT_MAX is not representable in float; 2^31 is the first value past it.
  if (r >= 2147483648.0f) return INT_MAX;
  if (r <= -2147483648.0f) return INT_MIN;
  return static_cast<int>(r);
}

float sgn(float v) {
  if (v > 0.0f) return 1.0f;
  if (v < 0.0f) return -1.0f;
  return 0.0f;
}

int IsPointInBBox2D(const D3DXVECTOR3* p, const _BOXCORNERS* box) {
  const D3DXVECTOR3& mn = box->corner[2];
  const D3DXVECTOR3& mx = box->corner[5];
  return p->x >= mn.x && p->x <= mx.x && p->z >= mn.z && p->z <= mx.z;
}

float GetVec2ToVec2Angle(D3DXVECTOR2 a, D3DXVECTOR2 b) {
  if ((a.x == 0.0f && a.y == 0.0f) || (b.x == 0.0f && b.y == 0.0f))
    return std::numeric_limits<float>::quiet_NaN();
  return std::atan2(a.x * b.y - a.y * b.x, a.x * b.x + a.y * b.y);
}

}  // namespace mathkit
