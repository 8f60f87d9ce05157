// mathkit: the small matrix builders and scalar helpers shared by the game
// and the engine library.
//
// Matrices follow the Direct3D row-vector convention (translation in the
// fourth row, A * B applies A first). Every builder fills the whole matrix it
// is given and returns the same pointer, so results nest straight into
// products: *Scaling(&s, 2.0f) * *TranslationV(&t, x, y, z).
//
// Everything lives in namespace mathkit. All functions except round are also
// brought into the global namespace below, so call sites read MatrixIdentity(&m)
// or sgn(x). round stays qualified - mathkit::round(x) - because a global
// int round(float) would collide with the C library's round.
#pragma once

#include "platform/d3dx9math.h"

// The eight corners of an axis-aligned box, in the order the track stores them:
// (min x, min y, max z), (max x, min y, max z), (min x, min y, min z),
// (max x, min y, min z), then the same four with max y. corner[2] is therefore
// the minimum and corner[5] the maximum corner.
struct _BOXCORNERS {
  D3DXVECTOR3 corner[8];
};
static_assert(sizeof(_BOXCORNERS) == 96, "_BOXCORNERS is 96 bytes");

namespace mathkit {

D3DXMATRIX* MatrixIdentity(D3DXMATRIX* out);
D3DXMATRIX* TranslationV(D3DXMATRIX* out, float x, float y, float z);
// Same matrices as D3DXMatrixRotationX/Y/Z.
D3DXMATRIX* RotationX(D3DXMATRIX* out, float angle);
D3DXMATRIX* RotationY(D3DXMATRIX* out, float angle);
D3DXMATRIX* RotationZ(D3DXMATRIX* out, float angle);
D3DXMATRIX* Scaling(D3DXMATRIX* out, float s);
D3DXMATRIX* ScalingEx(D3DXMATRIX* out, float sx, float sy, float sz);

// Appended after a view and a projection: clip x, y in [-1, 1] become texture
// coordinates of a size x size texture, (-1, 1) -> (0, 0) top left and
// (1, -1) -> (1, 1), exactly: what the device drew at a clip position is read
// back from there, so no texel offset depends on the size; clip z in [0, 1]
// becomes [0, 2^depthBits - 1].
D3DXMATRIX* GetAdjustMtx(D3DXMATRIX* out, int size, int depthBits);

// Nearest integer, halves away from zero; NaN gives 0 and values beyond the
// int range saturate.
int round(float v);

// -1.0f, 0.0f or +1.0f; zero (either sign) and NaN give 0.0f.
float sgn(float v);

// Nonzero when p lies inside the box in x and z (y is ignored), boundary
// included.
int IsPointInBBox2D(const D3DXVECTOR3* p, const _BOXCORNERS* box);

// Signed angle from a to b in [-pi, pi], counter-clockwise positive in the
// usual mathematical sense: atan2(cross(a, b), dot(a, b)). Swapping the
// arguments negates it. Quiet NaN when either vector has zero length.
float GetVec2ToVec2Angle(D3DXVECTOR2 a, D3DXVECTOR2 b);

}  // namespace mathkit

using mathkit::MatrixIdentity;
using mathkit::TranslationV;
using mathkit::RotationX;
using mathkit::RotationY;
using mathkit::RotationZ;
using mathkit::Scaling;
using mathkit::ScalingEx;
using mathkit::GetAdjustMtx;
using mathkit::sgn;
using mathkit::IsPointInBBox2D;
using mathkit::GetVec2ToVec2Angle;
