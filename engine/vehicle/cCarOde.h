// Conversions between the car's Direct3D records and the physics bodies,
// shared by the car's source files.
#pragma once

#include <ode/ode.h>

#include "platform/d3dx9math.h"

inline D3DXVECTOR3 CarVec(const dReal* v) {
  return D3DXVECTOR3(static_cast<float>(v[0]), static_cast<float>(v[1]), static_cast<float>(v[2]));
}

// Body to matrix: the body's rotation (three rows of four) transposed into
// the row-vector convention; fourth row and column those of the identity.
inline D3DXMATRIX CarBodyMatrix(dBodyID b) {
  const dReal* r = dBodyGetRotation(b);
  D3DXMATRIX m(1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f,
               0.0f, 0.0f, 1.0f);
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) m.m[j][i] = static_cast<float>(r[i * 4 + j]);
  return m;
}

// The eight corners of a box in the track's corner order: (mn.x, mn.y, mx.z),
// (mx.x, mn.y, mx.z), (mn.x, mn.y, mn.z), (mx.x, mn.y, mn.z), then the same
// four with mx.y.
inline void CarBoxCorners(D3DXVECTOR3 out[8], const D3DXVECTOR3& mn, const D3DXVECTOR3& mx) {
  for (int top = 0; top < 2; ++top) {
    const float y = top ? mx.y : mn.y;
    out[top * 4 + 0] = D3DXVECTOR3(mn.x, y, mx.z);
    out[top * 4 + 1] = D3DXVECTOR3(mx.x, y, mx.z);
    out[top * 4 + 2] = D3DXVECTOR3(mn.x, y, mn.z);
    out[top * 4 + 3] = D3DXVECTOR3(mx.x, y, mn.z);
  }
}
