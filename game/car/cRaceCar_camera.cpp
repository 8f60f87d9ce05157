// cRaceCar: the chase camera and the trackside camera.
#include <cmath>

#include "cGround.h"
#include "car/cRaceCar.h"
#include "mathkit/mathkit.h"

namespace {

constexpr float kLeash = 6.0f;  // horizontal distance of the chase camera

}  // namespace

D3DXVECTOR3 cRaceCar::ChaseCamera(D3DXVECTOR3* offset) {
  const D3DXVECTOR3 off = offset ? *offset : D3DXVECTOR3(0, 2, -6);
  const float dt = lastDt;

  // The target ignores the car's pitch and roll in height.
  D3DXVECTOR3 t;
  D3DXVec3TransformCoord(&t, &off, &worldMatrix);
  t.y = position.y + off.y;

  // Move toward the target by 5 dt of the distance and follow its motion.
  const D3DXVECTOR3 d = cameraPosition - t;
  const D3DXVECTOR3 m = (cameraLastTarget - t) * dt;
  const float w = D3DXVec3LengthSq(&d);
  cameraLastTarget = t;
  if (w > 0.0f) {
    const float length = std::sqrt(w);
    const float k = (0.5f * D3DXVec3Dot(&d, &m) / length - 5.0f * length) * dt;
    cameraPosition += d / length * k;
  }
  // On the target already: nothing to move (the formula would divide by 0).

  // Keep the bearing from the car, at the leash's length and the offset's height.
  D3DXVECTOR3 r = cameraPosition - position;
  float rLength = D3DXVec3Length(&r);
  if (rLength > 0.0f && std::isfinite(rLength)) {
    r /= rLength;
    cameraBearing = r;
  } else if (D3DXVec3LengthSq(&cameraBearing) > 0.0f) {
    // Exactly at the car: keep the last bearing.
    r = cameraBearing;
  } else {
    // ... or, with none yet, look from straight behind the car.
    const D3DXVECTOR3 back(0, 0, -1);
    D3DXVec3TransformNormal(&r, &back, &worldMatrix);
    rLength = D3DXVec3Length(&r);
    r = rLength > 0.0f ? r / rLength : back;
  }
  D3DXVECTOR3 q(position.x + kLeash * r.x, position.y + off.y, position.z + kLeash * r.z);

  if (ground) {
    D3DXVECTOR3 hit, car = position;
    if (ground->GetCameraCollision(&hit, &q, &car, 50.0f)) q += hit;
    const float h = ground->GetH(q.x, q.z) + 1.0f;
    if (q.y < h) q.y = h;
  }
  return q;
}

D3DXVECTOR3 cRaceCar::TrackCamera(int32_t grid, float height) {
  if (grid == 0) grid = 1;  // no grid: the camera stands at the nearest metre
  const int ix = mathkit::round(position.x);
  const int iz = mathkit::round(position.z);
  // C++ remainders take the dividend's sign: positions snap toward zero.
  D3DXVECTOR3 q((float)(ix - ix % grid), position.y + height, (float)(iz - iz % grid));
  if (ground) {
    float h = ground->GetH(q.x, q.z) + height;
    if (q.y < h) q.y = h;
    D3DXVECTOR3 hit, car = position;
    if (ground->GetCameraCollision(&hit, &q, &car, 200.0f)) {
      q += hit;
      h = ground->GetH(q.x, q.z) + height;
      if (q.y < h) q.y = h;
    }
  }
  return q;
}
