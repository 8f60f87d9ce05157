// Height, nearness and crossing queries on the track's road and border
// objects, and the timer gates. Faces are read from the mesh on demand.
#include <cstring>

#include "cGround.h"
#include "cMoObject.h"

namespace {

D3DXVECTOR3 Pos(const _MOVERTEX& v) { return D3DXVECTOR3(v.x, v.y, v.z); }

// ((b - a) x (p1 - a)) . ((b - a) x (p2 - a)) >= 0: p1 and p2 on one side of ab.
bool SameSide(const D3DXVECTOR3& p1, const D3DXVECTOR3& p2, const D3DXVECTOR3& a,
              const D3DXVECTOR3& b) {
  const D3DXVECTOR3 ab = b - a, a1 = p1 - a, a2 = p2 - a;
  D3DXVECTOR3 c1, c2;
  D3DXVec3Cross(&c1, &ab, &a1);
  D3DXVec3Cross(&c2, &ab, &a2);
  return D3DXVec3Dot(&c1, &c2) >= 0.0f;
}

_PLUCKERCOORD Pluecker(const D3DXVECTOR3& a, const D3DXVECTOR3& b) {
  return _PLUCKERCOORD{{a.x * b.y - b.x * a.y, a.x * b.z - b.x * a.z, a.x - b.x,
                        a.y * b.z - b.y * a.z, a.z - b.z, b.y - a.y}};
}

float Side(const _PLUCKERCOORD& l, const _PLUCKERCOORD& m) {
  return l.p[0] * m.p[4] + l.p[1] * m.p[5] + l.p[2] * m.p[3] + l.p[3] * m.p[2] +
         l.p[4] * m.p[0] + l.p[5] * m.p[1];
}

// Whether at least one vertex of the face lies closer than r to ref.
bool NearFace(const _MOFACE& f, const D3DXVECTOR3& ref, float r) {
  for (const _MOVERTEX& v : f.v) {
    const D3DXVECTOR3 d = Pos(v) - ref;
    if (D3DXVec3Length(&d) < r) return true;
  }
  return false;
}

bool StrictlyBetween(float i, float a, float b) {
  return (a < b) ? (a < i && i < b) : (b < i && i < a);
}

// The segment s -> e crosses the face; *crossing gets the point where its line
// meets the face plane.
bool SegmentCrossesFace(const _MOFACE& f, const D3DXVECTOR3& s, const D3DXVECTOR3& e,
                        D3DXVECTOR3* crossing) {
  const D3DXVECTOR3 v0 = Pos(f.v[0]), v1 = Pos(f.v[1]), v2 = Pos(f.v[2]);
  const _PLUCKERCOORD l = Pluecker(s, e);
  const float s1 = sgn(Side(l, Pluecker(v1, v0)));
  const float s2 = sgn(Side(l, Pluecker(v2, v1)));
  const float s3 = sgn(Side(l, Pluecker(v0, v2)));
  if (s1 == 0.0f || s1 != s2 || s2 != s3) return false;
  D3DXPLANE plane;
  D3DXPlaneFromPoints(&plane, &v0, &v1, &v2);
  // A line parallel to the plane has no crossing point.
  if (!D3DXPlaneIntersectLine(crossing, &plane, &s, &e)) return false;
  return StrictlyBetween(crossing->x, s.x, e.x) && StrictlyBetween(crossing->y, s.y, e.y) &&
         StrictlyBetween(crossing->z, s.z, e.z);
}

float NearestCornerSq(const _BOXCORNERS& box, const D3DXVECTOR3& pos) {
  float best = 1e10f;
  for (const D3DXVECTOR3& c : box.corner) {
    const D3DXVECTOR3 d = c - pos;
    const float sq = d.x * d.x + d.y * d.y + d.z * d.z;
    if (sq < best) best = sq;
  }
  return best;
}

}  // namespace

float cGround::GetH(float x, float z) {
  const D3DXVECTOR3 p(x, 0.0f, z);
  for (DWORD i = 0; i < roadCount; ++i) {
    if (!IsPointInBBox2D(&p, &roadBoxes[i])) continue;
    const DWORD object = roadList[i];
    const DWORD faces = mesh->GetObjFaceCount(object);
    for (DWORD k = 0; k < faces; ++k) {
      const _MOFACE f = mesh->GetObjFace(object, k);
      const D3DXVECTOR3 v0(f.v[0].x, 0.0f, f.v[0].z), v1(f.v[1].x, 0.0f, f.v[1].z),
          v2(f.v[2].x, 0.0f, f.v[2].z);
      if (!SameSide(p, v0, v1, v2) || !SameSide(p, v1, v0, v2) || !SameSide(p, v2, v0, v1))
        continue;
      const D3DXVECTOR3 w0 = Pos(f.v[0]), w1 = Pos(f.v[1]), w2 = Pos(f.v[2]);
      D3DXPLANE plane;
      D3DXPlaneFromPoints(&plane, &w0, &w1, &w2);
      // A vertical face has no height to give; the next face may.
      if (plane.b == 0.0f) continue;
      SetGroundObjsOrder(i);
      return (-plane.a * x - plane.c * z - plane.d) / plane.b;
    }
  }
  return -1000.0f;
}

float cGround::GetHeight(float x, float z) { return GetH(x, z); }

void cGround::SetGroundObjsOrder(DWORD i) {
  if (i == 0 || i >= roadCount) return;
  const DWORD object = roadList[i];
  const _BOXCORNERS box = roadBoxes[i];
  std::memmove(&roadList[1], &roadList[0], i * sizeof roadList[0]);
  std::memmove(&roadBoxes[1], &roadBoxes[0], i * sizeof roadBoxes[0]);
  roadList[0] = object;
  roadBoxes[0] = box;
}

void cGround::SortObjects(DWORD* list, _BOXCORNERS* boxes, DWORD count, D3DXVECTOR3* pos) {
  if (count < 2 || !pos) return;
  float keys[GROUND_MAX_OBJS];
  for (DWORD i = 0; i < count; ++i) keys[i] = NearestCornerSq(boxes[i], *pos);
  bool swapped = true;
  while (swapped) {
    swapped = false;
    for (DWORD i = 0; i + 1 < count; ++i) {
      if (!(keys[i] > keys[i + 1])) continue;
      std::swap(keys[i], keys[i + 1]);
      std::swap(list[i], list[i + 1]);
      std::swap(boxes[i], boxes[i + 1]);
      swapped = true;
    }
  }
}

void cGround::SortGroundObjs(D3DXVECTOR3* pos) { SortObjects(roadList, roadBoxes, roadCount, pos); }

void cGround::SortCollisionObjs(D3DXVECTOR3* pos) {
  SortObjects(borderList, borderBoxes, borderCount, pos);
}

int cGround::GetCameraCollision(D3DXVECTOR3* out, D3DXVECTOR3* a, D3DXVECTOR3* b, float r) {
  const DWORD nearest = borderCount < 4 ? borderCount : 4;
  for (DWORD i = 0; i < nearest; ++i) {
    const DWORD object = borderList[i];
    const DWORD faces = mesh->GetObjFaceCount(object);
    for (DWORD k = 0; k < faces; ++k) {
      const _MOFACE f = mesh->GetObjFace(object, k);
      D3DXVECTOR3 crossing;
      if (NearFace(f, *a, r) && SegmentCrossesFace(f, *a, *b, &crossing)) {
        *out = crossing - *a;
        return 1;
      }
    }
  }
  return 0;
}

int cGround::GetCollision(_COLLISIONINFO* info, D3DXVECTOR3* points, D3DXVECTOR3* centre,
                          float r) {
  std::memset(info, 0, 8 * sizeof *info);
  int result = 0, hits = 0;
  const DWORD nearest = borderCount < 4 ? borderCount : 4;
  for (DWORD i = 0; i < nearest; ++i) {
    const DWORD object = borderList[i];
    const DWORD faces = mesh->GetObjFaceCount(object);
    for (DWORD k = 0; k < faces; ++k) {
      const _MOFACE f = mesh->GetObjFace(object, k);
      if (!NearFace(f, *centre, r)) continue;
      for (BYTE p = 0; p < 8; ++p) {
        D3DXVECTOR3 crossing;
        if (!SegmentCrossesFace(f, *centre, points[p], &crossing)) continue;
        const D3DXVECTOR3 e1 = Pos(f.v[1]) - Pos(f.v[0]), e2 = Pos(f.v[2]) - Pos(f.v[0]);
        D3DXVECTOR3 n;
        D3DXVec3Cross(&n, &e1, &e2);
        n.y = 0.0f;
        D3DXVec3Normalize(&n, &n);
        const D3DXVECTOR3 d = points[p] - crossing;
        info[p].hit = 1;
        info[p].normal = n;
        info[p].depth = D3DXVec3Length(&d);
        info[p].point = p;
        result = 1;
        if (++hits >= 8) return 1;
      }
    }
  }
  return result;
}

int cGround::GateCollision(DWORD gate, D3DXVECTOR3* points, D3DXVECTOR3* pos, float r) {
  int result = 0;
  const DWORD faces = mesh->GetObjFaceCount(gate);
  for (DWORD k = 0; k < faces; ++k) {
    const _MOFACE f = mesh->GetObjFace(gate, k);
    if (!NearFace(f, *pos, r)) continue;
    for (int p = 0; p < 8; ++p) {
      D3DXVECTOR3 crossing;
      if (SegmentCrossesFace(f, *pos, points[p], &crossing)) result = 1;
    }
  }
  return result;
}

int cGround::IsTimerCollision(D3DXVECTOR3* points, D3DXVECTOR3* pos, float r) {
  return GateCollision(startGate, points, pos, r);
}

int cGround::IsHalfTimerCollision(D3DXVECTOR3* points, D3DXVECTOR3* pos, float r) {
  return GateCollision(halfGate, points, pos, r);
}
